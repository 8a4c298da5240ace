#include "CompletionScorer.h"

#include "CompletionEngine.h"

#include <algorithm>
#include <cmath>

namespace wendrel {

namespace {

// What a word nobody knows scores: the decoder then counts it as a word of its own.
constexpr double unseenLog = -100.0;
// A word only the dictionary holds is rarer than its count there says: the model, made from
// far more text, left it out.
constexpr double dictionaryOnlyShare = 0.25;

} // namespace

CompletionScorer::CompletionScorer(const CompletionEngine &engine, std::shared_ptr<const Dictionary> dictionary,
                                   KnownWordLimits known)
    : engine(engine), dictionary(engine.model() ? std::move(dictionary) : nullptr), known(known)
{
}

const Dictionary &CompletionScorer::words() const
{
    return dictionary ? *dictionary : engine.dictionary();
}

double CompletionScorer::logProbability(QStringView word, QStringView previous1, QStringView previous2) const
{
    const double log10 = engine.logProbability(word, previous1, previous2);
    if (log10 > LanguageModel::minusInfinity / 2)
        return log10 * std::log(10.0);
    return dictionaryLog(word);
}

// Only the model's and the dictionary's own figures: safe beside a thread that learns.
double CompletionScorer::priorLogProbability(QStringView word) const
{
    if (const LanguageModel *model = engine.model()) {
        const LanguageModel::WordId id = model->find(word.toString().toLower().toUtf8());
        if (id != LanguageModel::noWord && model->isCandidate(id))
            return model->logProbability(id, model->context(LanguageModel::noWord)) * std::log(10.0);
        return dictionaryLog(word);
    }
    const Dictionary &list = words();
    const qsizetype index = list.find(word.toString().toLower().toUtf8());
    return index < 0 ? unseenLog : std::log(list.count(index) / std::max<double>(1.0, double(list.total())));
}

// The words the model lacks, from the dictionary given beside it.
double CompletionScorer::dictionaryLog(QStringView word) const
{
    if (dictionary) {
        const qsizetype index = dictionary->find(word.toString().toLower().toUtf8());
        if (index >= 0)
            return std::log(dictionaryOnlyShare * dictionary->count(index) / std::max<double>(1.0, double(dictionary->total())));
    }
    return unseenLog;
}

bool CompletionScorer::isKnownWord(QStringView word) const
{
    if (word.isEmpty())
        return false;
    // The subtitles' dictionary has no possessives: "friend's" is known when "friend" is.
    if (word.size() > 2 && word.endsWith(QLatin1String("'s"), Qt::CaseInsensitive))
        return isKnownWord(word.chopped(2));
    const QString key = word.toString().toLower();
    const bool isShort = key.size() <= 3;
    if (const LearnedWords::Word *learned = engine.learned().find(key); learned && learned->count >= known.learnedCount)
        return true;
    if (const LanguageModel *model = engine.model()) {
        const LanguageModel::WordId id = model->find(key.toUtf8());
        if (id != LanguageModel::noWord && model->isCandidate(id)
            && model->logProbability(id, model->context(LanguageModel::noWord))
                   >= known.modelLog10[size_t(std::min<qsizetype>(key.size(), 4) - 1)])
            return true;
    }
    const qsizetype index = words().find(key.toUtf8());
    return index >= 0 && words().count(index) >= (isShort ? known.dictionaryCountShort : known.dictionaryCount);
}

void CompletionScorer::forEachWord(const std::function<void(QStringView word)> &f) const
{
    if (const LanguageModel *model = engine.model()) {
        for (LanguageModel::WordId id = 0; id < LanguageModel::WordId(model->wordCount()); ++id) {
            if (model->isCandidate(id))
                f(model->display(id));
        }
    }
    const Dictionary &list = words();
    for (qsizetype i = 0; i < list.size(); ++i)
        f(QString::fromUtf8(list.word(i)));
}

void CompletionScorer::forEachLearnedWord(const std::function<void(QStringView word)> &f) const
{
    engine.learned().forEachWithPrefix(QString(), [&](const QString &, const LearnedWords::Word &word) {
        if (word.count >= known.learnedCount)
            f(word.display);
    });
}

} // namespace wendrel
