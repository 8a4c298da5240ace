#include "Fonts.h"

#include "KeyTable.h"
#include "ScaledLayout.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace wendrel {

QFont sansSerifWithCellHeight(int cellHeight, const QFont &base)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    const QFontMetrics baseMetrics(base);
    const int basePixels = base.pixelSize() > 0 ? base.pixelSize() : QFontInfo(base).pixelSize();
    int pixels = std::max(1, basePixels * cellHeight / std::max(1, baseMetrics.height()));
    font.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(font).height() > cellHeight)
        font.setPixelSize(--pixels);
    return font;
}

namespace {

struct CaptionSpace {
    QStringList captions; // every caption the key can show
    int width;            // pixels free for them
};

std::vector<CaptionSpace> captionSpaces(const ScaledLayout &layout)
{
    std::vector<CaptionSpace> spaces;
    for (const KeyDef &key : keyTable()) {
        QStringList captions;
        for (int state = 0; state < 8; ++state) {
            const QString caption = keyCaption(key, state & 1, state & 2, state & 4);
            if (!captions.contains(caption))
                captions.append(caption);
        }
        spaces.push_back({captions, layout.rect(key.rect).width() - 2 * layout.length(captionMarginX)});
    }
    return spaces;
}

// How much wider than its space the widest caption is (1 or less: every caption fits).
qreal overflow(const QFont &font, const std::vector<CaptionSpace> &spaces)
{
    const QFontMetrics metrics(font);
    qreal worst = 0;
    for (const CaptionSpace &space : spaces) {
        for (const QString &caption : space.captions)
            worst = std::max(worst, qreal(metrics.horizontalAdvance(caption)) / std::max(1, space.width));
    }
    return worst;
}

} // namespace

QFont captionFont(const ScaledLayout &layout, const QFont &base)
{
    int lowest = layoutHeight;
    for (const KeyDef &key : keyTable())
        lowest = std::min(lowest, layout.rect(key.rect).height());
    QFont font = sansSerifWithCellHeight(lowest - 2 * layout.length(captionMarginY), base);
    const std::vector<CaptionSpace> spaces = captionSpaces(layout);
    int pixels = font.pixelSize();
    // One step straight to about the right size, then down a pixel at a time.
    if (const qreal over = overflow(font, spaces); over > 1) {
        pixels = std::max(1, int(pixels / over));
        font.setPixelSize(pixels);
    }
    while (pixels > 1 && overflow(font, spaces) > 1)
        font.setPixelSize(--pixels);
    return font;
}

} // namespace wendrel
