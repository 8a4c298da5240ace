#pragma once
// The 66 keys of the keyboard window as one table: layout, captions, typed characters,
// face colours and who lights each key all come from here.
#include <QString>
#include <span>

namespace wendrel {

struct Rgb {
    int red, green, blue;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

enum class KeyRole {
    Letter,    // types its letter by Shift and Caps; a shortcut key in Fn mode
    ShiftKey,  // one of the twenty keys whose character and caption follow Shift
    Character, // types one character whatever Shift says
    Equals,    // "=": a character key, the formula key in Fn mode
    Shift,
    Caps,
    Fn,
    Load,      // "Paste" in Fn mode
    Save,      // "Copy" in Fn mode
    Shortcut,
    Options,
    Exit,
    Help,
};

struct KeyRect {
    int x, y, width, height;
};

struct KeyDef {
    int id;
    const char16_t *caption; // as the window first shows it (letters as capitals)
    KeyRole role;
    KeyRect rect;
    char16_t typed;   // character without Shift, 0 for keys that type nothing
    char16_t shifted; // character and caption with Shift (ShiftKey and Letter), else 0
    Rgb face;
    bool lights;      // whether visual response lights this key (set by its own handler)
};

// The layout is designed for a 240 x 320 screen.
inline constexpr int layoutWidth = 240;
inline constexpr int layoutHeight = 320;
inline constexpr KeyRect textAreaRect{5, 1, layoutWidth - 10, 76};

inline constexpr Rgb litColour{255, 255, 155};
inline constexpr Rgb modeColour{211, 80, 255};
inline constexpr Rgb backgroundColour{33, 22, 51};

std::span<const KeyDef> keyTable();
// Index into keyTable() of the key with this control ID, or -1.
int keyIndexById(int id);
// Index of the first key of this role (for the one-of-a-kind keys such as Shift or Save).
int keyIndexByRole(KeyRole role);

// The caption a key shows for the given modifier state. Letters follow Shift and Caps as
// the labels do: capitals when exactly one of them is on. With Fn, "Save" and "Load" read
// "Copy" and "Paste", and "BackSpace" reads "Undo" ("Redo" with Shift too).
QString keyCaption(const KeyDef &key, bool upperCaseLabels, bool shiftOn, bool fnOn);

} // namespace wendrel
