// The draft of the real window's text: written soon after each change, restored before the
// first paint, ended by Exit and a close request, kept by an end asked for by a signal.
#include "DocumentCommands.h"
#include "DraftKeeper.h"
#include "FakePlatform.h"
#include "KeyboardView.h"
#include "KeyboardDialog.h"
#include "TextArea.h"
#include "TextFile.h"
#include "FileBytes.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace wendrel;
using namespace wendrel::test;

namespace {

class Draft : public ::testing::Test {
protected:
    void SetUp() override { QDir().mkpath(fake.startMenuFolder); }
    void TearDown() override
    {
        window.reset();
        keeper.reset();
    }

    QString folder() const { return fake.home.path() + QStringLiteral("/state/wendrel"); }
    QString draftFile() const { return folder() + QStringLiteral("/draft.txt"); }
    QString lastExitFile() const { return folder() + QStringLiteral("/last-exit.txt"); }

    // Opens the window as the application does, with the keeper between it and the end.
    void open()
    {
        keeper = std::make_unique<DraftKeeper>(folder(), static_cast<ProgramEnd &>(fake));
        const Platform real = fake.services();
        window = std::make_unique<KeyboardDialog>(Platform{real.executable, real.messages, real.sound, *keeper,
                                                           real.fileDialogs, real.shell, real.startMenu});
        keeper->watch(window->textArea());
        window->OnInitDialog();
        keeper->restore();
    }
    void tapKey(int id)
    {
        KeyboardView &keys = window->keyboardView();
        QTest::mouseClick(&keys, Qt::LeftButton, {}, keys.keyRect(keyIndexById(id)).center());
        QCoreApplication::processEvents();
    }
    QString text() const { return window->textArea().pullText(); }
    bool draftHolds(const QString &value)
    {
        return QTest::qWaitFor([&] { return fileBytes(draftFile()) == encodeTextFile(value); }, 3000);
    }

    FakePlatform fake;
    std::unique_ptr<DraftKeeper> keeper;
    std::unique_ptr<KeyboardDialog> window;
};

} // namespace

TEST_F(Draft, TypedTextReachesTheDraftSoonAfterTheChange)
{
    open();
    EXPECT_FALSE(QFile::exists(draftFile())); // nothing is written before a change
    tapKey(1007); // h
    tapKey(1008); // i
    EXPECT_TRUE(draftHolds(QStringLiteral("Hi")));
    window->textArea().pushText(QStringLiteral("Hi\r\nthere"));
    EXPECT_TRUE(draftHolds(QStringLiteral("Hi\r\nthere")));
    EXPECT_TRUE(fake.exitStatuses.isEmpty());
}

TEST_F(Draft, WithoutADraftTheDraftIsClaimedAfterTheFirstPaint)
{
    open();
    EXPECT_FALSE(keeper->store().claimed()); // nothing but a look for draft.txt before it
    EXPECT_TRUE(QTest::qWaitFor([&] { return keeper->store().claimed(); }, 3000));
    EXPECT_TRUE(QFile::exists(draftFile() + QStringLiteral(".lock")));
    EXPECT_FALSE(QFile::exists(draftFile()));
}

TEST_F(Draft, ADraftIsShownBeforeTheFirstPaintWithTheCaretAtItsEnd)
{
    QDir().mkpath(folder());
    const QString left = QStringLiteral("left by a kill\r\nsecond line");
    ASSERT_TRUE(writeTextFile(draftFile(), left));
    open(); // no event has been handled yet: nothing is painted
    EXPECT_EQ(text(), left);
    EXPECT_EQ(window->textArea().readSelection(), std::make_pair(left.size(), left.size()));
    // Typing goes on at the end, the typing assistant as after a Load.
    tapKey(1000); // a
    EXPECT_EQ(text(), left + QStringLiteral("a"));
    // Undo takes back what was typed, never the restored draft.
    for (int i = 0; i < 3; ++i) {
        tapKey(1062);     // Fn
        tapKey(1065);     // Undo
    }
    EXPECT_EQ(text(), left);
}

TEST_F(Draft, ExitAndTheCloseBoxEndTheDraftAndKeepTheTextInLastExit)
{
    for (const bool viaExit : {true, false}) {
        SCOPED_TRACE(viaExit ? "Exit" : "close box");
        open();
        window->textArea().pushText(QStringLiteral("kept\u00a0text"));
        ASSERT_TRUE(draftHolds(QStringLiteral("kept\u00a0text")));
        if (viaExit)
            window->document().onExitButton();
        else
            window->close();
        EXPECT_EQ(fake.exitStatuses, QList<int>{0});
        EXPECT_FALSE(QFile::exists(draftFile()));
        EXPECT_EQ(fileBytes(lastExitFile()), encodeTextFile(QStringLiteral("kept\u00a0text")));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept\u00a0text"));
        window.reset();
        keeper.reset();
        fake.exitStatuses.clear();
        open();
        EXPECT_EQ(text(), QString()); // the next start is empty
        window.reset();
        keeper.reset();
        QFile::remove(lastExitFile());
    }
}

TEST_F(Draft, AnEndAskedForByASignalWritesTheDraftAtOnceAndKeepsIt)
{
    open();
    window->textArea().pushText(QStringLiteral("typed just now"));
    keeper->keepDraftAtEnd();
    window->close(); // what the application does on SIGTERM, SIGHUP and SIGINT
    EXPECT_EQ(fake.exitStatuses, QList<int>{0});
    EXPECT_EQ(fileBytes(draftFile()), encodeTextFile(QStringLiteral("typed just now"))); // no waiting
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("typed just now"));
    EXPECT_TRUE(fake.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(lastExitFile()));
    window->document().onExitButton(); // a later Exit (the message box was open) changes nothing
    EXPECT_EQ(fake.exitStatuses, QList<int>{0});
    window.reset();
    keeper.reset();
    open();
    EXPECT_EQ(text(), QStringLiteral("typed just now"));
}

TEST_F(Draft, ASessionsSaveRequestWritesTheDraftAtOnce)
{
    open();
    window->textArea().pushText(QStringLiteral("save your work"));
    keeper->writeNow();
    EXPECT_EQ(fileBytes(draftFile()), encodeTextFile(QStringLiteral("save your work")));
    EXPECT_TRUE(fake.exitStatuses.isEmpty());
}

TEST_F(Draft, ASecondWindowKeepsADraftOfItsOwn)
{
    open();
    window->textArea().pushText(QStringLiteral("first window"));
    ASSERT_TRUE(draftHolds(QStringLiteral("first window")));
    DraftKeeper secondKeeper(folder(), static_cast<ProgramEnd &>(fake));
    KeyboardDialog second(fake.services());
    secondKeeper.watch(second.textArea());
    second.OnInitDialog();
    secondKeeper.restore();
    EXPECT_EQ(second.textArea().pullText(), QString()); // the first copy's draft is not taken
    second.textArea().pushText(QStringLiteral("second window"));
    const QString secondDraft = folder() + QStringLiteral("/draft-2.txt");
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileBytes(secondDraft) == encodeTextFile(QStringLiteral("second window")); }, 3000));
    EXPECT_EQ(fileBytes(draftFile()), encodeTextFile(QStringLiteral("first window")));
}
