#include "PanelGeometry.h"

#include <QtMath>
#include <algorithm>

namespace wendrel {

qreal PanelGeometry::scaleFor(const QSize &screen)
{
    const qreal fit = std::min(qreal(screen.width()) / layoutWidth, qreal(screen.height()) / 2 / panelLayoutHeight);
    return std::max(qreal(1), std::floor(fit * 4) / 4);
}

PanelGeometry PanelGeometry::forScreen(const QRect &screen)
{
    PanelGeometry geometry;
    geometry.scale = scaleFor(screen.size());
    const int height = qRound(panelLayoutHeight * geometry.scale);
    geometry.window = QRect(screen.x(), screen.y() + screen.height() - height, screen.width(), height);
    const int left = (screen.width() - qRound(layoutWidth * geometry.scale)) / 2;
    geometry.layout = ScaledLayout(geometry.scale, QPoint(left, -qRound(panelLayoutTop * geometry.scale)));
    return geometry;
}

QPointF PanelGeometry::toScreen(QPointF p) const
{
    return QPointF(window.x() + layout.origin().x() + p.x() * scale, window.y() + (p.y() - panelLayoutTop) * scale);
}

} // namespace wendrel
