#include "DesktopEntries.h"

#include "LnkFormat.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <tuple>

namespace wendrel {

namespace {

const QStringList mainCategories{
    QStringLiteral("AudioVideo"), QStringLiteral("Audio"),    QStringLiteral("Video"),
    QStringLiteral("Development"), QStringLiteral("Education"), QStringLiteral("Game"),
    QStringLiteral("Graphics"),   QStringLiteral("Network"),  QStringLiteral("Office"),
    QStringLiteral("Science"),    QStringLiteral("Settings"), QStringLiteral("System"),
    QStringLiteral("Utility")};

// One word of a command line as the shortcut's command line is split (QProcess::splitCommand):
// in double quotes, a literal quote written as three.
QString quoted(const QString &word)
{
    QString escaped = word;
    escaped.replace(u'"', QStringLiteral("\"\"\""));
    return u'"' + escaped + u'"';
}

} // namespace

QString mainCategory(const QStringList &categories)
{
    for (const QString &category : categories) {
        if (mainCategories.contains(category))
            return category;
    }
    return QStringLiteral("Other");
}

QString launchCommandLine(const MenuApplication &application)
{
    if (application.busName.isEmpty())
        return QStringLiteral("gio launch ") + quoted(application.entryPath);
    // What the desktop sends such an application (org.freedesktop.Application); the bus starts
    // it when it is not running. Its object path is its name with "." as "/" and "-" as "_".
    QString objectPath = u'/' + application.busName;
    objectPath.replace(u'.', u'/').replace(u'-', u'_');
    return QStringLiteral("gdbus call --session --dest %1 --object-path %2 --method org.freedesktop.Application.Activate %3")
        .arg(quoted(application.busName), quoted(objectPath), quoted(QStringLiteral("@a{sv} {}")));
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

int fillStartMenu(const QString &startMenuFolder, QList<MenuApplication> applications)
{
    // A fixed order, so that " (2)" always goes to the same one of two equal names.
    std::sort(applications.begin(), applications.end(), [](const MenuApplication &a, const MenuApplication &b) {
        return std::tie(a.name, a.entryPath) < std::tie(b.name, b.entryPath);
    });
    int written = 0;
    for (const MenuApplication &application : std::as_const(applications)) {
        const QString target = startMenuFolder + u'/' + mainCategory(application.categories);
        if (!QDir().mkpath(target))
            continue;
        const QString base = target + u'/' + safeFileName(application.name);
        QString lnkPath = base + QStringLiteral(".lnk");
        for (int n = 2; QFile::exists(lnkPath); ++n)
            lnkPath = base + QStringLiteral(" (%1).lnk").arg(n);
        QSaveFile lnk(lnkPath);
        if (lnk.open(QIODevice::WriteOnly) && lnk.write(formatLnk(launchCommandLine(application)).toUtf8()) >= 0
            && lnk.commit())
            ++written;
    }
    return written;
}

} // namespace wendrel
