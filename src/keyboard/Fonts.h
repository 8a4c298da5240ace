#pragma once
// Fonts sized in pixels, so the text area and the key captions look the same on every
// platform (a point size turns into different pixel sizes under X11, Wayland and linuxfb).
#include <QFont>

namespace wendrel {

class ScaledLayout;

// A proportional sans-serif face whose cell height (ascent + descent) is as near the wanted
// height as the installed fonts allow without exceeding it. The first guess comes from `base`,
// a font that is loaded already, so usually one font is loaded, not several.
QFont sansSerifWithCellHeight(int cellHeight, const QFont &base);

// One font for every key caption at the layout's scale: as tall as the lowest keys allow and
// narrow enough that every caption a key can show (Shift, Caps and Fn change some) fits
// inside the key with a margin, clear of its border.
QFont captionFont(const ScaledLayout &layout, const QFont &base);

// The space kept free between a caption and its key's edges, in layout pixels.
inline constexpr int captionMarginX = 4;
inline constexpr int captionMarginY = 3;

} // namespace wendrel
