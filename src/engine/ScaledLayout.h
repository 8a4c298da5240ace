#pragma once
// The 240 x 320 layout on a real screen: a scale in quarter steps and an origin. Every control's
// rectangle goes through rect(), which rounds the edges rather than the sizes, so keys that
// touch in the layout touch on the screen too, with neither a gap nor an overlap between them.
#include "KeyTable.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace wendrel {

// The largest scale in steps of a quarter (never below 1) at which the layout fits a screen of
// this size in logical pixels. On a desktop the keyboard takes at most three quarters of the
// screen's height, so that it stays an ordinary window.
qreal layoutScaleFor(const QSize &screen, bool fullScreen);

class ScaledLayout {
public:
    ScaledLayout() = default;
    ScaledLayout(qreal scale, QPoint origin) : factor(scale), topLeft(origin) {}
    // The layout centred on a screen of this size.
    static ScaledLayout centredOn(const QSize &screen, qreal scale);

    qreal scale() const { return factor; }
    QPoint origin() const { return topLeft; }
    // The whole layout's size on the screen.
    QSize size() const;
    // A rectangle of the layout in the screen's pixels.
    QRect rect(const KeyRect &layoutRect) const;
    // A length of the layout (a font's height, a margin) in the screen's pixels.
    int length(qreal layoutPixels) const;

private:
    qreal factor = 1;
    QPoint topLeft;
};

} // namespace wendrel
