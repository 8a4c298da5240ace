// The shortcut file format, the replacement of files, and the shell's execute of the real platform.
#include "FileBytes.h"
#include "Files.h"
#include "LnkFormat.h"
#include "QtPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace wendrel;
using wendrel::test::fileBytes;

TEST(LnkFormat, ParsesAndFormats)
{
    EXPECT_EQ(parseLnk(QStringLiteral("14#/usr/bin/xterm")), QStringLiteral("/usr/bin/xterm"));
    EXPECT_EQ(parseLnk(QStringLiteral("14#/usr/bin/xterm\n")), QStringLiteral("/usr/bin/xterm"));
    EXPECT_EQ(parseLnk(QStringLiteral("3#abcdef")), QStringLiteral("abc"));
    EXPECT_EQ(parseLnk(QStringLiteral("99#short")), QStringLiteral("short"));
    EXPECT_FALSE(parseLnk(QStringLiteral("no hash")));
    EXPECT_FALSE(parseLnk(QStringLiteral("x#cmd")));
    EXPECT_FALSE(parseLnk(QStringLiteral("0#")));
    EXPECT_EQ(formatLnk(QStringLiteral("/usr/bin/xterm")), QStringLiteral("14#/usr/bin/xterm"));
    const auto command = splitCommandLine(QStringLiteral("sh -c \"touch a\" \"b c\""));
    ASSERT_TRUE(command);
    EXPECT_EQ(command->program, QStringLiteral("sh"));
    EXPECT_EQ(command->arguments, (QStringList{"-c", "touch a", "b c"}));
}

TEST(QtShell, StartsAShortcutInItsWorkingFolder)
{
    QTemporaryDir dir;
    const QString lnk = dir.path() + QStringLiteral("/Marker.lnk");
    QFile file(lnk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(formatLnk(QStringLiteral("sh -c \"touch marker\"")).toUtf8());
    file.close();
    QtShell shell;
    EXPECT_TRUE(shell.execute(QStringLiteral("open"), lnk, dir.path()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.path() + QStringLiteral("/marker")); }, 5000));

    EXPECT_FALSE(shell.execute(QStringLiteral("open"), dir.path() + QStringLiteral("/Missing.lnk"), dir.path()));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(formatLnk(QStringLiteral("/no/such/program")).toUtf8());
    file.close();
    EXPECT_FALSE(shell.execute(QStringLiteral("open"), lnk, dir.path()));
}

TEST(QtShell, MissingDocumentFails)
{
    QtShell shell;
    EXPECT_FALSE(shell.execute(QStringLiteral("open"), QStringLiteral("/no/such/help.htm"), QString()));
}

// Every fsync the program's own code makes, seen through the linker's --wrap (see
// tests/CMakeLists.txt): which file or folder it synced and what the target held at that moment.
namespace {
struct Sync {
    QString path;
    bool folder = false;
    QByteArray targetThen;
};
QList<Sync> syncs;
QString watchedTarget;
} // namespace

extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fsync(int fd)
{
    struct stat info {};
    char link[4096] = {};
    const QString fdPath = QStringLiteral("/proc/self/fd/%1").arg(fd);
    const ssize_t length = ::readlink(qPrintable(fdPath), link, sizeof link - 1);
    if (::fstat(fd, &info) == 0 && length > 0)
        syncs.append({QString::fromLocal8Bit(link, length), S_ISDIR(info.st_mode), fileBytes(watchedTarget)});
    return __real_fsync(fd);
}

// A power cut right after a replacement must find the new file: the folder's entry is synced
// after the rename, or the cut can bring back the old file (or no file at all).
TEST(ReplaceFile, SyncsTheFolderAfterTheRename)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("draft.txt"));
    watchedTarget = path;
    for (const QByteArray &bytes : {QByteArray("first"), QByteArray("second")}) {
        syncs.clear();
        ASSERT_TRUE(replaceFile(path, bytes));
        const auto folderSync = std::find_if(syncs.begin(), syncs.end(), [&](const Sync &sync) {
            return sync.folder && sync.path == QFileInfo(dir.path()).canonicalFilePath();
        });
        ASSERT_NE(folderSync, syncs.end()) << bytes.toStdString();
        EXPECT_EQ(folderSync->targetThen, bytes); // after the rename
    }
    watchedTarget.clear();
}

namespace {
// The desktop's menu as the module reads it, or a module that cannot be loaded.
bool menuReadFails = false;
QStringList filledFolders;
bool fillFromMenu(const QString &folder)
{
    filledFolders.append(folder);
    if (menuReadFails)
        return false;
    QDir().mkpath(folder + QStringLiteral("/System"));
    QFile lnk(folder + QStringLiteral("/System/XTerm.lnk"));
    return lnk.open(QIODevice::WriteOnly) && lnk.write("14#/usr/bin/xterm") > 0;
}
} // namespace

// A Start Menu folder whose filling failed (the menu module could not be loaded) is not left
// empty for good: nothing is in place, and the next start fills it.
TEST(QtStartMenu, AFolderIsPutInPlaceOnlyOnceFilled)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    const QString expected = home.path() + QStringLiteral("/wendrel/Start Menu");
    filledFolders.clear();
    menuReadFails = true;
    {
        QtStartMenu first(fillFromMenu);
        EXPECT_EQ(first.folder(), expected);
        EXPECT_EQ(first.folder(), expected); // tried once a run
        EXPECT_EQ(filledFolders.size(), 1);
        EXPECT_FALSE(QFileInfo::exists(expected));
        EXPECT_EQ(QDir(home.path() + QStringLiteral("/wendrel")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList()); // nothing half-filled left behind
    }
    menuReadFails = false;
    {
        QtStartMenu next(fillFromMenu); // the next start
        EXPECT_EQ(next.folder(), expected);
        EXPECT_EQ(filledFolders.size(), 2);
        EXPECT_TRUE(QFileInfo(expected + QStringLiteral("/System/XTerm.lnk")).isFile());
    }
    {
        QtStartMenu later(fillFromMenu); // the folder is the user's from now on
        EXPECT_EQ(later.folder(), expected);
        EXPECT_EQ(filledFolders.size(), 2);
    }
    qputenv("XDG_DATA_HOME", saved);
}
