// Keyboard mode's panel without a window system of its own (offscreen): its geometry on
// screens of several sizes, the keys where the documented formula puts them, taps that type
// into the other program through a KeyOutput, the dock asked for before the panel is shown,
// the focus given back around a dialog, and Exit.
#include "FakePlatform.h"
#include "KeyboardPanel.h"
#include "KeyboardView.h"
#include "PanelDesktop.h"
#include "PanelGeometry.h"
#include "RecordingOutput.h"
#include "TypingSession.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace wendrel;
using wendrel::test::FakePlatform;

namespace {

TEST(PanelGeometry, LargestQuarterStepWithinTheWidthAndHalfTheHeight)
{
    struct Case {
        QSize screen;
        qreal scale;
        QRect window;
        int layoutLeft;
    } cases[] = {
        {{1024, 768}, 1.25, {0, 439, 1024, 329}, 362},
        {{1920, 1080}, 2, {0, 554, 1920, 526}, 720},
        {{800, 600}, 1, {0, 337, 800, 263}, 280},
        {{480, 800}, 1.5, {0, 405, 480, 395}, 60},   // a portrait phone: the width decides
        {{240, 320}, 1, {0, 57, 240, 263}, 0},       // never below 1, even if taller than half
        {{1366, 768}, 1.25, {0, 439, 1366, 329}, 533},
    };
    for (const Case &c : cases) {
        const PanelGeometry g = PanelGeometry::forScreen(QRect(QPoint(), c.screen));
        EXPECT_EQ(g.scale, c.scale) << c.screen.width() << "x" << c.screen.height();
        EXPECT_EQ(g.window, c.window) << c.screen.width() << "x" << c.screen.height();
        EXPECT_EQ(g.layout.origin().x(), c.layoutLeft);
        // The formula: a layout point's place on the screen.
        const QPointF corner = g.toScreen(QPointF(0, 57));
        EXPECT_EQ(corner, QPointF(c.layoutLeft, c.window.y()));
        const QPointF bottomRight = g.toScreen(QPointF(240, 320));
        EXPECT_NEAR(bottomRight.y(), c.screen.height(), 0.5);
    }
    // A screen that does not start at the origin (a second monitor).
    const PanelGeometry second = PanelGeometry::forScreen(QRect(1024, 0, 1024, 768));
    EXPECT_EQ(second.window, QRect(1024, 439, 1024, 329));
    EXPECT_EQ(second.toScreen(QPointF(0, 57)), QPointF(1024 + 362, 439));
}

class FakeDesktop : public PanelDesktop {
public:
    void makeDock(QWidget *panel, int height) override
    {
        dockHeight = height;
        visibleAtDock = panel->isVisible();
    }
    quintptr activeWindow() override { return active; }
    void activate(quintptr window) override { activated.append(window); }

    int dockHeight = -1;
    bool visibleAtDock = true;
    quintptr active = 0x4200007;
    QList<quintptr> activated;
};

class Panel : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepare();
        panel = std::make_unique<KeyboardPanel>(fake.services(), desktop, output);
        panel->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    // A tap at a layout point, through the screen position the documented formula gives.
    void tapAt(QPointF layoutPoint)
    {
        const QPoint global = panel->geometryOnScreen().toScreen(layoutPoint).toPoint();
        KeyboardView &view = panel->keyboardView();
        const QPoint local = view.mapFromGlobal(global);
        QTest::mouseClick(&view, Qt::LeftButton, {}, local);
    }
    void tapKey(char16_t typed)
    {
        for (const KeyDef &key : keyTable()) {
            if (key.typed == typed) {
                tapAt(QPointF(key.rect.x + key.rect.width / 2.0, key.rect.y + key.rect.height / 2.0));
                return;
            }
        }
        FAIL() << "no key types " << int(typed);
    }

    virtual void prepare() {}

    FakePlatform fake;
    FakeDesktop desktop;
    RecordingOutput output;
    std::unique_ptr<KeyboardPanel> panel;
};

// With word completion on in the settings, as the note pad reads them: swipe typing is on.
class PanelWithCompletion : public Panel {
protected:
    void prepare() override
    {
        const QString folder = QFileInfo(fake.path()).path();
        qputenv("XDG_DATA_HOME", (folder + QStringLiteral("/data")).toUtf8());
        QFile settings(folder + QStringLiteral("/config.dat"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("111");
    }
    void TearDown() override
    {
        panel.reset();
        qunsetenv("XDG_DATA_HOME");
    }
    QPoint viewPoint(QChar letter) const
    {
        for (size_t i = 0; i < keyTable().size(); ++i) {
            if (keyTable()[i].typed == letter.unicode())
                return panel->keyboardView().fromLayout(TypingSession::keyCentre(int(i))).toPoint();
        }
        ADD_FAILURE() << "no key types " << int(letter.unicode());
        return {};
    }
    // Presses on the first letter and moves through the others, a few pixels at a time.
    void stroke(const QString &letters)
    {
        KeyboardView &view = panel->keyboardView();
        QTest::mousePress(&view, Qt::LeftButton, {}, viewPoint(letters[0]));
        for (qsizetype i = 1; i < letters.size(); ++i) {
            const QPointF from = viewPoint(letters[i - 1]), to = viewPoint(letters[i]);
            for (int s = 1; s <= 8; ++s) {
                const QPoint local = (from + (to - from) * (s / 8.0)).toPoint();
                QMouseEvent event(QEvent::MouseMove, local, view.mapToGlobal(local), Qt::NoButton, Qt::LeftButton, {});
                QCoreApplication::sendEvent(&view, &event);
            }
        }
        QTest::mouseRelease(&view, Qt::LeftButton, {}, viewPoint(letters.back()));
    }
};

TEST_F(Panel, IsADockAlongTheBottomMadeBeforeItIsShown)
{
    const PanelGeometry &g = panel->geometryOnScreen();
    EXPECT_EQ(desktop.dockHeight, g.window.height());
    EXPECT_FALSE(desktop.visibleAtDock) << "the window type and strut go on before the window is mapped";
    EXPECT_EQ(panel->geometry(), g.window);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowStaysOnTopHint);
    // Every key lies where the formula says (within a pixel of rounding).
    KeyboardView &view = panel->keyboardView();
    for (size_t i = 0; i < keyTable().size(); ++i) {
        const KeyRect &r = keyTable()[i].rect;
        const QPointF expected = g.toScreen(QPointF(r.x + r.width / 2.0, r.y + r.height / 2.0));
        const QPoint shown = view.mapToGlobal(view.keyRect(int(i)).center());
        EXPECT_NEAR(shown.x(), expected.x(), 1.5) << i;
        EXPECT_NEAR(shown.y(), expected.y(), 1.5) << i;
    }
}

TEST_F(Panel, TapsTypeIntoTheOtherProgram)
{
    for (char16_t ch : u"the ")
        if (ch)
            tapKey(ch);
    EXPECT_EQ(output.fieldText(), "The ");
    EXPECT_TRUE(panel->session().typesIntoOtherProgram());
}

TEST_F(Panel, TheFocusGoesBackAfterADialog)
{
    panel->leaveFullScreen(); // what a dialog's handler calls before it opens
    desktop.active = 0x99;    // the dialog has the focus now
    panel->enterFullScreen(); // ... and after it has closed
    EXPECT_EQ(desktop.activated, QList<quintptr>{0x4200007});
    panel->enterFullScreen(); // nothing remembered: nothing given back
    EXPECT_EQ(desktop.activated.size(), 1);
}

TEST_F(PanelWithCompletion, StrokesWriteWordsIntoTheOtherProgram)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->session().swipe() != nullptr; }, 20000))
        << "swipe typing follows the settings in keyboard mode too";
    QSignalSpy trail(&panel->keyboardView(), &KeyboardView::trailChanged); // the Wayland panel paints on it
    stroke(QStringLiteral("helo"));
    stroke(QStringLiteral("world"));
    EXPECT_EQ(output.fieldText(), "Hello world");
    EXPECT_GT(trail.size(), 0);
}

TEST_F(Panel, ExitClosesThePanelAtOnce)
{
    QSignalSpy exit(panel.get(), &KeyboardPanel::exitRequested);
    panel->session().tapKey(keyIndexByRole(KeyRole::Exit));
    EXPECT_EQ(exit.size(), 1);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(output.sends().isEmpty());
}

} // namespace
