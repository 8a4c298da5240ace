#pragma once
// What the tap decoder asks of a language model: how likely a word is after the words before
// it, whether the program knows a word, and which words there are to choose from.
#include <QStringView>
#include <functional>

namespace wendrel {

class WordScorer {
public:
    virtual ~WordScorer() = default;

    // Natural logarithm of the probability of word (in small letters) after previous1, the
    // word just before it, and previous2, the one before that (small letters, or completion's
    // context markers such as the sentence start; empty when there is none).
    virtual double logProbability(QStringView word, QStringView previous1, QStringView previous2) const = 0;
    // The word (in small letters) is in the dictionary, the model, or what the user has taught.
    virtual bool isKnownWord(QStringView word) const = 0;
    // The fixed vocabulary (the model's and the dictionary's words, not what the user taught):
    // f is called with each word as the dictionary writes it ("London", "don't"), and
    // priorLogProbability gives each word's probability on its own. The decoder builds its
    // lexicon from these, possibly on another thread than the one that teaches words: they
    // must not read what is taught.
    virtual void forEachWord(const std::function<void(QStringView word)> &f) const = 0;
    virtual double priorLogProbability(QStringView word) const = 0;
};

} // namespace wendrel
