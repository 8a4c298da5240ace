// How far a word-wise BackSpace deletes.
#include "WordBounds.h"

#include <gtest/gtest.h>

using namespace wendrel;

TEST(WordBounds, PreviousWordStart)
{
    struct Case {
        const char *name;
        QString text; // "|" marks the position
        QString after; // the text with what lies between the result and the position deleted
    };
    const Case cases[] = {
        {"a word", "hello world|", "hello |"},
        {"spaces after it", "hello world   |", "hello |"},
        {"the first word", "hello |", "|"},
        {"within a text", "one two| three", "one | three"},
        {"a line break is passed over", "line\n|", "|"},
        {"the word on the line", "line\nnext|", "line\n|"},
        {"punctuation on its own", "one, two,|", "one, two|"},
        {"punctuation after a space", "one ...|", "one |"},
        {"apostrophes belong to the word", "we don't|", "we |"},
        {"typographic apostrophe", "c’est l’été|", "c’est |"},
        {"accents and combining marks", "un cafe\u0301|", "un |"},
        {"digits", "pi 3.14|", "pi 3.|"},
        {"letters beyond the first plane", "x \U0001D400\U0001D401|", "x |"},
        {"emoji stay whole", "hi \U0001F600\U0001F600|", "hi |"},
        {"at the start", "|abc", "|abc"},
        {"only spaces", "   |", "|"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString text = c.text;
        const qsizetype position = text.indexOf(u'|');
        text.remove(position, 1);
        const qsizetype start = previousWordStart(text, position);
        ASSERT_LE(start, position);
        EXPECT_EQ(text.left(start) + u'|' + text.mid(position), c.after);
    }
}

TEST(WordBounds, PositionsOutsideTheText)
{
    EXPECT_EQ(previousWordStart(u"abc def", 100), 4);
    EXPECT_EQ(previousWordStart(u"abc", -5), 0);
    EXPECT_EQ(previousWordStart(u"", 0), 0);
}
