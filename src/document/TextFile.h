#pragma once
// Text files as Wendrel keeps them: the mark 0xFF 0xFE, then the text's 16-bit units, low
// byte first, with line breaks as 13, 10. Load also reads what other programs write.
#include <QByteArray>
#include <QString>
#include <optional>

namespace wendrel {

QByteArray encodeTextFile(const QString &text);

// By the file's first bytes: 0xFF 0xFE is Wendrel's own format (a zero character ends the
// text there, a last odd byte is completed by a zero byte); 0xFE 0xFF UTF-16 big-endian;
// 0xEF 0xBB 0xBF UTF-8 after the mark; no mark UTF-8. Invalid sequences become U+FFFD.
QString decodeTextFile(const QByteArray &bytes);

// The whole file, or nothing when it cannot be read (missing, not a regular file such as a
// named pipe or a device, or a read error).
std::optional<QString> readTextFile(const QString &path);
// Writes to a temporary file beside the target and replaces the target only when everything
// was written; false (with the old file intact) when opening, writing or replacing failed.
bool writeTextFile(const QString &path, const QString &text);

} // namespace wendrel
