// The pieces of keyboard mode on Wayland that need no compositor: the text before the caret from
// the input method's surrounding text (UTF-8 byte offsets), and the keysyms of the virtual
// keyboard's own keymap.
#include "InputMethod.h"
#include "VirtualKeyboard.h"

#include <gtest/gtest.h>

using namespace wendrel;

TEST(InputMethodState, TextBeforeCaretFromByteOffsets)
{
    struct Case {
        const char *name;
        QByteArray text;
        int cursor, anchor;
        QString before;
    } cases[] = {
        {"empty field", "", 0, 0, ""},
        {"caret at the end", "It was late. ", 13, 13, "It was late. "},
        {"caret inside", "abc", 1, 1, "a"},
        {"multi-byte before the caret", "caf\xc3\xa9 \xe2\x82\xac", 9, 9, QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac")},
        {"after an emoji", "a\xf0\x9f\x98\x80z", 5, 5, QString::fromUtf8("a\xf0\x9f\x98\x80")},
        {"selection: its start", "hello world", 11, 6, "hello "},
        {"selection made backwards", "hello world", 6, 11, "hello "},
        {"offset past the end", "abc", 99, 99, "abc"},
    };
    for (const Case &c : cases) {
        InputMethodState state;
        state.hasSurroundingText = true;
        state.surroundingText = c.text;
        state.cursor = c.cursor;
        state.anchor = c.anchor;
        EXPECT_EQ(state.textBeforeCaret(), c.before) << c.name;
        EXPECT_FALSE(state.textBeforeCaret().isNull()) << c.name;
    }
    EXPECT_TRUE(InputMethodState{}.textBeforeCaret().isNull()) << "a field that reports no text";
}

TEST(VirtualKeyboard, KeysymsOfCharacters)
{
    struct Case {
        char32_t ch;
        uint32_t keysym;
    } cases[] = {
        {U'a', 0x61}, {U'~', 0x7e}, {U' ', 0x20}, {U'\u00e9', 0xe9}, {U'\u00df', 0xdf},
        {U'\u20ac', 0x10020ac}, {U'\u0142', 0x1000142}, {U'\U0001F600', 0x101F600},
        {U'\n', Keysym::Return}, {U'\t', Keysym::Tab},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Keysym::forCharacter(c.ch), c.keysym) << uint32_t(c.ch);
}

TEST(VirtualKeyboard, KeymapPutsEachKeysymOnItsOwnKey)
{
    const QByteArray keymap = keymapText({Keysym::BackSpace, Keysym::ShiftL, Keysym::ControlL, 0x61, 0x10020ac});
    EXPECT_TRUE(keymap.contains("<K9> = 9;"));
    EXPECT_TRUE(keymap.contains("<K13> = 13;"));
    EXPECT_TRUE(keymap.contains("key <K9> { [ 0xff08 ] };"));
    EXPECT_TRUE(keymap.contains("key <K13> { [ 0x10020ac ] };"));
    EXPECT_TRUE(keymap.contains("modifier_map Shift { <K10> };"));
    EXPECT_TRUE(keymap.contains("modifier_map Control { <K11> };"));
    EXPECT_FALSE(keymap.contains("Mod1"));
    EXPECT_EQ(keymap.count('{'), keymap.count('}'));
}
