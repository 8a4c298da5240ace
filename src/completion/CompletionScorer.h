#pragma once
// Word completion's knowledge as the tap decoder's language model: the English model, the
// dictionary's counts for the words the model lacks (British spellings, rarer plurals), and
// what the user has typed.
#include "WordScorer.h"

#include <QtGlobal>
#include <array>
#include <memory>

namespace wendrel {

class CompletionEngine;
class Dictionary;

// Below these, a word the model or dictionary holds is not taken for known: the decoder may
// mend it when the taps speak for another word, and keeps it when they speak for it. The
// lists also hold letters, fragments and slips ("s", "yo", "tye"; in the subtitles'
// dictionary "nd", "hos"), which sit among the short words.
struct KnownWordLimits {
    // log10 of the model's probability of the word on its own, for words of one, two, three
    // and more letters.
    std::array<double, 4> modelLog10{-3.0, -4.0, -4.5, -6.0};
    quint32 dictionaryCount = 300;
    quint32 dictionaryCountShort = 3000;
    quint32 learnedCount = 2;      // typed this often: a word typed once may be a slip
};

class CompletionScorer : public WordScorer {
public:
    // The engine must outlive the scorer. With a model, dictionary (when given) speaks for the
    // words the model does not hold; without one, the engine's own dictionary does.
    explicit CompletionScorer(const CompletionEngine &engine, std::shared_ptr<const Dictionary> dictionary = {},
                              KnownWordLimits known = {});

    double logProbability(QStringView word, QStringView previous1, QStringView previous2) const override;
    // Likely enough in the model or the dictionary, or typed by the user often enough.
    bool isKnownWord(QStringView word) const override;
    // The model's and the dictionary's words, and their probabilities there.
    void forEachWord(const std::function<void(QStringView word)> &f) const override;
    double priorLogProbability(QStringView word) const override;
    // The words the user has typed often enough to count as known.
    void forEachLearnedWord(const std::function<void(QStringView word)> &f) const;

private:
    const Dictionary &words() const;
    double dictionaryLog(QStringView word) const;

    const CompletionEngine &engine;
    std::shared_ptr<const Dictionary> dictionary;
    KnownWordLimits known;
};

} // namespace wendrel
