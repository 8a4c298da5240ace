// The settings file, the executable's folder and where the files live.
#include "FileLocations.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace wendrel;

TEST(AppFolder, FromTheExecutablePath)
{
    struct Case {
        const char *path, *folder;
    } cases[] = {
        {"/usr/bin/wendrel", "/usr/bin"},
        {"/wendrel", ""},           // the root folder: files are "/config.dat" and so on
        {"wendrel", "wendrel"},     // no separator: the whole path
        {"/a b/c.d/wendrel", "/a b/c.d"},
    };
    for (const Case &c : cases) {
        const QString folder = appFolderOf(QString::fromUtf8(c.path));
        EXPECT_EQ(folder, QString::fromUtf8(c.folder)) << c.path;
        EXPECT_EQ(soundPath(folder, 3), QString::fromUtf8(c.folder) + QStringLiteral("/sound3.wav"));
        EXPECT_EQ(helpPath(folder), QString::fromUtf8(c.folder) + QStringLiteral("/help.htm"));
    }
}

TEST(SettingsFile, ReadsAsTheHandheldDid)
{
    struct Case {
        QByteArray bytes;
        int sound, light;
    } cases[] = {
        {"31", 3, 1},
        {"00", 0, 0},
        {"4", 4, 1},        // the end of the line means on
        {"2x", 2, 1},
        {"50\n", 5, 0},
        {"", 1, 1},         // empty file: the defaults
        {" 1", -16, 1},     // damaged: the index is taken unchecked, plays nothing
        {"\n0", -38, 1},    // the first line is only its line feed
    };
    for (const Case &c : cases) {
        const Settings settings = parseSettings(c.bytes);
        EXPECT_EQ(settings.soundIndex, c.sound) << c.bytes.toStdString();
        EXPECT_EQ(settings.lightFlag, c.light) << c.bytes.toStdString();
    }
}

TEST(SettingsFile, WritesTwoDigitsThatReadBackTheSame)
{
    EXPECT_EQ(formatSettings({3, 1}), QByteArray("31"));
    EXPECT_EQ(formatSettings({0, 0}), QByteArray("00"));
    // A damaged index is written as 0 (no sound), never as "-161" which would read back as
    // a different index with visual response stuck on.
    EXPECT_EQ(formatSettings({-16, 0}), QByteArray("00"));
    EXPECT_EQ(formatSettings({7, 1}), QByteArray("01"));
    for (int sound = 0; sound <= 5; ++sound) {
        for (int light = 0; light <= 1; ++light)
            EXPECT_EQ(parseSettings(formatSettings({sound, light})), (Settings{sound, light}));
    }
}

TEST(SettingsFile, MissingOrUnreadableGivesDefaults)
{
    QTemporaryDir dir;
    EXPECT_EQ(readSettingsFile(dir.path() + QStringLiteral("/config.dat")), Settings{});
    EXPECT_EQ(readSettingsFile(dir.path()), Settings{}); // a folder cannot be read as a file
    // A named pipe would wait for a writer that never comes: it reads as no settings at once.
    const QString pipe = dir.path() + QStringLiteral("/pipe.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(readSettingsFile(pipe), Settings{});
    ASSERT_TRUE(writeSettingsFile(dir.path() + QStringLiteral("/config.dat"), {5, 0}));
    EXPECT_EQ(readSettingsFile(dir.path() + QStringLiteral("/config.dat")), (Settings{5, 0}));
}

TEST(SettingsLocation, BesideTheExecutableWhenWritableElseTheUserConfigFolder)
{
    QTemporaryDir dir;
    const QString app = dir.path() + QStringLiteral("/bin");
    const QString user = dir.path() + QStringLiteral("/config/wendrel");
    QDir().mkpath(app);
    EXPECT_EQ(settingsFolder(app, user), app);

    // A folder that refuses new files: read-only by its mode, or /proc where even root
    // cannot create a file.
    QString readOnly = app;
    ASSERT_EQ(chmod(app.toLocal8Bit().constData(), 0555), 0);
    if (geteuid() == 0)
        readOnly = QStringLiteral("/proc");
    EXPECT_EQ(settingsFolder(readOnly, user), user);
    EXPECT_TRUE(QFileInfo(user).isDir());
    // An installed copy keeps the user's files in the user's folder even where it could write.
    EXPECT_EQ(settingsFolder(dir.path(), user, true), user);
    chmod(app.toLocal8Bit().constData(), 0755);
}

TEST(SettingsLocation, SoundsAndHelpBesideTheExecutableOrWhereTheyWereInstalled)
{
    QTemporaryDir dir;
    const QString bin = dir.path() + QStringLiteral("/usr/bin");
    const QString data = dir.path() + QStringLiteral("/usr/share/wendrel");
    QDir().mkpath(bin);
    EXPECT_EQ(resourceFolder(bin, QStringLiteral("../share/wendrel")), bin); // nothing installed
    QDir().mkpath(data);
    EXPECT_EQ(resourceFolder(bin, QStringLiteral("../share/wendrel")), data);
    QFile help(bin + QStringLiteral("/help.htm"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    EXPECT_EQ(resourceFolder(bin, QStringLiteral("../share/wendrel")), bin); // a portable copy
}

TEST(SettingsFile, WordCompletionIsAThirdDigitAndOffInEveryOlderFile)
{
    struct Case {
        QByteArray bytes;
        int completion;
    } cases[] = {
        {"31", 0}, {"311", 1}, {"310", 0}, {"31\n1", 0}, {"4", 0}, {"", 0}, {"31x", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseSettings(c.bytes).completionFlag, c.completion) << c.bytes.toStdString();
    EXPECT_EQ(formatSettings({3, 1, 1}), QByteArray("311"));
    EXPECT_EQ(formatSettings({3, 0, 0}), QByteArray("30")); // off: the file as it always was
    EXPECT_EQ(parseSettings(formatSettings({2, 0, 1})), (Settings{2, 0, 1}));
}

TEST(SettingsFile, SwipeTypingIsAFifthCharacterOnInEveryShorterFile)
{
    const struct {
        QByteArray bytes;
        int completion;
        int swipe;
    } cases[] = {
        {"31", 0, 1}, {"311", 1, 1}, {"3111", 1, 1}, {"31101", 1, 1}, {"31100", 1, 0}, {"31000", 0, 0},
        {"3110x", 1, 1}, {"3110\n0", 1, 1}, {"", 0, 1},
    };
    for (const auto &c : cases) {
        const Settings settings = parseSettings(c.bytes);
        EXPECT_EQ(settings.completionFlag, c.completion) << c.bytes.toStdString();
        EXPECT_EQ(settings.swipeFlag, c.swipe) << c.bytes.toStdString();
    }
    EXPECT_EQ(formatSettings({3, 1, 1, 0, 1}), QByteArray("311")); // on: the file of before
    EXPECT_EQ(formatSettings({3, 1, 1, 0, 0}), QByteArray("31100"));
    EXPECT_EQ(formatSettings({3, 1, 0, 1, 0}), QByteArray("31010")); // kept while completion is off
    for (const Settings &settings : {Settings{3, 1, 1, 0, 0}, Settings{2, 0, 0, 1, 0}, Settings{1, 1, 1, 1, 1}})
        EXPECT_EQ(parseSettings(formatSettings(settings)), settings);
}

TEST(SettingsFile, CorrectionIsAFourthCharacterAndTheDigitsBeforeStay)
{
    struct Case {
        QByteArray bytes;
        int completion;
        int correction;
    } cases[] = {
        {"31", 0, 0}, {"311", 1, 0}, {"3101", 0, 1}, {"3111", 1, 1}, {"3110", 1, 0}, {"310x", 0, 0},
        {"31\n11", 0, 0}, {"4", 0, 0}, {"", 0, 0},
    };
    for (const Case &c : cases) {
        const Settings settings = parseSettings(c.bytes);
        EXPECT_EQ(settings.completionFlag, c.completion) << c.bytes.toStdString();
        EXPECT_EQ(settings.correctionFlag, c.correction) << c.bytes.toStdString();
    }
    EXPECT_EQ(parseSettings("5011").soundIndex, 5);
    EXPECT_EQ(parseSettings("5011").lightFlag, 0);
    EXPECT_EQ(formatSettings({3, 1, 0, 1}), QByteArray("3101")); // completion off keeps its place
    EXPECT_EQ(formatSettings({3, 1, 1, 1}), QByteArray("3111"));
    EXPECT_EQ(formatSettings({3, 1, 1, 0}), QByteArray("311"));  // off: the file of before
    EXPECT_EQ(formatSettings({3, 1, 0, 0}), QByteArray("31"));
    for (const Settings &settings : {Settings{2, 0, 0, 1}, Settings{0, 1, 1, 1}})
        EXPECT_EQ(parseSettings(formatSettings(settings)), settings);
}
