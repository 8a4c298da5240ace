#pragma once
// The touches on the keys: where the one touch now down began and is, which key it went down
// on and whether that key is drawn pressed (like a push button, only while the touch is on
// it), and the last touch that tapped a key. What a touch does beyond a tap (holds, popups,
// slides) is KeyGestures'; what a tap types is the session's.
#include "KeyFaces.h"
#include "SessionClock.h"

#include <QPointF>

namespace wendrel {

// One touch, from press to release, in layout coordinates and session time.
struct Touch {
    QPointF pressPoint;
    qint64 pressTime = 0;
    int pressKey = -1;   // key under the press, -1 for none
    QPointF point;       // where it is now (or was released)
    qint64 time = 0;
    bool down = false;   // between press and release
};

class KeyTouches {
public:
    KeyTouches(SessionClock &clock, KeyFaces &faces) : clock(clock), faces(faces) {}

    // The key under a layout point, as an index of keyTable(); -1 outside every key.
    static int keyAt(QPointF layoutPoint);
    static QPointF keyCentre(int keyIndex);

    // A new touch (one still down is forgotten); the key under it is drawn pressed and gets
    // the default-button look.
    void press(QPointF point);
    // While down: the key is drawn pressed only while the touch is on it.
    void move(QPointF point);
    // Ends the touch at point (or, cancelled, where it last was).
    void release(QPointF point);
    void cancel();
    // The touch tapped its key: it is kept as the last tap.
    void tapped() { lastTouch = touch; }
    // No touch down, none remembered.
    void reset();

    bool isDown() const { return touch.down; }
    // The key drawn pressed: the touch is down and still on the key it went down on.
    int pressedKey() const { return touch.down && pressShown ? touch.pressKey : -1; }
    const Touch &current() const { return touch; }
    const Touch &lastTap() const { return lastTouch; }

private:
    void showPressed(bool shown);

    SessionClock &clock;
    KeyFaces &faces;
    Touch touch, lastTouch;
    bool pressShown = false;
};

} // namespace wendrel
