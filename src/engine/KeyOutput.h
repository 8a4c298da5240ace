#pragma once
// What keyboard mode sends to the program that has the focus. The typing engine decides what
// to send; a sender of the window system (XTest on X11; the input method or the virtual
// keyboard on Wayland) delivers it. Qt Core only.
#include <QString>

namespace wendrel {

// Keys that are sent as keys rather than as text.
enum class SentKey { BackSpace, Return, Tab, Escape, Left, Right, Up, Down, Home, End, Delete };

struct SentModifiers {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    friend bool operator==(SentModifiers, SentModifiers) = default;
};

// What the focused field is, as far as Wendrel can tell. It decides what the engine may do
// there: learn words, show candidates, correct, capitalise.
enum class FieldKind { Unknown, Text, Password, Terminal, Email, Url, Number };

class KeyOutput {
public:
    virtual ~KeyOutput() = default;
    // Types text (any Unicode; a "\n" is sent as Return) into the focused program.
    virtual void sendText(const QString &text) = 0;
    // One key, with the modifiers held around it.
    virtual void sendKey(SentKey key, SentModifiers modifiers = {}) = 0;
    // A character key with modifiers (Ctrl+C, Ctrl+Shift+Z); ch is a lower-case letter or a digit.
    virtual void sendShortcut(char16_t ch, SentModifiers modifiers) = 0;
    // Deletes `count` characters before the caret (BackSpaces, or the input method's deletion).
    // A character is a Unicode code point: a surrogate pair counts one, as one BackSpace
    // deletes it; a line break counts one.
    virtual void deleteBefore(int count) = 0;
    // The same, given the text deleted (as Wendrel knows it, line breaks as "\n"), for a
    // sender that counts otherwise (an input method counts bytes of UTF-8). The engine calls
    // this one.
    virtual void deleteTextBefore(const QString &deleted)
    {
        int count = 0;
        for (qsizetype i = 0; i < deleted.size(); ++i) {
            if (!(deleted[i].isLowSurrogate() && i > 0 && deleted[i - 1].isHighSurrogate()))
                ++count;
        }
        deleteBefore(count);
    }
};

} // namespace wendrel
