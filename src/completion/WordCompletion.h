#pragma once
// Word completion in the keyboard window: owns the candidate strip and the completion engine,
// which it gives the typing session once the words are loaded; keeps what the session learns
// on disk. The strip shows the session's candidates, and a tap on a cell is the session's pick.
// The correction of typing errors uses the same engine and strip: with it on, the strip shows
// the tap decoder's words even while completion is off. Swipe typing (a word in one stroke
// over the letter keys) goes with completion: it is on while both its option and completion are.
#include "CandidateStrip.h"
#include "LearnedWords.h"

#include <QElapsedTimer>
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
class SwipeTyping;

class WordCompletion : public QObject {
    Q_OBJECT
public:
    // Learned words are saved this long after the last word learned, and at most this long
    // after the first word not saved yet (so that steady typing is saved too).
    static constexpr int saveQuietMs = 3000;
    static constexpr int saveAtMostMs = 60000;
    // After a save that could not be done (another copy kept the file locked, a full disk).
    static constexpr int saveRetryMs = 10000;

    WordCompletion(QWidget &window, TextArea &text, TypingSession &session);
    // A strip without a text area (the keyboard panel): placed by placeStrip, shown with the
    // window.
    WordCompletion(QWidget &window, TypingSession &session);
    ~WordCompletion() override; // keeps learned words that are not saved yet

    // Saves what is learned and not saved yet, and waits until it is on disk (or could not
    // be saved): at the program's end, before anything may cut it short.
    void saveNow();
    // For tests: other delays than saveQuietMs and saveAtMostMs.
    void setSaveDelays(int quietMs, int atMostMs);

    // Shows or hides the strip at once; the words are loaded after the strip's first paint.
    void setOn(bool on);
    bool isOn() const { return on; }
    // The correction of typing errors on or off, at once; its decoder is built on a thread of
    // its own after the strip's first paint.
    void setCorrectionOn(bool on);
    bool isCorrectionOn() const { return correctionOn; }
    const WordCorrection *correction() const { return wordCorrection.get(); }
    // Swipe typing on or off; its decoder is built on a thread of its own, as the correction's.
    void setSwipeOn(bool on);
    bool isSwipeOn() const { return swipeOn; }
    const SwipeTyping *swipe() const { return swipeTyping.get(); }
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
    void ensureSwipe();
    void adoptSwipe();
    void giveSwipe();
    void adoptLearned();
    void showCandidates();
    void noteLearned();
    void scheduleSave();
    void save();
    void adoptSaved();
    void waitForSave();

    QWidget &window;
    TextArea *text = nullptr; // none in the keyboard panel
    QRect stripRect;          // the strip's place when there is no text area
    TypingSession &session;
    QPointer<CandidateStrip> candidateStrip;
    std::unique_ptr<CompletionEngine> completion;
    QTimer saveTimer;
    int quietMs = saveQuietMs;
    int atMostMs = saveAtMostMs;
    QElapsedTimer firstUnsaved; // since the first word learned and not saved yet
    // The learned words are written on this thread; its result waits here for the window's thread.
    std::unique_ptr<QThread> learnedSaver;
    std::optional<LearnedWords::Saved> pendingSaved;
    QString lastSaveError; // said once, not at every retry
    QRect textRect;
    bool on = false;
    bool correctionOn = false;
    bool swipeOn = false;
    bool keepLearned = true;
    // The learned words are read on this thread; its result waits here for the window's thread.
    std::unique_ptr<QThread> learnedReader;
    std::optional<LearnedWords::Loaded> pendingLearned;
    bool learnedAdopted = false;
    // The tap decoder's lexicon is built on this thread.
    std::unique_ptr<QThread> correctionBuilder;
    std::unique_ptr<WordCorrection> builtCorrection; // built, for the window's thread to take
    std::unique_ptr<WordCorrection> wordCorrection;
    // The stroke decoder's lexicon likewise.
    std::unique_ptr<QThread> swipeBuilder;
    std::unique_ptr<SwipeTyping> builtSwipe;
    std::unique_ptr<SwipeTyping> swipeTyping;
    bool painted = false; // the strip has been painted: loading no longer delays the window
};

} // namespace wendrel
