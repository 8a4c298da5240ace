#pragma once
// Word completion in the keyboard window: owns the candidate strip and the engine, follows
// the text area, types an accepted word, learns what the user types and keeps it on disk.
// The window makes one of these and tells it the option's value and where the text area is.
#include "CandidateStrip.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <memory>

namespace wendrel {

class CompletionEngine;
class KeyboardDialog;
class TextArea;

class WordCompletion : public QObject {
    Q_OBJECT
public:
    WordCompletion(KeyboardDialog &window, TextArea &text);
    ~WordCompletion() override; // keeps learned words that are not saved yet

    // Shows or hides the strip at once; the words are loaded after the strip's first paint
    // or at the first change of the text, whichever comes first.
    void setOn(bool on);
    bool isOn() const { return on; }
    // Called when the window has given the text area its whole rectangle: with completion
    // on, the strip takes the bottom of it.
    void place();

    CandidateStrip *strip() const { return candidateStrip; }
    const CompletionEngine *engine() const { return completion.get(); }
    // $XDG_DATA_HOME/wendrel/learned-words.txt
    static QString learnedWordsPath();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layOut();
    void ensureLoaded();
    void refresh();
    QString textBefore(int documentPosition) const;
    void onContentsChange(int position, int removed, int added);
    void onTapped(int cell);
    void save();

    KeyboardDialog &window;
    TextArea &text;
    QPointer<CandidateStrip> candidateStrip;
    std::unique_ptr<CompletionEngine> completion;
    QTimer saveTimer;
    QRect textRect;
    bool on = false;
    bool keepLearned = true;
    bool painted = false; // the strip has been painted: loading no longer delays the window
};

} // namespace wendrel
