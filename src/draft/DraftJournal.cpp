#include "DraftJournal.h"

#include "Files.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace wendrel {

namespace {

const QByteArray magic("WDJ1");
constexpr qsizetype hashSize = 16; // MD5
constexpr qsizetype headerSize = 4 + 8 + hashSize;
constexpr qsizetype checkSize = 4;
constexpr qsizetype fixedPayload = 8 + 8; // position, removed

QByteArray md5(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

template <typename T> void appendLittleEndian(QByteArray &bytes, T value)
{
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    bytes.append(raw, sizeof(T));
}

template <typename T> T readLittleEndian(const char *data)
{
    return qFromLittleEndian<T>(data);
}

} // namespace

QString journalPathFor(const QString &draftPath)
{
    return draftPath + QStringLiteral(".journal");
}

JournalBase JournalBase::of(const QByteArray &draftBytes)
{
    return {draftBytes.size(), md5(draftBytes)};
}

QByteArray journalHeader(const JournalBase &base)
{
    QByteArray bytes = magic;
    appendLittleEndian<qint64>(bytes, base.size);
    bytes.append(base.hash);
    return bytes;
}

QByteArray journalRecord(const DraftEdit &edit)
{
    QByteArray payload;
    appendLittleEndian<qint64>(payload, edit.position);
    appendLittleEndian<qint64>(payload, edit.removed);
    appendUtf16le(payload, edit.added);
    QByteArray record;
    appendLittleEndian<quint32>(record, quint32(payload.size()));
    record.append(payload);
    record.append(md5(record).left(checkSize));
    return record;
}

bool applyEdit(QString &text, const DraftEdit &edit)
{
    if (edit.position < 0 || edit.removed < 0 || edit.position > text.size() || edit.removed > text.size() - edit.position)
        return false;
    text.replace(edit.position, edit.removed, edit.added);
    return true;
}

QString replayJournal(QString text, const JournalBase &draft, const QByteArray &journal)
{
    if (journal.size() < headerSize || !journal.startsWith(magic))
        return text;
    const JournalBase named{readLittleEndian<qint64>(journal.constData() + 4), journal.mid(12, hashSize)};
    if (!(named == draft))
        return text;
    qsizetype at = headerSize;
    while (journal.size() - at >= 4) {
        const quint32 payloadSize = readLittleEndian<quint32>(journal.constData() + at);
        if (payloadSize < fixedPayload || (payloadSize - fixedPayload) % 2 != 0
            || qsizetype(payloadSize) > journal.size() - at - 4 - checkSize)
            break; // cut off or damaged
        const QByteArrayView record(journal.constData() + at, 4 + qsizetype(payloadSize));
        if (md5(record).left(checkSize) != QByteArrayView(record.data() + record.size(), checkSize))
            break;
        const char *payload = record.data() + 4;
        DraftEdit edit{readLittleEndian<qint64>(payload), readLittleEndian<qint64>(payload + 8), {}};
        const qsizetype units = (payloadSize - fixedPayload) / 2;
        edit.added.resize(units);
        for (qsizetype i = 0; i < units; ++i)
            edit.added[i] = QChar(readLittleEndian<quint16>(payload + fixedPayload + 2 * i));
        if (!applyEdit(text, edit))
            break;
        at += record.size() + checkSize;
    }
    return text;
}

} // namespace wendrel
