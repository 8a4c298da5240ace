#pragma once
// Keyboard mode's sender on X11: what the typing engine sends goes to the window that has the
// input focus as XTest key events, as if typed on a keyboard.
//
// A character on the current keymap is its key, with Shift or AltGr pressed around it when its
// level needs them. A character that is not on the keymap (é on a US map, €, ł, an emoji) is
// typed on a spare keycode (one without symbols) that is given the character's keysym. The
// keycode keeps it until the sender ends (then every spare keycode gets its emptiness back), or
// until every spare keycode holds a character and the one used longest ago is taken over for
// another. Each change of the keymap makes every program on the display read the keymap again,
// and the window manager set its grabs again; a tap that comes meanwhile may go astray (under
// openbox, with popup letters tapped quickly, a pointer release and the next press were lost),
// so the keymap changes once for each new character, not twice for every one typed. A run of
// such characters never changes a keycode under a key still on its way.
//
// Caps Lock, when locked, is unlocked around the keys and locked again after them, and modifier
// keys held on the keyboard (Shift, Ctrl, Alt) are let go around them and pressed again, so
// "a" stays "a" and the keyboard's state is as it was afterwards.
#include "KeyOutput.h"

#include <QHash>
#include <QList>
#include <QObject>

typedef struct _XDisplay Display;

namespace wendrel {

class X11KeyOutput : public QObject, public KeyOutput {
    Q_OBJECT
public:
    // Before a spare keycode is taken over for another character, its last use is at least this
    // long ago: 30 ms, and 20 ms more for every key of the run of keys it was typed in (keys
    // less than 30 ms apart), since a receiver reads the keys of a run one by one and may read
    // the keymap again at any of them.
    static constexpr int restoreDelayMs = 30;
    static constexpr int perKeyDelayMs = 20;

    // display: an open connection (the toolkit's, or one of the caller's own); nullptr opens
    // one on $DISPLAY. isValid() tells whether XTest is there.
    explicit X11KeyOutput(Display *display = nullptr, QObject *parent = nullptr);
    ~X11KeyOutput() override; // spare keycodes given back
    bool isValid() const { return valid; }

    void sendText(const QString &text) override;
    void sendKey(SentKey key, SentModifiers modifiers = {}) override;
    void sendShortcut(char16_t ch, SentModifiers modifiers) override;
    void deleteBefore(int count) override;

    // The spare keycodes that hold a character now (for tests).
    int borrowedKeycodes() const { return int(borrowed.size()); }
    // Gives every spare keycode back (as the destructor does).
    void restoreKeymap();

private:
    struct Place {
        unsigned keycode = 0;
        int level = 0; // 0 plain, 1 Shift, 2 AltGr, 3 AltGr + Shift
    };
    struct Borrowed {
        unsigned keycode;
        unsigned long keysym;
        qint64 lastUse;
    };
    void readKeymap();
    bool placeOf(unsigned long keysym, Place &place) const;
    // A spare keycode for keysym; keep: keysyms whose keycodes must not be taken over now.
    Place borrow(unsigned long keysym, const QList<unsigned long> &keep = {});
    void typeCodePoint(char32_t codePoint);
    bool isBorrowed(unsigned keycode) const;
    void pressAt(const Place &place, SentModifiers extra = {});
    void key(unsigned keycode, bool down);
    void beginKeys();
    void endKeys();

    Display *display = nullptr;
    bool ownDisplay = false;
    bool valid = false;
    int minKeycode = 8, maxKeycode = 255, symsPerKeycode = 0;
    QList<unsigned long> keymap; // symsPerKeycode keysyms per keycode from minKeycode on
    QList<unsigned> spare;       // keycodes without symbols, free for borrowing
    QList<Borrowed> borrowed;
    unsigned shiftCode = 0, levelThreeCode = 0, controlCode = 0, altCode = 0;
    int depth = 0;
    qint64 keysSent = 0;   // key presses since the start
    qint64 burstStart = 0; // keysSent when the current run of keys began
    qint64 lastKeyTime = -100000;
    int holdMs() const;
    bool capsWasLocked = false;
    QList<unsigned> heldModifiers; // let go for the keys being sent, pressed again after them
    QList<unsigned> heldModifierKeys() const;
};

} // namespace wendrel
