// The correction of typing errors in the real window: the option in Options switches it on,
// the strip shows the decoder's words, and mouse taps on the keys are corrected and taken back.
#include "CandidateStrip.h"
#include "FileBytes.h"
#include "OptionsDialog.h"
#include "WindowFixture.h"
#include "WordCompletion.h"

#include <QCheckBox>
#include <QTimer>

using namespace wendrel;
using namespace wendrel::test;

namespace {

class CorrectionWindow : public WindowTest {
protected:
    void prepare() override
    {
        qputenv("XDG_DATA_HOME", (appFolder() + QStringLiteral("/data")).toUtf8());
        writeFile(QStringLiteral("config.dat"), config());
    }
    virtual QByteArray config() const { return "1101"; } // completion off, correction on

    CandidateStrip *strip() const { return window->findChild<CandidateStrip *>(QStringLiteral("candidateStrip")); }
    // The decoder is built on a thread of its own after the strip's first paint.
    bool correctionReady() const
    {
        return QTest::qWaitFor([&] { return window->session().correction() != nullptr; }, 20000);
    }
};

class CorrectionOff : public CorrectionWindow {
protected:
    QByteArray config() const override { return "11"; }
};

} // namespace

TEST_F(CorrectionWindow, TapsOnTheKeysAreCorrectedAtTheWordsEndAndBackSpaceTakesItBack)
{
    ASSERT_TRUE(strip() && strip()->isVisible()); // the strip, though completion is off
    ASSERT_TRUE(correctionReady());
    type(QStringLiteral("tge"));
    EXPECT_EQ(strip()->candidates().value(0), QStringLiteral("Tge"));
    EXPECT_TRUE(strip()->candidates().contains(QStringLiteral("The")));
    type(QStringLiteral(" "));
    EXPECT_EQ(text(), QStringLiteral("The "));
    tap(1065); // BackSpace
    EXPECT_EQ(text(), QStringLiteral("Tge "));
    EXPECT_EQ(window->textArea().widget()->textCursor().position(), 4);
}

TEST_F(CorrectionOff, TheOptionSwitchesItOnAndTheChoiceIsKept)
{
    EXPECT_EQ(window->session().correction(), nullptr);
    type(QStringLiteral("tge "));
    EXPECT_EQ(text(), QStringLiteral("Tge "));
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<OptionsDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->correctionCheck()->click();
        dialog->close();
    });
    tap(1052);
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("1101"));
    ASSERT_TRUE(strip() && strip()->isVisible());
    ASSERT_TRUE(correctionReady());
    type(QStringLiteral("tge "));
    EXPECT_EQ(text(), QStringLiteral("Tge the "));
}
