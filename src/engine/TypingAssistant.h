#pragma once
// The typing assistant's decision: from the text around the caret, its own state and the
// typed character, which characters to post and what the state becomes. No widgets here.
#include <QList>

namespace wendrel {

struct TypingState {
    char16_t lastChar = 0;       // character just before the caret at the last typed key
    char16_t secondLastChar = 0; // character two places before it
    bool corrected = false;      // the last typed key was changed by a correction
    bool iRestored = false;      // the last BackSpace turned an automatic "I" back into "i"
    friend bool operator==(const TypingState &, const TypingState &) = default;
};

// What the assistant sees of the text area. Positions count the text with line breaks as
// the two characters 13, 10.
struct TypingContext {
    qsizetype length = 0;      // length of the whole text
    bool hasSelection = false;
    qsizetype caret = 0;       // caret position when nothing is selected
    char16_t before1 = 0;      // character at caret - 1 (0 when caret < 1)
    char16_t before2 = 0;      // character at caret - 2 (0 when caret < 2)
};

struct TypingDecision {
    QList<char16_t> posts; // characters to post when handled
    bool handled = false;  // when false, the typed character is posted unchanged
    TypingState state;
};

TypingDecision decideTyping(const TypingContext &context, TypingState state, char16_t ch);

} // namespace wendrel
