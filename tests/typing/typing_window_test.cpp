// Typing by tapping keys of the real window.
#include "WindowFixture.h"

using namespace wendrel;
using namespace wendrel::test;

class Typing : public WindowTest {};

TEST_F(Typing, SentenceWithAutomaticCapitalsAndTheLoneI)
{
    type(QStringLiteral("hello. i am"));
    EXPECT_EQ(text(), QStringLiteral("Hello. I am"));
    EXPECT_EQ(fake.sounds.size(), 11); // one sound per tap
}

TEST_F(Typing, BackSpaceUndoesTheCorrectionsItFollows)
{
    type(QStringLiteral("h"));
    tap(1065);
    EXPECT_EQ(text(), QStringLiteral("h"));
    tap(1065);
    EXPECT_EQ(text(), QString());

    type(QStringLiteral("so i "));
    EXPECT_EQ(text(), QStringLiteral("So I "));
    tap(1065);
    EXPECT_EQ(text(), QStringLiteral("So i "));
}

TEST_F(Typing, BackSpaceAfterACaretMoveDeletesAsUsual)
{
    type(QStringLiteral("hello. w"));
    window->textArea().setSelection(6, 6);
    tap(1065);
    EXPECT_EQ(text(), QStringLiteral("Hello W"));
}

TEST_F(Typing, EnterStartsALineWithACapital)
{
    type(QStringLiteral("ab"));
    tap(1031);
    type(QStringLiteral("c"));
    EXPECT_EQ(text(), QStringLiteral("Ab\r\nC"));
    EXPECT_EQ(window->textArea().readSelection(), std::make_pair(qsizetype(5), qsizetype(5)));
}

TEST_F(Typing, ShiftTypesOneCapitalOrSymbolAndRelabels)
{
    tap(2003);
    EXPECT_EQ(window->state().shiftOn, 1);
    EXPECT_EQ(window->key(1000)->caption(), QStringLiteral("A"));
    EXPECT_EQ(window->key(1038)->caption(), QStringLiteral("&"));
    EXPECT_EQ(window->key(1061)->caption(), QStringLiteral("+")); // ignores Shift
    tap(1038);
    EXPECT_EQ(text(), QStringLiteral("&"));
    EXPECT_EQ(window->state().shiftOn, 0);
    EXPECT_EQ(window->key(1038)->caption(), QStringLiteral("7"));
    EXPECT_EQ(window->key(1000)->caption(), QStringLiteral("a"));
    // The released Shift runs its own after-tap steps: it lights too.
    EXPECT_EQ(window->state().litFlags[size_t(keyIndexById(2003))], 1);
}

TEST_F(Typing, ShiftAndCapsTogetherTypeSmallLetters)
{
    type(QStringLiteral("x ")); // not at the start of the text
    tap(1043);
    EXPECT_EQ(window->key(1000)->caption(), QStringLiteral("A"));
    tap(2003);
    EXPECT_EQ(window->key(1000)->caption(), QStringLiteral("a"));
    tap(1000);
    EXPECT_EQ(text(), QStringLiteral("X a"));
    EXPECT_EQ(window->key(1000)->caption(), QStringLiteral("A")); // Caps alone again
    tap(1000);
    EXPECT_EQ(text(), QStringLiteral("X aA"));
}

TEST_F(Typing, CapsAtTheStartTypesACapitalThatBackSpaceDeletes)
{
    tap(1043);
    tap(1000);
    EXPECT_FALSE(window->state().typing.corrected);
    tap(1065);
    EXPECT_EQ(text(), QString());
}

TEST_F(Typing, FnRelabelsLoadAndSaveAndEndsWithATypedKey)
{
    tap(1062);
    EXPECT_EQ(window->key(1088)->caption(), QStringLiteral("Copy"));
    EXPECT_EQ(window->key(1087)->caption(), QStringLiteral("Paste"));
    tap(2003);
    tap(1038);
    EXPECT_EQ(text(), QStringLiteral("&"));
    EXPECT_EQ(window->state().fnOn, 0);
    EXPECT_EQ(window->state().shiftOn, 0);
    EXPECT_EQ(window->key(1088)->caption(), QStringLiteral("Save"));
}

TEST_F(Typing, FnLetterTypesNothingAndEndsFn)
{
    tap(1043); // Caps plays no part
    tap(1062);
    tap(1017);
    EXPECT_EQ(text(), QString());
    EXPECT_EQ(window->state().fnOn, 0);
    EXPECT_EQ(window->state().capsOn, 1);
}

TEST_F(Typing, SelectionIsReplacedUnchanged)
{
    setText(QStringLiteral("hello"), 0);
    window->textArea().setSelection(0, -1);
    tap(1000);
    EXPECT_EQ(text(), QStringLiteral("a"));
}

TEST_F(Typing, LongTextsWorkLikeShortOnes)
{
    QString longText(70000, u'x');
    longText += QStringLiteral(". ");
    setText(longText, longText.size());
    tap(1000);
    EXPECT_EQ(text().size(), 70003);
    EXPECT_TRUE(text().endsWith(QStringLiteral(". A")));
    EXPECT_EQ(window->textArea().readSelection().first, 70003);
}

TEST_F(Typing, PositionsCountLineBreaksAsTwoCharacters)
{
    setText(QStringLiteral("ab\r\ncd\r\nef"), 0);
    TextArea &area = window->textArea();
    EXPECT_EQ(area.length(), 10);
    for (qsizetype p : {0, 2, 4, 6, 8, 10}) {
        area.setSelection(p, p);
        EXPECT_EQ(area.readSelection().first, p);
    }
    EXPECT_EQ(area.charAt(2), 13);
    EXPECT_EQ(area.charAt(3), 10);
    EXPECT_EQ(area.charAt(4), u'c');
    area.setSelection(3, 3); // inside a line break: the end of its line
    EXPECT_EQ(area.readSelection().first, 2);
}
