#pragma once
// Where keyboard mode's panel lies on a screen. The panel shows the layout from the top of the
// candidate strip (layout y 57) to the bottom (y 320): 240 x 263 pixels at scale 1, scaled by
// the largest quarter step s >= 1 with 240 s within the screen's width and 263 s within half
// its height, centred horizontally in a panel as wide as the screen along its bottom edge.
// A layout point (x, y) is at ((W - round(240 s)) / 2 + x s, H - round(263 s) + (y - 57) s)
// on a W x H screen (the division rounds down). Programs that tap the panel rely on this.
#include "ScaledLayout.h"

#include <QPointF>
#include <QRect>
#include <QRectF>

namespace wendrel {

inline constexpr int panelLayoutTop = 57;
inline constexpr int panelLayoutHeight = layoutHeight - panelLayoutTop;
// The panel's part of the layout (popups stay within it).
inline constexpr QRectF panelLayoutBounds{0, panelLayoutTop, layoutWidth, panelLayoutHeight};

struct PanelGeometry {
    qreal scale = 1;
    QRect window;        // the panel's window, in the screen's coordinates
    ScaledLayout layout; // the 240 x 320 layout in the window's own coordinates

    static qreal scaleFor(const QSize &screen);
    // screen: the screen's geometry (the panel spans it, struts of other docks aside).
    static PanelGeometry forScreen(const QRect &screen);
    // A layout point on the screen, by the formula above.
    QPointF toScreen(QPointF layoutPoint) const;
};

} // namespace wendrel
