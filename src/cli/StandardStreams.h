#pragma once
// Standard input and output for the command-line programs, with every failure reported:
// a full disk or a closed pipe on output, a folder or an unreadable device on input.
#include <QString>
#include <optional>

namespace wendrel::cli {

// "<program> <version>", the answer to --version.
QString versionLine(const QString &program);

// Writes text (UTF-8) to standard output and flushes it, so a reader sees each answer at
// once. False when the write failed; errorText() then says why.
bool writeOut(const QString &text);

// "<program>: <message>" as one line on standard error, its control characters escaped.
void complain(const QString &program, const QString &message);
// The text with its control characters (NUL, line breaks, escape, C1 controls, line separators
// and the marks that reorder text) written as \x00, \n, \u2028 and the like, so that it
// shows whole and on one line.
QString escapeControls(QStringView text);

// The system's words for the last failed read or write (errno).
QString errorText();

// One line of standard input, without its line break (LF or CR LF), decoded as UTF-8.
// std::nullopt at the end of the input or on a read error; readFailed() tells which.
std::optional<QString> readLine();
bool readFailed();

// Writes text and, when that fails, complains; returns the exit status to end with
// (0 on success, 1 on a failed write).
int answer(const QString &program, const QString &text);

} // namespace wendrel::cli
