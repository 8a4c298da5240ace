#pragma once
// Word completion in the keyboard window: owns the candidate strip and the completion engine,
// which it gives the typing session once the words are loaded; keeps what the session learns
// on disk. The strip shows the session's candidates, and a tap on a cell is the session's pick.
// The correction of typing errors uses the same engine and strip: with it on, the strip shows
// the tap decoder's words even while completion is off.
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
class WordCorrection;

class WordCompletion : public QObject {
    Q_OBJECT
public:
    WordCompletion(QWidget &window, TextArea &text, TypingSession &session);
    // A strip without a text area (the keyboard panel): placed by placeStrip, shown with the
    // window.
    WordCompletion(QWidget &window, TypingSession &session);
    ~WordCompletion() override; // keeps learned words that are not saved yet

    // Shows or hides the strip at once; the words are loaded after the strip's first paint.
    void setOn(bool on);
    bool isOn() const { return on; }
    // The correction of typing errors on or off, at once; its decoder is built on a thread of
    // its own after the strip's first paint.
    void setCorrectionOn(bool on);
    bool isCorrectionOn() const { return correctionOn; }
    const WordCorrection *correction() const { return wordCorrection.get(); }
    // Called when the window has given the text area its whole rectangle: with completion
    // on, the strip takes the bottom of it.
    void place();
    // Without a text area: the strip's own rectangle in the window.
    void placeStrip(const QRect &rect);

    CandidateStrip *strip() const { return candidateStrip; }
    const CompletionEngine *engine() const { return completion.get(); }
    // $XDG_DATA_HOME/wendrel/learned-words.txt
    static QString learnedWordsPath();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool stripWanted() const { return on || correctionOn; }
    bool textShown() const;
    void createStrip();
    void afterFirstPaint();
    void layOut();
    void ensureLoaded();
    void ensureCorrection();
    void adoptCorrection();
    void adoptLearned();
    void showCandidates();
    void save();

    QWidget &window;
    TextArea *text = nullptr; // none in the keyboard panel
    QRect stripRect;          // the strip's place when there is no text area
    TypingSession &session;
    QPointer<CandidateStrip> candidateStrip;
    std::unique_ptr<CompletionEngine> completion;
    QTimer saveTimer;
    QRect textRect;
    bool on = false;
    bool correctionOn = false;
    bool keepLearned = true;
    // The learned words are read on this thread; its result waits here for the window's thread.
    std::unique_ptr<QThread> learnedReader;
    std::optional<LearnedWords::Loaded> pendingLearned;
    bool learnedAdopted = false;
    // The tap decoder's lexicon is built on this thread.
    std::unique_ptr<QThread> correctionBuilder;
    std::unique_ptr<WordCorrection> builtCorrection; // built, for the window's thread to take
    std::unique_ptr<WordCorrection> wordCorrection;
    bool painted = false; // the strip has been painted: loading no longer delays the window
};

} // namespace wendrel
