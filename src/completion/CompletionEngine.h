#pragma once
// Word completion: from the text before the caret, the three words the user most likely
// means, and what accepting one of them types. Words come from the English language model
// (LanguageModel: how likely each word is after the one or two before it), or without one
// from the built-in dictionary, and from what the user has typed (LearnedWords), which
// outranks the model the more it is used.
#include "Dictionary.h"
#include "LanguageModel.h"
#include "LearnedWords.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

namespace wendrel {

// Context markers that stand where a previous word would: the start of the text, of a line
// or of a sentence; and a number or an overlong string. Neither can be a word.
inline const QString sentenceStartMarker = QStringLiteral("<s>");
inline const QString numberMarker = QStringLiteral("#");

struct CompletionContext {
    bool offer = false;          // false inside a number, after "=", or after other characters
    QString typed;               // the word begun before the caret, as typed; empty after a space
    QString previous;            // the previous word in small letters, or a marker
    QString previous2;           // the word before previous (or <s>) when previous is a word
    // The two words before for the language model, which knows no punctuation: as previous and
    // previous2, but across commas, quotes and the like; empty when unknown.
    QString modelPrevious, modelPrevious2;
    bool sentenceStart = false;  // typed by hand, a word here would begin with a capital
    friend bool operator==(const CompletionContext &, const CompletionContext &) = default;
};

// Reads the text before the caret (line breaks as 13, 10 or 10).
CompletionContext completionContext(QStringView before);

// The two words before a word put in whole at the end of before (a swiped word, which brings
// the space before it), for the language model as modelPrevious and modelPrevious2 are: a word
// that ends right there counts as finished ("Hello" gives "hello" and the sentence start), and
// so does a sentence ended there without a space after it.
std::pair<QString, QString> modelWordsAt(QStringView before);

// The candidate as it is typed: all capitals after capitals (two or more, or one with Caps
// on), a first capital after a typed one, at the start of a sentence, or with Caps on.
QString applyCase(QStringView typed, const QString &word, bool capsOn, bool sentenceStart);

class CompletionEngine {
public:
    static constexpr int candidateCount = 3;

    // Completion from the dictionary alone (no context but what is learned).
    explicit CompletionEngine(std::shared_ptr<const Dictionary> dictionary, qsizetype maxLearnedWords = 20000,
                              qsizetype maxLearnedPairs = 60000);
    // Completion from a language model; the dictionary may be null (it is then not used).
    CompletionEngine(std::shared_ptr<const LanguageModel> model, std::shared_ptr<const Dictionary> dictionary,
                     qsizetype maxLearnedWords = 20000, qsizetype maxLearnedPairs = 60000,
                     qsizetype maxLearnedTriples = 60000);

    // The engine as the program uses it: the language model at LanguageModel::defaultPath()
    // (or path), memory mapped. When it is missing or damaged, isAvailable() is false,
    // unavailableReason() says why, and no candidates are offered. Cheap (the file is mapped
    // and only its indexes are read, a few milliseconds): call it after the window's first
    // paint, on the window's thread or on a worker whose engine the window then takes. The
    // learned words are read apart: see LearnedWords::reader() and adopt().
    static std::unique_ptr<CompletionEngine> create(const QString &modelPath = {});
    bool isAvailable() const { return unavailable.isEmpty(); }
    QString unavailableReason() const { return unavailable; }

    LearnedWords &learned() { return learnedWords; }
    const LearnedWords &learned() const { return learnedWords; }
    // The dictionary (an empty one when the engine has a model and no dictionary).
    const Dictionary &dictionary() const { return *words; }
    const LanguageModel *model() const { return languageModel.get(); }

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

    // For scoring words typed by taps in context. log10 of the probability that word (any
    // case) comes after previous2 previous1 (each a word, any case, or sentenceStartMarker
    // for the start of a sentence; empty when unknown: then the shorter context is used), from
    // the model and what was learned; LanguageModel::minusInfinity for a word neither knows.
    // Without a model, from the dictionary's counts and what was learned. A few binary
    // searches: cheap enough to score every word a tap decoder considers.
    double logProbability(QStringView word, QStringView previous1, QStringView previous2 = {}) const;
    // Whether the word (any case) is in the model, the dictionary or what was learned.
    bool isKnownWord(QStringView word) const;

private:
    struct Scored;
    QStringList dictionaryCandidates(const CompletionContext &context, bool capsOn) const;
    QStringList modelCandidates(const CompletionContext &context, bool capsOn) const;
    // The probability of a word (its key) after the context, the model's mixed with what was learned.
    double combinedProbability(const QString &key, LanguageModel::WordId word, const LanguageModel::Context &modelContext,
                               const LearnedWords::Followers *pairs, const LearnedWords::Followers *triples) const;
    LanguageModel::WordId modelWord(QStringView word) const;

    std::shared_ptr<const Dictionary> words;
    std::shared_ptr<const LanguageModel> languageModel;
    LearnedWords learnedWords;
    QString unavailable;
};

} // namespace wendrel
