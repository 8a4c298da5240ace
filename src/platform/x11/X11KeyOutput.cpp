#include "X11KeyOutput.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace wendrel {

namespace {

qint64 nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

// The keysym of a character: Latin-1 keysyms are the code points themselves, every other
// character has its Unicode keysym.
unsigned long keysymOf(char32_t codePoint)
{
    if ((codePoint >= 0x20 && codePoint <= 0x7e) || (codePoint >= 0xa0 && codePoint <= 0xff))
        return codePoint;
    return 0x01000000UL + codePoint;
}

// The character a keymap's keysym types, 0 for none (or one this sender does not look for on
// the map: it types those on a spare keycode instead).
char32_t codePointOf(unsigned long keysym)
{
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return char32_t(keysym);
    if (keysym >= 0x01000100UL && keysym <= 0x0110ffffUL)
        return char32_t(keysym - 0x01000000UL);
    if (keysym == XK_EuroSign)
        return 0x20ac;
    return 0;
}

unsigned long keysymOf(SentKey key)
{
    switch (key) {
    case SentKey::BackSpace: return XK_BackSpace;
    case SentKey::Return: return XK_Return;
    case SentKey::Tab: return XK_Tab;
    case SentKey::Escape: return XK_Escape;
    case SentKey::Left: return XK_Left;
    case SentKey::Right: return XK_Right;
    case SentKey::Up: return XK_Up;
    case SentKey::Down: return XK_Down;
    case SentKey::Home: return XK_Home;
    case SentKey::End: return XK_End;
    case SentKey::Delete: return XK_Delete;
    }
    return NoSymbol;
}

// The keymap's columns of group 1 by level: plain, Shift, AltGr, AltGr + Shift.
constexpr int levelColumn[4] = {0, 1, 4, 5};

} // namespace

X11KeyOutput::X11KeyOutput(Display *connection, QObject *parent) : QObject(parent), display(connection)
{
    if (!display) {
        display = XOpenDisplay(nullptr);
        ownDisplay = display != nullptr;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    valid = display && XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
    if (!valid) {
        qWarning("wendrel: the X server offers no XTest extension; keys cannot be sent");
        return;
    }
    readKeymap();
}

X11KeyOutput::~X11KeyOutput()
{
    if (valid) {
        restoreKeymap();
        XSync(display, False);
    }
    if (ownDisplay)
        XCloseDisplay(display);
}

void X11KeyOutput::readKeymap()
{
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    const int count = maxKeycode - minKeycode + 1;
    KeySym *syms = XGetKeyboardMapping(display, KeyCode(minKeycode), count, &symsPerKeycode);
    keymap.clear();
    spare.clear();
    if (!syms)
        return;
    keymap.reserve(count * symsPerKeycode);
    for (int i = 0; i < count * symsPerKeycode; ++i)
        keymap.append(syms[i]);
    XFree(syms);
    // Spare keycodes: no symbol at all.
    for (int code = minKeycode; code <= maxKeycode; ++code) {
        bool empty = true;
        for (int column = 0; column < symsPerKeycode && empty; ++column)
            empty = keymap[(code - minKeycode) * symsPerKeycode + column] == NoSymbol;
        if (empty)
            spare.append(unsigned(code));
    }
    shiftCode = XKeysymToKeycode(display, XK_Shift_L);
    levelThreeCode = XKeysymToKeycode(display, XK_ISO_Level3_Shift);
    if (!levelThreeCode)
        levelThreeCode = XKeysymToKeycode(display, XK_Mode_switch);
    controlCode = XKeysymToKeycode(display, XK_Control_L);
    altCode = XKeysymToKeycode(display, XK_Alt_L);
}

bool X11KeyOutput::placeOf(unsigned long keysym, Place &place) const
{
    const char32_t wanted = codePointOf(keysym);
    for (int level = 0; level < 4; ++level) {
        const int column = levelColumn[level];
        if (column >= symsPerKeycode || (level >= 2 && !levelThreeCode) || (level % 2 == 1 && !shiftCode))
            continue;
        for (int code = minKeycode; code <= maxKeycode; ++code) {
            const unsigned long sym = keymap[(code - minKeycode) * symsPerKeycode + column];
            if (sym == NoSymbol)
                continue;
            if (sym == keysym || (wanted && codePointOf(sym) == wanted)) {
                place = {unsigned(code), level};
                return true;
            }
        }
    }
    return false;
}

X11KeyOutput::Place X11KeyOutput::borrow(unsigned long keysym, const QList<unsigned long> &keep)
{
    for (Borrowed &b : borrowed) {
        if (b.keysym == keysym) {
            b.lastUse = nowMs();
            return {b.keycode, 0};
        }
    }
    unsigned keycode = 0;
    if (!spare.isEmpty()) {
        keycode = spare.takeFirst(); // the one given back longest ago
    } else if (!borrowed.isEmpty()) {
        // Every spare keycode holds a character typed just now: the oldest one that this run
        // does not need is taken over once the receivers have had the time to read its key.
        qsizetype oldestIndex = 0;
        while (oldestIndex + 1 < borrowed.size() && keep.contains(borrowed[oldestIndex].keysym))
            ++oldestIndex;
        const Borrowed oldest = borrowed.takeAt(oldestIndex);
        XSync(display, False);
        // A receiver reads the keys of a run one by one, and may read the keymap again at any
        // of them: the wait grows with the keys typed since the keycode's last use.
        const qint64 wait = oldest.lastUse + holdMs() - nowMs();
        if (wait > 0)
            QThread::msleep(ulong(wait));
        keycode = oldest.keycode;
    } else {
        return {};
    }
    QList<KeySym> syms(qMax(symsPerKeycode, 2), NoSymbol);
    syms[0] = syms[1] = keysym; // the same with Shift
    XChangeKeyboardMapping(display, int(keycode), int(syms.size()), syms.data(), 1);
    for (int column = 0; column < symsPerKeycode; ++column)
        keymap[(int(keycode) - minKeycode) * symsPerKeycode + column] = column < 2 ? keysym : NoSymbol;
    borrowed.append({keycode, keysym, nowMs()});
    return {keycode, 0};
}

int X11KeyOutput::holdMs() const
{
    return int(restoreDelayMs + perKeyDelayMs * qMin<qint64>(keysSent - burstStart, 100));
}

void X11KeyOutput::restoreKeymap()
{
    for (const Borrowed &b : borrowed) {
        QList<KeySym> syms(qMax(symsPerKeycode, 1), NoSymbol);
        XChangeKeyboardMapping(display, int(b.keycode), int(syms.size()), syms.data(), 1);
        for (int column = 0; column < symsPerKeycode; ++column)
            keymap[(int(b.keycode) - minKeycode) * symsPerKeycode + column] = NoSymbol;
        spare.append(b.keycode);
    }
    borrowed.clear();
    XFlush(display);
}

void X11KeyOutput::key(unsigned keycode, bool down)
{
    if (down) {
        const qint64 now = nowMs();
        if (now - lastKeyTime > restoreDelayMs)
            burstStart = keysSent; // a new run of keys
        lastKeyTime = now;
        ++keysSent;
    }
    XTestFakeKeyEvent(display, keycode, down ? True : False, CurrentTime);
}

// The modifier keys held down on the keyboard now (Shift, Ctrl, Alt, AltGr, Super), which would
// change what the keys type; the locks (Caps Lock, Num Lock) are not among them.
QList<unsigned> X11KeyOutput::heldModifierKeys() const
{
    QList<unsigned> held;
    char down[32] = {};
    XQueryKeymap(display, down);
    XModifierKeymap *map = XGetModifierMapping(display);
    if (!map)
        return held;
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
        const unsigned code = map->modifiermap[i];
        if (!code || code > 255 || !(down[code / 8] & (1 << (code % 8))) || held.contains(code))
            continue;
        const KeySym sym = XkbKeycodeToKeysym(display, KeyCode(code), 0, 0);
        if (sym != XK_Caps_Lock && sym != XK_Shift_Lock && sym != XK_Num_Lock && sym != XK_Scroll_Lock)
            held.append(code);
    }
    XFreeModifiermap(map);
    return held;
}

// Around every group of keys: Caps Lock, when locked, is let go so that letters type as
// asked, and locked again at the end; modifier keys held on the keyboard are let go in the
// same way and pressed again at the end, so that "a" stays "a" under a held Shift and "c" does
// not become Ctrl+C, and the held keys still act on what the user types next.
void X11KeyOutput::beginKeys()
{
    if (depth++ > 0)
        return;
    XkbStateRec state{};
    capsWasLocked = XkbGetState(display, XkbUseCoreKbd, &state) == Success && (state.locked_mods & LockMask);
    if (capsWasLocked)
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
    heldModifiers = heldModifierKeys();
    for (unsigned code : heldModifiers)
        XTestFakeKeyEvent(display, code, False, CurrentTime);
}

void X11KeyOutput::endKeys()
{
    if (--depth > 0)
        return;
    for (unsigned code : heldModifiers)
        XTestFakeKeyEvent(display, code, True, CurrentTime);
    heldModifiers.clear();
    if (capsWasLocked)
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask);
    capsWasLocked = false;
    XFlush(display);
}

void X11KeyOutput::pressAt(const Place &place, SentModifiers extra)
{
    if (!place.keycode)
        return;
    const bool shift = extra.shift || place.level % 2 == 1;
    const bool levelThree = place.level >= 2;
    if (extra.ctrl && controlCode)
        key(controlCode, true);
    if (extra.alt && altCode)
        key(altCode, true);
    if (shift && shiftCode)
        key(shiftCode, true);
    if (levelThree)
        key(levelThreeCode, true);
    key(place.keycode, true);
    key(place.keycode, false);
    if (levelThree)
        key(levelThreeCode, false);
    if (shift && shiftCode)
        key(shiftCode, false);
    if (extra.alt && altCode)
        key(altCode, false);
    if (extra.ctrl && controlCode)
        key(controlCode, false);
}

void X11KeyOutput::typeCodePoint(char32_t codePoint)
{
    const unsigned long keysym = keysymOf(codePoint);
    Place place;
    if (!placeOf(keysym, place) || isBorrowed(place.keycode))
        place = borrow(keysym); // (a borrowed one: its time of last use renewed)
    pressAt(place);
}

bool X11KeyOutput::isBorrowed(unsigned keycode) const
{
    return std::any_of(borrowed.begin(), borrowed.end(), [keycode](const Borrowed &b) { return b.keycode == keycode; });
}

void X11KeyOutput::sendText(const QString &text)
{
    if (!valid)
        return;
    QList<char32_t> typed;
    for (const char32_t codePoint : text.toUcs4()) {
        if (codePoint == u'\n' || codePoint == u'\r' || codePoint == u'\t'
            || (codePoint >= 0x20 && codePoint != 0x7f && !(codePoint >= 0x80 && codePoint < 0xa0)))
            typed.append(codePoint);
    }
    beginKeys();
    qsizetype done = 0;
    while (done < typed.size()) {
        // The characters that need a spare keycode are mapped all at once before their keys,
        // as many as there are spare keycodes; a receiver then reads one keymap for them all.
        qsizetype end = done;
        QList<unsigned long> mapped;
        for (; end < typed.size(); ++end) {
            const char32_t codePoint = typed[end];
            if (codePoint < 0x20)
                continue;
            const unsigned long keysym = keysymOf(codePoint);
            Place place;
            if (mapped.contains(keysym) || (placeOf(keysym, place) && !isBorrowed(place.keycode)))
                continue;
            if (mapped.size() == spare.size() + borrowed.size())
                break; // no spare keycode left for this one: it goes in the next run
            mapped.append(keysym);
        }
        for (unsigned long keysym : mapped)
            borrow(keysym, mapped);
        for (qsizetype i = done; i < end; ++i) {
            if (typed[i] == u'\n' || typed[i] == u'\r')
                sendKey(SentKey::Return);
            else if (typed[i] == u'\t')
                sendKey(SentKey::Tab);
            else
                typeCodePoint(typed[i]);
        }
        done = end;
    }
    endKeys();
}

void X11KeyOutput::sendKey(SentKey sent, SentModifiers modifiers)
{
    if (!valid)
        return;
    beginKeys();
    const unsigned long keysym = keysymOf(sent);
    Place place;
    if (!placeOf(keysym, place))
        place = borrow(keysym);
    pressAt({place.keycode, 0}, modifiers);
    endKeys();
}

void X11KeyOutput::sendShortcut(char16_t ch, SentModifiers modifiers)
{
    if (!valid)
        return;
    beginKeys();
    const unsigned long keysym = keysymOf(char32_t(QChar(ch).toLower().unicode()));
    Place place;
    if (!placeOf(keysym, place))
        place = borrow(keysym);
    // The key of the character; the shortcut's own modifiers, not the level's.
    pressAt({place.keycode, 0}, modifiers);
    endKeys();
}

void X11KeyOutput::deleteBefore(int count)
{
    if (!valid || count <= 0)
        return;
    beginKeys();
    for (int i = 0; i < count; ++i)
        sendKey(SentKey::BackSpace);
    endKeys();
}

} // namespace wendrel
