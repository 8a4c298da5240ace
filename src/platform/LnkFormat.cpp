#include "LnkFormat.h"

#include <QProcess>
#include <QRegularExpression>

namespace wendrel {

std::optional<QString> parseLnk(const QString &content)
{
    const qsizetype hash = content.indexOf(u'#');
    if (hash <= 0)
        return std::nullopt;
    bool ok = false;
    const qlonglong length = content.left(hash).trimmed().toLongLong(&ok);
    if (!ok || length < 0)
        return std::nullopt;
    QString line = content.mid(hash + 1);
    // A line break after the command line (an editor adds one) is not part of it.
    const qsizetype lineEnd = line.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineEnd >= 0)
        line.truncate(lineEnd);
    if (length < line.size())
        line.truncate(length);
    line = line.trimmed();
    if (line.isEmpty())
        return std::nullopt;
    return line;
}

QString formatLnk(const QString &commandLine)
{
    return QString::number(commandLine.size()) + u'#' + commandLine;
}

std::optional<LnkCommand> splitCommandLine(const QString &commandLine)
{
    QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty())
        return std::nullopt;
    LnkCommand command;
    command.program = parts.takeFirst();
    command.arguments = parts;
    return command;
}

} // namespace wendrel
