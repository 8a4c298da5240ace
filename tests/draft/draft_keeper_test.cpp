// The draft of the real window's text: written soon after each change, restored before the
// first paint, ended by Exit and a close request, kept by an end asked for by a signal.
#include "DocumentCommands.h"
#include "DraftKeeper.h"
#include "DraftStore.h"
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
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <random>

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

    QString folder() const { return stateFolder.isEmpty() ? fake.home.path() + QStringLiteral("/state/wendrel") : stateFolder; }
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
    QString stateFolder; // when not the usual one
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

// The drafts of other copies that are gone (draft-2.txt, ...) are shown in the first picture
// too, and so is the first copy's draft with them.
TEST_F(Draft, DraftsOfOtherCopiesAreShownBeforeTheFirstPaint)
{
    QDir().mkpath(folder());
    ASSERT_TRUE(writeTextFile(folder() + QStringLiteral("/draft-2.txt"), QStringLiteral("second copy's text")));
    open(); // no event has been handled yet: nothing is painted
    EXPECT_EQ(text(), QStringLiteral("second copy's text"));
    window.reset();
    keeper.reset(); // the merged draft is draft.txt now, and stays

    ASSERT_TRUE(writeTextFile(folder() + QStringLiteral("/draft-3.txt"), QStringLiteral("third")));
    open();
    EXPECT_EQ(text(), QStringLiteral("second copy's text\r\n\r\nthird"));
}

namespace {
// The program's warnings about its draft while it lives.
struct DraftWarnings {
    DraftWarnings() { previous = qInstallMessageHandler(collect); }
    ~DraftWarnings() { qInstallMessageHandler(previous); }
    static void collect(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (message.contains(QLatin1String("draft")))
            seen.append(message);
    }
    static inline QStringList seen;
    QtMessageHandler previous = nullptr;
};
} // namespace

// A draft folder that cannot be made, and a draft that cannot be written: the user learns
// once that nothing is kept, and standard error says so once, not at every change.
TEST_F(Draft, AFolderWhereNothingCanBeKeptIsReportedOnce)
{
    for (const bool folderFails : {true, false}) {
        SCOPED_TRACE(folderFails ? "the folder cannot be made" : "the draft cannot be written");
        DraftWarnings warnings;
        warnings.seen.clear();
        if (folderFails) {
            const QString file = fake.home.path() + QStringLiteral("/a-file");
            QFile(file).open(QIODevice::WriteOnly);
            stateFolder = file + QStringLiteral("/wendrel"); // even root cannot make it
        }
        open();
        if (!folderFails) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return keeper->store().claimed(); }, 3000));
            QDir().mkpath(draftFile()); // a folder where the draft belongs: no write succeeds
        }
        QSignalSpy shown(keeper.get(), &DraftKeeper::notKept);
        for (int i = 0; i < 3; ++i) {
            tapKey(1000); // a
            QTest::qWait(DraftKeeper::writeDelayMs + 100);
        }
        QTest::qWait(100);
        EXPECT_EQ(shown.size(), 1);
        EXPECT_EQ(warnings.seen.size(), 1) << warnings.seen.join(u'\n').toStdString();
        EXPECT_EQ(text(), QStringLiteral("Aaa")); // typing goes on
        window.reset();
        keeper.reset();
        stateFolder.clear();
    }
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

namespace {

// Bytes this process has handed to write() so far, all its threads together.
qint64 bytesWrittenByProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

QString longNotes(qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += QString(62, u'x') + QStringLiteral("\r\n");
    text.truncate(length);
    return text;
}

} // namespace

// A long text is not rewritten whole every half second while the user types (that wears out an
// SD card: 8 MB a second for this 4 MB draft); what is typed still reaches the disk at once.
TEST_F(Draft, ALongTextIsNotRewrittenWholeAtEveryChange)
{
    open();
    const QString notes = longNotes((2 << 20) - 7); // a draft of 4 MB, its last line unfinished
    window->textArea().pushText(notes);
    ASSERT_TRUE(QTest::qWaitFor([&] { return readDraft(draftFile()).text == notes; }, 5000));
    window->textArea().setSelection(notes.size(), notes.size());
    const qint64 before = bytesWrittenByProcess();
    ASSERT_GE(before, 0);
    QElapsedTimer typing;
    typing.start();
    while (typing.elapsed() < 3000) {
        tapKey(1000); // a
        QTest::qWait(100);
    }
    // Soon after the last tap (the slack is for a sanitizer build on a busy
    // machine; the journal takes each change within a few milliseconds otherwise).
    EXPECT_TRUE(QTest::qWaitFor([&] { return readDraft(draftFile()).text == text(); }, DraftKeeper::writeDelayMs + 1500));
    EXPECT_TRUE(text().startsWith(notes + QStringLiteral("aaaa")));
    // At most one whole write of the 4 MB in these 3.6 s (one a second per megabyte).
    EXPECT_LT(bytesWrittenByProcess() - before, 6 << 20);
}

// Every kind of change of a long text (typing, deleting across lines, a paste of several lines,
// undo and redo, a whole new text) reaches the disk as it is in the window.
TEST_F(Draft, EveryChangeOfALongTextReachesTheDraft)
{
    open();
    const QString notes = longNotes(2 << 20);
    window->textArea().pushText(notes);
    ASSERT_TRUE(QTest::qWaitFor([&] { return readDraft(draftFile()).text == notes; }, 5000));
    QTextDocument *document = window->textArea().widget()->document();
    // The text is pushed as one undoable edit: an undo below must not take the long text away.
    document->clearUndoRedoStacks();
    std::mt19937 random(24);
    const auto anywhere = [&] { return int(random() % uint(document->characterCount())); };
    const QString pieces[] = {QStringLiteral("a"), QStringLiteral("two\nlines"), QStringLiteral("\u00a0nbsp\u2028ls"),
                              QStringLiteral("\n"), longNotes(70000)}; // the last one longer than a piece of the copy
    for (int round = 1; round <= 120; ++round) {
        QTextCursor cursor(document);
        cursor.setPosition(anywhere());
        switch (random() % 5) {
        case 0:
        case 1:
            cursor.insertText(pieces[random() % std::size(pieces)]);
            break;
        case 2:
            cursor.setPosition(std::min(cursor.position() + int(random() % 200), document->characterCount() - 1),
                               QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            break;
        case 3:
            cursor.setPosition(std::clamp(cursor.position() + int(random() % 200001) - 100000, 0, document->characterCount() - 1),
                               QTextCursor::KeepAnchor);
            cursor.insertText(pieces[random() % std::size(pieces)]);
            break;
        default:
            (random() % 2 ? document->undo() : document->redo());
            break;
        }
        if (round % 30 == 0) {
            keeper->writeNow();
            ASSERT_EQ(readDraft(draftFile()).text, text()) << "round " << round;
            EXPECT_TRUE(QFile::exists(draftFile() + QStringLiteral(".journal"))) << "round " << round;
        }
    }
    for (const QString &whole : {QStringLiteral("short\r\ntext"), QString()}) {
        window->textArea().pushText(whole);
        keeper->writeNow();
        EXPECT_EQ(readDraft(draftFile()).text, whole);
    }
}
