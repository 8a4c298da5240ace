// Settings at start-up, key sounds, the Options dialog and Help in the real window.
#include "OptionsDialog.h"
#include "WindowFixture.h"
#include "FileBytes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

using namespace wendrel;
using namespace wendrel::test;

namespace {

// Acts on the Options dialog once it is open, then closes it with its close request.
void whenOptionsOpen(std::function<void(OptionsDialog *)> act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<OptionsDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
        dialog->close();
    });
}
} // namespace

class SoundSettings : public WindowTest {
protected:
    void prepare() override { writeFile(QStringLiteral("config.dat"), "30"); }
};

TEST_F(SoundSettings, StartUpReadsConfigAndTapsPlayTheChosenSound)
{
    EXPECT_EQ(window->settings().soundIndex(), 3);
    EXPECT_EQ(window->settings().lightFlag(), 0);
    tap(1007);
    EXPECT_EQ(fake.sounds, QStringList{appFolder() + QStringLiteral("/sound3.wav")});
    EXPECT_EQ(window->session().isLit(keyIndexById(1007)), false); // visual response off
}

TEST_F(SoundSettings, OptionsClosedAtOnceRewritesTheSameDigits)
{
    QFile::remove(appFolder() + QStringLiteral("/config.dat"));
    whenOptionsOpen([](OptionsDialog *dialog) {
        EXPECT_EQ(dialog->soundList()->currentText(), QStringLiteral("Sound 3"));
        EXPECT_FALSE(dialog->lightCheck()->isChecked());
        EXPECT_EQ(dialog->soundList()->count(), 6);
        EXPECT_LE(dialog->minimumSizeHint().width(), 240);
        EXPECT_LE(dialog->minimumSizeHint().height(), 320);
        EXPECT_LE(dialog->width(), 240);
    });
    tap(1052);
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("30"));
    EXPECT_TRUE(window->controlsShown());
    EXPECT_EQ(QApplication::focusWidget(), window->textArea().widget());
}

TEST_F(SoundSettings, NoSoundMeansNoSoundRequest)
{
    whenOptionsOpen([](OptionsDialog *dialog) { dialog->soundList()->setCurrentIndex(0); });
    tap(1052);
    EXPECT_EQ(window->settings().soundIndex(), 0);
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("00"));
    fake.sounds.clear();
    tap(1007);
    tap(2004);
    EXPECT_TRUE(fake.sounds.isEmpty());
}

TEST_F(SoundSettings, EachSoundIndexPlaysItsOwnFile)
{
    for (int n = 1; n <= 5; ++n) {
        whenOptionsOpen([n](OptionsDialog *dialog) { dialog->soundList()->setCurrentIndex(n); });
        tap(1052);
        fake.sounds.clear();
        tap(1000);
        EXPECT_EQ(fake.sounds, QStringList{appFolder() + QStringLiteral("/sound%1.wav").arg(n)});
    }
}

TEST_F(SoundSettings, CheckingAndUncheckingTheBox)
{
    whenOptionsOpen([](OptionsDialog *dialog) {
        dialog->lightCheck()->click();
        dialog->lightCheck()->click();
    });
    tap(1052);
    EXPECT_EQ(window->settings().lightFlag(), 0);
    whenOptionsOpen([](OptionsDialog *dialog) { dialog->lightCheck()->click(); });
    tap(1052);
    EXPECT_EQ(window->settings().lightFlag(), 1);
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("31"));
}

// The work after the first picture (loading the chosen sound) has run.
void runAfterFirstFrame()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

TEST_F(SoundSettings, OnlyTheChosenSoundIsLoadedAfterTheFirstFrame)
{
    runAfterFirstFrame();
    EXPECT_EQ(fake.preloaded, QStringList{appFolder() + QStringLiteral("/sound3.wav")});
}

class SilentSettings : public WindowTest {
protected:
    void prepare() override { writeFile(QStringLiteral("config.dat"), "01"); }
};

TEST_F(SilentSettings, NoSoundIsLoadedUntilOptionsChoosesOne)
{
    runAfterFirstFrame();
    EXPECT_TRUE(fake.preloaded.isEmpty());
    whenOptionsOpen([](OptionsDialog *dialog) { dialog->soundList()->setCurrentIndex(2); });
    tap(1052);
    EXPECT_EQ(fake.preloaded, QStringList{appFolder() + QStringLiteral("/sound2.wav")});
}

class DamagedSettings : public WindowTest {
protected:
    void prepare() override { writeFile(QStringLiteral("config.dat"), "71"); }
};

TEST_F(DamagedSettings, IndexOutsideTheListSelectsNothingAndIsWrittenAsNoSound)
{
    whenOptionsOpen([](OptionsDialog *dialog) { EXPECT_EQ(dialog->soundList()->currentIndex(), -1); });
    tap(1052);
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("01"));
}

class LeadingSpaceSettings : public WindowTest {
protected:
    void prepare() override { writeFile(QStringLiteral("config.dat"), " 1"); }
};

TEST_F(LeadingSpaceSettings, VisualResponseSwitchedOffStaysOffAfterARestart)
{
    whenOptionsOpen([](OptionsDialog *dialog) { dialog->lightCheck()->setChecked(false); });
    tap(1052);
    window.reset();
    window = std::make_unique<KeyboardDialog>(fake.services());
    window->OnInitDialog();
    EXPECT_EQ(window->settings().lightFlag(), 0);
    EXPECT_EQ(window->settings().soundIndex(), 0);
}

TEST_F(SoundSettings, CorrectTypingErrorsIsKeptAsAFourthCharacter)
{
    whenOptionsOpen([](OptionsDialog *dialog) {
        EXPECT_FALSE(dialog->correctionCheck()->isChecked());
        EXPECT_EQ(dialog->correctionCheck()->text(), QStringLiteral("Correct typing errors"));
        dialog->correctionCheck()->click();
    });
    tap(1052);
    EXPECT_EQ(window->settings().correctionFlag(), 1);
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("3001"));
    window.reset();
    window = std::make_unique<KeyboardDialog>(fake.services());
    window->OnInitDialog();
    EXPECT_EQ(window->settings().correctionFlag(), 1);
    EXPECT_EQ(window->settings().completionFlag(), 0);
    whenOptionsOpen([](OptionsDialog *dialog) {
        EXPECT_TRUE(dialog->correctionCheck()->isChecked());
        dialog->correctionCheck()->click();
    });
    tap(1052);
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("30"));
}

TEST_F(SoundSettings, HelpOpensThePageOrSaysItFailed)
{
    tap(1048);
    ASSERT_EQ(fake.shellRequests.size(), 1);
    EXPECT_EQ(fake.shellRequests[0].verb, QStringLiteral("open"));
    EXPECT_EQ(fake.shellRequests[0].file, appFolder() + QStringLiteral("/help.htm"));
    EXPECT_TRUE(fake.messages.isEmpty());

    fake.shellSucceeds = false;
    tap(1048);
    ASSERT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(fake.messages[0].text, QStringLiteral("Execute Failed!"));
    EXPECT_EQ(fake.messages[0].caption, QStringLiteral("Wendrel"));
    EXPECT_EQ(fake.messages[0].type, MessageType::Foreground);
}

// Keyboard mode on Wayland adds "Keep the keyboard shown"; the note pad's Options has no such box.
TEST(OptionsDialogBoxes, KeepShownOnlyWhereAskedFor)
{
    OptionsDialog plain(1, 1);
    EXPECT_EQ(plain.keepShownCheck(), nullptr);
    EXPECT_EQ(plain.findChild<QCheckBox *>(QStringLiteral("keepShownCheck")), nullptr);

    OptionsDialog panel(1, 1);
    QCheckBox *box = panel.addKeepShownBox(true);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(panel.findChild<QCheckBox *>(QStringLiteral("keepShownCheck")), box);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(panel.addKeepShownBox(false), box) << "asked twice, still one box";
    EXPECT_FALSE(box->isChecked());
}
