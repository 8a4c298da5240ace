#include "ScaledLayout.h"

#include <QtMath>
#include <algorithm>

namespace wendrel {

qreal layoutScaleFor(const QSize &screen, bool fullScreen)
{
    qreal fit = std::min(qreal(screen.width()) / layoutWidth, qreal(screen.height()) / layoutHeight);
    if (!fullScreen)
        fit = std::min(fit, qreal(screen.height()) * 3 / 4 / layoutHeight);
    return std::max(qreal(1), std::floor(fit * 4) / 4);
}

ScaledLayout ScaledLayout::centredOn(const QSize &screen, qreal scale)
{
    const ScaledLayout layout(scale, QPoint());
    const QSize size = layout.size();
    return ScaledLayout(scale, QPoint(std::max(0, (screen.width() - size.width()) / 2),
                                      std::max(0, (screen.height() - size.height()) / 2)));
}

QSize ScaledLayout::size() const
{
    return QSize(length(layoutWidth), length(layoutHeight));
}

QRect ScaledLayout::rect(const KeyRect &r) const
{
    const int left = length(r.x), top = length(r.y);
    const int right = length(r.x + r.width), bottom = length(r.y + r.height);
    return QRect(topLeft.x() + left, topLeft.y() + top, right - left, bottom - top);
}

int ScaledLayout::length(qreal layoutPixels) const
{
    return qRound(layoutPixels * factor);
}

} // namespace wendrel
