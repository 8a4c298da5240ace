// The desktop's menu read through GLib, from the folder of entries in tests/shortcuts/menu:
// its system folder stands for $XDG_DATA_DIRS, its home folder for $XDG_DATA_HOME, the
// desktop is "WendrelTest" and the language German (set by CTest). A launch really starts
// the programs; the terminal is a stand-in from menu/bin that runs what it is given.
#include "DesktopMenu.h"
#include "FakePlatform.h"
#include "KeyboardView.h"
#include "KeyboardDialog.h"
#include "LnkFormat.h"
#include "QtPlatform.h"
#include "ShortcutTable.h"

#include <QTest>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

const MenuApplication *find(const QList<MenuApplication> &applications, const QString &name)
{
    for (const MenuApplication &application : applications) {
        if (application.name == name)
            return &application;
    }
    return nullptr;
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The tests' platform with the real shell, so that a launch really starts the program.
class PlatformWithRealShell : public test::FakePlatform {
public:
    bool execute(const QString &verb, const QString &file, const QString &workingFolder) override
    {
        test::FakePlatform::execute(verb, file, workingFolder);
        return shell.execute(verb, file, workingFolder);
    }
    QtShell shell;
};

} // namespace

TEST(DesktopMenu, ShowsWhatTheDesktopsMenuShowsInTheUsersLanguage)
{
    const QList<MenuApplication> applications = menuApplications();
    QStringList names;
    for (const MenuApplication &application : applications)
        names.append(application.name);
    names.sort();
    // Left out: Hidden (also a user's Hidden copy over a system entry), NoDisplay, a missing
    // TryExec program, OnlyShowIn another desktop, NotShowIn this one, a link.
    EXPECT_EQ(names, (QStringList{"Bus Service", "Console Tool", "Quoted", "Rechner"}));
    const MenuApplication *console = find(applications, QStringLiteral("Console Tool"));
    ASSERT_TRUE(console);
    EXPECT_TRUE(console->entryPath.endsWith(QLatin1String("/system/applications/console.desktop")));
    EXPECT_EQ(console->categories, QStringList{QStringLiteral("System")});
    const MenuApplication *bus = find(applications, QStringLiteral("Bus Service"));
    ASSERT_TRUE(bus);
    EXPECT_TRUE(bus->entryPath.endsWith(QLatin1String("/org.example.BusService.desktop")));
    EXPECT_EQ(bus->busName, QStringLiteral("org.example.BusService"));
    EXPECT_TRUE(console->busName.isEmpty());
}

TEST(DesktopMenu, ShortcutsStartProgramsAsTheMenuDoesTerminalProgramsInATerminal)
{
    QTemporaryDir dir;
    const QString marks = dir.path() + QStringLiteral("/marks");
    QDir().mkpath(marks);
    qputenv("WENDREL_MARKS", QFile::encodeName(marks)); // the entries' commands write here
    const QString menu = dir.path() + QStringLiteral("/Start Menu");
    ASSERT_EQ(fillStartMenu(menu, menuApplications()), 4);
    EXPECT_TRUE(QFile::exists(menu + QStringLiteral("/Utility/Rechner.lnk")));
    EXPECT_TRUE(QFile::exists(menu + QStringLiteral("/Network/Bus Service.lnk")));

    QtShell shell;
    // Exec=/bin/sh -c "touch \"\$WENDREL_MARKS/f f\"" %U: quotes and escapes undone.
    ASSERT_TRUE(shell.execute(QStringLiteral("open"), menu + QStringLiteral("/Utility/Quoted.lnk"),
                              menu + QStringLiteral("/Utility")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marks + QStringLiteral("/f f")); }, 10000));
    // Terminal=true: the command runs inside a terminal.
    ASSERT_TRUE(shell.execute(QStringLiteral("open"), menu + QStringLiteral("/System/Console Tool.lnk"),
                              menu + QStringLiteral("/System")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marks + QStringLiteral("/console")); }, 10000));
    EXPECT_EQ(readAll(marks + QStringLiteral("/terminal-arguments")),
              QStringLiteral("--\n/bin/sh\n-c\necho ran > \"$WENDREL_MARKS/console\"\n"));
    // DBusActivatable=true: the session bus starts the application (the test's own bus, whose
    // service file in menu/system/dbus-1 leaves a mark where WENDREL_BUS_MARK says).
    const QString busMark = qEnvironmentVariable("WENDREL_BUS_MARK");
    ASSERT_FALSE(busMark.isEmpty());
    QFile::remove(busMark);
    QDir().mkpath(QFileInfo(busMark).path()); // a fresh build tree has no test-home yet
    ASSERT_TRUE(shell.execute(QStringLiteral("open"), menu + QStringLiteral("/Network/Bus Service.lnk"),
                              menu + QStringLiteral("/Network")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(busMark); }, 10000));
}

// As a user meets it: the console program bound to Fn + T, and Fn, T tapped in the window.
TEST(DesktopMenu, FnLetterStartsAConsoleProgramFromTheMenuInATerminal)
{
    PlatformWithRealShell platform;
    const QString marks = platform.home.path() + QStringLiteral("/marks");
    QDir().mkpath(marks);
    qputenv("WENDREL_MARKS", QFile::encodeName(marks));
    ASSERT_EQ(fillStartMenu(platform.startMenuFolder, menuApplications()), 4);
    ASSERT_TRUE(writeShortcutFile(platform.home.path() + QStringLiteral("/shortcut.dat"),
                                  {{QStringLiteral("0T"), QStringLiteral("Console Tool")}}));
    KeyboardDialog window(platform.services());
    window.OnInitDialog();
    KeyboardView &keys = window.keyboardView();
    QTest::mouseClick(&keys, Qt::LeftButton, {}, keys.keyRect(keyIndexById(1062)).center()); // Fn
    QTest::mouseClick(&keys, Qt::LeftButton, {}, keys.keyRect(keyIndexById(1020)).center()); // T
    ASSERT_EQ(platform.shellRequests.size(), 1);
    EXPECT_TRUE(platform.shellRequests[0].file.endsWith(QLatin1String("/System/Console Tool.lnk")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marks + QStringLiteral("/console")); }, 10000));
    EXPECT_TRUE(readAll(marks + QStringLiteral("/terminal-arguments")).startsWith(QLatin1String("--\n/bin/sh\n")));
}
