#include "TextFile.h"

#include "Files.h"

#include <QFile>
#include <QStringDecoder>

namespace wendrel {

namespace {

// Wendrel's own format: every 16-bit unit as it is, up to the first zero unit.
QString decodeUnits(QByteArrayView bytes, bool bigEndian)
{
    QString text;
    text.reserve(bytes.size() / 2 + 1);
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const uchar first = uchar(bytes[i]);
        const uchar second = i + 1 < bytes.size() ? uchar(bytes[i + 1]) : 0;
        const char16_t unit = bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

QString decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    // A zero character cannot be shown; keep its place visible instead of losing the rest.
    text.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    return text;
}

} // namespace

QByteArray encodeTextFile(const QString &text)
{
    QByteArray bytes("\xFF\xFE", 2);
    appendUtf16le(bytes, text);
    return bytes;
}

QString decodeTextFile(const QByteArray &bytes)
{
    const QByteArrayView view(bytes);
    if (view.startsWith("\xFF\xFE"))
        return decodeUnits(view.sliced(2), false);
    if (view.startsWith("\xFE\xFF"))
        return decodeUnits(view.sliced(2), true);
    if (view.startsWith("\xEF\xBB\xBF"))
        return decodeUtf8(view.sliced(3));
    return decodeUtf8(view);
}

std::optional<QString> readTextFile(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decodeTextFile(bytes);
}

bool writeTextFile(const QString &path, const QString &text)
{
    return replaceFile(path, encodeTextFile(text));
}

} // namespace wendrel
