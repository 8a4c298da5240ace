#pragma once
// What one touch does beyond a tap: BackSpace held deletes again and again, a letter held
// opens a popup of its alternates, a slide on Space moves the caret. A small state machine on
// the session's clock; the session (its host) says what each key is and carries out the edits.
#include "PopupLayout.h"
#include "SessionClock.h"

#include <QPointF>
#include <QStringList>

namespace wendrel {

// How a key answers a touch that lasts or moves.
enum class TouchKind {
    Plain,      // acts when released, as a tap
    Repeating,  // acts when pressed, and again and again while held (BackSpace)
    Alternates, // a hold opens a popup of related characters
    CaretSlide, // a sideways slide moves the caret (Space)
};

// One deletion of a held BackSpace.
enum class DeleteStep {
    First,     // at the press: as a tapped BackSpace (it may undo the typing assistant's correction)
    Character, // a repeat: the character before the caret
    Word,      // a later repeat: back to the start of the word before the caret
};

struct GestureTimings {
    int holdMs = 400;                 // a press this long is a hold
    int repeatMs = 100;               // between deletions of single characters
    int wordRepeatMs = 100;           // between deletions of whole words
    int charactersBeforeWords = 10;   // single deletions of one hold before whole words
    qreal slideStep = 8;              // layout pixels of a slide on Space per character
};

class KeyGestureHost {
public:
    virtual ~KeyGestureHost() = default;
    // Index in keyTable() of the key at a layout point, -1 where there is none.
    virtual int keyAt(QPointF point) const = 0;
    virtual TouchKind touchKind(int key) const = 0;
    // What a hold on the key offers now (Shift, Caps and Fn as they stand).
    virtual QStringList alternates(int key) const = 0;
    // An ordinary touch ended: the session's tap, from where it began to where it ended.
    virtual void tap(QPointF pressPoint, QPointF releasePoint) = 0;
    // The key's own character or action, as a tap at its centre.
    virtual void tapKey(int key) = 0;
    // A cell of the key's popup was chosen.
    virtual void typeAlternate(int key, const QString &text) = 0;
    // Returns whether anything is left to delete before the caret (the repeats stop when not).
    virtual bool deleteBackward(DeleteStep step) = 0;
    virtual void deletionEnded() = 0;
    // A slide on Space: the caret goes this many characters from where it stood when the slide
    // began (negative: back), not past the text's ends; the slide then ends.
    virtual void slideCaret(int characters) = 0;
    virtual void caretSlideEnded() = 0;
    // The popup opened, closed or its chosen cell changed.
    virtual void popupChanged() = 0;
};

class KeyGestures {
public:
    KeyGestures(SessionClock &clock, KeyGestureHost &host, GestureTimings timings = {});
    ~KeyGestures();
    KeyGestures(const KeyGestures &) = delete;
    KeyGestures &operator=(const KeyGestures &) = delete;

    // One touch at a time: a press while another touch is down abandons that one (no tap,
    // nothing chosen from its popup).
    void press(QPointF point);
    void move(QPointF point);
    void release(QPointF point);
    // Ends a touch that is still down without a tap or a choice from its popup (a held
    // BackSpace's run and a slide end as they stand).
    void abandon();
    // Forgets the touch without acting on it (a new text, the window hidden).
    void cancel();

    // The open popup's cells (empty when none is open) and the one under the finger (-1: none).
    const QList<PopupCell> &popup() const { return cells; }
    int chosenCell() const { return chosen; }
    // The key whose popup is open, -1 when none is.
    int popupKey() const { return cells.isEmpty() ? -1 : key; }
    const GestureTimings &timings() const { return times; }
    // Where popups may lie, in layout coordinates: the whole layout in the note pad, the
    // panel's part of it in keyboard mode (nothing is drawn above the candidate strip there).
    void setPopupBounds(const QRectF &bounds) { popupBounds = bounds; }

private:
    enum class Phase { Idle, Tapping, Deleting, Holding, PopupOpen, SpaceDown, Sliding };

    void finish(QPointF point);
    void schedule(int ms, void (KeyGestures::*step)());
    void stopTimer();
    void repeatDeletion();
    void openPopup();
    void closePopup();
    void slideTo(QPointF point);

    SessionClock &clock;
    KeyGestureHost &host;
    GestureTimings times;

    Phase phase = Phase::Idle;
    int key = -1;
    QPointF pressPoint;
    QPointF lastPoint;
    int timer = -1;
    int deletions = 0;     // of the BackSpace held now
    int slideSteps = 0;    // characters from where the slide began
    QList<PopupCell> cells;
    int chosen = -1;
    QRectF popupBounds = layoutBounds;
};

} // namespace wendrel
