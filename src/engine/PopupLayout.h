#pragma once
// Where the cells of a long-press popup go: rows of cells at least as large as a letter key
// just above the pressed key, the most used character nearest to it, the whole popup within
// the layout.
#include "KeyTable.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace wendrel {

struct PopupCell {
    QString text;  // one character, composed (NFC)
    QRectF rect;   // in layout coordinates
};

// A letter key is 24 x 27; a cell is a little larger, so that a finger sliding onto it
// covers less of it.
inline constexpr QSizeF popupCellSize{26, 30};
inline constexpr QRectF layoutBounds{0, 0, layoutWidth, layoutHeight};

// The rectangles of count cells for a key, in the order of the characters. Row one lies on
// the key's top edge (below the key when there is no room above), further rows beyond it.
// The first cell sits over the key, and the row runs towards the wider side of the layout;
// at an edge the rows shift inward to stay inside bounds.
QList<QRectF> popupCellRects(const QRectF &key, int count, const QRectF &bounds = layoutBounds);

// Index of the cell under a point, or -1.
int popupCellAt(const QList<PopupCell> &cells, QPointF point);

} // namespace wendrel
