// The text-file format: what Save writes and what Load reads.
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace wendrel;

namespace {
QByteArray utf16le(const QString &text, bool mark = true)
{
    QByteArray bytes = mark ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (QChar ch : text)
        bytes.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
    return bytes;
}
} // namespace

TEST(TextFile, SavedBytes)
{
    EXPECT_EQ(encodeTextFile(QString()), QByteArray("\xFF\xFE", 2));
    EXPECT_EQ(encodeTextFile(QStringLiteral("Hi\r\nx")),
              QByteArray("\xFF\xFEH\0i\0\r\0\n\0x\0", 12));
}

TEST(TextFile, SaveThenLoadGivesTheSameText)
{
    const QString texts[] = {
        QString(), QStringLiteral("one line"), QStringLiteral("a\r\nb\r\n\r\nc"),
        QStringLiteral("Grüße, καλημέρα, 日本語 \U0001F600"), QString(5000, u'x') + QStringLiteral("end"),
    };
    for (const QString &text : texts)
        EXPECT_EQ(decodeTextFile(encodeTextFile(text)), text);
}

TEST(TextFile, LoadsTheEncodingsOfOtherPrograms)
{
    const QString text = QStringLiteral("Hello wörld\r\nline 2");
    QByteArray utf16be("\xFE\xFF", 2);
    for (QChar ch : text)
        utf16be.append(char(ch.unicode() >> 8)).append(char(ch.unicode() & 0xFF));
    const QByteArray utf8 = text.toUtf8();
    const QByteArray cases[] = {encodeTextFile(text), utf8, "\xEF\xBB\xBF" + utf8, utf16be};
    for (const QByteArray &bytes : cases)
        EXPECT_EQ(decodeTextFile(bytes), text) << bytes.toHex().toStdString();
    // Lone line feeds stay line breaks (the text area shows them as such).
    EXPECT_EQ(decodeTextFile("a\nb"), QStringLiteral("a\nb"));
}

TEST(TextFile, OddAndDamagedInput)
{
    // Wendrel's own format: a zero character ends the text; an odd last byte is completed.
    EXPECT_EQ(decodeTextFile(utf16le(QStringLiteral("ab")) + QByteArray("\0\0c\0", 4)), QStringLiteral("ab"));
    EXPECT_EQ(decodeTextFile(utf16le(QStringLiteral("ab")) + QByteArray("c")), QStringLiteral("abc"));
    // Lone surrogates are kept as they were saved.
    const QString lone(QChar(0xD800));
    EXPECT_EQ(decodeTextFile(encodeTextFile(lone)), lone);
    // Invalid UTF-8 shows the replacement character and loses nothing else.
    EXPECT_EQ(decodeTextFile("a\xFF" "b"), QStringLiteral("a\uFFFDb"));
}

TEST(TextFile, ReadsRegularFilesOnly)
{
    QTemporaryDir dir;
    EXPECT_FALSE(readTextFile(dir.path() + QStringLiteral("/missing.txt")));
    EXPECT_FALSE(readTextFile(dir.path()));
    const QString pipe = dir.path() + QStringLiteral("/pipe.txt");
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(readTextFile(pipe)); // and does not wait for a writer
    EXPECT_FALSE(readTextFile(QStringLiteral("/dev/zero")));
}

TEST(TextFile, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/note.txt");
    ASSERT_TRUE(writeTextFile(path, QStringLiteral("old")));
    // A target that cannot be replaced: a folder of that name.
    EXPECT_FALSE(writeTextFile(dir.path(), QStringLiteral("new")));
    // A folder that refuses new files (root ignores modes; /proc refuses even root).
    EXPECT_FALSE(writeTextFile(QStringLiteral("/proc/wendrel-test.txt"), QStringLiteral("new")));
    EXPECT_EQ(readTextFile(path), QStringLiteral("old"));

    // The same file in a folder made read-only (root ignores folder modes, so only others
    // can see this case fail the save).
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(dir.path().toLocal8Bit().constData(), 0555), 0);
        EXPECT_FALSE(writeTextFile(path, QStringLiteral("new")));
        chmod(dir.path().toLocal8Bit().constData(), 0755);
        EXPECT_EQ(readTextFile(path), QStringLiteral("old"));
    }
}
