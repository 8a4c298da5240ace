#include "WordStroke.h"

#include <cmath>

namespace wendrel {

void WordStroke::press(QPointF point, qint64 time, int key, bool letterKey)
{
    path.clear();
    stroke = false;
    tracking = key >= 0 && letterKey;
    startKey = key;
    if (tracking)
        path.append({point, time});
}

bool WordStroke::move(QPointF point, qint64 time, int key, bool letterKey)
{
    if (!tracking)
        return false;
    if (!path.isEmpty() && path.back().point == point)
        return false;
    path.append({point, time});
    if (!stroke && key >= 0 && key != startKey && letterKey) {
        const QPointF travel = point - path.front().point;
        stroke = std::hypot(travel.x(), travel.y()) >= minTravel;
    }
    return stroke;
}

void WordStroke::release(QPointF point, qint64 time)
{
    if (tracking && (path.isEmpty() || path.back().point != point))
        path.append({point, time});
    tracking = false;
}

void WordStroke::cancel()
{
    tracking = false;
    stroke = false;
    startKey = -1;
    path.clear();
}

QList<QPointF> WordStroke::pointsOnly() const
{
    QList<QPointF> points;
    points.reserve(path.size());
    for (const Point &p : path)
        points.append(p.point);
    return points;
}

} // namespace wendrel
