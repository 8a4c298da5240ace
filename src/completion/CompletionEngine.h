#pragma once
// Word completion: from the text before the caret, the three words the user most likely
// means, and what accepting one of them types. Words come from the built-in dictionary and
// from what the user has typed (LearnedWords), which also gives the next word after a space.
#include "Dictionary.h"
#include "LearnedWords.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace wendrel {

// Context markers that stand where a previous word would: the start of the text, of a line
// or of a sentence; and a number or an overlong string. Neither can be a word.
inline const QString sentenceStartMarker = QStringLiteral("<s>");
inline const QString numberMarker = QStringLiteral("#");

struct CompletionContext {
    bool offer = false;          // false inside a number, after "=", or after other characters
    QString typed;               // the word begun before the caret, as typed; empty after a space
    QString previous;            // the previous word in small letters, or a marker
    bool sentenceStart = false;  // typed by hand, a word here would begin with a capital
    friend bool operator==(const CompletionContext &, const CompletionContext &) = default;
};

// Reads the text before the caret (line breaks as 13, 10 or 10).
CompletionContext completionContext(QStringView before);

// The candidate as it is typed: all capitals after capitals (two or more, or one with Caps
// on), a first capital after a typed one, at the start of a sentence, or with Caps on.
QString applyCase(QStringView typed, const QString &word, bool capsOn, bool sentenceStart);

class CompletionEngine {
public:
    static constexpr int candidateCount = 3;

    explicit CompletionEngine(std::shared_ptr<const Dictionary> dictionary, qsizetype maxLearnedWords = 20000,
                              qsizetype maxLearnedPairs = 60000);

    LearnedWords &learned() { return learnedWords; }
    const LearnedWords &learned() const { return learnedWords; }
    const Dictionary &dictionary() const { return *words; }

    // Up to three candidates, most likely first, in the case they would be typed in.
    QStringList candidates(QStringView before, bool capsOn = false) const;
    QStringList candidates(const CompletionContext &context, bool capsOn = false) const;

    struct Replacement {
        qsizetype removeCount = 0; // characters before the caret to replace (the typed letters)
        QString text;              // the word and a space
    };
    // Accepting a candidate shown for this text: what to type, and the word is learned.
    std::optional<Replacement> accept(QStringView before, const QString &candidate);

    // The character before the caret has just ended a word (a space, a line break, a
    // punctuation mark): the word before it is learned, with the word before that.
    void learnFinishedWord(QStringView before);
    // Learns every word of a text, in order.
    void learnText(QStringView text);

private:
    std::shared_ptr<const Dictionary> words;
    LearnedWords learnedWords;
};

} // namespace wendrel
