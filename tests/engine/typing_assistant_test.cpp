// The typing assistant's rules as one table: text before the caret, state and typed
// character -> characters posted and the state after.
#include "TypingAssistant.h"

#include <QString>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

struct Case {
    const char *name;
    QString text;      // the text, line breaks as 13, 10
    qsizetype caret;   // -1: at the end
    TypingState before;
    char16_t ch;
    QList<char16_t> posted; // what reaches the text area, in order
    TypingState after;
};

TypingContext contextOf(const QString &text, qsizetype caret)
{
    TypingContext context;
    context.length = text.size();
    context.caret = caret;
    context.before1 = caret >= 1 ? text[caret - 1].unicode() : 0;
    context.before2 = caret >= 2 ? text[caret - 2].unicode() : 0;
    return context;
}

QList<char16_t> run(const Case &c, TypingState &state)
{
    const qsizetype caret = c.caret < 0 ? c.text.size() : c.caret;
    const TypingDecision decision = decideTyping(contextOf(c.text, caret), c.before, c.ch);
    state = decision.state;
    return decision.handled ? decision.posts : QList<char16_t>{c.ch};
}

constexpr TypingState none{};
constexpr TypingState correctedAfter(char16_t last, char16_t second)
{
    return TypingState{last, second, true, false};
}
constexpr TypingState plain(char16_t last, char16_t second)
{
    return TypingState{last, second, false, false};
}

const QString crlf = QStringLiteral("\r\n");

} // namespace

TEST(TypingAssistant, Rules)
{
    const Case cases[] = {
        {"start of text", "", -1, none, u'h', {u'H'}, correctedAfter(0, 0)},
        {"undo start of text", "H", -1, correctedAfter(0, 0), 8, {8, u'h'}, plain(0, u'H')},
        {"sentence after full stop", "Hello. ", -1, none, u'w', {u'W'}, correctedAfter(u' ', u'.')},
        {"two spaces after stop", "Hello.  ", -1, none, u'w', {u'w'}, plain(u' ', u' ')},
        {"no space after stop", "Hello.", -1, none, u'w', {u'w'}, plain(u'.', u'o')},
        {"question mark", "ok? ", -1, none, u'y', {u'Y'}, correctedAfter(u' ', u'?')},
        {"exclamation mark", "ok! ", -1, none, u'y', {u'Y'}, correctedAfter(u' ', u'!')},
        {"lone i", "one i", -1, none, u' ', {8, u'I', u' '}, correctedAfter(u'i', u' ')},
        {"undo lone i", "one I ", -1, correctedAfter(u'i', u' '), 8, {8, 8, u'i', u' '}, plain(u' ', u'I')},
        {"i at sentence start", "Hi. ", -1, none, u'i', {u'I'}, correctedAfter(u' ', u'.')},
        {"undo I sets iRestored", "Hi. I", -1, correctedAfter(u' ', u'.'), 8, {8, u'i'},
         TypingState{u'I', u' ', false, true}},
        {"restored i is not corrected again", "Hi. i", -1, TypingState{u'I', u' ', false, true}, u' ', {u' '},
         plain(u'i', u' ')},
        {"start of line", "ab" + crlf, -1, none, u'c', {u'C'}, correctedAfter(10, 13)},
        {"lone line feed at the start", "\n", 1, none, u'c', {u'C'}, correctedAfter(0, 10)},
        {"caret at 0 of a text", "abc", 0, none, u'x', {u'x'}, plain(0, 0)},
        {"capital passes unchanged", "", -1, none, u'A', {u'A'}, plain(0, 0)},
        {"digit passes", "Hello. ", -1, none, u'7', {u'7'}, plain(u' ', u'.')},
        {"backspace without correction", "abc", -1, none, 8, {8}, plain(u'c', u'b')},
        {"backspace corrected, empty text", "", -1, correctedAfter(0, 0), 8, {8}, plain(0, 0)},
        // BackSpace undoes a correction only while it still stands before the caret.
        {"mended: caret moved to 0", "H", 0, correctedAfter(0, 0), 8, {8}, plain(0, 0)},
        {"mended: caret moved into the text", "so I ", 2, correctedAfter(u'i', u' '), 8, {8}, plain(u'o', u's')},
        {"mended: caret after the stop", "Hello. W", 6, correctedAfter(u' ', u'.'), 8, {8}, plain(u'.', u'o')},
        {"mended: pasted after the capital", "Hxyz", -1, correctedAfter(0, 0), 8, {8}, plain(u'z', u'y')},
    };
    for (const Case &c : cases) {
        TypingState state;
        EXPECT_EQ(run(c, state), c.posted) << c.name;
        EXPECT_EQ(state, c.after) << c.name;
    }
}

TEST(TypingAssistant, SelectionIsReplacedUnchangedAndKeepsTheState)
{
    const TypingState before{u'x', u'y', true, true};
    TypingContext context = contextOf(QStringLiteral("hello"), 5);
    context.hasSelection = true;
    context.caret = 0;
    const TypingDecision decision = decideTyping(context, before, u'a');
    EXPECT_FALSE(decision.handled);
    EXPECT_EQ(decision.state, before);
}

// Letters typed from a key's popup are capitalised by the same rules, and a BackSpace turns
// the capital back into the letter that was typed.
TEST(TypingAssistant, AccentedLetters)
{
    const Case cases[] = {
        {"start of text", "", -1, none, u'é', {u'É'}, correctedAfter(0, 0)},
        {"undo", "É", -1, correctedAfter(0, 0), 8, {8, u'é'}, plain(0, u'É')},
        {"sentence start", "Ja. ", -1, none, u'ø', {u'Ø'}, correctedAfter(u' ', u'.')},
        {"beyond Latin-1", "Tak. ", -1, none, u'ł', {u'Ł'}, correctedAfter(u' ', u'.')},
        {"undo beyond Latin-1", "Tak. Ł", -1, correctedAfter(u' ', u'.'), 8, {8, u'ł'}, plain(u'Ł', u' ')},
        {"start of line", "a" + crlf, -1, none, u'ç', {u'Ç'}, correctedAfter(10, 13)},
        {"sharp s has no capital of one character", "", -1, none, u'ß', {u'ß'}, plain(0, 0)},
        {"dotless i's capital would not turn back", "", -1, none, u'ı', {u'ı'}, plain(0, 0)},
        {"a capital passes", "", -1, none, u'Ü', {u'Ü'}, plain(0, 0)},
        {"a symbol passes", "", -1, none, u'€', {u'€'}, plain(0, 0)},
        {"within a word", "Caf", -1, none, u'é', {u'é'}, plain(u'f', u'a')},
        {"BackSpace after a typed capital deletes it", "Ü", -1, plain(0, 0), 8, {8}, plain(0, u'Ü')},
    };
    for (const Case &c : cases) {
        TypingState state;
        EXPECT_EQ(run(c, state), c.posted) << c.name;
        EXPECT_EQ(state, c.after) << c.name;
    }
}
