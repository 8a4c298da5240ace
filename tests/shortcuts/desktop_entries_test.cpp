// Filling a new Start Menu folder with shortcuts to the desktop's applications.
#include "DesktopEntries.h"
#include "LnkFormat.h"
#include "ProgramScanner.h"
#include "QtPlatform.h"

#include <QTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {
void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}
QString read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

TEST(DesktopEntries, SafeNamesAndMainCategories)
{
    EXPECT_EQ(safeFileName(QStringLiteral("AC/DC Player")), QStringLiteral("AC-DC Player"));
    EXPECT_EQ(safeFileName(QStringLiteral("..")), QStringLiteral("Program"));
    EXPECT_EQ(mainCategory({QStringLiteral("GTK"), QStringLiteral("System"), QStringLiteral("Utility")}),
              QStringLiteral("System"));
    EXPECT_EQ(mainCategory({QStringLiteral("GTK")}), QStringLiteral("Other"));
    // The launcher's command line stays one valid shortcut command line, whatever the path.
    const QString path = QStringLiteral("/apps/a \"b\" c.desktop");
    const auto command = splitCommandLine(launchCommandLine({QStringLiteral("A"), {}, path, {}}));
    ASSERT_TRUE(command);
    EXPECT_EQ(command->program, QStringLiteral("gio"));
    EXPECT_EQ(command->arguments, (QStringList{QStringLiteral("launch"), path}));
    // A D-Bus activated application is activated by its name, as the desktop does it.
    const auto activation =
        splitCommandLine(launchCommandLine({QStringLiteral("B"), {}, path, QStringLiteral("org.example.My-App")}));
    ASSERT_TRUE(activation);
    EXPECT_EQ(activation->program, QStringLiteral("gdbus"));
    EXPECT_EQ(activation->arguments,
              (QStringList{"call", "--session", "--dest", "org.example.My-App", "--object-path", "/org/example/My_App",
                           "--method", "org.freedesktop.Application.Activate", "@a{sv} {}"}));
}

TEST(DesktopEntries, FillsTheStartMenuByCategoryWithoutOverwriting)
{
    QTemporaryDir dir;
    const QString menu = dir.path() + QStringLiteral("/Start Menu");
    const QList<MenuApplication> applications{
        {QStringLiteral("Terminal"), {QStringLiteral("GTK"), QStringLiteral("System")}, QStringLiteral("/a/term.desktop"), {}},
        {QStringLiteral("Work"), {}, QStringLiteral("/a/work.desktop"), {}},
        {QStringLiteral("Terminal"), {QStringLiteral("System")}, QStringLiteral("/b/term2.desktop"), {}},
        {QStringLiteral("A/B"), {}, QStringLiteral("/a/slash.desktop"), {}}};

    EXPECT_EQ(fillStartMenu(menu, applications), 4);
    QList<Program> programs;
    ProgramScanner scanner(programs);
    scanner.scanFolder(menu);
    QStringList names;
    for (const Program &p : programs)
        names.append(p.folder + u'/' + p.name);
    names.sort();
    EXPECT_EQ(names, (QStringList{"Other/A-B", "Other/Work", "System/Terminal", "System/Terminal (2)"}));
    const QString terminal = read(menu + QStringLiteral("/System/Terminal.lnk"));
    EXPECT_EQ(parseLnk(terminal), QStringLiteral("gio launch \"/a/term.desktop\""));
    EXPECT_EQ(parseLnk(read(menu + QStringLiteral("/System/Terminal (2).lnk"))),
              QStringLiteral("gio launch \"/b/term2.desktop\""));
    EXPECT_EQ(terminal, QStringLiteral("28#gio launch \"/a/term.desktop\""));

    // A second fill never overwrites what is there.
    fillStartMenu(menu, applications);
    EXPECT_TRUE(QFile::exists(menu + QStringLiteral("/System/Terminal (3).lnk")));
    EXPECT_EQ(read(menu + QStringLiteral("/System/Terminal.lnk")), terminal);
}

TEST(DesktopEntries, AGeneratedShortcutLaunchesInTheEntrysWorkingFolder)
{
    QTemporaryDir dir;
    const QString entry = dir.path() + QStringLiteral("/applications/marker.desktop");
    const QString menu = dir.path() + QStringLiteral("/Start Menu");
    const QString work = dir.path() + QStringLiteral("/work dir");
    QDir().mkpath(work);
    write(entry, "[Desktop Entry]\nType=Application\nName=Marker\nExec=/bin/sh -c \"touch marker\" %f\nPath="
                     + work.toUtf8() + "\nCategories=Utility;\n");
    ASSERT_EQ(fillStartMenu(menu, {{QStringLiteral("Marker"), {QStringLiteral("Utility")}, entry, {}}}), 1);
    // The launch builds the path from the Start Menu, the program's folder and its name.
    QtShell shell;
    EXPECT_TRUE(shell.execute(QStringLiteral("open"), menu + QStringLiteral("/Utility/Marker.lnk"),
                              menu + QStringLiteral("/Utility")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(work + QStringLiteral("/marker")); }, 5000));
}
