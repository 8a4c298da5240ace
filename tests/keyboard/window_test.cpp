// Visual response, focus keeping and the watchdog in the real window.
#include "WindowFixture.h"

#include <QImage>

using namespace wendrel;
using namespace wendrel::test;

class Window : public WindowTest {
protected:
    QColor faceOf(int id)
    {
        const QRect key = window->keyboardView().keyRect(keyIndexById(id));
        const QImage picture = window->keyboardView().grab(key).toImage();
        return picture.pixelColor(key.width() / 2, 3);
    }
};

TEST_F(Window, TappedKeyLightsThenGoesDarkAfterTheLitTimer)
{
    tap(1007); // "h"
    EXPECT_EQ(window->session().isLit(keyIndexById(1007)), true);
    EXPECT_EQ(faceOf(1007), QColor(255, 255, 155));
    EXPECT_TRUE(window->isTimerRunning(KeyboardDialog::litTimer));
    QTest::qWait(150);
    EXPECT_EQ(window->session().isLit(keyIndexById(1007)), false);
    EXPECT_EQ(faceOf(1007), QColor(88, 163, 166));
    EXPECT_FALSE(window->isTimerRunning(KeyboardDialog::litTimer));
}

TEST_F(Window, FnShowsLitThenItsModeColourThenItsFace)
{
    tap(1062);
    EXPECT_EQ(faceOf(1062), QColor(255, 255, 155));
    QTest::qWait(150);
    EXPECT_EQ(faceOf(1062), QColor(211, 80, 255));
    tap(1062);
    QTest::qWait(150);
    EXPECT_EQ(faceOf(1062), QColor(211, 80, 80));
}

TEST_F(Window, CommandKeysNeverLight)
{
    tap(1048); // Help: the fake shell succeeds
    EXPECT_EQ(window->session().isLit(keyIndexById(1048)), false);
    EXPECT_FALSE(window->isTimerRunning(KeyboardDialog::litTimer));
}

TEST_F(Window, HoldingAKeyKeepsTheFocusInTheTextAreaAndClearsItsLook)
{
    const int e = keyIndexById(1004);
    QTest::mousePress(&window->keyboardView(), Qt::LeftButton, {}, keyCentre(1004));
    EXPECT_TRUE(window->session().hasDefaultLook(e));
    EXPECT_TRUE(window->keyboardView().look(e).defaultLook);
    EXPECT_EQ(window->keyboardView().downKey(), e);
    EXPECT_TRUE(window->isTimerRunning(KeyboardDialog::focusTimer));
    QTest::qWait(150);
    EXPECT_FALSE(window->session().hasDefaultLook(e));
    EXPECT_EQ(QApplication::focusWidget(), window->textArea().widget());
    QTest::mouseRelease(&window->keyboardView(), Qt::LeftButton, {}, keyCentre(1004));
    EXPECT_FALSE(window->isTimerRunning(KeyboardDialog::focusTimer));
}

TEST_F(Window, WatchdogRestoresTheControlsWhenTheWindowIsInFront)
{
    window->activateWindow();
    tap(1048); // Help hides the controls and leaves them to the watchdog
    EXPECT_FALSE(window->controlsShown());
    ASSERT_EQ(fake.shellRequests.size(), 1);
    EXPECT_EQ(fake.shellRequests[0].file, appFolder() + QStringLiteral("/help.htm"));
    EXPECT_EQ(fake.shellRequests[0].verb, QStringLiteral("open"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->controlsShown(); }, 1000));
    EXPECT_TRUE(window->textArea().widget()->isVisible());
    EXPECT_TRUE(window->keyboardView().isVisible());
}

TEST_F(Window, EscapeDoesNotEndTheProgram)
{
    QTest::keyClick(window->textArea().widget(), Qt::Key_Escape);
    settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(fake.exitStatuses.isEmpty());
}

TEST_F(Window, TappingTheBlankWindowBringsTheKeysBack)
{
    tap(1048);
    ASSERT_FALSE(window->controlsShown());
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(120, 160));
    EXPECT_TRUE(window->controlsShown());
}
