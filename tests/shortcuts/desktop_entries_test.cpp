// Filling a new Start Menu folder from the desktop's application entries.
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

TEST(DesktopEntries, FieldCodesAndSafeNames)
{
    EXPECT_EQ(removeFieldCodes(QStringLiteral("gedit %U")), QStringLiteral("gedit"));
    EXPECT_EQ(removeFieldCodes(QStringLiteral("app --x %f --name %c %%done")), QStringLiteral("app --x --name %done"));
    EXPECT_EQ(safeFileName(QStringLiteral("AC/DC Player")), QStringLiteral("AC-DC Player"));
    EXPECT_EQ(safeFileName(QStringLiteral("..")), QStringLiteral("Program"));
}

TEST(DesktopEntries, FillsTheStartMenuFromMenuEntries)
{
    QTemporaryDir dir;
    const QString apps = dir.path() + QStringLiteral("/applications");
    const QString menu = dir.path() + QStringLiteral("/Start Menu");
    write(apps + QStringLiteral("/term.desktop"),
          "[Desktop Entry]\nType=Application\nName=Terminal\nExec=xterm -e %u\nCategories=GTK;System;\n");
    write(apps + QStringLiteral("/hidden.desktop"), "[Desktop Entry]\nType=Application\nName=Hidden\nExec=x\nNoDisplay=true\n");
    write(apps + QStringLiteral("/work.desktop"),
          "[Desktop Entry]\nType=Application\nName=Work\nExec=make %F\nPath=/tmp/some dir\n");
    write(apps + QStringLiteral("/term2.desktop"),
          "[Desktop Entry]\nType=Application\nName=Terminal\nExec=other-term\nCategories=System;\n");
    write(apps + QStringLiteral("/slash.desktop"), "[Desktop Entry]\nType=Application\nName=A/B\nExec=ab\n");
    write(apps + QStringLiteral("/link.desktop"), "[Desktop Entry]\nType=Link\nName=Web\nURL=http://x\n");

    EXPECT_EQ(fillStartMenu(menu, {apps}), 4);
    QList<Program> programs;
    ProgramScanner scanner(programs);
    scanner.scanFolder(menu);
    QStringList names;
    for (const Program &p : programs)
        names.append(p.folder + u'/' + p.name);
    names.sort();
    EXPECT_EQ(names, (QStringList{"Other/A-B", "Other/Work", "System/Terminal", "System/Terminal (2)"}));
    const QString terminal = read(menu + QStringLiteral("/System/Terminal.lnk"));
    const QString other = read(menu + QStringLiteral("/System/Terminal (2).lnk"));
    EXPECT_TRUE((parseLnk(terminal) == QStringLiteral("xterm -e") && parseLnk(other) == QStringLiteral("other-term"))
                || (parseLnk(other) == QStringLiteral("xterm -e") && parseLnk(terminal) == QStringLiteral("other-term")));
    EXPECT_EQ(parseLnk(read(menu + QStringLiteral("/Other/Work.lnk"))), QStringLiteral("env -C \"/tmp/some dir\" make"));

    // A second fill never overwrites what is there.
    fillStartMenu(menu, {apps});
    EXPECT_TRUE(QFile::exists(menu + QStringLiteral("/System/Terminal (3).lnk")));
    EXPECT_EQ(read(menu + QStringLiteral("/System/Terminal.lnk")), terminal);
}

TEST(DesktopEntries, AGeneratedShortcutLaunchesInItsWorkingFolder)
{
    QTemporaryDir dir;
    const QString apps = dir.path() + QStringLiteral("/applications");
    const QString menu = dir.path() + QStringLiteral("/Start Menu");
    const QString work = dir.path() + QStringLiteral("/work dir");
    QDir().mkpath(work);
    write(apps + QStringLiteral("/marker.desktop"),
          "[Desktop Entry]\nType=Application\nName=Marker\nExec=sh -c \"touch marker\" %f\nPath=" + work.toUtf8()
              + "\nCategories=Utility;\n");
    ASSERT_EQ(fillStartMenu(menu, {apps}), 1);
    // The launch builds the path from the Start Menu, the program's folder and its name.
    QtShell shell;
    EXPECT_TRUE(shell.execute(QStringLiteral("open"), menu + QStringLiteral("/Utility/Marker.lnk"),
                              menu + QStringLiteral("/Utility")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(work + QStringLiteral("/marker")); }, 5000));
}
