#pragma once
// The handheld's own small shortcut file: "<length>#<command line>", for example
// "14#/usr/bin/xterm". Wendrel reads and writes it on every platform.
#include <QString>
#include <QStringList>
#include <optional>

namespace wendrel {

struct LnkCommand {
    QString program;
    QStringList arguments;
};

// The command line of a shortcut file's text, or nothing when the text is not a shortcut.
// The length counts the characters of the command line; a shorter line than announced is
// taken as it is, so a shortcut edited by hand still works.
std::optional<QString> parseLnk(const QString &content);

// The text of a shortcut file that runs commandLine.
QString formatLnk(const QString &commandLine);

// Splits a command line into program and arguments, with shell-like quoting.
std::optional<LnkCommand> splitCommandLine(const QString &commandLine);

} // namespace wendrel
