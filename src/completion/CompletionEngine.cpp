#include "CompletionEngine.h"

#include <algorithm>
#include <cmath>

namespace wendrel {

namespace {

// How many learned uses it takes before learned counts weigh as much as the dictionary's.
constexpr double learnedWeightHalf = 150.0;
// With a language model, what the user writes adapts the model's probabilities to it: each
// word's probability in context is scaled by how much more (or less) often the user has used
// it than the model expects of it anywhere, to the power adaptationStrength; the user's share
// of a word is smoothed towards the model's as if the model had been cachePrior learned words.
// (Prose the model was not made from is full of words it underrates: "her", "had", names.)
// A word the model lacks gets its learned share, as if the model had been wordPrior learned
// words. Then what was learned after the previous word and after the two previous words is
// weighed against that as if it had been pairPrior and triplePrior uses of that context: a
// context used a few times soon follows what was learned in it. A word, pair or triple used
// lately counts up to recencyBoost times more, fading over recencySpan uses. (Tuned on texts
// other than the benchmark's.)
constexpr double adaptationStrength = 0.7;
constexpr double cachePrior = 300.0;
constexpr double wordPrior = 3000.0;
constexpr double pairPrior = 20.0;
constexpr double triplePrior = 10.0;
constexpr double recencyBoost = 1.0;
constexpr double recencySpan = 300.0;
// The model's best words considered beside the learned ones (more than are shown: the typed
// word itself is never offered, and learned words may outrank some).
constexpr int modelShortlist = 6;
// The learned words considered from each source: after the two previous words, after the
// previous one, and those with the typed letters.
constexpr int learnedShortlist = 4;

bool isApostrophe(QChar ch)
{
    return ch == u'\'' || ch == QChar(0x2019);
}

bool isWordChar(QChar ch)
{
    return ch.isLetterOrNumber() || ch.isMark() || isApostrophe(ch);
}

bool isLineBreak(QChar ch)
{
    return ch == u'\n' || ch == u'\r' || ch == QChar(0x2029) || ch == QChar(0x2028);
}

bool isBlank(QChar ch)
{
    return ch == u' ' || ch == u'\t';
}

bool endsSentence(QChar ch)
{
    return ch == u'.' || ch == u'?' || ch == u'!' || isLineBreak(ch);
}

bool hasDigit(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar ch) { return ch.isDigit(); });
}

// Start of the run of word characters that ends at end.
qsizetype runStart(QStringView text, qsizetype end)
{
    qsizetype start = end;
    while (start > 0 && isWordChar(text[start - 1]))
        --start;
    return start;
}

// A run without the quotes around it: apostrophes at its edges.
QStringView stripQuotes(QStringView run, bool keepTrailing)
{
    while (!run.isEmpty() && isApostrophe(run.front()))
        run = run.sliced(1);
    while (!keepTrailing && !run.isEmpty() && isApostrophe(run.back()))
        run.chop(1);
    return run;
}

// Whether the full stop at dot ends a title ("Mr. Darcy"), not a sentence.
bool endsTitle(QStringView text, qsizetype dot)
{
    static const QStringList titles{QStringLiteral("mr"), QStringLiteral("mrs"), QStringLiteral("ms"),
                                    QStringLiteral("dr"), QStringLiteral("st"), QStringLiteral("messrs"),
                                    QStringLiteral("prof"), QStringLiteral("rev"), QStringLiteral("jr"),
                                    QStringLiteral("sr")};
    const qsizetype start = runStart(text, dot);
    return start < dot && titles.contains(text.sliced(start, dot - start).toString().toLower());
}

// What stands before the word that starts at wordStart: the previous word in small letters,
// or a marker, or the punctuation mark itself; and where that word starts (-1 if not a word).
std::pair<QString, qsizetype> contextAndStart(QStringView text, qsizetype wordStart)
{
    qsizetype end = wordStart;
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    if (end > 0 && text[end - 1] == u'.' && endsTitle(text, end - 1))
        --end; // "Mr." reads as the word "mr"
    else if (end == 0 || endsSentence(text[end - 1]))
        return {sentenceStartMarker, -1};
    const QChar last = text[end - 1];
    if (!isWordChar(last))
        return {QString(last), -1};
    const qsizetype start = runStart(text, end);
    const QStringView run = text.sliced(start, end - start);
    const QStringView word = stripQuotes(run, false);
    if (word.isEmpty())
        return {QString(last), -1};
    if (hasDigit(word) || word.size() > LearnedWords::maxWordLength)
        return {numberMarker, -1};
    return {word.toString().toLower(), start + (word.data() - run.data())};
}

QString contextBefore(QStringView text, qsizetype wordStart)
{
    return contextAndStart(text, wordStart).first;
}

// The previous word and the one before it (or a marker), as learned pairs and triples take them.
std::pair<QString, QString> contextsBefore(QStringView text, qsizetype wordStart)
{
    const auto [previous, start] = contextAndStart(text, wordStart);
    if (start < 0)
        return {previous, QString()};
    const QString previous2 = contextBefore(text, start);
    // Only a word or the start of a sentence makes a triple's context.
    const bool usable = previous2 == sentenceStartMarker || (previous2.size() > 1 || previous2.front().isLetter());
    return {previous, usable && previous2 != numberMarker ? previous2 : QString()};
}

// Marks that the language model reads through: it was made from text without punctuation.
bool isSoftPunctuation(QChar ch)
{
    return ch == u',' || ch == u';' || ch == u':' || ch == u'"' || ch == u'(' || ch == u')' || ch == u'-'
        || ch == QChar(0x2013) || ch == QChar(0x2014) || ch == QChar(0x201C) || ch == QChar(0x201D) || ch == u'*'
        || ch == u'_';
}

// The two words before wordStart for the language model, most recent first: small letters,
// the sentence-start marker, or nothing where the text gives no usable word.
std::pair<QString, QString> modelWordsBefore(QStringView text, qsizetype wordStart)
{
    QString found[2];
    qsizetype end = wordStart;
    for (QString &slot : found) {
        while (end > 0 && (isBlank(text[end - 1]) || isSoftPunctuation(text[end - 1])))
            --end;
        if (end > 0 && text[end - 1] == u'.' && endsTitle(text, end - 1)) {
            --end;
        } else if (end == 0 || endsSentence(text[end - 1])) {
            slot = sentenceStartMarker;
            break;
        }
        if (!isWordChar(text[end - 1]))
            break;
        const qsizetype start = runStart(text, end);
        const QStringView run = text.sliced(start, end - start);
        const QStringView word = stripQuotes(run, false);
        if (word.isEmpty() || hasDigit(run) || word.size() > LearnedWords::maxWordLength)
            break;
        slot = word.toString().toLower();
        end = start;
    }
    return {found[0], found[1]};
}

// Where the typing assistant would capitalise a small letter typed at the end of the text.
bool atSentenceStart(QStringView before)
{
    const qsizetype n = before.size();
    if (n == 0)
        return true;
    if (isLineBreak(before[n - 1]))
        return true;
    return n >= 2 && before[n - 1] == u' ' && (before[n - 2] == u'.' || before[n - 2] == u'?' || before[n - 2] == u'!');
}

QString capitalised(const QString &word)
{
    if (word.isEmpty())
        return word;
    return word.first(1).toUpper() + word.sliced(1);
}

} // namespace

struct CompletionEngine::Scored {
    QString key;
    QString display;
    double score;
};

CompletionContext completionContext(QStringView before)
{
    CompletionContext context;
    const qsizetype n = before.size();
    const qsizetype start = runStart(before, n);
    const QStringView run = before.sliced(start);
    if (hasDigit(run))
        return context; // inside a number (or a word run into one)
    const QStringView typed = stripQuotes(run, true);
    const qsizetype typedStart = n - typed.size();
    if (!typed.isEmpty()) {
        if (typedStart > 0 && before[typedStart - 1] == u'=')
            return context; // behind a formula's result
        context.offer = true;
        context.typed = typed.toString();
        std::tie(context.previous, context.previous2) = contextsBefore(before, typedStart);
        std::tie(context.modelPrevious, context.modelPrevious2) = modelWordsBefore(before, typedStart);
        return context;
    }
    if (!run.isEmpty())
        return context; // an opening quote: no word yet
    if (n == 0 || isBlank(before[n - 1]) || isLineBreak(before[n - 1])) {
        context.offer = true;
        std::tie(context.previous, context.previous2) = contextsBefore(before, n);
        std::tie(context.modelPrevious, context.modelPrevious2) = modelWordsBefore(before, n);
        context.sentenceStart = atSentenceStart(before);
    }
    return context;
}

std::pair<QString, QString> modelWordsAt(QStringView before)
{
    return modelWordsBefore(before, before.size());
}

QString applyCase(QStringView typed, const QString &word, bool capsOn, bool sentenceStart)
{
    int letters = 0, capitals = 0;
    for (QChar ch : typed) {
        if (ch.isLetter()) {
            ++letters;
            capitals += ch.isUpper() ? 1 : 0;
        }
    }
    if (letters == 0)
        return capsOn ? word.toUpper() : sentenceStart ? capitalised(word) : word;
    if (capitals == letters && (letters >= 2 || capsOn))
        return word.toUpper();
    const auto firstLetter = std::find_if(typed.begin(), typed.end(), [](QChar ch) { return ch.isLetter(); });
    if (firstLetter->isUpper())
        return capitalised(word);
    return word;
}

CompletionEngine::CompletionEngine(std::shared_ptr<const Dictionary> dictionary, qsizetype maxLearnedWords,
                                   qsizetype maxLearnedPairs)
    : CompletionEngine(nullptr, dictionary ? std::move(dictionary) : std::make_shared<const Dictionary>(),
                       maxLearnedWords, maxLearnedPairs)
{
}

CompletionEngine::CompletionEngine(std::shared_ptr<const LanguageModel> model, std::shared_ptr<const Dictionary> dictionary,
                                   qsizetype maxLearnedWords, qsizetype maxLearnedPairs, qsizetype maxLearnedTriples)
    : words(dictionary ? std::move(dictionary) : std::make_shared<const Dictionary>()), languageModel(std::move(model)),
      learnedWords(words->size() > 0 ? words.get() : nullptr, maxLearnedWords, maxLearnedPairs, maxLearnedTriples)
{
    if (languageModel) {
        // How a word is written comes from the model, which knows names ("London").
        learnedWords.setSpelling([model = languageModel](const QString &key) {
            const LanguageModel::WordId word = model->find(key.toUtf8());
            return model->isCandidate(word) ? model->display(word) : QString();
        });
    }
}

std::unique_ptr<CompletionEngine> CompletionEngine::create(const QString &modelPath)
{
    LanguageModel::Loaded loaded = LanguageModel::open(modelPath.isEmpty() ? LanguageModel::defaultPath() : modelPath);
    auto engine = std::make_unique<CompletionEngine>(loaded.model, nullptr);
    if (!loaded.model)
        engine->unavailable = loaded.error;
    return engine;
}

QStringList CompletionEngine::candidates(QStringView before, bool capsOn) const
{
    return candidates(completionContext(before), capsOn);
}

LanguageModel::WordId CompletionEngine::modelWord(QStringView word) const
{
    if (!languageModel || word.isEmpty())
        return LanguageModel::noWord;
    if (word == sentenceStartMarker)
        return languageModel->sentenceStart();
    QString key = word.toString().toLower();
    key.replace(QChar(0x2019), u'\'');
    return languageModel->find(key.toUtf8());
}

// What was learned adapts the model to the user: the model's probability of a word in context
// is scaled by the ratio of the word's learned share (smoothed towards the model's) to the
// model's own probability of the word (unigram rescaling). Then the learned shares after the
// previous word and after the two previous words are mixed in, each level backing on the one
// before with a weight (Dirichlet smoothing). A context used often soon follows what was
// learned in it; what was used lately counts more.
double CompletionEngine::combinedProbability(const QString &key, LanguageModel::WordId word,
                                             const LanguageModel::Context &modelContext,
                                             const LearnedWords::Followers *pairs,
                                             const LearnedWords::Followers *triples) const
{
    const double model = word == LanguageModel::noWord ? 0.0 : std::pow(10.0, languageModel->logProbability(word, modelContext));
    const double total = double(learnedWords.total());
    if (total <= 0)
        return model;
    // A use counts more the more recent it is (a use counter from a damaged store that is
    // ahead of the store's own wraps to a great age: no boost).
    const auto recency = [this](quint32 lastUsed) {
        return 1.0 + recencyBoost * std::exp(-double(learnedWords.uses() - lastUsed) / recencySpan);
    };
    double count = 0.0;
    if (const LearnedWords::Word *learned = learnedWords.find(key))
        count = learned->count * recency(learned->lastUsed);
    double p = count / (total + wordPrior);
    if (model > 0.0) {
        const double background = std::pow(10.0, languageModel->logProbability(word, LanguageModel::Context()));
        const double share = (count + cachePrior * background) / (total + cachePrior);
        p = std::min(1.0, model * std::pow(share / background, adaptationStrength));
    }
    const auto mix = [&](const LearnedWords::Followers *followers, double prior, double strength) {
        if (!followers || followers->total == 0)
            return prior;
        const auto it = std::find_if(followers->list.begin(), followers->list.end(),
                                     [&key](const LearnedWords::Follower &f) { return f.key == key; });
        const double count = it == followers->list.end() ? 0.0 : double(it->count) * recency(it->lastUsed);
        return (count + strength * prior) / (double(followers->total) + strength);
    };
    return mix(triples, mix(pairs, p, pairPrior), triplePrior);
}

QStringList CompletionEngine::modelCandidates(const CompletionContext &context, bool capsOn) const
{
    const QString prefix = context.typed.toLower();
    QString modelPrefix = prefix;
    modelPrefix.replace(QChar(0x2019), u'\'');
    const LanguageModel &model = *languageModel;
    const LanguageModel::Context modelContext = model.context(modelWord(context.modelPrevious),
                                                              modelWord(context.modelPrevious2));
    const auto range = prefix.isEmpty() ? std::pair<LanguageModel::WordId, LanguageModel::WordId>(0, quint32(model.wordCount()))
                                        : model.prefixRange(modelPrefix.toUtf8());
    const LearnedWords::Followers *pairs = learnedWords.followers(context.previous);
    const LearnedWords::Followers *triples = learnedWords.followers(context.previous2, context.previous);

    // The few words that may be best: the model's, and the most used of what was learned.
    struct Candidate {
        QString key;
        LanguageModel::WordId word;
    };
    std::vector<Candidate> shortlist;
    const auto consider = [&](const QString &key, LanguageModel::WordId word) {
        if (key == prefix || std::any_of(shortlist.begin(), shortlist.end(), [&](const Candidate &c) { return c.key == key; }))
            return;
        shortlist.push_back({key, word});
    };
    for (const LanguageModel::Scored &scored : model.best(modelContext, range, modelShortlist)) {
        QString key = QString::fromUtf8(model.key(scored.word));
        consider(key, scored.word);
    }
    for (const LearnedWords::Followers *followers : {triples, pairs}) {
        if (!followers)
            continue;
        int taken = 0;
        for (const LearnedWords::Follower &follower : followers->list) {
            if (taken == learnedShortlist)
                break;
            if (follower.key.startsWith(prefix)) {
                consider(follower.key, modelWord(follower.key));
                ++taken;
            }
        }
    }
    if (prefix.isEmpty()) {
        for (const QString &key : learnedWords.mostUsed())
            consider(key, modelWord(key));
    } else {
        std::vector<std::pair<quint32, const QString *>> used;
        learnedWords.forEachWithPrefix(prefix, [&](const QString &key, const LearnedWords::Word &word) {
            used.push_back({word.count, &key});
        });
        const size_t kept = std::min(used.size(), size_t(learnedShortlist));
        std::partial_sort(used.begin(), used.begin() + ptrdiff_t(kept), used.end(),
                          [](const auto &a, const auto &b) { return a.first > b.first; });
        for (size_t i = 0; i < kept; ++i)
            consider(*used[i].second, modelWord(*used[i].second));
    }

    std::vector<Scored> best;
    for (const Candidate &c : shortlist) {
        const LearnedWords::Word *learned = learnedWords.find(c.key);
        const double score = combinedProbability(c.key, c.word, modelContext, pairs, triples);
        if (score <= 0.0)
            continue;
        best.push_back({c.key, learned ? learned->display : model.display(c.word), score});
    }
    std::sort(best.begin(), best.end(), [](const Scored &a, const Scored &b) {
        return a.score != b.score ? a.score > b.score : a.key < b.key;
    });
    QStringList result;
    for (size_t i = 0; i < best.size() && i < size_t(candidateCount); ++i)
        result.append(applyCase(context.typed, best[i].display, capsOn, context.sentenceStart));
    return result;
}

double CompletionEngine::logProbability(QStringView word, QStringView previous1, QStringView previous2) const
{
    if (word.isEmpty())
        return LanguageModel::minusInfinity;
    const QString key = word.toString().toLower();
    const auto contextKey = [](QStringView w) { return w == sentenceStartMarker ? w.toString() : w.toString().toLower(); };
    const QString context1 = contextKey(previous1);
    const QString context2 = context1.isEmpty() ? QString() : contextKey(previous2);
    const LearnedWords::Followers *pairs = context1.isEmpty() ? nullptr : learnedWords.followers(context1);
    const LearnedWords::Followers *triples = learnedWords.followers(context2, context1);
    double p = 0.0;
    if (languageModel) {
        const LanguageModel::Context modelContext = languageModel->context(modelWord(context1), modelWord(context2));
        p = combinedProbability(key, modelWord(key), modelContext, pairs, triples);
    } else {
        // The dictionary's share of the word, mixed with what was learned as candidates are.
        const qsizetype index = words->find(key.toUtf8());
        const double dictionary = index < 0 ? 0.0 : double(words->count(index)) / std::max<double>(1.0, double(words->total()));
        const double total = double(learnedWords.total());
        const LearnedWords::Word *learned = learnedWords.find(key);
        const double weight = total / (total + learnedWeightHalf);
        p = (1.0 - weight) * dictionary + (total > 0 && learned ? weight * learned->count / total : 0.0);
    }
    return p > 0.0 ? std::log10(p) : LanguageModel::minusInfinity;
}

bool CompletionEngine::isKnownWord(QStringView word) const
{
    if (word.isEmpty())
        return false;
    const QString key = word.toString().toLower();
    if (learnedWords.find(key))
        return true;
    if (languageModel && languageModel->isCandidate(modelWord(key)))
        return true;
    return words->find(key.toUtf8()) >= 0;
}

QStringList CompletionEngine::candidates(const CompletionContext &context, bool capsOn) const
{
    if (!context.offer || !isAvailable())
        return {};
    return languageModel ? modelCandidates(context, capsOn) : dictionaryCandidates(context, capsOn);
}

// Each word scores its probability after the previous word: learned pairs interpolated with
// the word's own probability (Witten-Bell), which mixes learned counts with the dictionary's,
// the learned ones weighing more the more the user has typed.
QStringList CompletionEngine::dictionaryCandidates(const CompletionContext &context, bool capsOn) const
{
    const QString prefix = context.typed.toLower();
    const double dictionaryTotal = std::max<double>(1.0, double(words->total()));
    const double learnedTotal = double(learnedWords.total());
    const double learnedWeight = learnedTotal / (learnedTotal + learnedWeightHalf);
    const auto unigram = [&](quint32 learnedCount, quint32 dictionaryCount) {
        const double fromLearned = learnedTotal > 0 ? learnedCount / learnedTotal : 0.0;
        return learnedWeight * fromLearned + (1.0 - learnedWeight) * dictionaryCount / dictionaryTotal;
    };

    const LearnedWords::Followers *followers = learnedWords.followers(context.previous);
    const double pairTotal = followers ? followers->total : 0.0;
    const double pairWeight = followers ? pairTotal / (pairTotal + double(followers->list.size())) : 0.0;

    // The best few so far, best first. A word may come from several sources (a follower, a
    // learned word, a dictionary word); each gives a score no higher than the fullest one, so
    // keeping the highest score of a word among the best few is enough.
    std::vector<Scored> best;
    const auto better = [](const Scored &a, const Scored &b) {
        return a.score != b.score ? a.score > b.score : a.key < b.key;
    };
    const auto add = [&](const QString &key, const QString &display, quint32 learnedCount, quint32 dictionaryCount,
                         quint32 pairCount) {
        if (key == prefix)
            return; // already typed: a space finishes it
        const double fromPair = pairTotal > 0 ? pairCount / pairTotal : 0.0;
        const Scored entry{key, display, pairWeight * fromPair + (1.0 - pairWeight) * unigram(learnedCount, dictionaryCount)};
        const auto same = std::find_if(best.begin(), best.end(), [&](const Scored &s) { return s.key == key; });
        if (same != best.end()) {
            if (entry.score > same->score)
                *same = entry;
        } else if (best.size() < size_t(candidateCount) || better(entry, best.back())) {
            best.push_back(entry);
        } else {
            return;
        }
        std::sort(best.begin(), best.end(), better);
        if (best.size() > size_t(candidateCount))
            best.pop_back();
    };

    // No word scores more than its pair share plus the highest unigram probability there is.
    const quint32 mostUsedCount = learnedWords.mostUsed().empty() ? 0 : learnedWords.find(learnedWords.mostUsed().front())->count;
    const double highestUnigram = unigram(mostUsedCount, words->highestCount());

    // Words seen after the previous word, most used first.
    if (followers) {
        for (const LearnedWords::Follower &follower : followers->list) {
            const double bound = pairWeight * follower.count / pairTotal + (1.0 - pairWeight) * highestUnigram;
            if (best.size() == size_t(candidateCount) && bound < best.back().score)
                break;
            if (!follower.key.startsWith(prefix))
                continue;
            if (const LearnedWords::Word *word = learnedWords.find(follower.key)) {
                add(follower.key, word->display, word->count, word->dictionaryCount, follower.count);
            } else {
                const qsizetype index = words->find(follower.key.toUtf8());
                add(follower.key, index < 0 ? follower.key : QString::fromUtf8(words->word(index)), 0,
                    index < 0 ? 0 : words->count(index), follower.count);
            }
        }
    }
    if (prefix.isEmpty()) {
        // The next word: only what the user has typed before.
        for (const QString &key : learnedWords.mostUsed()) {
            const LearnedWords::Word *word = learnedWords.find(key);
            add(key, word->display, word->count, word->dictionaryCount, 0);
        }
    } else {
        learnedWords.forEachWithPrefix(prefix, [&](const QString &key, const LearnedWords::Word &word) {
            add(key, word.display, word.count, word.dictionaryCount, 0);
        });
        // The dictionary's most frequent words; one more than shown, as one may be the typed word.
        for (qsizetype index : words->mostFrequent(words->prefixRange(prefix.toUtf8()), candidateCount + 1)) {
            const QString display = QString::fromUtf8(words->word(index));
            add(display.toLower(), display, 0, words->count(index), 0);
        }
    }

    QStringList result;
    for (const Scored &entry : best)
        result.append(applyCase(context.typed, entry.display, capsOn, context.sentenceStart));
    return result;
}

std::optional<CompletionEngine::Replacement> CompletionEngine::accept(QStringView before, const QString &candidate)
{
    const CompletionContext context = completionContext(before);
    if (!context.offer || candidate.isEmpty())
        return std::nullopt;
    // The candidate came from the learned words or the dictionary: it is learned as written
    // there, not in the case the typed letters gave it ("Th" makes "The" of "the").
    const QString key = candidate.toLower();
    QString asWritten = candidate;
    if (const LearnedWords::Word *word = learnedWords.find(key)) {
        asWritten = word->display;
    } else if (const LanguageModel::WordId id = modelWord(key); languageModel && languageModel->isCandidate(id)) {
        asWritten = languageModel->display(id);
    } else if (const qsizetype index = words->find(key.toUtf8()); index >= 0) {
        asWritten = QString::fromUtf8(words->word(index));
    }
    learnedWords.learn(asWritten, context.previous, context.previous2, false);
    return Replacement{context.typed.size(), candidate + u' '};
}

void CompletionEngine::learnFinishedWord(QStringView before)
{
    if (before.isEmpty() || isWordChar(before.back()))
        return;
    const QStringView text = before.chopped(1);
    const qsizetype start = runStart(text, text.size());
    const QStringView run = text.sliced(start);
    const QStringView word = stripQuotes(run, false);
    if (word.isEmpty() || hasDigit(run))
        return;
    const qsizetype wordStart = start + (word.data() - run.data());
    const auto [context, context2] = contextsBefore(text, wordStart);
    learnedWords.learn(word, context, context2, context == sentenceStartMarker);
}

void CompletionEngine::learnText(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isWordChar(text[end]))
            ++end;
        const QStringView run = text.sliced(i, end - i);
        const QStringView word = stripQuotes(run, false);
        if (!word.isEmpty() && !hasDigit(run)) {
            const auto [context, context2] = contextsBefore(text, i + (word.data() - run.data()));
            learnedWords.learn(word, context, context2, context == sentenceStartMarker);
        }
        i = end;
    }
}

} // namespace wendrel
