#pragma once
// The journal of a long text's draft: the edits made since the draft was last written whole,
// appended to "<draft>.journal" (draft.txt.journal), so that a long text is not rewritten whole
// every half second while what is typed still reaches the disk within a moment.
//
// The journal starts with the size and an MD5 hash of the draft it continues; a draft written
// whole later no longer matches and its old journal is ignored. Each edit is a record with its
// own check, so a record cut off by a power cut ends the journal there.
#include <QByteArray>
#include <QList>
#include <QString>

namespace wendrel {

// One change of the draft's text: at position, removed units were replaced by added. Positions
// and lengths count the 16-bit units of the text as the draft file holds it.
struct DraftEdit {
    qint64 position = 0;
    qint64 removed = 0;
    QString added;

    bool operator==(const DraftEdit &) const = default;
};

QString journalPathFor(const QString &draftPath);

// The identity of a draft file's bytes, which a journal names as the text it continues.
struct JournalBase {
    qint64 size = -1;
    QByteArray hash;

    static JournalBase of(const QByteArray &draftBytes);
    bool operator==(const JournalBase &) const = default;
};

QByteArray journalHeader(const JournalBase &base);
QByteArray journalRecord(const DraftEdit &edit);

// The text after the journal's edits, in order, up to the first record that is cut off,
// damaged or does not fit the text; the text as it is when the journal does not continue
// this draft (or is not a journal).
QString replayJournal(QString text, const JournalBase &draft, const QByteArray &journal);

// Applies one edit to a text; false (text unchanged) when it does not fit.
bool applyEdit(QString &text, const DraftEdit &edit);

} // namespace wendrel
