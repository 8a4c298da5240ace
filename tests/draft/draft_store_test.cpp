// The draft's files on their own: where they live, restore, atomic replacement, damaged
// drafts, several copies at once, the deliberate end, the writer thread and the end signals.
#include "DraftJournal.h"
#include "DraftStore.h"
#include "DraftWriter.h"
#include "EndSignals.h"
#include "TextFile.h"
#include "TextMirror.h"
#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>
#include <random>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wendrel;
using wendrel::test::fileBytes;

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class Drafts : public ::testing::Test {
protected:
    QString folder() const { return dir.path() + QStringLiteral("/wendrel"); }
    QString path(const QString &name) const { return folder() + u'/' + name; }
    QStringList files() const
    {
        return QDir(folder()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    QTemporaryDir dir;
};

} // namespace

TEST(DraftFolder, FollowsTheXdgRuleForUserState)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/tmp/state-here");
    EXPECT_EQ(defaultDraftFolder(), QStringLiteral("/tmp/state-here/wendrel"));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(defaultDraftFolder(), QDir::homePath() + QStringLiteral("/.local/state/wendrel"));
    qputenv("XDG_STATE_HOME", "relative/state"); // not absolute: ignored, as XDG says
    EXPECT_EQ(defaultDraftFolder(), QDir::homePath() + QStringLiteral("/.local/state/wendrel"));
    qputenv("XDG_STATE_HOME", saved);
}

TEST_F(Drafts, AWrittenDraftComesBackWithEveryCharacter)
{
    const QString texts[] = {
        QStringLiteral("Hello world\r\nAbc"),
        QStringLiteral("A\u00a0B\u2028C\u2029D"),
        QString::fromUtf16(u"zero\0inside", 11),
        QString(QChar(0xD800)) + QStringLiteral("lone surrogate"),
        QString(1 << 20, u'x'),
    };
    for (const QString &text : texts) {
        {
            DraftStore store(folder());
            ASSERT_TRUE(store.claim().has_value());
            EXPECT_EQ(store.draftPath(), path(QStringLiteral("draft.txt")));
            DraftWriter writer(store.draftPath());
            writer.submit(text);
            ASSERT_TRUE(writer.flush());
            EXPECT_EQ(fileBytes(store.draftPath()), encodeTextFile(text)); // the program's own format
        }
        DraftStore next(folder());
        EXPECT_TRUE(next.anyDraftExists());
        EXPECT_EQ(next.claim(), text);
        QFile::remove(next.draftPath());
    }
}

TEST_F(Drafts, AStartWithoutADraftIsEmptyAndWritesNothing)
{
    DraftStore store(folder());
    EXPECT_FALSE(store.anyDraftExists());
    EXPECT_EQ(store.claim(), QString());
    EXPECT_EQ(files(), QStringList{QStringLiteral("draft.txt.lock")});
}

// A copy killed in the middle of writing its draft (after the bytes, before the commit) leaves
// its earlier draft readable and a lock whose process is gone; the next start restores it.
TEST_F(Drafts, AWriteInterruptedBeforeItsCommitLeavesTheOldDraft)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DraftStore store(folder());
        if (!store.claim() || !writeTextFile(store.draftPath(), QStringLiteral("the old draft")))
            _exit(3);
        QSaveFile file(store.draftPath());
        if (!file.open(QIODevice::WriteOnly))
            _exit(4);
        file.write(encodeTextFile(QString(100000, u'n')));
        file.flush();
        ::kill(getpid(), SIGKILL); // before commit()
        _exit(5);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << WEXITSTATUS(status);
    // Where the file system has no unnamed temporary files, the cut-off write left a named one.
    writeBytes(path(QStringLiteral("draft.txt.Ab12Cd")), QByteArray("\xFF\xFEn\x00"));
    writeBytes(path(QStringLiteral("draft.txt.bad.10")), QByteArray("an earlier damaged draft"));
    DraftStore next(folder());
    EXPECT_EQ(next.claim(), QStringLiteral("the old draft"));
    EXPECT_EQ(next.draftPath(), path(QStringLiteral("draft.txt"))); // the dead copy's lock is stale
    // The cut-off write's temporary file is gone; nothing else is touched.
    EXPECT_EQ(files(), (QStringList{"draft.txt", "draft.txt.bad.10", "draft.txt.lock"}));
}

TEST_F(Drafts, ADamagedDraftIsMovedAsideAndTheStartIsEmpty)
{
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty file", QByteArray()},
        {"no byte-order mark", QByteArray("hello", 5)},
        {"big-endian mark", QByteArray("\xFE\xFF\x00h", 4)},
        {"odd length", QByteArray("\xFF\xFEh\x00i", 5)},
    };
    QDir().mkpath(folder());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path(QStringLiteral("draft.txt")), c.bytes);
        DraftStore store(folder());
        EXPECT_EQ(store.claim(), QString());
        EXPECT_EQ(store.draftPath(), path(QStringLiteral("draft.txt")));
        EXPECT_FALSE(QFile::exists(store.draftPath()));
        ASSERT_EQ(store.movedAside().size(), 1);
        EXPECT_EQ(fileBytes(store.movedAside()[0]), c.bytes); // kept, never overwritten
    }
    // Each damaged draft got a name of its own.
    EXPECT_EQ(files(), (QStringList{"draft.txt.bad", "draft.txt.bad.2", "draft.txt.bad.3", "draft.txt.bad.4"}));
}

TEST_F(Drafts, AFolderWhereTheDraftBelongsIsMovedAside)
{
    QDir().mkpath(path(QStringLiteral("draft.txt")));
    DraftStore store(folder());
    EXPECT_EQ(store.claim(), QString());
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("draft.txt.bad"))).isDir());
}

TEST_F(Drafts, AnUnreadableDraftIsMovedAside)
{
    QDir().mkpath(folder());
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    writeBytes(path(QStringLiteral("draft.txt")), encodeTextFile(QStringLiteral("secret")));
    ::chmod(qPrintable(path(QStringLiteral("draft.txt"))), 0);
    DraftStore store(folder());
    EXPECT_EQ(store.claim(), QString());
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("draft.txt.bad"))));
}

TEST_F(Drafts, ADamagedDraftThatCannotBeMovedAsideIsNeverWrittenOver)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    QDir().mkpath(folder());
    writeBytes(path(QStringLiteral("draft.txt")), QByteArray("not a draft"));
    ::chmod(qPrintable(folder()), 0555);
    DraftStore store(folder());
    EXPECT_FALSE(store.claim().has_value()); // no lock can be made either
    ::chmod(qPrintable(folder()), 0755);
    EXPECT_EQ(fileBytes(path(QStringLiteral("draft.txt"))), QByteArray("not a draft"));
}

TEST_F(Drafts, TwoRunningCopiesKeepDraftsOfTheirOwn)
{
    auto first = std::make_unique<DraftStore>(folder());
    auto second = std::make_unique<DraftStore>(folder());
    ASSERT_TRUE(first->claim().has_value());
    ASSERT_TRUE(second->claim().has_value());
    EXPECT_EQ(first->draftPath(), path(QStringLiteral("draft.txt")));
    EXPECT_EQ(second->draftPath(), path(QStringLiteral("draft-2.txt")));
    ASSERT_TRUE(writeTextFile(first->draftPath(), QStringLiteral("first")));
    ASSERT_TRUE(writeTextFile(second->draftPath(), QStringLiteral("second")));

    // The first copy is gone (killed); a new start takes its draft, not the running second's.
    first.reset();
    {
        DraftStore third(folder());
        EXPECT_EQ(third.claim(), QStringLiteral("first"));
        EXPECT_EQ(third.draftPath(), path(QStringLiteral("draft.txt")));
        EXPECT_EQ(fileBytes(path(QStringLiteral("draft-2.txt"))), encodeTextFile(QStringLiteral("second")));
    }

    // Both gone: the next start restores both texts, merged into its own draft.
    second.reset();
    DraftStore next(folder());
    const QString merged = QStringLiteral("first\r\n\r\nsecond");
    EXPECT_EQ(next.claim(), merged);
    EXPECT_EQ(fileBytes(path(QStringLiteral("draft.txt"))), encodeTextFile(merged));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("draft-2.txt"))));
}

TEST_F(Drafts, ALeftBehindDraftIsTakenOverWhenTheOwnIsMissing)
{
    QDir().mkpath(folder());
    writeBytes(path(QStringLiteral("draft-3.txt")), encodeTextFile(QStringLiteral("third copy's text")));
    writeBytes(path(QStringLiteral("draft-4.txt")), QByteArray("damaged"));
    writeBytes(path(QStringLiteral("draft-5.txt.Ab12Cd")), QByteArray("a temporary file of a write"));
    DraftStore store(folder());
    EXPECT_TRUE(store.anyDraftExists()); // a left-behind draft counts too
    EXPECT_EQ(store.claim(), QStringLiteral("third copy's text"));
    EXPECT_EQ(store.draftPath(), path(QStringLiteral("draft.txt")));
    EXPECT_EQ(store.movedAside(), QStringList{path(QStringLiteral("draft-4.txt.bad"))});
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("draft-3.txt"))));
}

TEST_F(Drafts, TheDeliberateEndKeepsTheTextInLastExitAndRemovesTheDraft)
{
    {
        DraftStore store(folder());
        ASSERT_TRUE(store.claim().has_value());
        ASSERT_TRUE(writeTextFile(store.draftPath(), QStringLiteral("typed")));
        EXPECT_TRUE(store.endDraft(QStringLiteral("typed\r\nlast")));
        EXPECT_FALSE(store.claimed());
    }
    EXPECT_EQ(fileBytes(path(QStringLiteral("last-exit.txt"))), encodeTextFile(QStringLiteral("typed\r\nlast")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("draft.txt"))));
    {
        // An empty text at Exit keeps the earlier last-exit.txt.
        DraftStore store(folder());
        EXPECT_EQ(store.claim(), QString());
        EXPECT_TRUE(store.endDraft(QString()));
    }
    EXPECT_EQ(fileBytes(path(QStringLiteral("last-exit.txt"))), encodeTextFile(QStringLiteral("typed\r\nlast")));
}

// Two copies that Exit one after the other: the first one's text is kept too (it is no longer
// on the clipboard either). The last ten exits are kept, newest first.
TEST_F(Drafts, TheLastTenExitsAreKeptNewestFirst)
{
    {
        DraftStore first(folder());
        DraftStore second(folder());
        ASSERT_TRUE(first.claim().has_value());
        ASSERT_TRUE(second.claim().has_value());
        EXPECT_TRUE(first.endDraft(QStringLiteral("first copy")));
        EXPECT_TRUE(second.endDraft(QStringLiteral("second copy")));
    }
    EXPECT_EQ(fileBytes(path(QStringLiteral("last-exit.txt"))), encodeTextFile(QStringLiteral("second copy")));
    EXPECT_EQ(fileBytes(path(QStringLiteral("last-exit.1.txt"))), encodeTextFile(QStringLiteral("first copy")));

    for (int i = 1; i <= 10; ++i) {
        DraftStore store(folder());
        ASSERT_TRUE(store.claim().has_value());
        ASSERT_TRUE(store.endDraft(QStringLiteral("exit %1").arg(i)));
    }
    EXPECT_EQ(fileBytes(path(QStringLiteral("last-exit.txt"))), encodeTextFile(QStringLiteral("exit 10")));
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(fileBytes(path(QStringLiteral("last-exit.%1.txt").arg(n))), encodeTextFile(QStringLiteral("exit %1").arg(10 - n)));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("last-exit.10.txt"))));
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("last-exit*")}, QDir::Files).size(), 10);
}

TEST_F(Drafts, WhenLastExitCannotBeWrittenTheDraftStays)
{
    DraftStore store(folder());
    ASSERT_TRUE(store.claim().has_value());
    ASSERT_TRUE(writeTextFile(store.draftPath(), QStringLiteral("keep me")));
    // Folders in the way: the kept exits cannot move on over a folder that is not empty.
    QDir().mkpath(path(QStringLiteral("last-exit.8.txt/inside")));
    QDir().mkpath(path(QStringLiteral("last-exit.9.txt/inside")));
    EXPECT_FALSE(store.endDraft(QStringLiteral("keep me")));
    EXPECT_TRUE(store.claimed());
    EXPECT_EQ(fileBytes(store.draftPath()), encodeTextFile(QStringLiteral("keep me")));
}

TEST_F(Drafts, TheWriterWritesTheLatestTextAndReportsFailure)
{
    QDir().mkpath(folder());
    {
        DraftWriter writer(path(QStringLiteral("draft.txt")));
        for (int i = 0; i < 200; ++i)
            writer.submit(QString::number(i));
        EXPECT_TRUE(writer.flush());
        EXPECT_LE(writer.writes(), 200); // texts handed in during a write replace each other
        EXPECT_EQ(fileBytes(path(QStringLiteral("draft.txt"))), encodeTextFile(QStringLiteral("199")));
        writer.submit(QStringLiteral("pending at the end"));
    } // the destructor writes what is pending
    EXPECT_EQ(fileBytes(path(QStringLiteral("draft.txt"))), encodeTextFile(QStringLiteral("pending at the end")));

    DraftWriter nowhere(dir.path() + QStringLiteral("/no/such/folder/draft.txt"));
    nowhere.submit(QStringLiteral("x"));
    EXPECT_FALSE(nowhere.flush());
}

namespace {
QString presentedText(QString raw)
{
    return raw.replace(QChar(0x2029), QStringLiteral("\r\n"));
}
} // namespace

// The copy of a long text follows every change, across its pieces too, and gives each change
// as an edit of the text with line breaks as 13, 10.
TEST(TextMirrorTest, FollowsEveryChangeAndGivesItAsAnEditOfTheDraftsText)
{
    std::mt19937 random(20);
    const QString alphabet = QStringLiteral("ab \u00a0\u2029\u2028");
    const auto someText = [&](qsizetype length) {
        QString text;
        for (qsizetype i = 0; i < length; ++i)
            text += alphabet[random() % alphabet.size()];
        return text;
    };
    for (const qsizetype start : {qsizetype(0), qsizetype(10), 3 * TextMirror::maxPiece + 5}) {
        SCOPED_TRACE(start);
        QString raw = someText(start);
        TextMirror mirror;
        mirror.reset(raw);
        QString presented = presentedText(raw);
        for (int round = 0; round < 400; ++round) {
            const qsizetype position = random() % (raw.size() + 1);
            // Mostly small changes; now and then one across several pieces, or a long paste.
            const qsizetype most = round % 10 == 0 ? 2 * TextMirror::maxPiece : 8;
            const qsizetype removed = random() % (std::min(most, raw.size() - position) + 1);
            const QString added = someText(round % 25 == 0 ? TextMirror::maxPiece + 3 : random() % 6);
            DraftEdit edit;
            ASSERT_TRUE(mirror.replace(position, removed, added, &edit));
            raw.replace(position, removed, added);
            ASSERT_TRUE(applyEdit(presented, edit));
            ASSERT_EQ(mirror.text(), raw) << "round " << round;
            ASSERT_EQ(presented, presentedText(raw)) << "round " << round;
            ASSERT_EQ(mirror.presentedSize(), presented.size());
            for (const QString &piece : mirror.pieces())
                ASSERT_TRUE(!piece.isEmpty() && piece.size() <= TextMirror::maxPiece);
        }
    }
    TextMirror mirror;
    mirror.reset(QStringLiteral("abc"));
    EXPECT_FALSE(mirror.replace(2, 2, u"x"));
    EXPECT_FALSE(mirror.replace(4, 0, u"x"));
    EXPECT_EQ(mirror.text(), QStringLiteral("abc"));
}

// The journal brings back every edit written whole; an edit cut off by a power cut (at any
// byte) ends it there; a journal of another draft, or damaged, is ignored.
TEST(DraftJournalTest, ReplaysTheEditsUpToTheFirstOneCutOff)
{
    const QString draft = QStringLiteral("first line\r\nsecond");
    const JournalBase base = JournalBase::of(encodeTextFile(draft));
    const QList<DraftEdit> edits = {
        {6, 4, QStringLiteral("LINE")},
        {draft.size(), 0, QStringLiteral("\r\nthird \u00a0") + QChar(0xD800)},
        {0, 1, QString()},
    };
    QByteArray journal = journalHeader(base);
    QList<qsizetype> ends; // where each record ends
    QStringList after{draft};
    for (const DraftEdit &edit : edits) {
        journal += journalRecord(edit);
        ends.append(journal.size());
        QString next = after.constLast();
        ASSERT_TRUE(applyEdit(next, edit));
        after.append(next);
    }
    EXPECT_EQ(replayJournal(draft, base, journal), after.constLast());
    for (qsizetype cut = 0; cut < journal.size(); ++cut) {
        const qsizetype whole = std::count_if(ends.begin(), ends.end(), [&](qsizetype end) { return end <= cut; });
        ASSERT_EQ(replayJournal(draft, base, journal.left(cut)), after[whole]) << "cut at " << cut;
    }
    QByteArray flipped = journal;
    flipped[ends[0] + 10] = char(flipped[ends[0] + 10] ^ 1); // inside the second record
    EXPECT_EQ(replayJournal(draft, base, flipped), after[1]);
    EXPECT_EQ(replayJournal(draft, JournalBase::of(encodeTextFile(QStringLiteral("other"))), journal), draft);
    EXPECT_EQ(replayJournal(draft, base, QByteArray("not a journal at all, but long enough")), draft);
    // An edit that does not fit the text ends the journal.
    const QByteArray beyond = journalHeader(base) + journalRecord({draft.size() + 1, 0, QStringLiteral("x")});
    EXPECT_EQ(replayJournal(draft, base, beyond), draft);
}

// The writer: a whole text replaces the draft and ends its journal; edits go to the journal and
// come back with the draft; edits without a whole text under them are refused.
TEST_F(Drafts, TheWriterJournalsEditsOfTheWholeTextItWrote)
{
    QDir().mkpath(folder());
    const QString draft = path(QStringLiteral("draft.txt"));
    const QString journal = path(QStringLiteral("draft.txt.journal"));
    {
        DraftWriter writer(draft);
        EXPECT_TRUE(writer.needsWhole());
        writer.submitEdits({{0, 0, QStringLiteral("lost")}});
        EXPECT_FALSE(writer.flush()); // nothing under the edit
        EXPECT_FALSE(QFile::exists(journal));

        writer.submit(QStringList{QStringLiteral("Hello "), QStringLiteral("world")});
        EXPECT_FALSE(writer.needsWhole());
        ASSERT_TRUE(writer.flush());
        writer.submitEdits({{11, 0, QStringLiteral("!")}});
        writer.submitEdits({{0, 5, QStringLiteral("Goodbye")}});
        ASSERT_TRUE(writer.flush());
        EXPECT_EQ(fileBytes(draft), encodeTextFile(QStringLiteral("Hello world")));
        EXPECT_TRUE(QFile::exists(journal));
        EXPECT_EQ(readDraft(draft).text, QStringLiteral("Goodbye world!"));
        EXPECT_EQ(writer.wholeWrites(), 1);

        writer.submit(QStringLiteral("anew"));
        ASSERT_TRUE(writer.flush());
        EXPECT_FALSE(QFile::exists(journal));
        EXPECT_EQ(readDraft(draft).text, QStringLiteral("anew"));
    }
    // A draft written whole by someone else: the old journal no longer names it.
    {
        DraftWriter writer(draft);
        writer.submit(QStringLiteral("base"));
        writer.submitEdits({{4, 0, QStringLiteral(" and more")}});
        ASSERT_TRUE(writer.flush());
    }
    ASSERT_TRUE(writeTextFile(draft, QStringLiteral("other")));
    EXPECT_EQ(readDraft(draft).text, QStringLiteral("other"));
}

// A draft with its journal: restored with the edits, merged into another copy's draft with
// them, removed with it at Exit, moved aside with it when the draft is damaged.
TEST_F(Drafts, ADraftsJournalGoesWhereTheDraftGoes)
{
    QDir().mkpath(folder());
    const auto writeWithJournal = [&](const QString &name, const QString &base, const DraftEdit &edit) {
        DraftWriter writer(path(name));
        writer.submit(base);
        writer.submitEdits({edit});
        ASSERT_TRUE(writer.flush());
    };
    writeWithJournal(QStringLiteral("draft.txt"), QStringLiteral("one"), {3, 0, QStringLiteral(" plus")});
    writeWithJournal(QStringLiteral("draft-2.txt"), QStringLiteral("two"), {0, 0, QStringLiteral("number ")});
    {
        DraftStore store(folder());
        EXPECT_EQ(store.claim(), QStringLiteral("one plus\r\n\r\nnumber two"));
        EXPECT_EQ(readDraft(store.draftPath()).text, QStringLiteral("one plus\r\n\r\nnumber two"));
        EXPECT_EQ(files(), (QStringList{"draft.txt", "draft.txt.lock"}));
        EXPECT_TRUE(store.endDraft(QStringLiteral("the end")));
    }
    EXPECT_EQ(files(), (QStringList{"last-exit.txt"}));

    writeBytes(path(QStringLiteral("draft.txt.journal")), journalHeader(JournalBase::of("damaged")));
    writeBytes(path(QStringLiteral("draft.txt")), QByteArray("damaged"));
    DraftStore store(folder());
    EXPECT_EQ(store.claim(), QString());
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("draft.txt.bad.journal"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("draft.txt.journal"))));
}

TEST(EndSignalsTest, ASignalArrivesThroughTheEventLoop)
{
    EndSignals endSignals({SIGTERM, SIGHUP});
    QSignalSpy spy(&endSignals, &EndSignals::received);
    ::raise(SIGHUP);
    ::raise(SIGTERM);
    ASSERT_TRUE(spy.wait(2000) || spy.size() > 0);
    if (spy.size() < 2)
        spy.wait(500);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy[0][0].toInt(), SIGHUP);
    EXPECT_EQ(spy[1][0].toInt(), SIGTERM);
}

TEST(EndSignalsTest, AnIgnoredSignalStaysIgnored)
{
    std::signal(SIGHUP, SIG_IGN);
    {
        EndSignals endSignals({SIGHUP});
        QSignalSpy spy(&endSignals, &EndSignals::received);
        ::raise(SIGHUP);
        EXPECT_FALSE(spy.wait(200));
    }
    std::signal(SIGHUP, SIG_DFL);
}
