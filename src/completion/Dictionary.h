#pragma once
// The built-in English word list: one word a line with its count ("word count"), sorted by
// the word with A-Z folded to a-z. The text is kept as it is and an index of offsets points
// into it, so the whole list costs little more than its own bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <utility>
#include <vector>

namespace wendrel {

class Dictionary {
public:
    Dictionary() = default;
    // Lines that are not "word count" are skipped; the order is restored if the text is not
    // sorted, so any list works, the sorted one just loads faster.
    explicit Dictionary(QByteArray text);
    // The list compiled into the program.
    static Dictionary builtIn();

    qsizetype size() const { return qsizetype(entries.size()); }
    quint64 total() const { return countTotal; }
    quint32 highestCount() const { return countHighest; }
    QByteArrayView word(qsizetype index) const;
    quint32 count(qsizetype index) const { return entries[size_t(index)].count; }

    // Index range [first, last) of the words that begin with a prefix given in small letters
    // (UTF-8); compared with A-Z folded.
    std::pair<qsizetype, qsizetype> prefixRange(QByteArrayView foldedPrefix) const;
    // Index of the word equal to foldedWord without regard to case, or -1.
    qsizetype find(QByteArrayView foldedWord) const;
    // The n most frequent words of a range, most frequent first.
    QList<qsizetype> mostFrequent(std::pair<qsizetype, qsizetype> range, int n) const;

private:
    struct Entry {
        quint32 offset;
        quint32 count;
        quint8 length;
    };
    int compareFolded(const Entry &entry, QByteArrayView folded, bool prefixOnly) const;

    QByteArray bytes;
    std::vector<Entry> entries;
    quint64 countTotal = 0;
    quint32 countHighest = 0;
};

} // namespace wendrel
