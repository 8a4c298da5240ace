#include "PopupLayout.h"

#include <algorithm>
#include <cmath>

namespace wendrel {

QList<QRectF> popupCellRects(const QRectF &key, int count, const QRectF &bounds)
{
    QList<QRectF> rects;
    if (count <= 0)
        return rects;
    const qreal width = popupCellSize.width();
    const qreal height = popupCellSize.height();
    const int fitInRow = std::max(1, int(std::floor(bounds.width() / width)));
    const int rows = (count + fitInRow - 1) / fitInRow;
    // Rows of even length read better than one full row and a stray cell.
    const int perRow = (count + rows - 1) / rows;

    const bool roomAbove = key.top() - rows * height >= bounds.top();
    const bool roomBelow = key.bottom() + rows * height <= bounds.bottom();
    const bool above = roomAbove || !roomBelow;
    const bool rightwards = key.center().x() <= bounds.center().x();

    for (int row = 0; row < rows; ++row) {
        const int inRow = std::min(perRow, count - row * perRow);
        const qreal rowWidth = inRow * width;
        // The first cell over the key, then clamped inward.
        qreal left = rightwards ? key.center().x() - width / 2 : key.center().x() + width / 2 - rowWidth;
        left = std::clamp(left, bounds.left(), std::max(bounds.left(), bounds.right() - rowWidth));
        qreal top = above ? key.top() - (row + 1) * height : key.bottom() + row * height;
        top = std::clamp(top, bounds.top(), std::max(bounds.top(), bounds.bottom() - height));
        for (int i = 0; i < inRow; ++i) {
            const int column = rightwards ? i : inRow - 1 - i;
            rects.append(QRectF(left + column * width, top, width, height));
        }
    }
    return rects;
}

int popupCellAt(const QList<PopupCell> &cells, QPointF point)
{
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (cells[i].rect.contains(point))
            return int(i);
    }
    return -1;
}

} // namespace wendrel
