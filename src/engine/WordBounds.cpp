#include "WordBounds.h"

#include <QChar>
#include <algorithm>

namespace wendrel {

namespace {

// The character that ends just before position and where it starts.
struct Before {
    char32_t ch;
    qsizetype start;
};

Before characterBefore(QStringView text, qsizetype position)
{
    const QChar last = text[position - 1];
    if (last.isLowSurrogate() && position >= 2 && text[position - 2].isHighSurrogate())
        return {QChar::surrogateToUcs4(text[position - 2], last), position - 2};
    return {last.unicode(), position - 1};
}

bool isSpace(char32_t ch)
{
    return QChar::isSpace(ch);
}

bool isPunctuation(char32_t ch)
{
    return !isSpace(ch) && !isWordCharacter(ch);
}

// Moves back over the characters that satisfy the test.
template <typename Test>
qsizetype skipBack(QStringView text, qsizetype position, Test test)
{
    while (position > 0) {
        const Before before = characterBefore(text, position);
        if (!test(before.ch))
            break;
        position = before.start;
    }
    return position;
}

} // namespace

bool isWordCharacter(char32_t ch)
{
    return QChar::isLetterOrNumber(ch) || QChar::isMark(ch) || ch == U'\'' || ch == U'\u2019';
}

qsizetype previousWordStart(QStringView text, qsizetype position)
{
    position = std::clamp<qsizetype>(position, 0, text.size());
    position = skipBack(text, position, isSpace);
    if (position == 0)
        return 0;
    if (isWordCharacter(characterBefore(text, position).ch))
        return skipBack(text, position, isWordCharacter);
    return skipBack(text, position, isPunctuation);
}

} // namespace wendrel
