#pragma once
// File helpers shared by the program's file formats.
#include <QByteArray>
#include <QString>

namespace wendrel {

// Writes bytes to a temporary file beside path and replaces path only when all of them were
// written and flushed; false, with the old file intact, when anything failed.
bool replaceFile(const QString &path, const QByteArray &bytes);

// Appends the text's 16-bit units, low byte first, exactly as they are (lone surrogates too).
void appendUtf16le(QByteArray &bytes, QStringView text);

} // namespace wendrel
