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
// A single character is no wider than the font's pixel size, so the one-character captions
// are measured (and their glyphs loaded, the slow part) only when that bound does not fit.
qreal overflow(const QFont &font, const std::vector<CaptionSpace> &spaces)
{
    const QFontMetricsF metrics(font);
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    qreal worst = 0;
    for (const CaptionSpace &space : spaces) {
        for (const QString &caption : space.captions) {
            if (caption.size() == 1 && pixels <= space.width)
                continue;
            worst = std::max(worst, metrics.horizontalAdvance(caption) / std::max(1, space.width));
        }
    }
    return worst;
}

} // namespace

QFont captionFont(const ScaledLayout &layout, const QFont &base)
{
    int lowest = layoutHeight;
    for (const KeyDef &key : keyTable())
        lowest = std::min(lowest, layout.rect(key.rect).height());
    const int cellHeight = lowest - 2 * layout.length(captionMarginY);
    const std::vector<CaptionSpace> spaces = captionSpaces(layout);
    // Heights and widths grow with the pixel size, so the base font (loaded already) tells
    // the size to load; loading a font at a size is the slow part. A pixel less at a time
    // then makes up for the rounding of hinted metrics.
    QFont font(base);
    const int basePixels = base.pixelSize() > 0 ? base.pixelSize() : QFontInfo(base).pixelSize();
    const qreal fit = std::min(qreal(cellHeight) / std::max(1, QFontMetrics(base).height()),
                               1 / std::max(overflow(base, spaces), qreal(0.01)));
    int pixels = std::max(1, int(basePixels * fit));
    font.setPixelSize(pixels);
    while (pixels > 1 && (QFontMetrics(font).height() > cellHeight || overflow(font, spaces) > 1))
        font.setPixelSize(--pixels);
    return font;
}

} // namespace wendrel
