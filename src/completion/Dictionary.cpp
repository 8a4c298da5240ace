#include "Dictionary.h"

#include <QResource>
#include <algorithm>

namespace wendrel {

namespace {

constexpr int maxWordBytes = 255;

inline char fold(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

} // namespace

Dictionary::Dictionary(QByteArray text) : bytes(std::move(text))
{
    entries.reserve(size_t(bytes.count('\n') + 1));
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype lineStart = 0;
    while (lineStart < size) {
        qsizetype lineEnd = bytes.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = size;
        const QByteArrayView line(data + lineStart, lineEnd - lineStart);
        const qsizetype space = line.indexOf(' ');
        bool ok = false;
        const quint32 count = space > 0 ? line.sliced(space + 1).trimmed().toUInt(&ok) : 0;
        if (ok && space <= maxWordBytes) {
            entries.push_back({quint32(lineStart), count, quint8(space)});
            countTotal += count;
            countHighest = std::max(countHighest, count);
        }
        lineStart = lineEnd + 1;
    }
    const auto less = [this](const Entry &a, const Entry &b) {
        const QByteArrayView wordA = QByteArrayView(bytes.constData() + a.offset, a.length);
        const QByteArrayView wordB = QByteArrayView(bytes.constData() + b.offset, b.length);
        for (qsizetype i = 0; i < std::min(wordA.size(), wordB.size()); ++i) {
            if (fold(wordA[i]) != fold(wordB[i]))
                return uchar(fold(wordA[i])) < uchar(fold(wordB[i]));
        }
        return wordA.size() < wordB.size();
    };
    if (!std::is_sorted(entries.begin(), entries.end(), less))
        std::stable_sort(entries.begin(), entries.end(), less);
    entries.shrink_to_fit();
}

Dictionary Dictionary::builtIn()
{
    // Uncompressed straight into the one buffer the dictionary keeps (a QFile would copy it).
    const QResource resource(QStringLiteral(":/wendrel/completion/words.txt"));
    if (!resource.isValid())
        return {};
    return Dictionary(resource.uncompressedData());
}

QByteArrayView Dictionary::word(qsizetype index) const
{
    const Entry &entry = entries[size_t(index)];
    return QByteArrayView(bytes.constData() + entry.offset, entry.length);
}

// <0, 0 or >0 as the entry sorts before, with or after the folded text; with prefixOnly, an
// entry that begins with the text compares equal.
int Dictionary::compareFolded(const Entry &entry, QByteArrayView folded, bool prefixOnly) const
{
    const char *word = bytes.constData() + entry.offset;
    const qsizetype common = std::min<qsizetype>(entry.length, folded.size());
    for (qsizetype i = 0; i < common; ++i) {
        const uchar a = uchar(fold(word[i]));
        const uchar b = uchar(folded[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (entry.length < folded.size())
        return -1;
    if (prefixOnly || entry.length == folded.size())
        return 0;
    return 1;
}

std::pair<qsizetype, qsizetype> Dictionary::prefixRange(QByteArrayView foldedPrefix) const
{
    const auto first = std::lower_bound(entries.begin(), entries.end(), foldedPrefix,
        [this](const Entry &entry, QByteArrayView text) { return compareFolded(entry, text, true) < 0; });
    const auto last = std::upper_bound(first, entries.end(), foldedPrefix,
        [this](QByteArrayView text, const Entry &entry) { return compareFolded(entry, text, true) > 0; });
    return {first - entries.begin(), last - entries.begin()};
}

qsizetype Dictionary::find(QByteArrayView foldedWord) const
{
    const auto it = std::lower_bound(entries.begin(), entries.end(), foldedWord,
        [this](const Entry &entry, QByteArrayView text) { return compareFolded(entry, text, false) < 0; });
    if (it == entries.end() || compareFolded(*it, foldedWord, false) != 0)
        return -1;
    return it - entries.begin();
}

QList<qsizetype> Dictionary::mostFrequent(std::pair<qsizetype, qsizetype> range, int n) const
{
    QList<qsizetype> best; // kept sorted, most frequent first
    for (qsizetype i = range.first; i < range.second; ++i) {
        const quint32 c = entries[size_t(i)].count;
        if (best.size() == n && c <= count(best.last()))
            continue;
        qsizetype at = best.size();
        while (at > 0 && count(best[at - 1]) < c)
            --at;
        best.insert(at, i);
        if (best.size() > n)
            best.removeLast();
    }
    return best;
}

} // namespace wendrel
