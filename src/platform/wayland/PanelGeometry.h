#pragma once
// Where keyboard mode's panel lies on an output: the layout from the top of the candidate
// strip down (layout y 57 to 320, 240 x 263 at scale 1), at the largest quarter step s >= 1
// with 240 s within the output's width and 263 s within half its height, centred along the
// bottom of a panel as wide as the output. All in the output's logical pixels.
#include <QSize>

namespace wendrel {

struct PanelGeometry {
    qreal scale = 1;
    int width = 0;      // the panel's: the output's width
    int height = 0;     // round(263 s)
    int keysLeft = 0;   // (width - round(240 s)) / 2: where layout x 0 lies

    static PanelGeometry forOutput(QSize output);
};

} // namespace wendrel
