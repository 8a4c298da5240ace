// Word completion in the real window: the strip, accepting a candidate, and the option.
#include "CandidateStrip.h"
#include "OptionsDialog.h"
#include "WindowFixture.h"
#include "WordCompletion.h"
#include "FileBytes.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QTimer>

using namespace wendrel;
using namespace wendrel::test;

namespace {

// Each window keeps its learned words in a folder of its own.
class CompletionWindow : public WindowTest {
protected:
    void prepare() override
    {
        qputenv("XDG_DATA_HOME", (appFolder() + QStringLiteral("/data")).toUtf8());
        writeFile(QStringLiteral("config.dat"), config());
    }
    virtual QByteArray config() const { return "111"; }

    CandidateStrip *strip() const { return window->findChild<CandidateStrip *>(QStringLiteral("candidateStrip")); }
    bool stripShown() const { return strip() && strip()->isVisible(); }
    void tapCell(int cell)
    {
        ASSERT_NE(strip(), nullptr);
        QTest::mouseClick(strip(), Qt::LeftButton, {}, strip()->cellRect(cell).center());
        settle();
    }
    void toggleInOptions()
    {
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<OptionsDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->completionCheck()->click();
            dialog->close();
        });
        tap(1052);
    }
    int textAreaHeight() const { return window->textArea().widget()->height(); }
    QString learnedPath() const { return appFolder() + QStringLiteral("/data/wendrel/learned-words.txt"); }
};

class CompletionOff : public CompletionWindow {
protected:
    QByteArray config() const override { return "11"; }
};

} // namespace

TEST_F(CompletionOff, TwoDigitConfigMeansNoStripAndTheWholeTextArea)
{
    EXPECT_EQ(window->settings().completionFlag(), 0);
    EXPECT_FALSE(stripShown());
    EXPECT_EQ(textAreaHeight(), 76 * window->layoutScale());
    type(QStringLiteral("th"));
    EXPECT_EQ(text(), QStringLiteral("Th"));
}

TEST_F(CompletionOff, OptionsSwitchesTheStripOnAtOnceAndTheChoiceSurvivesARestart)
{
    toggleInOptions();
    EXPECT_TRUE(stripShown());
    EXPECT_EQ(textAreaHeight(), (76 - CandidateStrip::layoutHeight) * window->layoutScale());
    EXPECT_EQ(strip()->geometry().bottom() + 1, window->textArea().widget()->geometry().top() + 76 * window->layoutScale());
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("111"));
    type(QStringLiteral("th"));
    EXPECT_EQ(strip()->candidates().size(), 3);

    window = std::make_unique<KeyboardDialog>(fake.services());
    window->OnInitDialog();
    settle();
    EXPECT_TRUE(stripShown());

    toggleInOptions();
    EXPECT_FALSE(stripShown());
    EXPECT_EQ(textAreaHeight(), 76 * window->layoutScale());
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("11"));
}

TEST_F(CompletionWindow, TypingThenTappingACellTypesTheWordAndASpace)
{
    ASSERT_TRUE(stripShown());
    EXPECT_EQ(textAreaHeight(), (76 - CandidateStrip::layoutHeight) * window->layoutScale());
    setText(QStringLiteral("I said "), 7);
    type(QStringLiteral("th"));
    const QStringList shown = strip()->candidates();
    ASSERT_EQ(shown.size(), 3);
    for (const QString &word : shown)
        EXPECT_TRUE(word.startsWith(QStringLiteral("th"))) << word.toStdString();
    fake.sounds.clear();
    tapCell(0);
    EXPECT_EQ(text(), QStringLiteral("I said ") + shown[0] + u' ');
    EXPECT_EQ(fake.sounds.size(), 1); // the feedback of a key
    EXPECT_EQ(strip()->litCell(), 0);
    EXPECT_EQ(QApplication::focusWidget(), window->textArea().widget());
    // BackSpace right after deletes the space, as after a space typed by hand.
    tap(1065);
    EXPECT_EQ(text(), QStringLiteral("I said ") + shown[0]);
}

TEST_F(CompletionWindow, AtTheStartTheCapitalStaysAndTheAssistantGoesOn)
{
    type(QStringLiteral("th"));
    EXPECT_EQ(text(), QStringLiteral("Th"));
    EXPECT_EQ(strip()->candidates().value(0), QStringLiteral("The"));
    tapCell(0);
    EXPECT_EQ(text(), QStringLiteral("The "));
    // One letter made capital by the assistant, then accepted: BackSpace deletes the space
    // only, it does not undo the capital.
    setText(QStringLiteral("Yes. "), 5);
    type(QStringLiteral("w"));
    EXPECT_EQ(text(), QStringLiteral("Yes. W"));
    const QString word = strip()->candidates().value(0);
    ASSERT_TRUE(word.startsWith(u'W'));
    tapCell(0);
    tap(1065);
    EXPECT_EQ(text(), QStringLiteral("Yes. ") + word);
    // After ". " the next word still starts with a capital.
    type(QStringLiteral(". w"));
    EXPECT_TRUE(text().endsWith(QStringLiteral(". W")));
}

TEST_F(CompletionWindow, NothingOfferedWithASelectionOrInANumberAndEmptyCellsDoNothing)
{
    setText(QStringLiteral("the other"), 9);
    window->textArea().setSelection(4, 9);
    settle();
    EXPECT_TRUE(strip()->candidates().isEmpty());
    setText(QStringLiteral("12"), 2);
    settle();
    EXPECT_TRUE(strip()->candidates().isEmpty());
    fake.sounds.clear();
    tapCell(1);
    EXPECT_EQ(text(), QStringLiteral("12"));
    EXPECT_TRUE(fake.sounds.isEmpty());
}

TEST_F(CompletionWindow, TypedWordsAreLearnedAndKeptForTheNextStart)
{
    type(QStringLiteral("zyx qwv. zyx qwv. zyx "));
    EXPECT_EQ(strip()->candidates().value(0), QStringLiteral("qwv"));
    window.reset(); // saves what was learned
    const QByteArray stored = fileBytes(appFolder() + QStringLiteral("/data/wendrel/learned-words.txt"));
    EXPECT_TRUE(stored.contains("w\tqwv\t2\t")) << stored.toStdString();

    window = std::make_unique<KeyboardDialog>(fake.services());
    window->OnInitDialog();
    settle();
    setText(QStringLiteral("a zyx "), 6);
    settle();
    // The learned words are read on a thread of their own; the strip follows once they are in.
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip()->candidates().value(0) == QStringLiteral("qwv"); }, 5000))
        << strip()->candidates().join(u' ').toStdString();
}

// The save runs on a thread of its own: while another copy of the program holds the file's
// lock (the save waits for it) the window goes on answering, and nothing is written until the
// lock is had.
TEST_F(CompletionWindow, SavingNeverHoldsUpTheWindow)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(learnedPath()).path()));
    QLockFile held(learnedPath() + QStringLiteral(".lock"));
    ASSERT_TRUE(held.tryLock(0));
    type(QStringLiteral("zyx qwv. "));
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    sinceTick.start();
    tick.start();
    QTest::qWait(5500); // the save begins 3 s after the last word, then waits for the lock
    EXPECT_LT(longest, 500);
    EXPECT_FALSE(QFileInfo::exists(learnedPath()));
    held.unlock();
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileBytes(learnedPath()).contains("w\tqwv\t1\t"); }, 20000))
        << fileBytes(learnedPath()).toStdString();
}

// The program's end gives it a deadline; what was learned is on disk, whole, before the end
// begins, not left to the window's teardown.
TEST_F(CompletionWindow, WhatWasLearnedIsSavedBeforeTheEndBegins)
{
    type(QStringLiteral("zyx qwv. zyx "));
    bool ended = false;
    fake.onExit = [&](int) {
        ended = true;
        EXPECT_TRUE(fileBytes(learnedPath()).contains("w\tqwv\t1\t")) << fileBytes(learnedPath()).toStdString();
        EXPECT_TRUE(fileBytes(learnedPath()).toLower().contains("w\tzyx\t2\t"));
        // No temporary file left beside it.
        EXPECT_EQ(QDir(QFileInfo(learnedPath()).path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("learned-words.txt")});
    };
    window->close();
    settle();
    EXPECT_TRUE(ended);
}

// The save waits for a pause in the typing, but never longer than its longest delay after the
// first word not saved: steady typing is saved too.
TEST_F(CompletionWindow, SteadyTypingIsSavedWithinTheLongestDelay)
{
    window->wordCompletion().setSaveDelays(600, 2000);
    QElapsedTimer clock;
    clock.start();
    qint64 savedAt = -1;
    while (clock.elapsed() < 4500 && savedAt < 0) {
        type(QStringLiteral("zyx "));
        QTest::qWait(200);
        if (fileBytes(learnedPath()).contains("w\tzyx\t"))
            savedAt = clock.elapsed();
    }
    EXPECT_GE(savedAt, 0) << "not saved while typing went on";
    EXPECT_LT(savedAt, 3500);
}
