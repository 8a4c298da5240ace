// Prints where to tap each key of the 240 x 320 layout, for end-to-end checks that drive the
// real window with pointer clicks: "<role> <typed character as a number> <x> <y>" a line.
#include "KeyTable.h"

#include <cstdio>

namespace {
const char *roleName(wendrel::KeyRole role)
{
    using wendrel::KeyRole;
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

int main()
{
    for (const wendrel::KeyDef &key : wendrel::keyTable()) {
        std::printf("%s %d %d %d\n", roleName(key.role), int(key.typed), key.rect.x + key.rect.width / 2,
                    key.rect.y + key.rect.height / 2);
    }
    return 0;
}
