#include "TypingAssistant.h"

#include <QChar>

namespace wendrel {

namespace {

constexpr char16_t backSpace = 8;
constexpr char16_t lineFeed = 10;
constexpr char16_t space = 32;

// The small letters the assistant capitalises: a to z, and the accented and other small
// letters typed from a key's popup ("é", "ł"), each with a capital of one character that
// turns back into the same small letter, so that undoing the capital restores what was typed.
// Sharp s (no one-character capital) and dotless i (whose capital I turns back into a
// dotted i) stay as typed.
bool isSmall(char16_t ch)
{
    if (ch < 0x80)
        return ch >= u'a' && ch <= u'z';
    const char32_t capital = QChar::toUpper(char32_t(ch));
    return QChar::isLower(char32_t(ch)) && capital != ch && QChar::toLower(capital) == ch;
}

bool isCapital(char16_t ch)
{
    if (ch < 0x80)
        return ch >= u'A' && ch <= u'Z';
    const char32_t small = QChar::toLower(char32_t(ch));
    return QChar::isUpper(char32_t(ch)) && small != ch && QChar::toUpper(small) == ch;
}

char16_t capitalOf(char16_t ch)
{
    return char16_t(QChar::toUpper(char32_t(ch)));
}

char16_t smallOf(char16_t ch)
{
    return char16_t(QChar::toLower(char32_t(ch)));
}

TypingDecision corrected(TypingState state, QList<char16_t> posts)
{
    state.corrected = true;
    return {std::move(posts), true, state};
}

TypingDecision notHandled(TypingState state)
{
    return {{}, false, state};
}

// BackSpace right after a correction undoes it, but only while the corrected character
// still stands right before the caret; otherwise the BackSpace deletes as usual. Without
// that check a caret move, a paste or a load between the correction and the BackSpace
// would make the undo type characters the user never typed.
TypingDecision undoCorrection(const TypingContext &context, TypingState state)
{
    state.corrected = false;
    if (context.length == 0)
        return notHandled(state);
    if (state.lastChar == space) {
        if (state.secondLastChar != u'I')
            return notHandled(state);
        return {{backSpace, backSpace, u'i', space}, true, state};
    }
    const char16_t capital = state.lastChar != 0 ? state.lastChar : state.secondLastChar;
    if (!isCapital(capital))
        return notHandled(state);
    if (capital == u'I' && state.lastChar != 0)
        state.iRestored = true;
    return {{backSpace, smallOf(capital)}, true, state};
}

} // namespace

TypingDecision decideTyping(const TypingContext &context, TypingState state, char16_t ch)
{
    if (context.hasSelection)
        return notHandled(state);

    // The handheld took the first character as secondLastChar when the caret stood at 1.
    if (context.caret == 0) {
        state.lastChar = 0;
        state.secondLastChar = 0;
    } else if (context.caret == 1) {
        state.lastChar = 0;
        state.secondLastChar = context.before1;
    } else {
        state.lastChar = context.before1;
        state.secondLastChar = context.before2;
    }
    if (ch != space)
        state.iRestored = false;

    const bool small = isSmall(ch);
    if (context.length == 0 && small)
        return corrected(state, {capitalOf(ch)});
    if (context.length > 0 && small
        && (state.lastChar == lineFeed || (state.secondLastChar == lineFeed && state.lastChar == 0)))
        return corrected(state, {capitalOf(ch)});
    if (state.corrected && ch == backSpace)
        return undoCorrection(context, state);
    if (state.secondLastChar == space && state.lastChar == u'i' && ch == space) {
        if (state.iRestored) {
            state.iRestored = false;
            return notHandled(state);
        }
        return corrected(state, {backSpace, u'I', space});
    }
    if ((state.secondLastChar == u'.' || state.secondLastChar == u'?' || state.secondLastChar == u'!')
        && state.lastChar == space && small)
        return corrected(state, {capitalOf(ch)});
    state.corrected = false;
    return notHandled(state);
}

} // namespace wendrel
