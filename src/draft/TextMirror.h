#pragma once
// A copy of a text document's raw text (paragraphs separated by U+2029), kept in pieces and
// brought up to date by each change, so that handing the whole text to another thread costs a
// few reference counts instead of a copy of a long text: only the piece a later change touches
// is copied then. Each change also comes out as an edit of the text as the draft file holds it
// (a line break as 13, 10).
#include "DraftJournal.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace wendrel {

class TextMirror {
public:
    void reset(const QString &raw);
    // removed units at position were replaced by added (raw text); false, with nothing changed,
    // when the change does not fit the text.
    bool replace(qsizetype position, qsizetype removed, QStringView added, DraftEdit *asPresented = nullptr);

    qsizetype size() const { return length; }
    // The size of the text with each separator as 13, 10.
    qsizetype presentedSize() const { return length + separators; }
    // The text in pieces, shared with the mirror until it changes.
    const QStringList &pieces() const { return chunks; }
    QString text() const { return chunks.join(QString()); }

    // Pieces are split when they grow past this many units.
    static constexpr qsizetype maxPiece = 1 << 16;

private:
    struct Place {
        qsizetype chunk;
        qsizetype offset;
    };
    Place find(qsizetype position) const;
    qsizetype separatorsBefore(const Place &place) const;
    void splitPiece(qsizetype index);

    QStringList chunks;
    QList<qsizetype> chunkSeparators; // U+2029 in each piece
    qsizetype length = 0;
    qsizetype separators = 0;
};

} // namespace wendrel
