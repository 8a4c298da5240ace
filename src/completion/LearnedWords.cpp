#include "LearnedWords.h"

#include "Dictionary.h"
#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QVarLengthArray>
#include <algorithm>

namespace wendrel {

namespace {

constexpr size_t topSize = 8;
// Past this many uses unsaved, a save writes this copy's store as it is rather than adding
// its uses to the file's (the file's newer learning is then lost, nothing of this copy's).
constexpr size_t journalLimit = 20000;
// How long a save waits for another copy that is saving the same file.
constexpr int lockWaitMs = 2000;
const QByteArray header = QByteArrayLiteral("wendrel-learned-words 1");

// Pruning goes a little below the limit, so that it does not run at every new word.
qsizetype pruneTarget(qsizetype limit)
{
    return limit - limit / 20;
}

quint32 dictionaryCountOf(const Dictionary *dictionary, const QString &key)
{
    if (!dictionary)
        return 0;
    const qsizetype index = dictionary->find(key.toUtf8());
    return index < 0 ? 0 : dictionary->count(index);
}

bool parseCount(QByteArrayView field, quint32 &value)
{
    bool ok = false;
    value = field.toUInt(&ok);
    return ok;
}

} // namespace

LearnedWords::LearnedWords(const Dictionary *dictionary, qsizetype maxWords, qsizetype maxPairs, qsizetype maxTriples)
    : dictionary(dictionary), maxWords(std::max<qsizetype>(1, maxWords)), maxPairs(std::max<qsizetype>(1, maxPairs)),
      maxTriples(std::max<qsizetype>(1, maxTriples))
{
}

void LearnedWords::setSpelling(std::function<QString(const QString &key)> lookup)
{
    spelling = std::move(lookup);
}

QString LearnedWords::spellingOf(const QString &key) const
{
    if (spelling)
        return spelling(key);
    if (dictionary) {
        const qsizetype index = dictionary->find(key.toUtf8());
        if (index >= 0)
            return QString::fromUtf8(dictionary->word(index));
    }
    return {};
}

QString LearnedWords::tripleContext(const QString &context2, const QString &context)
{
    return context2 + u' ' + context;
}

bool LearnedWords::isLearnable(QStringView word)
{
    if (word.isEmpty() || word.size() > maxWordLength)
        return false;
    bool letter = false;
    for (QChar ch : word) {
        if (ch.isDigit() || ch.isSpace())
            return false;
        letter = letter || ch.isLetter();
    }
    return letter;
}

bool LearnedWords::learn(QStringView word, const QString &context, bool atSentenceStart)
{
    return learn(word, context, QString(), atSentenceStart);
}

bool LearnedWords::learn(QStringView word, const QString &context, const QString &context2, bool atSentenceStart)
{
    if (!learnOnce(word, context, context2, atSentenceStart))
        return false;
    if (journal.size() < journalLimit)
        journal.push_back({word.toString(), context, context2, atSentenceStart});
    else
        journalOverflow = true;
    return true;
}

bool LearnedWords::learnOnce(QStringView word, const QString &context, const QString &context2, bool atSentenceStart)
{
    if (!isLearnable(word))
        return false;
    const QString key = word.toString().toLower();
    ++useCounter;
    auto [it, added] = words.try_emplace(key);
    Word &entry = it->second;
    // A capital that only the start of a sentence may have made, or a word in capitals,
    // does not say how the word is written; the dictionary does, or the first use.
    const bool onlyFirstCapital = word.size() > 1 && word.sliced(1).toString().toLower() == word.sliced(1);
    const bool allCapitals = word.size() > 1 && word.toString().toUpper() == word && key != word;
    const bool caseUncertain = allCapitals || (atSentenceStart && onlyFirstCapital);
    if (added) {
        entry.dictionaryCount = dictionaryCountOf(dictionary, key);
        entry.display = word.toString();
        if (caseUncertain) {
            const QString known = spellingOf(key);
            if (!known.isEmpty())
                entry.display = known;
            else if (allCapitals && (dictionary || spelling))
                entry.display = key;
        }
    } else if (!caseUncertain) {
        entry.display = word.toString();
    }
    ++entry.count;
    entry.lastUsed = useCounter;
    ++wordTotal;
    noteUse(key);
    if (!context.isEmpty())
        addFollower(context, key, 1, useCounter);
    if (!context.isEmpty() && !context2.isEmpty())
        addFollower(tripleContext(context2, context), key, 1, useCounter);
    dirty = true;
    if (qsizetype(words.size()) > maxWords)
        pruneWords();
    if (pairTotal > maxPairs)
        prunePairs(false);
    if (tripleTotal > maxTriples)
        prunePairs(true);
    return true;
}

void LearnedWords::addFollower(const QString &context, const QString &key, quint32 count, quint32 lastUsed)
{
    Followers &followers = pairs[context];
    followers.total += count;
    auto it = std::find_if(followers.list.begin(), followers.list.end(), [&](const Follower &f) { return f.key == key; });
    if (it == followers.list.end()) {
        followers.list.push_back({key, 0, 0});
        it = followers.list.end() - 1;
        ++(context.contains(u' ') ? tripleTotal : pairTotal);
    }
    it->count += count;
    it->lastUsed = std::max(it->lastUsed, lastUsed);
    // Kept most used first, so that the best next words are found without reading them all.
    while (it != followers.list.begin() && (it - 1)->count < it->count) {
        std::iter_swap(it, it - 1);
        --it;
    }
}

// Keeps the few most used words in order as counts grow.
void LearnedWords::noteUse(const QString &key)
{
    const quint32 count = words.at(key).count;
    auto it = std::find(top.begin(), top.end(), key);
    if (it == top.end()) {
        if (top.size() >= topSize && words.at(top.back()).count >= count)
            return;
        top.push_back(key);
        it = top.end() - 1;
    }
    while (it != top.begin() && words.at(*(it - 1)).count < count) {
        std::iter_swap(it, it - 1);
        --it;
    }
    if (top.size() > topSize)
        top.pop_back();
}

void LearnedWords::rebuildTop()
{
    std::vector<std::pair<quint32, const QString *>> counts;
    counts.reserve(words.size());
    for (const auto &[key, word] : words)
        counts.push_back({word.count, &key});
    const size_t kept = std::min(topSize, counts.size());
    // Most used first; among equals in key order, as noteUse keeps them.
    std::partial_sort(counts.begin(), counts.begin() + ptrdiff_t(kept), counts.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : *a.second < *b.second;
    });
    top.clear();
    for (size_t i = 0; i < kept; ++i)
        top.push_back(*counts[i].second);
}

const LearnedWords::Word *LearnedWords::find(const QString &key) const
{
    const auto it = words.find(key);
    return it == words.end() ? nullptr : &it->second;
}

const LearnedWords::Followers *LearnedWords::followers(const QString &context) const
{
    const auto it = pairs.constFind(context);
    return it == pairs.cend() ? nullptr : &it.value();
}

const LearnedWords::Followers *LearnedWords::followers(const QString &context2, const QString &context) const
{
    if (context2.isEmpty() || context.isEmpty())
        return nullptr;
    return followers(tripleContext(context2, context));
}

// The least used go first: fewest uses, and among equals the longest unused.
void LearnedWords::pruneWords()
{
    std::vector<std::pair<std::pair<quint32, quint32>, QString>> order;
    order.reserve(words.size());
    for (const auto &[key, word] : words)
        order.push_back({{word.count, word.lastUsed}, key});
    const size_t drop = words.size() - size_t(pruneTarget(maxWords));
    std::nth_element(order.begin(), order.begin() + ptrdiff_t(drop), order.end());
    for (size_t i = 0; i < drop; ++i) {
        const auto it = words.find(order[i].second);
        wordTotal -= it->second.count;
        words.erase(it);
    }
    rebuildTop();
}

// Pairs, or triples (whose context holds a space).
void LearnedWords::prunePairs(bool triples)
{
    struct Ref {
        quint32 count, lastUsed;
        QString context, key;
    };
    std::vector<Ref> order;
    order.reserve(size_t(triples ? tripleTotal : pairTotal));
    for (auto it = pairs.cbegin(); it != pairs.cend(); ++it) {
        if (it.key().contains(u' ') != triples)
            continue;
        for (const Follower &follower : it->list)
            order.push_back({follower.count, follower.lastUsed, it.key(), follower.key});
    }
    const size_t drop = order.size() - size_t(pruneTarget(triples ? maxTriples : maxPairs));
    std::nth_element(order.begin(), order.begin() + ptrdiff_t(drop), order.end(), [](const Ref &a, const Ref &b) {
        return std::tie(a.count, a.lastUsed) < std::tie(b.count, b.lastUsed);
    });
    for (size_t i = 0; i < drop; ++i) {
        Followers &followers = pairs[order[i].context];
        const auto it = std::find_if(followers.list.begin(), followers.list.end(),
                                     [&](const Follower &f) { return f.key == order[i].key; });
        followers.total -= it->count;
        followers.list.erase(it);
        if (followers.list.empty())
            pairs.remove(order[i].context);
        --(triples ? tripleTotal : pairTotal);
    }
}

// "w<TAB>display<TAB>count<TAB>last use" and "p<TAB>context<TAB>word<TAB>count<TAB>last use"
// lines after a header and the use counter.
QByteArray LearnedWords::serialise() const
{
    QByteArray bytes = header + "\nuses\t" + QByteArray::number(useCounter) + '\n';
    for (const auto &[key, word] : words) {
        Q_UNUSED(key);
        bytes += "w\t" + word.display.toUtf8() + '\t' + QByteArray::number(word.count) + '\t'
            + QByteArray::number(word.lastUsed) + '\n';
    }
    for (auto it = pairs.cbegin(); it != pairs.cend(); ++it) {
        for (const Follower &follower : it->list) {
            bytes += "p\t" + it.key().toUtf8() + '\t' + follower.key.toUtf8() + '\t'
                + QByteArray::number(follower.count) + '\t' + QByteArray::number(follower.lastUsed) + '\n';
        }
    }
    return bytes;
}

bool LearnedWords::parse(const QByteArray &bytes)
{
    LearnedWords parsed(dictionary, maxWords, maxPairs, maxTriples);
    parsed.spelling = spelling;
    if (!bytes.startsWith(header + '\n'))
        return false;
    // Words and pairs name the same strings: a pair takes the word's own copy (shared).
    const auto shared = [&parsed](const QString &text) {
        const auto it = parsed.words.find(text);
        return it == parsed.words.end() ? text : it->first;
    };
    qsizetype lineStart = header.size() + 1;
    while (lineStart < bytes.size()) {
        qsizetype lineEnd = bytes.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = bytes.size();
        const QByteArrayView line(bytes.constData() + lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.isEmpty())
            continue;
        QVarLengthArray<QByteArrayView, 6> fields;
        for (qsizetype fieldStart = 0;;) {
            const qsizetype tab = line.indexOf('\t', fieldStart);
            fields.append(line.sliced(fieldStart, (tab < 0 ? line.size() : tab) - fieldStart));
            if (tab < 0 || fields.size() > 5)
                break;
            fieldStart = tab + 1;
        }
        quint32 count = 0, lastUsed = 0;
        if (fields[0] == "uses" && fields.size() == 2) {
            if (!parseCount(fields[1], parsed.useCounter))
                return false;
        } else if (fields[0] == "w" && fields.size() == 4) {
            const QString display = QString::fromUtf8(fields[1]);
            if (!isLearnable(display) || !parseCount(fields[2], count) || count == 0 || !parseCount(fields[3], lastUsed))
                return false;
            Word &word = parsed.words[display.toLower()];
            word.display = display;
            word.count += count;
            word.lastUsed = std::max(word.lastUsed, lastUsed);
            word.dictionaryCount = dictionaryCountOf(dictionary, display.toLower());
            parsed.wordTotal += count;
        } else if (fields[0] == "p" && fields.size() == 5) {
            const QString context = shared(QString::fromUtf8(fields[1]));
            const QString key = shared(QString::fromUtf8(fields[2]));
            if (context.isEmpty() || !isLearnable(key) || key != key.toLower() || !parseCount(fields[3], count)
                || count == 0 || !parseCount(fields[4], lastUsed))
                return false;
            // Each pair is written once, so no search; the order is restored below. A triple
            // is a pair whose context is two words ("p<TAB>word1 word2<TAB>word3...").
            Followers &followers = parsed.pairs[context];
            followers.list.push_back({key, count, lastUsed});
            followers.total += count;
            ++(context.contains(u' ') ? parsed.tripleTotal : parsed.pairTotal);
        } else {
            return false;
        }
    }
    for (Followers &followers : parsed.pairs) {
        std::stable_sort(followers.list.begin(), followers.list.end(),
                         [](const Follower &a, const Follower &b) { return a.count > b.count; });
    }
    parsed.rebuildTop();
    if (qsizetype(parsed.words.size()) > maxWords)
        parsed.pruneWords();
    if (parsed.pairTotal > maxPairs)
        parsed.prunePairs(false);
    if (parsed.tripleTotal > maxTriples)
        parsed.prunePairs(true);
    *this = std::move(parsed);
    dirty = false;
    return true;
}

LearnedWords::Loaded LearnedWords::read(const QString &path, const Dictionary *dictionary, qsizetype maxWords,
                                        qsizetype maxPairs, qsizetype maxTriples)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {LoadResult::Missing, nullptr};
    // Only a regular file is read: a named pipe would hold up the reading thread until some
    // writer came, a device might never end. Anything else is moved aside as a damaged file is.
    if (info.isFile()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {LoadResult::Unreadable, nullptr};
        auto words = std::make_shared<LearnedWords>(dictionary, maxWords, maxPairs, maxTriples);
        if (words->parse(file.readAll()))
            return {LoadResult::Loaded, words};
    }
    // Kept aside rather than lost, and not read again at the next start.
    const QString aside = path + QStringLiteral(".damaged");
    QFile::remove(aside);
    QFile::rename(path, aside);
    return {LoadResult::Damaged, nullptr};
}

std::function<LearnedWords::Loaded()> LearnedWords::reader(const QString &path) const
{
    return [path, dictionary = dictionary, maxWords = maxWords, maxPairs = maxPairs, maxTriples = maxTriples] {
        return read(path, dictionary, maxWords, maxPairs, maxTriples);
    };
}

LearnedWords::LoadResult LearnedWords::adopt(Loaded loaded)
{
    if (loaded.result != LoadResult::Loaded || !loaded.words)
        return loaded.result;
    std::vector<Use> meanwhile = std::move(journal);
    const bool overflow = journalOverflow;
    auto keepSpelling = std::move(spelling);
    *this = std::move(*loaded.words);
    spelling = std::move(keepSpelling);
    // Names written by this store's spelling rather than the reader's.
    for (const Use &use : meanwhile)
        learn(use.word, use.context, use.context2, use.atSentenceStart);
    journalOverflow = journalOverflow || overflow;
    dirty = !journal.empty();
    return LoadResult::Loaded;
}

LearnedWords::LoadResult LearnedWords::load(const QString &path)
{
    return adopt(reader(path)());
}

std::function<LearnedWords::Saved()> LearnedWords::saver(const QString &path)
{
    // Everything the work needs, copied (the strings are shared, so this is cheap): this store
    // for when the file cannot be added to, and the uses to add to it.
    auto mine = std::make_shared<LearnedWords>(*this);
    mine->journal.clear();
    journalSaving = journal.size();
    return [path, mine, uses = std::vector<Use>(journal.begin(), journal.end()), overflow = journalOverflow] {
        // One copy at a time reads, adds and writes; a copy that holds the lock too long (or
        // died) does not stop this one for more than a moment.
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(10000);
        const bool locked = lock.tryLock(lockWaitMs);
        Loaded onDisk = read(path, mine->dictionary, mine->maxWords, mine->maxPairs, mine->maxTriples);
        if (onDisk.result == LoadResult::Unreadable)
            return Saved{false, nullptr};
        std::shared_ptr<LearnedWords> result = mine;
        if (onDisk.result == LoadResult::Loaded && !overflow) {
            // The file as it is now, with this copy's uses since it last read or wrote it.
            result = onDisk.words;
            result->spelling = mine->spelling;
            for (const Use &use : uses)
                result->learnOnce(use.word, use.context, use.context2, use.atSentenceStart);
        }
        const bool written = replaceFile(path, result->serialise());
        if (locked)
            lock.unlock();
        return Saved{written, written ? result : nullptr};
    };
}

bool LearnedWords::adoptSaved(Saved saved)
{
    const size_t handed = std::min(journalSaving, journal.size());
    journalSaving = 0;
    if (!saved.written || !saved.words) {
        dirty = true; // everything stays for the next save
        return false;
    }
    std::vector<Use> meanwhile(journal.begin() + ptrdiff_t(handed), journal.end());
    auto keepSpelling = std::move(spelling);
    *this = std::move(*saved.words);
    spelling = std::move(keepSpelling);
    journal.clear();
    journalOverflow = false;
    // What was learned while the file was written is learned again, and saved next time.
    for (const Use &use : meanwhile)
        learn(use.word, use.context, use.context2, use.atSentenceStart);
    dirty = !journal.empty();
    return true;
}

bool LearnedWords::save(const QString &path)
{
    return adoptSaved(saver(path)());
}

} // namespace wendrel
