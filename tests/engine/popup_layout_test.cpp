// Where the popup's cells go: above the key, at least letter-key size, the first (most used)
// character over the key, and never outside the layout, whatever the key and the count.
#include "PopupLayout.h"

#include <gtest/gtest.h>

using namespace wendrel;

namespace {

QRectF rectOf(const KeyDef &key)
{
    return QRectF(key.rect.x, key.rect.y, key.rect.width, key.rect.height);
}

QRectF keyRect(int id)
{
    return rectOf(keyTable()[size_t(keyIndexById(id))]);
}

} // namespace

TEST(PopupLayout, InsideTheLayoutWithoutOverlapForEveryKeyAndCount)
{
    for (const KeyDef &key : keyTable()) {
        for (int count = 1; count <= 18; ++count) {
            SCOPED_TRACE(std::to_string(key.id) + " with " + std::to_string(count));
            const QRectF at = rectOf(key);
            const QList<QRectF> cells = popupCellRects(at, count);
            ASSERT_EQ(cells.size(), count);
            QRectF whole;
            for (qsizetype i = 0; i < cells.size(); ++i) {
                EXPECT_TRUE(layoutBounds.contains(cells[i])) << cells[i].x() << "," << cells[i].y();
                EXPECT_GE(cells[i].width(), 24);
                EXPECT_GE(cells[i].height(), 27);
                for (qsizetype j = 0; j < i; ++j)
                    EXPECT_FALSE(cells[i].intersected(cells[j]).isValid()) << i << " overlaps " << j;
                whole |= cells[i];
            }
            // The row nearest the key lies on its top edge, the first cell over the key unless
            // the row had to shift inward from an edge of the layout.
            EXPECT_EQ(whole.bottom(), at.top());
            const bool overKey = std::abs(cells[0].center().x() - at.center().x()) < 1;
            const bool shifted = whole.left() == layoutBounds.left() || whole.right() == layoutBounds.right();
            EXPECT_TRUE(overKey || shifted);
            EXPECT_LE(whole.height(), 2 * popupCellSize.height()) << "two rows at most";
        }
    }
}

TEST(PopupLayout, PlacementAtTheEdges)
{
    struct Case {
        const char *name;
        QRectF key;
        int count;
        QRectF first, last;
    };
    const Case cases[] = {
        // "e": the row starts over the key and runs right.
        {"left half, room", keyRect(1004), 6, {47, 150, 26, 30}, {177, 150, 26, 30}},
        // "q" at the left edge: shifted inward by a pixel.
        {"left edge", keyRect(1017), 3, {0, 150, 26, 30}, {52, 150, 26, 30}},
        // "o": the row starts over the key and runs left, towards the wider side.
        {"right half, room", keyRect(1015), 7, {191, 150, 26, 30}, {35, 150, 26, 30}},
        // "p" at the right edge: shifted inward.
        {"right edge", keyRect(1016), 3, {214, 150, 26, 30}, {162, 150, 26, 30}},
        // "a" with nine: one full row, shifted inward from the left edge.
        {"full row", keyRect(1000), 9, {5, 177, 26, 30}, {213, 177, 26, 30}},
        // "'" with ten: two rows of five, the first row on the key.
        {"two rows", keyRect(1073), 10, {32.5, 124, 26, 30}, {136.5, 94, 26, 30}},
        // A key too near the top for the popup: it opens below.
        {"no room above", {100, 10, 24, 27}, 2, {99, 37, 26, 30}, {125, 37, 26, 30}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<QRectF> cells = popupCellRects(c.key, c.count);
        ASSERT_EQ(cells.size(), c.count);
        EXPECT_EQ(cells.first(), c.first);
        EXPECT_EQ(cells.last(), c.last);
    }
}

TEST(PopupLayout, CellUnderAPoint)
{
    const QList<PopupCell> cells{{"é", {47, 150, 26, 30}}, {"è", {73, 150, 26, 30}}};
    EXPECT_EQ(popupCellAt(cells, {60, 165}), 0);
    EXPECT_EQ(popupCellAt(cells, {90, 151}), 1);
    EXPECT_EQ(popupCellAt(cells, {60, 181}), -1) << "the key below";
    EXPECT_EQ(popupCellAt(cells, {110, 165}), -1) << "beside the row";
    EXPECT_EQ(popupCellAt({}, {60, 165}), -1);
}
