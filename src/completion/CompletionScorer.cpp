#include "CompletionScorer.h"

#include "CompletionEngine.h"

#include <algorithm>
#include <cmath>

namespace wendrel {

namespace {

// As in completion: learned counts weigh as much as the dictionary's after this many uses.
constexpr double learnedWeightHalf = 150.0;
// A word neither the dictionary nor the user knows is rarer than the rarest word there is.
constexpr double unseenCount = 0.1;
// Learned words the user typed this often count as known.
constexpr quint32 knownLearnedCount = 2;

} // namespace

double CompletionScorer::logProbability(QStringView word, QStringView previous1, QStringView) const
{
    const Dictionary &dictionary = engine.dictionary();
    const LearnedWords &learned = engine.learned();
    const QString key = word.toString();
    const qsizetype index = dictionary.find(key.toUtf8());
    const double dictionaryCount = index >= 0 ? double(dictionary.count(index)) : 0.0;
    const double dictionaryTotal = std::max<double>(1.0, double(dictionary.total()));
    const LearnedWords::Word *known = learned.find(key);
    const double learnedTotal = double(learned.total());
    const double learnedWeight = learnedTotal / (learnedTotal + learnedWeightHalf);
    double probability = (1.0 - learnedWeight) * (dictionaryCount + unseenCount) / dictionaryTotal;
    if (known && learnedTotal > 0)
        probability += learnedWeight * known->count / learnedTotal;
    // Pairs the user typed, interpolated as completion does (Witten-Bell).
    if (!previous1.isEmpty()) {
        if (const LearnedWords::Followers *followers = learned.followers(previous1.toString())) {
            const double pairTotal = followers->total;
            const double pairWeight = pairTotal / (pairTotal + double(followers->list.size()));
            const auto follower = std::find_if(followers->list.begin(), followers->list.end(),
                                               [&](const LearnedWords::Follower &f) { return f.key == key; });
            const double fromPair = follower != followers->list.end() ? follower->count / pairTotal : 0.0;
            probability = pairWeight * fromPair + (1.0 - pairWeight) * probability;
        }
    }
    return std::log(probability);
}

bool CompletionScorer::isKnownWord(QStringView word) const
{
    // The dictionary has no possessives: "friend's" is known when "friend" is.
    if (word.size() > 2 && word.endsWith(QLatin1String("'s"), Qt::CaseInsensitive))
        return isKnownWord(word.chopped(2));
    const QString key = word.toString().toLower();
    const qsizetype index = engine.dictionary().find(key.toUtf8());
    if (index >= 0 && engine.dictionary().count(index) >= (key.size() <= 3 ? knownShortCount : knownCount))
        return true;
    const LearnedWords::Word *learned = engine.learned().find(key);
    return learned && learned->count >= knownLearnedCount;
}

void CompletionScorer::forEachWord(const std::function<void(QStringView word)> &f) const
{
    const Dictionary &dictionary = engine.dictionary();
    for (qsizetype i = 0; i < dictionary.size(); ++i)
        f(QString::fromUtf8(dictionary.word(i)));
    engine.learned().forEachWithPrefix(QString(), [&](const QString &, const LearnedWords::Word &word) {
        if (word.count >= knownLearnedCount)
            f(word.display);
    });
}

} // namespace wendrel
