#pragma once
// The simulated user of the keystroke-savings benchmark. They type a text letter by letter
// and tap a candidate as soon as the word they are typing is among the three shown, when
// that saves keys. A tap is one keystroke and types the word and a space; before anything
// but a space (a comma, a full stop, a line break) the space costs a BackSpace, one more
// keystroke. Every character typed by hand is one keystroke (the typing assistant makes the
// capitals at the start of a sentence; other capitals are not counted separately).
// Savings = 1 - keystrokes / characters of the text.
#include <QString>
#include <QStringList>
#include <functional>

namespace wendrel::bench {

struct Predictor {
    // Candidates for the text before the caret.
    std::function<QStringList(const QString &before)> predict;
    // The user tapped a candidate (before: the text before the caret, word: the candidate).
    std::function<void(const QString &before, const QString &word)> accepted;
    // A word was finished by hand: before ends with the character that ended it.
    std::function<void(const QString &before)> finished;
};

struct Savings {
    qsizetype characters = 0;
    qsizetype keystrokes = 0;
    qsizetype predictions = 0;
    qsizetype words = 0;
    qsizetype offeredBeforeFirstLetter = 0; // words among the candidates before their first letter
    double ratio() const { return characters ? 1.0 - double(keystrokes) / double(characters) : 0.0; }
};

inline bool isWordCharacter(QChar ch)
{
    return ch.isLetterOrNumber() || ch == u'\'';
}

inline Savings simulateTyping(const QString &text, const Predictor &predictor)
{
    Savings result;
    result.characters = text.size();
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (!isWordCharacter(text[pos]) || text[pos] == u'\'') {
            ++result.keystrokes; // separators and opening quotes are typed
            ++pos;
            continue;
        }
        qsizetype end = pos;
        while (end < text.size() && isWordCharacter(text[end]))
            ++end;
        while (end > pos + 1 && text[end - 1] == u'\'')
            --end; // a closing quote is typed after the word
        const QString word = text.mid(pos, end - pos).toLower();
        const bool spaceFollows = end < text.size() && text[end] == u' ';
        const qsizetype wordStart = pos;
        bool tapped = false;
        ++result.words;
        // The word may be offered before its first letter (after a space) and after each one.
        for (qsizetype typed = wordStart; typed < end; ++typed) {
            const bool atWordStart = typed == wordStart;
            const bool nextWordSlot = !atWordStart || wordStart == 0 || text[wordStart - 1] == u' ' || text[wordStart - 1] == u'\n';
            if (nextWordSlot) {
                const QString before = text.left(typed);
                const QStringList candidates = predictor.predict(before);
                ++result.predictions;
                const bool offered = std::any_of(candidates.begin(), candidates.end(),
                                                 [&](const QString &c) { return c.toLower() == word; });
                if (offered && atWordStart)
                    ++result.offeredBeforeFirstLetter;
                const qsizetype tapCost = spaceFollows ? 1 : 2;
                const qsizetype byHand = (end - typed) + (spaceFollows ? 1 : 0);
                if (offered && tapCost < byHand) {
                    const QString shown = *std::find_if(candidates.begin(), candidates.end(),
                                                        [&](const QString &c) { return c.toLower() == word; });
                    predictor.accepted(before, shown);
                    result.keystrokes += tapCost;
                    pos = end + (spaceFollows ? 1 : 0);
                    tapped = true;
                    break;
                }
            }
            ++result.keystrokes;
        }
        if (!tapped) {
            pos = end;
            if (end < text.size())
                predictor.finished(text.left(end + 1));
        }
    }
    return result;
}

} // namespace wendrel::bench
