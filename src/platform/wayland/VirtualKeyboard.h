#pragma once
// The virtual keyboard (zwp_virtual_keyboard_v1): keys for programs that do not speak
// text-input (Qt 6.4's own programs, X11 programs under Xwayland) and the keys that are keys
// everywhere (Return, BackSpace, arrows, Ctrl+letter). Its keymap is Wendrel's own: one key per
// character needed, so a character is typed without modifiers on any layout. A character not
// on it yet is added by sending a new keymap (the keys already there keep their keycodes).
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>

struct zwp_virtual_keyboard_v1;

namespace wendrel {

class WaylandConnection;

namespace Keysym {
enum : uint32_t {
    BackSpace = 0xff08, Tab = 0xff09, Return = 0xff0d, Escape = 0xff1b, Home = 0xff50, Left = 0xff51,
    Up = 0xff52, Right = 0xff53, Down = 0xff54, End = 0xff57, Delete = 0xffff, ShiftL = 0xffe1,
    ControlL = 0xffe3, AltL = 0xffe9
};
// The keysym of a Unicode character (Latin-1 as itself, the rest as Unicode keysyms).
uint32_t forCharacter(char32_t ch);
}

namespace Modifier {
enum : uint32_t { Shift = 0x1, Control = 0x4, Alt = 0x8 };
}

// The keymap's text for these keysyms, the n-th on keycode 9 + n (evdev code 1 + n).
QByteArray keymapText(const QList<uint32_t> &keysyms);

class VirtualKeyboard : public QObject {
    Q_OBJECT
public:
    // How many keys the keymap can hold (X11 programs see keycodes up to 255 only).
    static constexpr int capacity = 255 - 9 + 1;

    VirtualKeyboard(WaylandConnection &connection, QObject *parent = nullptr);
    ~VirtualKeyboard() override;
    bool isValid() const { return keyboard != nullptr; }

    // Makes sure the keymap holds these keysyms (one new keymap for all that are missing,
    // then a round trip and a Shift press as a primer, so that no key after it is lost).
    void ensureKeysyms(const QList<uint32_t> &keysyms);
    bool hasKeysym(uint32_t keysym) const { return keymap.contains(keysym); }
    // Presses and releases the key of this keysym with these modifiers held (Modifier::...).
    // The keysym must be on the keymap (ensureKeysyms).
    void tap(uint32_t keysym, uint32_t modifiers = 0);
    const QList<uint32_t> &keysyms() const { return keymap; }

private:
    void sendKeymap();
    void setModifiers(uint32_t modifiers);
    uint32_t now() const;

    WaylandConnection &connection;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    QList<uint32_t> keymap;      // keysym at index n is on evdev code 1 + n
    QList<uint32_t> lastUse;     // for each key: when it was last typed (a counter)
    uint32_t useCount = 0;
    int fixedKeys = 0;           // the keys that are never replaced
    uint32_t modifiersNow = 0;
    QElapsedTimer clock;
};

} // namespace wendrel
