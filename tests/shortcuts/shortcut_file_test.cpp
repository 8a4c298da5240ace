// The bindings file and program discovery.
#include "ProgramScanner.h"
#include "ShortcutTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace wendrel;

namespace {
QByteArray utf16le(const QString &text)
{
    QByteArray bytes;
    for (QChar ch : text)
        bytes.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
    return bytes;
}
void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}
} // namespace

TEST(ShortcutFile, BytesOfOneBinding)
{
    const QByteArray expected = QByteArray::fromHex("FFFE31004E000D000A004E006F007400650073000D000A00");
    EXPECT_EQ(formatShortcutFile({{QStringLiteral("1N"), QStringLiteral("Notes")}}), expected);
    EXPECT_EQ(formatShortcutFile({}), QByteArray("\xFF\xFE", 2));
}

TEST(ShortcutFile, Reading)
{
    const QByteArray mark("\xFF\xFE", 2);
    struct Case {
        const char *name;
        QByteArray bytes;
        QList<Binding> bindings;
    } cases[] = {
        {"only the mark", mark, {}},
        {"empty file", QByteArray(), {}},
        {"two bindings in file order", mark + utf16le("0B\r\nB prog\r\n0A\r\nA prog\r\n"),
         {{"0B", "B prog"}, {"0A", "A prog"}}},
        {"without the mark the first unit is lost", utf16le("0A\r\nNotes\r\n"), {{"A", "Notes"}}},
        {"missing last line", mark + utf16le("0A\r\nNotes\r\n1Q"), {{"0A", "Notes"}, {"1Q", ""}}},
        {"lines without CR", mark + utf16le("0A\nNotes\n"), {{"0A", "Notes"}}},
        {"cut at the last CR", mark + utf16le("0A\r\nNo\rtes\r\n"), {{"0A", "No\rtes"}}},
        {"keys not checked", mark + utf16le("zz\r\nX\r\n"), {{"zz", "X"}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseShortcutFile(c.bytes), c.bindings) << c.name;

    const QString longName(1000, u'p'); // any length is kept whole
    EXPECT_EQ(parseShortcutFile(formatShortcutFile({{QStringLiteral("0P"), longName}})),
              (QList<Binding>{{QStringLiteral("0P"), longName}}));
}

TEST(ShortcutFile, FailedWriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/shortcut.dat");
    ASSERT_TRUE(writeShortcutFile(path, {{QStringLiteral("0A"), QStringLiteral("Old")}}));
    EXPECT_FALSE(writeShortcutFile(dir.path(), {}));
    EXPECT_FALSE(writeShortcutFile(QStringLiteral("/proc/shortcut.dat"), {}));
    EXPECT_EQ(readShortcutFile(path), (QList<Binding>{{QStringLiteral("0A"), QStringLiteral("Old")}}));
    EXPECT_TRUE(readShortcutFile(dir.path() + QStringLiteral("/none.dat")).isEmpty());
    // A named pipe would wait for a writer that never comes: it reads as no shortcuts at once.
    const QString pipe = dir.path() + QStringLiteral("/pipe.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_TRUE(readShortcutFile(pipe).isEmpty());
}

TEST(ProgramScanner, FindsShortcutFilesDepthFirst)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    touch(root + QStringLiteral("/Notes.lnk"));
    touch(root + QStringLiteral("/Programs/Games/Chess.lnk"));
    touch(root + QStringLiteral("/a.lnk.bak"));
    touch(root + QStringLiteral("/X.LNK"));
    touch(root + QStringLiteral("/readme.txt"));
    touch(root + QStringLiteral("/Programs/Notes.lnk"));
    QDir().mkpath(root + QStringLiteral("/Empty"));
    QFile::link(root, root + QStringLiteral("/Programs/loop")); // leads back into the tree

    QList<Program> programs{{QStringLiteral("stale"), QString()}};
    ProgramScanner scanner(programs);
    EXPECT_TRUE(programs.isEmpty());
    scanner.scanFolder(root);

    QList<Program> sorted = programs;
    std::sort(sorted.begin(), sorted.end(), [](const Program &a, const Program &b) {
        return std::tie(a.name, a.folder) < std::tie(b.name, b.folder);
    });
    const QList<Program> expected{{"Chess", "Programs/Games"}, {"Notes", ""}, {"Notes", "Programs"}, {"a", ""}};
    EXPECT_EQ(sorted, expected);
    // Depth first: Chess follows directly on whatever came before Programs/Games.
    const auto chess = std::find_if(programs.begin(), programs.end(), [](const Program &p) { return p.name == "Chess"; });
    const auto inPrograms = std::find(programs.begin(), programs.end(), Program{"Notes", "Programs"});
    EXPECT_LE(std::abs(int(chess - inPrograms)), 1);
}

TEST(ProgramScanner, EmptyOrUnreadableFolderAddsNothing)
{
    QTemporaryDir dir;
    QList<Program> programs;
    ProgramScanner scanner(programs);
    scanner.scanFolder(dir.path());
    scanner.scanFolder(dir.path() + QStringLiteral("/missing"));
    EXPECT_TRUE(programs.isEmpty());
}

TEST(ShortcutFile, KeyDisplayNames)
{
    EXPECT_EQ(keyDisplayName(QStringLiteral("0A")), QStringLiteral("Fn + A"));
    EXPECT_EQ(keyDisplayName(QStringLiteral("1Q")), QStringLiteral("Fn + Shift + Q"));
}
