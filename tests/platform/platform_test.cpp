// The shortcut file format and the shell's execute of the real platform.
#include "LnkFormat.h"
#include "QtPlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace wendrel;

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
