#include "VirtualKeyboard.h"

#include "WaylandConnection.h"
#include "virtual-keyboard-unstable-v1-client.h"

#include <QSet>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace wendrel {

uint32_t Keysym::forCharacter(char32_t ch)
{
    if (ch == U'\n' || ch == U'\r')
        return Return;
    if (ch == U'\t')
        return Tab;
    if (ch == 0x08)
        return BackSpace;
    if ((ch >= 0x20 && ch <= 0x7e) || (ch >= 0xa0 && ch <= 0xff))
        return uint32_t(ch);
    return 0x01000000u + uint32_t(ch);
}

QByteArray keymapText(const QList<uint32_t> &keysyms)
{
    QByteArray text = "xkb_keymap {\nxkb_keycodes \"wendrel\" {\n minimum = 8;\n maximum = 255;\n";
    for (int i = 0; i < keysyms.size(); ++i)
        text += " <K" + QByteArray::number(i + 9) + "> = " + QByteArray::number(i + 9) + ";\n";
    text += "};\nxkb_types \"wendrel\" { include \"complete\" };\n"
            "xkb_compat \"wendrel\" { include \"complete\" };\nxkb_symbols \"wendrel\" {\n";
    QByteArray shift, control, alt;
    for (int i = 0; i < keysyms.size(); ++i) {
        const QByteArray name = "<K" + QByteArray::number(i + 9) + ">";
        text += " key " + name + " { [ 0x" + QByteArray::number(keysyms[i], 16) + " ] };\n";
        if (keysyms[i] == Keysym::ShiftL)
            shift = name;
        else if (keysyms[i] == Keysym::ControlL)
            control = name;
        else if (keysyms[i] == Keysym::AltL)
            alt = name;
    }
    if (!shift.isEmpty())
        text += " modifier_map Shift { " + shift + " };\n";
    if (!control.isEmpty())
        text += " modifier_map Control { " + control + " };\n";
    if (!alt.isEmpty())
        text += " modifier_map Mod1 { " + alt + " };\n";
    text += "};\n};\n";
    return text;
}

VirtualKeyboard::VirtualKeyboard(WaylandConnection &connection, QObject *parent)
    : QObject(parent), connection(connection)
{
    clock.start();
    if (!connection.virtualKeyboardManager() || !connection.seat())
        return;
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(connection.virtualKeyboardManager(),
                                                                        connection.seat());
    // The keys that are keys, the modifiers, then every printable ASCII character.
    keymap = {Keysym::BackSpace, Keysym::Return, Keysym::Tab, Keysym::Escape, Keysym::Left, Keysym::Right,
              Keysym::Up, Keysym::Down, Keysym::Home, Keysym::End, Keysym::Delete, Keysym::ShiftL,
              Keysym::ControlL, Keysym::AltL};
    for (char32_t ch = 0x20; ch <= 0x7e; ++ch)
        keymap << Keysym::forCharacter(ch);
    fixedKeys = int(keymap.size());
    lastUse = QList<uint32_t>(keymap.size(), 0);
    sendKeymap();
}

VirtualKeyboard::~VirtualKeyboard()
{
    if (keyboard) {
        setModifiers(0);
        zwp_virtual_keyboard_v1_destroy(keyboard);
        connection.flush();
    }
}

uint32_t VirtualKeyboard::now() const { return uint32_t(clock.elapsed()); }

void VirtualKeyboard::sendKeymap()
{
    const QByteArray text = keymapText(keymap);
    const int fd = memfd_create("wendrel-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return;
    const size_t size = size_t(text.size()) + 1; // with its final NUL
    if (write(fd, text.constData(), size) != ssize_t(size)) {
        close(fd);
        return;
    }
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    close(fd);
    // The receivers have the keymap before the first key; a Shift press and release first,
    // since some receivers lose the first key after a new keymap.
    connection.roundTrip();
    const uint32_t shiftCode = uint32_t(keymap.indexOf(Keysym::ShiftL)) + 1;
    zwp_virtual_keyboard_v1_key(keyboard, now(), shiftCode, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard, now(), shiftCode, WL_KEYBOARD_KEY_STATE_RELEASED);
    modifiersNow = ~0u; // sent again before the next key
    setModifiers(0);
    connection.flush();
}

void VirtualKeyboard::ensureKeysyms(const QList<uint32_t> &wanted)
{
    if (!keyboard)
        return;
    QList<uint32_t> missing;
    for (uint32_t keysym : wanted) {
        if (!keymap.contains(keysym) && !missing.contains(keysym))
            missing << keysym;
    }
    if (missing.isEmpty())
        return;
    const QSet<uint32_t> keep(wanted.begin(), wanted.end());
    for (uint32_t keysym : missing) {
        if (keymap.size() < capacity) {
            keymap << keysym;
            lastUse << useCount;
            continue;
        }
        // Full: the key typed longest ago gives its place (never one wanted now).
        int oldest = -1;
        for (int i = fixedKeys; i < keymap.size(); ++i) {
            if (!keep.contains(keymap[i]) && (oldest < 0 || lastUse[i] < lastUse[oldest]))
                oldest = i;
        }
        if (oldest < 0)
            break; // more different characters at once than the keymap holds
        keymap[oldest] = keysym;
        lastUse[oldest] = useCount;
    }
    sendKeymap();
}

void VirtualKeyboard::setModifiers(uint32_t modifiers)
{
    if (modifiers == modifiersNow)
        return;
    modifiersNow = modifiers;
    zwp_virtual_keyboard_v1_modifiers(keyboard, modifiers, 0, 0, 0);
}

void VirtualKeyboard::tap(uint32_t keysym, uint32_t modifiers)
{
    if (!keyboard)
        return;
    const int index = int(keymap.indexOf(keysym));
    if (index < 0) {
        qWarning("wendrel: keysym 0x%x is not on the virtual keyboard's keymap", keysym);
        return;
    }
    lastUse[index] = ++useCount;
    const uint32_t code = uint32_t(index) + 1;
    setModifiers(modifiers);
    zwp_virtual_keyboard_v1_key(keyboard, now(), code, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard, now(), code, WL_KEYBOARD_KEY_STATE_RELEASED);
    setModifiers(0);
    connection.flush();
}

} // namespace wendrel
