#pragma once
// File helpers shared by the program's file formats.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace wendrel {

// Writes bytes to a temporary file beside path and replaces path only when all of them were
// written and flushed; false, with the old file intact, when anything failed. The file and then
// its folder are synced, so after a power cut path holds either the old bytes or the new ones;
// false also when the folder could not be synced (the new file is in place, maybe not on disk).
bool replaceFile(const QString &path, const QByteArray &bytes);
// Syncs the folder that holds path (a rename, a new or a removed file in it reach the disk).
bool syncFolderOf(const QString &path);

// Opens file for reading only when it is a regular file: opening a named pipe would wait for a
// writer and hold up the program, and a device may never end.
bool openRegularFile(QFile &file);

// Appends the text's 16-bit units, low byte first, exactly as they are (lone surrogates too).
void appendUtf16le(QByteArray &bytes, QStringView text);

} // namespace wendrel
