#include "PanelGeometry.h"

#include <cmath>

namespace wendrel {

PanelGeometry PanelGeometry::forOutput(QSize output)
{
    PanelGeometry g;
    qreal s = 1;
    while (240 * (s + 0.25) <= output.width() && 263 * (s + 0.25) <= output.height() / 2.0)
        s += 0.25;
    g.scale = s;
    g.width = output.width();
    g.height = int(std::lround(263 * s));
    g.keysLeft = (g.width - int(std::lround(240 * s))) / 2;
    return g;
}

} // namespace wendrel
