#include "DesktopEntries.h"

#include "LnkFormat.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>

namespace wendrel {

namespace {

const QStringList mainCategories{
    QStringLiteral("AudioVideo"), QStringLiteral("Audio"),    QStringLiteral("Video"),
    QStringLiteral("Development"), QStringLiteral("Education"), QStringLiteral("Game"),
    QStringLiteral("Graphics"),   QStringLiteral("Network"),  QStringLiteral("Office"),
    QStringLiteral("Science"),    QStringLiteral("Settings"), QStringLiteral("System"),
    QStringLiteral("Utility")};

bool isTrue(const QString &value)
{
    return value.trimmed() == QLatin1String("true");
}

// One word of a command line as the shortcut's command line is split: in double quotes,
// a literal quote written as three.
QString quoted(const QString &word)
{
    QString escaped = word;
    escaped.replace(u'"', QStringLiteral("\"\"\""));
    return u'"' + escaped + u'"';
}

} // namespace

std::optional<DesktopEntry> parseDesktopEntry(const QString &content)
{
    QHash<QString, QString> values;
    bool inMainGroup = false;
    for (const QString &rawLine : content.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!values.contains(key)) // the first of a repeated key counts
            values.insert(key, line.mid(equals + 1).trimmed());
    }
    if (values.value(QStringLiteral("Type")) != QLatin1String("Application")
        || isTrue(values.value(QStringLiteral("NoDisplay"))) || isTrue(values.value(QStringLiteral("Hidden"))))
        return std::nullopt;
    DesktopEntry entry;
    entry.name = values.value(QStringLiteral("Name"));
    entry.commandLine = removeFieldCodes(values.value(QStringLiteral("Exec")));
    entry.workingFolder = values.value(QStringLiteral("Path"));
    if (entry.name.isEmpty() || entry.commandLine.isEmpty())
        return std::nullopt;
    entry.category = QStringLiteral("Other");
    for (const QString &category : values.value(QStringLiteral("Categories")).split(u';', Qt::SkipEmptyParts)) {
        if (mainCategories.contains(category)) {
            entry.category = category;
            break;
        }
    }
    return entry;
}

QString removeFieldCodes(const QString &exec)
{
    static const QString fieldCodes = QStringLiteral("fFuUdDnNickvm");
    QString result;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] == u'%' && i + 1 < exec.size()) {
            const QChar code = exec[i + 1];
            if (code == u'%') {
                result.append(u'%');
                ++i;
                continue;
            }
            if (fieldCodes.contains(code)) {
                ++i;
                continue;
            }
        }
        result.append(exec[i]);
    }
    return result.simplified();
}

QString safeFileName(const QString &name)
{
    QString safe;
    for (QChar ch : name)
        safe.append(ch == u'/' ? QChar(u'-') : (ch.unicode() < 32 ? QChar(u' ') : ch));
    safe = safe.trimmed();
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String(".."))
        safe = QStringLiteral("Program");
    return safe;
}

int fillStartMenu(const QString &startMenuFolder, const QStringList &applicationFolders)
{
    QSet<QString> seenIds;
    int written = 0;
    for (const QString &folder : applicationFolders) {
        QDirIterator files(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            // The desktop file id: its path below the folder with "/" as "-".
            QString id = QDir(folder).relativeFilePath(path);
            id.replace(u'/', u'-');
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const auto entry = parseDesktopEntry(QStringDecoder(QStringDecoder::Utf8).decode(file.read(1 << 20)));
            if (!entry)
                continue;
            const QString target = startMenuFolder + u'/' + entry->category;
            if (!QDir().mkpath(target))
                continue;
            const QString base = target + u'/' + safeFileName(entry->name);
            QString lnkPath = base + QStringLiteral(".lnk");
            for (int n = 2; QFile::exists(lnkPath); ++n)
                lnkPath = base + QStringLiteral(" (%1).lnk").arg(n);
            // The shortcut format holds only a command line: a working folder is set by env.
            const QString commandLine = entry->workingFolder.isEmpty()
                ? entry->commandLine
                : QStringLiteral("env -C %1 %2").arg(quoted(entry->workingFolder), entry->commandLine);
            QSaveFile lnk(lnkPath);
            if (lnk.open(QIODevice::WriteOnly) && lnk.write(formatLnk(commandLine).toUtf8()) >= 0 && lnk.commit())
                ++written;
        }
    }
    return written;
}

QStringList defaultApplicationFolders()
{
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

} // namespace wendrel
