#pragma once
// Word completion's knowledge as the tap decoder's language model: the dictionary's counts
// for single words and what the user has typed (words, and which word followed which).
#include "WordScorer.h"

namespace wendrel {

class CompletionEngine;

class CompletionScorer : public WordScorer {
public:
    // The engine must outlive the scorer.
    // A dictionary word counts as known when its count reaches knownCount: the list, taken from
    // subtitles, also holds fragments and slips ("nd", "tye", "hos") that the decoder must be
    // free to mend. A rarer word is still kept when the taps speak for it (the decoder weighs
    // it like any other).
    // Words of one to three letters, where the slips sit, need knownShortCount.
    explicit CompletionScorer(const CompletionEngine &engine, quint32 knownCount = 300, quint32 knownShortCount = 3000)
        : engine(engine), knownCount(knownCount), knownShortCount(knownShortCount)
    {
    }

    double logProbability(QStringView word, QStringView previous1, QStringView previous2) const override;
    // Frequent enough in the dictionary, or typed by the user at least twice: a word typed
    // once may be a slip.
    bool isKnownWord(QStringView word) const override;
    void forEachWord(const std::function<void(QStringView word)> &f) const override;

private:
    const CompletionEngine &engine;
    quint32 knownCount;
    quint32 knownShortCount;
};

} // namespace wendrel
