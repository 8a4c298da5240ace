// Swipe typing in the real window: with word completion on, mouse strokes over the keys write
// "Hello world", a trail follows the stroke over the keys and fades out after it, and the option
// in Options switches it off.
#include "FileBytes.h"
#include "OptionsDialog.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QImage>
#include <QTimer>

using namespace wendrel;
using namespace wendrel::test;

namespace {

class SwipeWindow : public WindowTest {
protected:
    void prepare() override
    {
        qputenv("XDG_DATA_HOME", (appFolder() + QStringLiteral("/data")).toUtf8());
        writeFile(QStringLiteral("config.dat"), "111"); // completion on: swipe typing with it
    }
    // The decoder is built on a thread of its own after the strip's first paint.
    bool swipeReady() const
    {
        return QTest::qWaitFor([&] { return window->session().swipe() != nullptr; }, 20000);
    }
    KeyboardView &view() const { return window->keyboardView(); }
    QPoint viewPoint(QPointF layoutPoint) const { return view().fromLayout(layoutPoint).toPoint(); }
    static QPointF centre(QChar letter) { return TypingSession::keyCentre(keyIndexById(idForChar(letter))); }

    void press(QPointF layoutPoint) { QTest::mousePress(&view(), Qt::LeftButton, {}, viewPoint(layoutPoint)); }
    void move(QPointF layoutPoint)
    {
        const QPoint local = viewPoint(layoutPoint);
        QMouseEvent event(QEvent::MouseMove, local, view().mapToGlobal(local), Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&view(), &event);
    }
    void release(QPointF layoutPoint)
    {
        QTest::mouseRelease(&view(), Qt::LeftButton, {}, viewPoint(layoutPoint));
        settle();
    }
    // Presses on the first letter and moves through the others, a few pixels at a time.
    void strokeWithoutRelease(const QString &letters)
    {
        press(centre(letters[0]));
        for (qsizetype i = 1; i < letters.size(); ++i) {
            const QPointF from = centre(letters[i - 1]), to = centre(letters[i]);
            for (int s = 1; s <= 8; ++s)
                move(from + (to - from) * (s / 8.0));
        }
        settle();
    }
    void stroke(const QString &letters)
    {
        strokeWithoutRelease(letters);
        release(centre(letters.back()));
    }
};

class SwipeOff : public SwipeWindow {
protected:
    void prepare() override
    {
        SwipeWindow::prepare();
        writeFile(QStringLiteral("config.dat"), "11100");
    }
};

// How far a pixel is from the trail's colour.
int distanceFromTrail(QRgb pixel)
{
    return std::abs(qRed(pixel) - litColour.red) + std::abs(qGreen(pixel) - litColour.green)
        + std::abs(qBlue(pixel) - litColour.blue);
}

} // namespace

TEST_F(SwipeWindow, TwoStrokesWriteHelloWorld)
{
    ASSERT_TRUE(swipeReady());
    stroke(QStringLiteral("helo"));
    EXPECT_EQ(text(), QStringLiteral("Hello"));
    stroke(QStringLiteral("world"));
    EXPECT_EQ(text(), QStringLiteral("Hello world"));
    // The strip offers the stroke's other words.
    EXPECT_FALSE(window->session().candidates().isEmpty());
}

TEST_F(SwipeWindow, ATrailFollowsTheStrokeOverTheKeysAndIsGoneAfterIt)
{
    ASSERT_TRUE(swipeReady());
    // Half way from E to L the line crosses the middle row of letters.
    const QPointF between = (centre(u'e') + centre(u'l')) / 2;
    const QPoint at = viewPoint(between);
    QTest::qWait(100);
    const QImage before = view().grab().toImage();
    strokeWithoutRelease(QStringLiteral("helo"));
    const QImage during = view().grab().toImage();
    const QRgb trailPixel = during.pixel(at * during.devicePixelRatio());
    EXPECT_LT(distanceFromTrail(trailPixel), distanceFromTrail(before.pixel(at * before.devicePixelRatio())));
    EXPECT_FALSE(view().trail().isEmpty());
    // The captions stay readable: the trail is thin, a key's caption away from it is untouched.
    const QPoint aside = viewPoint(centre(u'z'));
    EXPECT_EQ(during.pixel(aside * during.devicePixelRatio()), before.pixel(aside * before.devicePixelRatio()));
    release(centre(u'o'));
    // After the release the trail fades out within a moment, and then nothing repaints it.
    EXPECT_FALSE(view().trail().isEmpty());
    EXPECT_TRUE(view().isTrailFading());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view().trail().isEmpty() && !view().isTrailFading(); },
                                10 * KeyboardView::trailEndMs));
    QTest::qWait(100); // the keys' light goes
    const QImage after = view().grab().toImage();
    EXPECT_EQ(after.pixel(at * after.devicePixelRatio()), before.pixel(at * before.devicePixelRatio()));
    EXPECT_EQ(text(), QStringLiteral("Hello"));
}

TEST_F(SwipeOff, WithTheOptionOffAStrokeTypesNothingAndTheOptionSwitchesItOn)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->session().completion() != nullptr; }, 20000));
    stroke(QStringLiteral("helo"));
    EXPECT_EQ(text(), QString());
    EXPECT_TRUE(view().trail().isEmpty());
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<OptionsDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->swipeCheck()->isEnabled());
        EXPECT_FALSE(dialog->swipeCheck()->isChecked());
        dialog->swipeCheck()->click();
        dialog->close();
    });
    tap(1052); // Options
    EXPECT_EQ(fileBytes(appFolder() + QStringLiteral("/config.dat")), QByteArray("111"));
    ASSERT_TRUE(swipeReady());
    stroke(QStringLiteral("helo"));
    EXPECT_EQ(text(), QStringLiteral("Hello"));
}
