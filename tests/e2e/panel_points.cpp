// Where to tap keyboard mode's panel on a W x H screen, for end-to-end checks that drive it with
// pointer clicks. Prints one line a key, "key <index> <role> <typed> <shifted> <x> <y>", and one line a
// long-press cell, "cell <index> <shift 0/1> <character as a number> <x> <y>" (screen pixels, by
// the panel's geometry; characters as numbers, 0 for none).
// Usage: wendrel-panel-points W H
#include "Alternates.h"
#include "PanelGeometry.h"
#include "PopupLayout.h"

#include <cstdio>
#include <cstdlib>

using namespace wendrel;

namespace {
const char *roleName(KeyRole role)
{
    switch (role) {
    case KeyRole::Letter: return "letter";
    case KeyRole::ShiftKey: return "shiftkey";
    case KeyRole::Character: return "character";
    case KeyRole::Equals: return "equals";
    case KeyRole::Shift: return "shift";
    case KeyRole::Caps: return "caps";
    case KeyRole::Fn: return "fn";
    case KeyRole::Load: return "load";
    case KeyRole::Save: return "save";
    case KeyRole::Shortcut: return "shortcut";
    case KeyRole::Options: return "options";
    case KeyRole::Exit: return "exit";
    case KeyRole::Help: return "help";
    }
    return "?";
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const PanelGeometry panel = PanelGeometry::forScreen(QRect(0, 0, std::atoi(argv[1]), std::atoi(argv[2])));
    const auto keys = keyTable();
    for (size_t i = 0; i < keys.size(); ++i) {
        const KeyRect &r = keys[i].rect;
        const QRectF rect(r.x, r.y, r.width, r.height);
        const QPointF centre = panel.toScreen(rect.center());
        std::printf("key %zu %s %d %d %.0f %.0f\n", i, roleName(keys[i].role), int(keys[i].typed), int(keys[i].shifted), centre.x(), centre.y());
        for (const bool shift : {false, true}) {
            const QStringList texts = keyAlternates(keys[i], shift, false, false);
            const QList<QRectF> cells = popupCellRects(rect, int(texts.size()), panelLayoutBounds);
            for (qsizetype c = 0; c < texts.size(); ++c) {
                const QPointF at = panel.toScreen(cells[c].center());
                std::printf("cell %zu %d %u %.0f %.0f\n", i, int(shift), texts[c].toUcs4().value(0), at.x(), at.y());
            }
        }
    }
    return 0;
}
