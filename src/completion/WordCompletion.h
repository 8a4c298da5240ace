#pragma once
// Word completion in the keyboard window: owns the candidate strip and the completion engine,
// which it gives the typing session once the words are loaded; keeps what the session learns
// on disk. The strip shows the session's candidates, and a tap on a cell is the session's pick.
#include "CandidateStrip.h"
#include "LearnedWords.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <memory>
#include <optional>

class QThread;

namespace wendrel {

class CompletionEngine;
class TextArea;
class TypingSession;

class WordCompletion : public QObject {
    Q_OBJECT
public:
    WordCompletion(QWidget &window, TextArea &text, TypingSession &session);
    ~WordCompletion() override; // keeps learned words that are not saved yet

    // Shows or hides the strip at once; the words are loaded after the strip's first paint.
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
    void adoptLearned();
    void showCandidates();
    void save();

    QWidget &window;
    TextArea &text;
    TypingSession &session;
    QPointer<CandidateStrip> candidateStrip;
    std::unique_ptr<CompletionEngine> completion;
    QTimer saveTimer;
    QRect textRect;
    bool on = false;
    bool keepLearned = true;
    // The learned words are read on this thread; its result waits here for the window's thread.
    std::unique_ptr<QThread> learnedReader;
    std::optional<LearnedWords::Loaded> pendingLearned;
    bool learnedAdopted = false;
    bool painted = false; // the strip has been painted: loading no longer delays the window
};

} // namespace wendrel
