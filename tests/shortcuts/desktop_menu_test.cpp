// The desktop's menu read through GLib, from the folder of entries in tests/shortcuts/menu:
// its system folder stands for $XDG_DATA_DIRS, its home folder for $XDG_DATA_HOME, the
// desktop is "WendrelTest" and the language German (set by CTest). A launch really starts
// the programs; the terminal is a stand-in from menu/bin that runs what it is given.
#include "DesktopMenu.h"
#include "LnkFormat.h"
#include "QtPlatform.h"

#include <QTest>

#include <QDir>
#include <QFile>
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
    QFile terminal(marks + QStringLiteral("/terminal-arguments"));
    ASSERT_TRUE(terminal.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(terminal.readAll()),
              QStringLiteral("--\n/bin/sh\n-c\necho ran > \"$WENDREL_MARKS/console\"\n"));
}
