#include "LanguageModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace wendrel {

namespace {

constexpr char magic[8] = {'W', 'E', 'N', 'D', 'R', 'E', 'L', 'M'};
constexpr quint32 version = 1;
constexpr qsizetype headerWords = 10; // version, size and the counts after the magic
constexpr qsizetype headerSize = 8 + 4 * headerWords;
constexpr double scale = 512.0;
constexpr quint32 wordBits = 18;
constexpr quint32 wordMask = (1u << wordBits) - 1;
constexpr quint32 notCandidate = 0xffff;
const QString fileName = QStringLiteral("english.lm");

// Keeps the n best words, best first; a word offered twice keeps its first score (the
// fullest context comes first).
class Best {
public:
    explicit Best(int n) : n(size_t(std::max(0, n))) {}
    // Whether a score could still enter.
    bool admits(double score) const { return list.size() < n || score > list.back().logProbability; }
    void add(LanguageModel::WordId word, double score)
    {
        if (std::any_of(list.begin(), list.end(), [&](const auto &s) { return s.word == word; }) || !admits(score))
            return;
        auto at = std::find_if(list.begin(), list.end(), [&](const auto &s) { return score > s.logProbability; });
        list.insert(at, {word, score});
        if (list.size() > n)
            list.pop_back();
    }
    std::vector<LanguageModel::Scored> list;

private:
    size_t n;
};

} // namespace

LanguageModel::~LanguageModel() = default;

QString LanguageModel::defaultPath()
{
    // The folder of the executable, also before (or without) a QCoreApplication.
    const QString folder = QCoreApplication::instance()
        ? QCoreApplication::applicationDirPath()
        : QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
    const QString beside = folder + u'/' + fileName;
    if (QFileInfo::exists(beside))
        return beside;
    return QFileInfo(folder + QStringLiteral("/" WENDREL_DATA_FROM_BIN "/") + fileName).absoluteFilePath();
}

LanguageModel::Loaded LanguageModel::open(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {nullptr, QStringLiteral("%1 is missing").arg(path)};
    if (!info.isFile()) // a pipe or a device would block or never end
        return {nullptr, QStringLiteral("%1 is not a regular file").arg(path)};
    std::unique_ptr<LanguageModel> model(new LanguageModel);
    model->file = std::make_unique<QFile>(path);
    if (!model->file->open(QIODevice::ReadOnly))
        return {nullptr, QStringLiteral("cannot read %1: %2").arg(path, model->file->errorString())};
    model->size = model->file->size();
    model->data = model->size > 0 ? model->file->map(0, model->size) : nullptr;
    if (!model->data)
        return {nullptr, QStringLiteral("cannot read %1: %2").arg(path, model->size > 0 ? model->file->errorString() : QStringLiteral("empty file"))};
    Loaded loaded = check(std::move(model));
    if (!loaded.model)
        loaded.error = QStringLiteral("%1 is damaged (%2)").arg(path, loaded.error);
    return loaded;
}

LanguageModel::Loaded LanguageModel::fromBytes(QByteArray bytes)
{
    std::unique_ptr<LanguageModel> model(new LanguageModel);
    model->bytes = std::move(bytes);
    model->data = reinterpret_cast<const uchar *>(model->bytes.constData());
    model->size = model->bytes.size();
    return check(std::move(model));
}

quint32 LanguageModel::at(qsizetype offset, qsizetype index) const
{
    return qFromLittleEndian<quint32>(data + offset + 4 * index);
}

// The header, the sizes of the sections, and the indexes that everything else is found by.
LanguageModel::Loaded LanguageModel::check(std::unique_ptr<LanguageModel> m)
{
    const auto fail = [](const char *why) { return Loaded{nullptr, QString::fromLatin1(why)}; };
    if (m->size < headerSize || std::memcmp(m->data, magic, sizeof magic) != 0)
        return fail("not a Wendrel language model");
    quint32 header[headerWords];
    for (qsizetype i = 0; i < headerWords; ++i)
        header[i] = qFromLittleEndian<quint32>(m->data + 8 + 4 * i);
    if (header[0] != version)
        return fail("unknown version");
    if (header[1] != quint64(m->size))
        return fail("truncated or overlong");
    m->words = header[2];
    m->pairs = header[3];
    m->triples = header[4];
    m->contexts = header[5];
    m->displays = header[6];
    m->tops = header[7];
    m->keyBytes = header[8];
    m->displayBytes = header[9];
    if (m->words > wordMask)
        return fail("too many words");

    // Section offsets in 64 bits: no count can make them wrap.
    qint64 at = headerSize;
    const auto section = [&at](qint64 bytes) {
        const qint64 start = at;
        at += (bytes + 3) & ~qint64(3);
        return start;
    };
    const qint64 wordStartAt = section(4 * (qint64(m->words) + 1));
    const qint64 unigramAt = section(4 * qint64(m->words));
    const qint64 pairStartAt = section(4 * (qint64(m->words) + 1));
    const qint64 pairsAt = section(4 * qint64(m->pairs));
    const qint64 contextsAt = section(4 * qint64(m->contexts));
    const qint64 tripleStartAt = section(4 * (qint64(m->contexts) + 1));
    const qint64 contextBackoffAt = section(2 * qint64(m->contexts));
    const qint64 triplesAt = section(4 * qint64(m->triples));
    const qint64 topAt = section(4 * qint64(m->tops));
    const qint64 displayWordAt = section(4 * qint64(m->displays));
    const qint64 displayStartAt = section(4 * (qint64(m->displays) + 1));
    const qint64 keysAt = section(m->keyBytes);
    const qint64 displayTextAt = section(m->displayBytes);
    if (at != m->size)
        return fail("sections do not fill the file");
    m->wordStartAt = wordStartAt;
    m->unigramAt = unigramAt;
    m->pairStartAt = pairStartAt;
    m->pairsAt = pairsAt;
    m->contextsAt = contextsAt;
    m->tripleStartAt = tripleStartAt;
    m->contextBackoffAt = contextBackoffAt;
    m->triplesAt = triplesAt;
    m->topAt = topAt;
    m->displayWordAt = displayWordAt;
    m->displayStartAt = displayStartAt;
    m->keysAt = keysAt;
    m->displayTextAt = displayTextAt;

    // Offsets that only grow and end where their section ends.
    const auto ascending = [&m](qsizetype offset, quint32 count, quint32 end, bool strictly) {
        quint32 previous = 0;
        for (quint32 i = 0; i < count; ++i) {
            const quint32 value = m->at(offset, i);
            if (value < previous || (strictly && i > 0 && value == previous) || value > end)
                return false;
            previous = value;
        }
        return true;
    };
    if (!ascending(wordStartAt, m->words + 1, m->keyBytes, false) || m->at(wordStartAt, m->words) != m->keyBytes)
        return fail("bad word index");
    if (!ascending(pairStartAt, m->words + 1, m->pairs, false) || m->at(pairStartAt, m->words) != m->pairs)
        return fail("bad pair index");
    if (!ascending(contextsAt, m->contexts, m->pairs > 0 ? m->pairs - 1 : 0, true) || (m->contexts > 0 && m->pairs == 0))
        return fail("bad context index");
    if (!ascending(tripleStartAt, m->contexts + 1, m->triples, false) || m->at(tripleStartAt, m->contexts) != m->triples)
        return fail("bad triple index");
    if (!ascending(displayWordAt, m->displays, m->words > 0 ? m->words - 1 : 0, true) || (m->displays > 0 && m->words == 0))
        return fail("bad display index");
    if (!ascending(displayStartAt, m->displays + 1, m->displayBytes, false)
        || m->at(displayStartAt, m->displays) != m->displayBytes)
        return fail("bad display text index");
    for (quint32 i = 0; i < m->tops; ++i) {
        if (m->at(topAt, i) >= m->words)
            return fail("bad list of likely words");
    }
    m->startWord = m->find("<s>");
    return {std::shared_ptr<const LanguageModel>(m.release()), {}};
}

QByteArrayView LanguageModel::key(WordId word) const
{
    if (word >= words)
        return {};
    const quint32 start = at(wordStartAt, word);
    return QByteArrayView(data + keysAt + start, at(wordStartAt, word + 1) - start);
}

QString LanguageModel::display(WordId word) const
{
    if (word >= words)
        return {};
    quint32 low = 0, high = displays;
    while (low < high) {
        const quint32 mid = low + (high - low) / 2;
        if (at(displayWordAt, mid) < word)
            low = mid + 1;
        else
            high = mid;
    }
    if (low < displays && at(displayWordAt, low) == word) {
        const quint32 start = at(displayStartAt, low);
        return QString::fromUtf8(reinterpret_cast<const char *>(data + displayTextAt + start),
                                 at(displayStartAt, low + 1) - start);
    }
    return QString::fromUtf8(key(word));
}

namespace {

int compareBytes(QByteArrayView a, QByteArrayView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const int c = common > 0 ? std::memcmp(a.data(), b.data(), size_t(common)) : 0; // an empty view may be null
    return c != 0 ? c : (a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0);
}

} // namespace

LanguageModel::WordId LanguageModel::find(QByteArrayView wanted) const
{
    const auto [first, last] = prefixRange(wanted);
    return first < last && key(first) == wanted ? first : noWord;
}

std::pair<LanguageModel::WordId, LanguageModel::WordId> LanguageModel::prefixRange(QByteArrayView prefix) const
{
    // First key not below the prefix, then first key past every key that begins with it.
    quint32 low = 0, high = words;
    while (low < high) {
        const quint32 mid = low + (high - low) / 2;
        if (compareBytes(key(mid), prefix) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    const quint32 first = low;
    high = words;
    while (low < high) {
        const quint32 mid = low + (high - low) / 2;
        if (key(mid).startsWith(prefix))
            low = mid + 1;
        else
            high = mid;
    }
    return {first, low};
}

double LanguageModel::unigramLog(WordId word) const
{
    const quint32 value = at(unigramAt, word) & 0xffff;
    return value == notCandidate ? minusInfinity : -double(value) / scale;
}

double LanguageModel::unigramBackoff(WordId word) const
{
    return double(qint16(quint16(at(unigramAt, word) >> 16))) / scale;
}

bool LanguageModel::isCandidate(WordId word) const
{
    return word < words && (at(unigramAt, word) & 0xffff) != notCandidate;
}

quint32 LanguageModel::lowerEntry(qsizetype section, quint32 first, quint32 last, WordId word) const
{
    while (first < last) {
        const quint32 mid = first + (last - first) / 2;
        if ((at(section, mid) & wordMask) < word)
            first = mid + 1;
        else
            last = mid;
    }
    return first;
}

qsizetype LanguageModel::findEntry(qsizetype section, quint32 first, quint32 last, WordId word) const
{
    const quint32 i = lowerEntry(section, first, last, word);
    return i < last && (at(section, i) & wordMask) == word ? qsizetype(i) : -1;
}

LanguageModel::Context LanguageModel::context(WordId previous1, WordId previous2) const
{
    Context c;
    if (previous1 >= words)
        return c;
    c.previous1 = previous1;
    c.pairFirst = at(pairStartAt, previous1);
    c.pairLast = at(pairStartAt, previous1 + 1);
    c.backoff1 = unigramBackoff(previous1);
    if (previous2 >= words)
        return c;
    const qsizetype pair = findEntry(pairsAt, at(pairStartAt, previous2), at(pairStartAt, previous2 + 1), previous1);
    if (pair < 0)
        return c;
    quint32 low = 0, high = contexts;
    while (low < high) {
        const quint32 mid = low + (high - low) / 2;
        if (at(contextsAt, mid) < quint32(pair))
            low = mid + 1;
        else
            high = mid;
    }
    if (low < contexts && at(contextsAt, low) == quint32(pair)) {
        c.tripleFirst = at(tripleStartAt, low);
        c.tripleLast = at(tripleStartAt, low + 1);
        c.backoff2 = double(qFromLittleEndian<qint16>(data + contextBackoffAt + 2 * low)) / scale;
    }
    return c;
}

double LanguageModel::logProbability(WordId word, const Context &c) const
{
    if (!isCandidate(word))
        return minusInfinity;
    if (const qsizetype i = findEntry(triplesAt, c.tripleFirst, c.tripleLast, word); i >= 0)
        return -double(at(triplesAt, i) >> wordBits) / scale;
    if (const qsizetype i = findEntry(pairsAt, c.pairFirst, c.pairLast, word); i >= 0)
        return c.backoff2 - double(at(pairsAt, i) >> wordBits) / scale;
    return c.backoff2 + c.backoff1 + unigramLog(word);
}

// Triples first, then pairs, then single words: a word already scored by a fuller context
// keeps that score (Katz back-off), which is checked only for words that would enter.
std::vector<LanguageModel::Scored> LanguageModel::best(const Context &c, std::pair<WordId, WordId> range, int n) const
{
    Best best(n);
    const auto [first, last] = range;
    if (first >= last || n <= 0)
        return {};
    for (quint32 i = lowerEntry(triplesAt, c.tripleFirst, c.tripleLast, first); i < c.tripleLast; ++i) {
        const quint32 entry = at(triplesAt, i);
        if ((entry & wordMask) >= last)
            break;
        if (isCandidate(entry & wordMask))
            best.add(entry & wordMask, -double(entry >> wordBits) / scale);
    }
    const auto inTriples = [&](WordId word) { return findEntry(triplesAt, c.tripleFirst, c.tripleLast, word) >= 0; };
    for (quint32 i = lowerEntry(pairsAt, c.pairFirst, c.pairLast, first); i < c.pairLast; ++i) {
        const quint32 entry = at(pairsAt, i);
        const WordId word = entry & wordMask;
        if (word >= last)
            break;
        const double score = c.backoff2 - double(entry >> wordBits) / scale;
        if (best.admits(score) && isCandidate(word) && !inTriples(word))
            best.add(word, score);
    }
    const double offset = c.backoff2 + c.backoff1;
    const auto addWord = [&](WordId word) {
        const double score = offset + unigramLog(word);
        if (best.admits(score) && isCandidate(word) && !inTriples(word)
            && findEntry(pairsAt, c.pairFirst, c.pairLast, word) < 0)
            best.add(word, score);
    };
    if (first == 0 && last >= words && tops > 0) {
        // Every word: the most probable ones are listed, most probable first.
        for (quint32 i = 0; i < tops; ++i) {
            const WordId word = at(topAt, i);
            if (!best.admits(offset + unigramLog(word)))
                break;
            addWord(word);
        }
    } else {
        for (WordId word = first; word < std::min<quint32>(last, words); ++word)
            addWord(word);
    }
    return best.list;
}

} // namespace wendrel
