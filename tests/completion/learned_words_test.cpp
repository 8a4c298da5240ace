// The learned-words file as users meet it: a path that is not a regular file, damaged files
// and lines, keys longer than the words typed, counts at their limit, two copies of the program
// saving the same file, and wendrel-type's messages about all of them.
#include "LearnedWords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace wendrel;
using Load = LearnedWords::LoadResult;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Loads in a thread of its own, so that a load blocked on a named pipe fails the test rather
// than hanging it (a writer comes and goes to let it go).
Load loadWithin(LearnedWords &words, const QString &path)
{
    auto loading = std::async(std::launch::async, [&] { return words.load(path); });
    if (loading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        const int writer = ::open(qPrintable(path), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        ADD_FAILURE() << "reading " << path.toStdString() << " blocked";
    }
    return loading.get();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
}

struct TypeRun {
    int status = -1;
    QString errors;
};

TypeRun runType(const QByteArray &input, const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(WENDREL_TYPE), arguments);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

// A folder, a named pipe or a device named as the learned-words file is the user's, not a
// damaged store: it is neither moved aside nor replaced by a plain file.
TEST(LearnedWordsFile, WhatIsNotARegularFileIsLeftAsItIs)
{
    QTemporaryDir folder;
    const QString dir = folder.filePath(QStringLiteral("a folder"));
    ASSERT_TRUE(QDir().mkpath(dir));
    writeBytes(dir + QStringLiteral("/inside.txt"), "mine");
    const QString pipe = folder.filePath(QStringLiteral("a pipe"));
    ASSERT_EQ(::mkfifo(qPrintable(pipe), 0600), 0);
    // A link to a device: as root, /dev/null itself would be renamed and replaced.
    const QString device = folder.filePath(QStringLiteral("a device"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), device));

    for (const QString &path : {dir, pipe, device}) {
        SCOPED_TRACE(path.toStdString());
        LearnedWords words;
        const Load result = loadWithin(words, path);
        EXPECT_NE(result, Load::Damaged);
        EXPECT_NE(result, Load::Loaded);
        EXPECT_EQ(result, Load::NotAFile); // new
        EXPECT_TRUE(words.learn(QStringLiteral("hello"), QStringLiteral("<s>"), false));
        EXPECT_FALSE(words.save(path));
        EXPECT_TRUE(words.isDirty());
    }
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_EQ(bytesOf(dir + QStringLiteral("/inside.txt")), "mine");
    struct stat status {};
    ASSERT_EQ(::lstat(qPrintable(pipe), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(QFileInfo(device).symLinkTarget(), QStringLiteral("/dev/null"));
    EXPECT_EQ(entriesOf(folder.path()), (QStringList{"a device", "a folder", "a pipe"}));

    // wendrel-type refuses to run with such a file and says why, leaving it as it is.
    for (const QString &path : {dir, pipe}) {
        const TypeRun run = runType("key h\nkey i\nkey space\n", {QStringLiteral("--completion"),
                                                                  QStringLiteral("--learned"), path});
        EXPECT_EQ(run.status, 1) << run.errors.toStdString();
        EXPECT_TRUE(run.errors.contains(QStringLiteral("not a regular file"))) << run.errors.toStdString();
    }
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_EQ(entriesOf(folder.path()), (QStringList{"a device", "a folder", "a pipe"}));
}

// "İ" is one character, and two in small letters: a word of them within the limit as typed has
// a key past it. What is stored is what must fit, or the next start could not read the file.
TEST(LearnedWordsFile, WordsWhoseSmallLettersAreLongerSurviveTheNextStart)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    const QString row40(40, QChar(0x130));
    const QString row20(20, QChar(0x130));
    const QString row21(21, QChar(0x130));
    LearnedWords words;
    words.learn(QStringLiteral("Hello"), QStringLiteral("<s>"), true);
    words.learn(row40, QStringLiteral("hello"), false);
    words.learn(row21, QStringLiteral("hello"), false);
    words.learn(row20, QStringLiteral("hello"), false);
    words.learn(QStringLiteral("İstanbul"), row20.toLower(), false);
    ASSERT_TRUE(words.save(path));

    LearnedWords again;
    ASSERT_EQ(again.load(path), Load::Loaded) << bytesOf(path).toStdString();
    EXPECT_EQ(again.skippedLines(), 0); // new
    EXPECT_NE(again.find(QStringLiteral("hello")), nullptr);
    EXPECT_NE(again.find(row20.toLower()), nullptr);
    EXPECT_NE(again.find(QStringLiteral("İstanbul").toLower()), nullptr);
    EXPECT_EQ(again.wordCount(), words.wordCount());
    EXPECT_EQ(again.pairCount(), words.pairCount());
    // Refused when typed: their keys are too long.
    EXPECT_EQ(again.find(row40.toLower()), nullptr);
    EXPECT_EQ(again.find(row21.toLower()), nullptr);
}

// A line that cannot be read costs that line: the rest of the file is read, and the file as
// it was is kept aside. Only bytes that are no learned-words file at all are moved aside.
TEST(LearnedWordsFile, ALineThatCannotBeReadIsSkippedNotTheFile)
{
    const QByteArray badLines[] = {
        "w\tword\tmany\t1",
        "w\tw0rd\t1\t1",
        "p\t<s>\tWord\t1\t1",
        "w\t\xff\xfe\t1\t1",
        "z",
        "w\tcount\t4294967296\t1", // past what a count can hold
        "w\t" + QString(40, QChar(0x130)).toUtf8() + "\t1\t1", // written by an earlier version
        "uses\tmany",
    };
    for (const QByteArray &bad : badLines) {
        SCOPED_TRACE(bad.toStdString());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
        const QByteArray bytes = "wendrel-learned-words 1\nuses\t9\nw\tHello\t3\t2\n" + bad
            + "\nw\tworld\t2\t9\np\thello\tworld\t2\t9\n";
        writeBytes(path, bytes);
        LearnedWords words;
        ASSERT_EQ(words.load(path), Load::Loaded);
        EXPECT_EQ(words.skippedLines(), 1); // new
        ASSERT_NE(words.find(QStringLiteral("hello")), nullptr);
        EXPECT_EQ(words.find(QStringLiteral("hello"))->count, 3u);
        EXPECT_NE(words.find(QStringLiteral("world")), nullptr);
        ASSERT_NE(words.followers(QStringLiteral("hello")), nullptr);
        EXPECT_EQ(bytesOf(path + QStringLiteral(".damaged")), bytes); // the lines are not lost
    }
}

// Each damaged file is kept, numbered as damaged drafts are; a file whose reading failed says
// nothing of its contents, so it stays where it is.
TEST(LearnedWordsFile, DamagedFilesAreNumberedAndAReadErrorLeavesTheFile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    const QByteArray damaged[] = {"not a store", "nor is this", "wendrel-learned-words 2\n"};
    for (const QByteArray &bytes : damaged) {
        writeBytes(path, bytes);
        EXPECT_EQ(LearnedWords().load(path), Load::Damaged);
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    EXPECT_EQ(bytesOf(path + QStringLiteral(".damaged")), damaged[0]);
    EXPECT_EQ(bytesOf(path + QStringLiteral(".damaged.2")), damaged[1]);
    EXPECT_EQ(bytesOf(path + QStringLiteral(".damaged.3")), damaged[2]);

    // A regular file whose reading fails: this process's memory at address 0 (root too).
    const QString failing = folder.filePath(QStringLiteral("failing.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), failing));
    LearnedWords words;
    const Load result = words.load(failing);
    EXPECT_NE(result, Load::Damaged);
    EXPECT_EQ(result, Load::Unreadable); // new
    EXPECT_TRUE(QFileInfo(failing).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(failing + QStringLiteral(".damaged")));
    words.learn(QStringLiteral("hello"), QStringLiteral("<s>"), false);
    EXPECT_FALSE(words.save(failing));
    EXPECT_EQ(QFileInfo(failing).symLinkTarget(), QStringLiteral("/proc/self/mem"));
}

// A count at 4,294,967,295 stays there rather than wrap to 0, which no file may hold; the use
// counter, which orders uses by time, is halved with every use's place on it.
TEST(LearnedWordsCounts, CountsAndTheUseCounterStopAtTheirLimitAndTheFileStaysReadable)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    writeBytes(path, "wendrel-learned-words 1\nuses\t4294967294\n"
                     "w\tHello\t4294967294\t4294967290\nw\tworld\t5\t4294967294\n"
                     "p\thello\tworld\t4294967295\t4294967294\n");
    LearnedWords words;
    ASSERT_EQ(words.load(path), Load::Loaded);
    for (int i = 0; i < 3; ++i) {
        words.learn(QStringLiteral("Hello"), QStringLiteral("<s>"), false);
        words.learn(QStringLiteral("world"), QStringLiteral("hello"), false);
    }
    ASSERT_TRUE(words.save(path));

    LearnedWords again;
    ASSERT_EQ(again.load(path), Load::Loaded) << bytesOf(path).toStdString();
    const LearnedWords::Word *hello = again.find(QStringLiteral("hello"));
    const LearnedWords::Word *world = again.find(QStringLiteral("world"));
    ASSERT_NE(hello, nullptr);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(hello->count, 4294967295u);
    EXPECT_EQ(world->count, 8u);
    // The newest use is the latest on the counter.
    EXPECT_EQ(world->lastUsed, again.uses());
    EXPECT_LT(hello->lastUsed, world->lastUsed);
    EXPECT_GT(again.uses(), 0u);
    const LearnedWords::Followers *followers = again.followers(QStringLiteral("hello"));
    ASSERT_NE(followers, nullptr);
    ASSERT_EQ(followers->list.size(), 1u);
    EXPECT_EQ(followers->list.front().count, 4294967295u);
}

// Two copies of the program learning 25,000 words between them, one saving often while the
// other saves once, past 20,000 unsaved words: every use of every word is in the file.
TEST(LearnedWordsCopies, TwoCopiesLearning25000WordsLoseNone)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    const auto word = [](const char *stem, int i) {
        return QString::fromLatin1(stem) + QChar(u'a' + i % 26) + QChar(u'a' + (i / 26) % 26);
    };
    LearnedWords one, other;
    ASSERT_EQ(one.load(path), Load::Missing);
    ASSERT_EQ(other.load(path), Load::Missing);
    // Both at once, each on a thread of its own as in two programs; "other" saves often.
    std::thread first([&] {
        for (int i = 0; i < 21000; ++i)
            one.learn(word(i % 2 ? "shared" : "one", i % 400), QStringLiteral("x"), false);
    });
    std::thread second([&] {
        for (int i = 0; i < 4000; ++i) {
            other.learn(word(i % 2 ? "shared" : "other", i % 400), QStringLiteral("y"), false);
            if (i % 500 == 499) {
                EXPECT_TRUE(other.save(path));
            }
        }
    });
    first.join();
    second.join();
    EXPECT_TRUE(one.save(path));
    EXPECT_TRUE(other.save(path)); // nothing left: a save with nothing new keeps the sum

    LearnedWords file;
    ASSERT_EQ(file.load(path), Load::Loaded);
    EXPECT_EQ(file.total(), 25000u);
    QHash<QString, quint32> expected;
    for (int i = 0; i < 21000; ++i)
        ++expected[word(i % 2 ? "shared" : "one", i % 400)];
    for (int i = 0; i < 4000; ++i)
        ++expected[word(i % 2 ? "shared" : "other", i % 400)];
    EXPECT_EQ(file.wordCount(), expected.size());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const LearnedWords::Word *found = file.find(it.key());
        ASSERT_NE(found, nullptr) << it.key().toStdString();
        EXPECT_EQ(found->count, it.value()) << it.key().toStdString();
    }
    EXPECT_EQ(file.followers(QStringLiteral("x"))->total, 21000u);
    EXPECT_EQ(file.followers(QStringLiteral("y"))->total, 4000u);

    // Saving concurrently, often, as two windows do: still every use.
    std::thread third([&] {
        for (int i = 0; i < 2000; ++i) {
            one.learn(word("third", i % 100), QStringLiteral("x"), false);
            if (i % 100 == 99) {
                EXPECT_TRUE(one.save(path));
            }
        }
    });
    std::thread fourth([&] {
        for (int i = 0; i < 2000; ++i) {
            other.learn(word("fourth", i % 100), QStringLiteral("y"), false);
            if (i % 100 == 99) {
                EXPECT_TRUE(other.save(path));
            }
        }
    });
    third.join();
    fourth.join();
    ASSERT_EQ(file.load(path), Load::Loaded);
    EXPECT_EQ(file.total(), 29000u);
}

// Another copy holding the lock longer than a moment does not make a save write without it
// (it would go over what that copy writes): the save waits, then adds to what that copy wrote.
TEST(LearnedWordsCopies, ASaveWaitsForTheLockAndNeverWritesWithoutIt)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    QLockFile held(path + QStringLiteral(".lock"));
    ASSERT_TRUE(held.tryLock(0));
    LearnedWords words;
    words.learn(QStringLiteral("waiting"), QStringLiteral("<s>"), false);
    auto saving = std::async(std::launch::async, [&] { return words.save(path); });
    EXPECT_EQ(saving.wait_for(std::chrono::milliseconds(3000)), std::future_status::timeout);
    EXPECT_FALSE(QFileInfo::exists(path));
    // The other copy writes its words and lets go.
    writeBytes(path, "wendrel-learned-words 1\nuses\t1\nw\tother\t1\t1\n");
    held.unlock();
    ASSERT_EQ(saving.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_TRUE(saving.get());
    LearnedWords file;
    ASSERT_EQ(file.load(path), Load::Loaded);
    EXPECT_NE(file.find(QStringLiteral("other")), nullptr);
    EXPECT_NE(file.find(QStringLiteral("waiting")), nullptr);
}

// wendrel-type's messages show a line's bytes whole: a NUL byte or another control character
// is written escaped, not cutting the message short or breaking it across lines.
TEST(LearnedWordsCommandLine, MessagesShowControlCharactersEscaped)
{
    const QByteArray input = QByteArray("ke") + '\0' + QByteArray("y a\nkey \x1b[2J\x7f\xc2\x9b!\nkey h\xe2\x80\xaei\n");
    const TypeRun run = runType(input, {});
    EXPECT_EQ(run.status, 1);
    const QStringList lines = run.errors.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.errors.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("wendrel-type: line 1: unknown event 'ke\\x00y'"));
    EXPECT_EQ(lines[1], QStringLiteral("wendrel-type: line 2: no key is named '\\x1b[2J\\x7f\\x9b!'"));
    EXPECT_EQ(lines[2], QStringLiteral("wendrel-type: line 3: no key is named 'h\\u202ei'"));
}

// wendrel-type says how many lines of the file it could not read, and keeps the rest.
TEST(LearnedWordsCommandLine, SkippedLinesAreCountedInOneMessage)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    writeBytes(path, "wendrel-learned-words 1\nuses\t2\nw\tzyxw\t2\t2\nw\tbad\tline\nq\nw\tvutz\t1\t1\n");
    const TypeRun run = runType("state\n", {QStringLiteral("--completion"), QStringLiteral("--learned"), path});
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    EXPECT_EQ(run.errors.count(u'\n'), 1) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("2 line(s)"))) << run.errors.toStdString();
    LearnedWords words;
    ASSERT_EQ(words.load(path), Load::Loaded);
    EXPECT_NE(words.find(QStringLiteral("zyxw")), nullptr);
    EXPECT_NE(words.find(QStringLiteral("vutz")), nullptr);
}
