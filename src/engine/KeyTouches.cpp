#include "KeyTouches.h"

#include "KeyTable.h"

namespace wendrel {

int KeyTouches::keyAt(QPointF point)
{
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const KeyRect &r = table[i].rect;
        if (point.x() >= r.x && point.x() < r.x + r.width && point.y() >= r.y && point.y() < r.y + r.height)
            return int(i);
    }
    return -1;
}

QPointF KeyTouches::keyCentre(int keyIndex)
{
    const KeyRect &r = keyTable()[size_t(keyIndex)].rect;
    // The Enter key reaches past the layout's right edge: its centre is still inside.
    return QPointF(r.x + r.width / 2.0, r.y + r.height / 2.0);
}

void KeyTouches::showPressed(bool shown)
{
    if (shown == pressShown)
        return;
    pressShown = shown;
    if (touch.pressKey >= 0)
        faces.changed(touch.pressKey);
}

void KeyTouches::press(QPointF point)
{
    if (touch.down && pressShown && touch.pressKey >= 0)
        faces.changed(touch.pressKey);
    touch = Touch{point, clock.now(), keyAt(point), point, clock.now(), true};
    pressShown = touch.pressKey >= 0;
    // A pressed push button becomes the default button, as on the handheld.
    if (touch.pressKey >= 0)
        faces.setDefaultLook(touch.pressKey);
}

void KeyTouches::move(QPointF point)
{
    touch.point = point;
    touch.time = clock.now();
    showPressed(touch.pressKey >= 0 && keyAt(point) == touch.pressKey);
}

void KeyTouches::release(QPointF point)
{
    touch.point = point;
    touch.time = clock.now();
    touch.down = false;
    showPressed(false);
}

void KeyTouches::cancel()
{
    touch.down = false;
    showPressed(false);
}

void KeyTouches::reset()
{
    touch = lastTouch = Touch{};
    pressShown = false;
}

} // namespace wendrel
