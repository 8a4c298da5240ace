#pragma once
// How the 66 keys look: their captions for the modifiers as they stand (and in keyboard mode),
// the lit keys of visual response and their timer, the default-button look of a pressed key,
// and the colour rule. The typing session decides when a key changes; this keeps the looks
// and says which keys a view must repaint.
#include "KeyTable.h"
#include "SessionClock.h"

#include <QList>
#include <QString>
#include <array>
#include <functional>

namespace wendrel {

// The modes that decide captions and colours.
struct KeyModes {
    bool upperCaseLabels = false; // letters read capitals (exactly one of Shift and Caps on)
    bool shift = false;
    bool caps = false;
    bool fn = false;
    bool ctrl = false;            // keyboard mode's Ctrl latch
    bool keyboardMode = false;    // typing into another program
};

class KeyFaces {
public:
    static constexpr int keyCount = 66;
    static constexpr int litMs = 65; // timer 1: how long a tapped key stays lit

    // changed: these keys want repainting.
    KeyFaces(SessionClock &clock, std::function<void(const QList<int> &)> changed);
    ~KeyFaces();
    KeyFaces(const KeyFaces &) = delete;
    KeyFaces &operator=(const KeyFaces &) = delete;

    // The caption a key shows with these modes. In keyboard mode Load, Save and Shortcut read
    // "Esc", "Tab" and "Ctrl" (with Fn, "Paste", "Copy" and "Shortcut", as in the note pad).
    static QString captionFor(int keyIndex, const KeyModes &modes);
    const QString &caption(int keyIndex) const { return captions[size_t(keyIndex)]; }
    // Every caption for the modes; the keys whose caption changed are repainted.
    void relabel(const KeyModes &modes);

    // Visual response: a tapped key is lit for a moment (on at start, as in a fresh config).
    void setLightFlag(bool on) { lightOn = on; }
    bool lightFlag() const { return lightOn; }
    // A tapped key lights (if it is one that lights, with visual response on); timer 1
    // restarts, so that all keys lit together go dark together, after the last of them.
    void light(int keyIndex);
    bool isLit(int keyIndex) const { return lit[size_t(keyIndex)]; }
    bool isLitTimerRunning() const { return litTimer != 0; }

    // A pressed push button becomes the default button, as on the handheld; the look goes
    // when the key's handler ends or the lit timer runs out.
    void setDefaultLook(int keyIndex);
    void clearDefaultLook(int keyIndex);
    bool hasDefaultLook(int keyIndex) const { return defaultLook[size_t(keyIndex)]; }

    // The colour rule: lit colour, the mode colour of an active modifier, else the face.
    Rgb colour(int keyIndex, const KeyModes &modes) const;
    // The rule as a paint asks for it: a lit key drawn again (the window uncovered) stays lit
    // 65 ms from this drawing.
    Rgb colourAsPainted(int keyIndex, const KeyModes &modes);

    // The key wants repainting (pressed, its mode changed).
    void changed(int keyIndex) { notify({keyIndex}); }
    // Nothing lit, no default look, the timer stopped, the captions for modes; every key is
    // repainted.
    void reset(const KeyModes &modes);

private:
    void restartLitTimer();
    void onLitTimer();

    SessionClock &clock;
    std::function<void(const QList<int> &)> notify;
    std::array<QString, keyCount> captions;
    std::array<bool, keyCount> lit{};
    std::array<bool, keyCount> defaultLook{};
    bool lightOn = true;
    int litTimer = 0; // clock id, 0 when not running
};

} // namespace wendrel
