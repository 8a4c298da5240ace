#include "LearnedWords.h"

#include "Dictionary.h"
#include "Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QVarLengthArray>
#include <algorithm>

namespace wendrel {

namespace {

constexpr size_t topSize = 8;
// A lock older than this is taken to be left by a copy that hung or died.
constexpr int staleLockMs = 10000;
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

// Counts stop at the largest rather than wrap to 0 (which no file may hold).
void addCount(quint32 &count, quint32 more)
{
    count = more > LearnedWords::maxCount - count ? LearnedWords::maxCount : count + more;
}

// path + ".damaged", or ".damaged.2", ... when that is taken: earlier damaged files stay.
QString asideName(const QString &path)
{
    QString target = path + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n) {
        if (n > 1000)
            return {};
        target = path + QStringLiteral(".damaged.%1").arg(n);
    }
    return target;
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
    // The key is stored too, and may be longer than the word ("İ" is "i" and a dot above).
    return letter && word.toString().toLower().size() <= maxWordLength;
}

bool LearnedWords::learn(QStringView word, const QString &context, bool atSentenceStart)
{
    return learn(word, context, QString(), atSentenceStart);
}

bool LearnedWords::learn(QStringView word, const QString &context, const QString &context2, bool atSentenceStart)
{
    if (!learnOnce(word, context, context2, atSentenceStart))
        return false;
    journal.push_back({word.toString(), context, context2, atSentenceStart});
    return true;
}

// The use counter orders uses by time. Rather than wrap (making the newest uses the oldest),
// at its end it and every use's place on it are halved: the order stays.
void LearnedWords::nextUse()
{
    if (useCounter == maxCount) {
        useCounter /= 2;
        for (auto &[key, word] : words)
            word.lastUsed /= 2;
        for (Followers &followers : pairs) {
            for (Follower &follower : followers.list)
                follower.lastUsed /= 2;
        }
    }
    ++useCounter;
}

bool LearnedWords::learnOnce(QStringView word, const QString &context, const QString &context2, bool atSentenceStart)
{
    if (!isLearnable(word))
        return false;
    const QString key = word.toString().toLower();
    nextUse();
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
    if (entry.count < maxCount) {
        ++entry.count;
        ++wordTotal;
    }
    entry.lastUsed = useCounter;
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
    auto it = std::find_if(followers.list.begin(), followers.list.end(), [&](const Follower &f) { return f.key == key; });
    if (it == followers.list.end()) {
        followers.list.push_back({key, 0, 0});
        it = followers.list.end() - 1;
        ++(context.contains(u' ') ? tripleTotal : pairTotal);
    }
    const quint32 before = it->count;
    addCount(it->count, count);
    followers.total += it->count - before;
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
    const std::function<QString(const QString &)> shared = [&parsed](const QString &text) {
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
        // A line that cannot be read costs that line, never the rest of the file.
        if (!line.isEmpty() && !parsed.parseLine(line, shared))
            ++parsed.skipped;
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

bool LearnedWords::parseLine(QByteArrayView line, const std::function<QString(const QString &)> &shared)
{
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
        quint32 uses = 0;
        if (!parseCount(fields[1], uses))
            return false;
        useCounter = std::max(useCounter, uses);
    } else if (fields[0] == "w" && fields.size() == 4) {
        const QString display = QString::fromUtf8(fields[1]);
        if (!isLearnable(display) || !parseCount(fields[2], count) || count == 0 || !parseCount(fields[3], lastUsed))
            return false;
        Word &word = words[display.toLower()];
        const quint32 before = word.count;
        word.display = display;
        addCount(word.count, count);
        word.lastUsed = std::max(word.lastUsed, lastUsed);
        word.dictionaryCount = dictionaryCountOf(dictionary, display.toLower());
        wordTotal += word.count - before;
        useCounter = std::max(useCounter, lastUsed);
    } else if (fields[0] == "p" && fields.size() == 5) {
        const QString context = shared(QString::fromUtf8(fields[1]));
        const QString key = shared(QString::fromUtf8(fields[2]));
        if (context.isEmpty() || !isLearnable(key) || key != key.toLower() || !parseCount(fields[3], count)
            || count == 0 || !parseCount(fields[4], lastUsed))
            return false;
        // Each pair is written once, so no search; the order is restored by parse(). A triple
        // is a pair whose context is two words ("p<TAB>word1 word2<TAB>word3...").
        Followers &followers = pairs[context];
        followers.list.push_back({key, count, lastUsed});
        followers.total += count;
        ++(context.contains(u' ') ? tripleTotal : pairTotal);
        useCounter = std::max(useCounter, lastUsed);
    } else {
        return false;
    }
    return true;
}

LearnedWords::Loaded LearnedWords::read(const QString &path, const Dictionary *dictionary, qsizetype maxWords,
                                        qsizetype maxPairs, qsizetype maxTriples, bool copySkipped)
{
    const QFileInfo info(path);
    Loaded loaded;
    if (!info.exists())
        return loaded; // Missing
    // Only a regular file is read: a named pipe would hold up the reading thread until some
    // writer came, a device might never end. Nor is anything else moved or replaced: the user
    // named it, and it is not ours.
    if (!info.isFile()) {
        loaded.result = LoadResult::NotAFile;
        return loaded;
    }
    QFile file(path);
    if (!openRegularFile(file)) {
        loaded.result = info.isFile() ? LoadResult::Unreadable : LoadResult::NotAFile;
        loaded.error = file.errorString();
        return loaded;
    }
    const QByteArray bytes = file.readAll();
    // A read that failed says nothing of what the file holds: it stays where it is.
    if (file.error() != QFileDevice::NoError) {
        loaded.result = LoadResult::Unreadable;
        loaded.error = file.errorString();
        return loaded;
    }
    file.close();
    auto words = std::make_shared<LearnedWords>(dictionary, maxWords, maxPairs, maxTriples);
    // An empty file (a save cut short before any byte reached the disk) is an empty store.
    if (bytes.isEmpty() || words->parse(bytes)) {
        loaded.result = LoadResult::Loaded;
        loaded.words = words;
        loaded.skippedLines = words->skippedLines();
        // The lines that could not be read are kept in a copy, as a damaged file is.
        if (loaded.skippedLines > 0 && copySkipped) {
            const QString aside = asideName(path);
            if (!aside.isEmpty() && QFile::copy(path, aside))
                loaded.aside = aside;
        }
        return loaded;
    }
    // Not a learned-words file: kept aside rather than lost, and not read again at the next start.
    loaded.result = LoadResult::Damaged;
    const QString aside = asideName(path);
    if (!aside.isEmpty() && QFile::rename(path, aside)) {
        loaded.aside = aside;
        syncFolderOf(path);
    } else {
        // Left where it is, and then not saved over.
        loaded.result = LoadResult::Unreadable;
        loaded.error = QStringLiteral("not a learned-words file, and it could not be moved aside");
    }
    return loaded;
}

QString LearnedWords::describe(const Loaded &loaded, const QString &path)
{
    const QString file = QDir::toNativeSeparators(path);
    switch (loaded.result) {
    case LoadResult::Loaded:
        if (loaded.skippedLines == 0)
            return {};
        return QStringLiteral("%1 line(s) of %2 could not be read and were skipped%3")
            .arg(loaded.skippedLines)
            .arg(file, loaded.aside.isEmpty() ? QString()
                                              : QStringLiteral("; the file as it was is kept in %1")
                                                    .arg(QDir::toNativeSeparators(loaded.aside)));
    case LoadResult::Missing:
        return {};
    case LoadResult::Damaged:
        return QStringLiteral("%1 is not a learned-words file; it was moved to %2 and learning starts afresh")
            .arg(file, QDir::toNativeSeparators(loaded.aside));
    case LoadResult::Unreadable:
        return QStringLiteral("cannot read %1 (%2); it is left as it is, and what is learned is not saved")
            .arg(file, loaded.error);
    case LoadResult::NotAFile:
        return QStringLiteral("%1 is not a regular file; it is left as it is, and what is learned is not saved")
            .arg(file);
    }
    return {};
}

std::function<LearnedWords::Loaded()> LearnedWords::reader(const QString &path) const
{
    return [path, dictionary = dictionary, maxWords = maxWords, maxPairs = maxPairs, maxTriples = maxTriples] {
        return read(path, dictionary, maxWords, maxPairs, maxTriples, true);
    };
}

LearnedWords::LoadResult LearnedWords::adopt(Loaded loaded)
{
    if (loaded.result != LoadResult::Loaded || !loaded.words)
        return loaded.result;
    std::vector<Use> meanwhile = std::move(journal);
    auto keepSpelling = std::move(spelling);
    *this = std::move(*loaded.words);
    spelling = std::move(keepSpelling);
    // Names written by this store's spelling rather than the reader's.
    for (const Use &use : meanwhile)
        learn(use.word, use.context, use.context2, use.atSentenceStart);
    dirty = !journal.empty();
    return LoadResult::Loaded;
}

LearnedWords::LoadResult LearnedWords::load(const QString &path)
{
    return adopt(reader(path)());
}

std::function<LearnedWords::Saved()> LearnedWords::saver(const QString &path, int lockWait)
{
    // Everything the work needs, copied (the strings are shared, so this is cheap): this store
    // for when the file is missing or was not a store, and the uses to add to the file's.
    auto mine = std::make_shared<LearnedWords>(*this);
    mine->journal.clear();
    journalSaving = journal.size();
    return [path, lockWait, mine, uses = std::vector<Use>(journal.begin(), journal.end())] {
        // One copy at a time reads, adds and writes. Without the lock nothing is written: a
        // write without it could go over what another copy writes at the same moment. A lock
        // left by a copy that died, or that has held it far too long, is taken over.
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(staleLockMs);
        if (!lock.tryLock(lockWait)) {
            Saved busy;
            busy.error = lock.error() == QLockFile::LockFailedError
                ? QStringLiteral("another copy of the program kept the file locked")
                : QStringLiteral("cannot make the lock file %1.lock").arg(path);
            return busy;
        }
        Saved saved;
        // The lines that cannot be read were kept in a copy when the file was loaded.
        saved.read = read(path, mine->dictionary, mine->maxWords, mine->maxPairs, mine->maxTriples, false);
        const LoadResult found = saved.read.result;
        if (found == LoadResult::Unreadable || found == LoadResult::NotAFile) {
            saved.error = describe(saved.read, path);
            return saved;
        }
        std::shared_ptr<LearnedWords> result = mine;
        if (found == LoadResult::Loaded) {
            // The file as it is now, with this copy's uses since it last read or wrote it.
            result = saved.read.words;
            result->spelling = mine->spelling;
            for (const Use &use : uses)
                result->learnOnce(use.word, use.context, use.context2, use.atSentenceStart);
        }
        saved.written = replaceFile(path, result->serialise());
        if (saved.written)
            saved.words = result;
        else
            saved.error = QStringLiteral("cannot write %1").arg(path);
        saved.read.words.reset();
        return saved;
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
