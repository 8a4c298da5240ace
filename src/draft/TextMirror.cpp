#include "TextMirror.h"

#include <algorithm>

namespace wendrel {

namespace {

constexpr QChar separator(0x2029);

qsizetype separatorsIn(QStringView text)
{
    return std::count(text.begin(), text.end(), separator);
}

QString presented(QStringView raw)
{
    QString text = raw.toString();
    text.replace(separator, QStringLiteral("\r\n"));
    return text;
}

} // namespace

void TextMirror::reset(const QString &raw)
{
    chunks.clear();
    chunkSeparators.clear();
    length = raw.size();
    separators = 0;
    for (qsizetype at = 0; at < raw.size(); at += maxPiece / 2) {
        chunks.append(raw.mid(at, maxPiece / 2));
        chunkSeparators.append(separatorsIn(chunks.constLast()));
        separators += chunkSeparators.constLast();
    }
}

// The piece that holds position and the offset in it; the end of the text is the end of the
// last piece.
TextMirror::Place TextMirror::find(qsizetype position) const
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        const qsizetype end = start + chunks[i].size();
        if (position < end || i == chunks.size() - 1)
            return {i, position - start};
        start = end;
    }
    return {0, 0};
}

qsizetype TextMirror::separatorsBefore(const Place &place) const
{
    qsizetype before = 0;
    for (qsizetype i = 0; i < place.chunk; ++i)
        before += chunkSeparators[i];
    if (place.chunk >= chunks.size())
        return before;
    // Whichever side of the offset is shorter is counted.
    const QStringView chunk(chunks[place.chunk]);
    if (place.offset <= chunk.size() / 2)
        return before + separatorsIn(chunk.first(place.offset));
    return before + chunkSeparators[place.chunk] - separatorsIn(chunk.sliced(place.offset));
}

bool TextMirror::replace(qsizetype position, qsizetype removed, QStringView added, DraftEdit *asPresented)
{
    if (position < 0 || removed < 0 || position > length || removed > length - position)
        return false;
    if (chunks.isEmpty()) {
        chunks.append(QString());
        chunkSeparators.append(0);
    }
    const Place first = find(position);
    const Place last = find(position + removed);
    const qsizetype addedSeparators = separatorsIn(added);
    qsizetype removedSeparators = 0;
    if (asPresented)
        asPresented->position = position + separatorsBefore(first);
    if (first.chunk == last.chunk) {
        QString &chunk = chunks[first.chunk];
        removedSeparators = separatorsIn(QStringView(chunk).sliced(first.offset, removed));
        chunk.replace(first.offset, removed, added.data(), added.size());
        chunkSeparators[first.chunk] += addedSeparators - removedSeparators;
    } else {
        // A change across pieces: the pieces it touches become one, split again if too long.
        removedSeparators = separatorsIn(QStringView(chunks[first.chunk]).sliced(first.offset))
            + separatorsIn(QStringView(chunks[last.chunk]).first(last.offset));
        for (qsizetype i = first.chunk + 1; i < last.chunk; ++i)
            removedSeparators += chunkSeparators[i];
        QString joined = chunks[first.chunk].left(first.offset);
        joined.append(added).append(QStringView(chunks[last.chunk]).sliced(last.offset));
        chunks.remove(first.chunk + 1, last.chunk - first.chunk);
        chunkSeparators.remove(first.chunk + 1, last.chunk - first.chunk);
        chunkSeparators[first.chunk] = separatorsIn(joined);
        chunks[first.chunk] = std::move(joined);
    }
    length += added.size() - removed;
    separators += addedSeparators - removedSeparators;
    if (chunks[first.chunk].isEmpty()) {
        chunks.remove(first.chunk);
        chunkSeparators.remove(first.chunk);
    } else if (chunks[first.chunk].size() > maxPiece) {
        splitPiece(first.chunk);
    }
    if (asPresented) {
        asPresented->removed = removed + removedSeparators;
        asPresented->added = presented(added);
    }
    return true;
}

void TextMirror::splitPiece(qsizetype index)
{
    const QString chunk = chunks.takeAt(index);
    chunkSeparators.removeAt(index);
    for (qsizetype at = 0; at < chunk.size(); at += maxPiece / 2, ++index) {
        chunks.insert(index, chunk.mid(at, maxPiece / 2));
        chunkSeparators.insert(index, separatorsIn(chunks[index]));
    }
}

} // namespace wendrel
