#include "FileLocations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace wendrel {

QString appFolderOf(const QString &executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(u'/');
    return slash < 0 ? executablePath : executablePath.left(slash);
}

QString resourceFolder(const QString &appFolder, const QString &relativeDataFolder)
{
    if (QFileInfo::exists(helpPath(appFolder)) || QFileInfo::exists(soundPath(appFolder, 1)))
        return appFolder;
    const QString installed = QDir::cleanPath(appFolder + u'/' + relativeDataFolder);
    return QFileInfo(installed).isDir() ? installed : appFolder;
}

QString soundPath(const QString &appFolder, int number)
{
    return appFolder + QStringLiteral("/sound%1.wav").arg(number);
}

QString helpPath(const QString &appFolder)
{
    return appFolder + QStringLiteral("/help.htm");
}

namespace {

// Asks the file system itself: a folder can look writable by its permission bits and still
// refuse (a read-only mount), so try to create a file there.
bool canCreateFilesIn(const QString &folder)
{
    const QString dir = folder.isEmpty() ? QStringLiteral("/") : folder;
    if (!QFileInfo(dir).isDir())
        return false;
    QTemporaryFile probe(dir + QStringLiteral("/.wendrel-probe-XXXXXX"));
    return probe.open();
}

} // namespace

QString settingsFolder(const QString &appFolder, const QString &userConfigFolder, bool installed)
{
    if (!installed && canCreateFilesIn(appFolder))
        return appFolder;
    QDir().mkpath(userConfigFolder);
    return userConfigFolder;
}

QString defaultUserConfigFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/wendrel");
}

} // namespace wendrel
