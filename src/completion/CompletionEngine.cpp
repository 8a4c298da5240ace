#include "CompletionEngine.h"

#include <algorithm>

namespace wendrel {

namespace {

// How many learned uses it takes before learned counts weigh as much as the dictionary's.
constexpr double learnedWeightHalf = 150.0;

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

// What stands before the word that starts at wordStart: the previous word in small letters,
// or a marker, or the punctuation mark itself.
QString contextBefore(QStringView text, qsizetype wordStart)
{
    qsizetype end = wordStart;
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    if (end == 0 || endsSentence(text[end - 1]))
        return sentenceStartMarker;
    const QChar last = text[end - 1];
    if (!isWordChar(last))
        return QString(last);
    const QStringView word = stripQuotes(text.sliced(runStart(text, end), end - runStart(text, end)), false);
    if (word.isEmpty())
        return QString(last);
    if (hasDigit(word) || word.size() > LearnedWords::maxWordLength)
        return numberMarker;
    return word.toString().toLower();
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

struct Scored {
    QString key;
    QString display;
    double score;
};

} // namespace

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
        context.previous = contextBefore(before, typedStart);
        return context;
    }
    if (!run.isEmpty())
        return context; // an opening quote: no word yet
    if (n == 0 || isBlank(before[n - 1]) || isLineBreak(before[n - 1])) {
        context.offer = true;
        context.previous = contextBefore(before, n);
        context.sentenceStart = atSentenceStart(before);
    }
    return context;
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
    : words(dictionary ? std::move(dictionary) : std::make_shared<const Dictionary>()),
      learnedWords(words.get(), maxLearnedWords, maxLearnedPairs)
{
}

QStringList CompletionEngine::candidates(QStringView before, bool capsOn) const
{
    return candidates(completionContext(before), capsOn);
}

// Each word scores its probability after the previous word: learned pairs interpolated with
// the word's own probability (Witten-Bell), which mixes learned counts with the dictionary's,
// the learned ones weighing more the more the user has typed.
QStringList CompletionEngine::candidates(const CompletionContext &context, bool capsOn) const
{
    if (!context.offer)
        return {};
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
    } else if (const qsizetype index = words->find(key.toUtf8()); index >= 0) {
        asWritten = QString::fromUtf8(words->word(index));
    }
    learnedWords.learn(asWritten, context.previous, false);
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
    const QString context = contextBefore(text, wordStart);
    learnedWords.learn(word, context, context == sentenceStartMarker);
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
            const QString context = contextBefore(text, i + (word.data() - run.data()));
            learnedWords.learn(word, context, context == sentenceStartMarker);
        }
        i = end;
    }
}

} // namespace wendrel
