// The keyboard view alone: where presses land in the layout, what a touch reports, what is
// repainted, what the keys look like, and what screen readers see.
#include "KeyboardView.h"
#include "SessionClock.h"

#include <QAccessible>
#include <QImage>
#include <QPointingDevice>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

using namespace wendrel;

namespace {

int indexOf(int id)
{
    return keyIndexById(id);
}

QPointF layoutCentre(int keyIndex)
{
    const KeyRect r = keyTable()[size_t(keyIndex)].rect;
    return QPointF(r.x + r.width / 2.0, r.y + r.height / 2.0);
}

class View : public ::testing::Test {
protected:
    void SetUp() override { open(ScaledLayout(1, QPoint())); }

    void open(const ScaledLayout &layout)
    {
        view = std::make_unique<KeyboardView>();
        view->setLookSource([this](int key) {
            ++looks[key];
            const KeyDef &def = keyTable()[size_t(key)];
            return KeyLook{captions.value(key, keyCaption(def, false, false, false)), faces.value(key, def.face),
                           defaultLooks.contains(key)};
        });
        view->setScaledLayout(layout);
        view->resize(view->sizeHint());
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        QCoreApplication::processEvents();
        looks.clear();
    }

    // A pixel of a key, as 8-bit red, green and blue.
    QColor pixel(int keyIndex, int dx, int dy)
    {
        const QRect key = view->keyRect(keyIndex);
        return QColor(view->grab(key).toImage().pixel(dx, dy));
    }

    std::unique_ptr<KeyboardView> view;
    std::map<int, int> looks; // how often each key's look was asked for
    QHash<int, QString> captions;
    QHash<int, Rgb> faces;
    QSet<int> defaultLooks;
};

TEST_F(View, AClickAtAKeysCentreReportsThatPointOfTheLayoutAtEveryScale)
{
    for (const qreal scale : {1.0, 1.5, 2.0}) {
        open(ScaledLayout(scale, QPoint(7, 11)));
        QSignalSpy pressed(view.get(), &KeyboardView::pressed);
        QSignalSpy released(view.get(), &KeyboardView::released);
        for (size_t i = 0; i < keyTable().size(); ++i) {
            const QPoint centre = view->keyRect(int(i)).center();
            QTest::mouseClick(view.get(), Qt::LeftButton, {}, centre);
            ASSERT_EQ(pressed.size(), 1) << scale << " key " << keyTable()[i].id;
            ASSERT_EQ(released.size(), 1);
            const QPointF atPress = pressed.takeFirst().at(0).toPointF();
            EXPECT_EQ(released.takeFirst().at(0).toPointF(), atPress);
            // Within a pixel of the screen of the key's own centre.
            const QPointF offset = atPress - layoutCentre(int(i));
            EXPECT_LE(std::abs(offset.x()), 1 / scale + 1e-9) << scale << " key " << keyTable()[i].id;
            EXPECT_LE(std::abs(offset.y()), 1 / scale + 1e-9) << scale << " key " << keyTable()[i].id;
            EXPECT_EQ(view->keyAt(view->fromLayout(atPress).toPoint()), int(i));
        }
    }
}

TEST_F(View, ATouchThatSlidesIsOnePressMovesAndOneRelease)
{
    QPointingDevice *touchScreen = QTest::createTouchDevice();
    QSignalSpy pressed(view.get(), &KeyboardView::pressed);
    QSignalSpy moved(view.get(), &KeyboardView::moved);
    QSignalSpy released(view.get(), &KeyboardView::released);
    const int space = indexOf(2004), enter = indexOf(1031);
    const QPoint from = view->keyRect(space).center(), to = view->keyRect(enter).center();

    QTest::touchEvent(view.get(), touchScreen).press(0, from);
    EXPECT_EQ(view->downKey(), space);
    QTest::touchEvent(view.get(), touchScreen).move(0, to).press(1, from); // a second finger is ignored
    EXPECT_EQ(view->downKey(), -1); // slid off the pressed key, as a push button is
    QTest::touchEvent(view.get(), touchScreen).release(0, to).stationary(1);
    QTest::touchEvent(view.get(), touchScreen).release(1, from);
    // A mouse event made from that touch by the system comes after it and is not a second tap.
    QMouseEvent synthesized(QEvent::MouseButtonPress, QPointF(from), view->mapToGlobal(QPointF(from)),
                            Qt::LeftButton, Qt::LeftButton, {}, touchScreen);
    QCoreApplication::sendEvent(view.get(), &synthesized);
    QCoreApplication::processEvents();

    ASSERT_EQ(pressed.size(), 1);
    EXPECT_EQ(pressed[0][0].toPointF(), view->toLayout(from));
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved[0][0].toPointF(), view->toLayout(to));
    ASSERT_EQ(released.size(), 1);
    EXPECT_EQ(released[0][0].toPointF(), view->toLayout(to));
    EXPECT_EQ(view->downKey(), -1);
}

TEST_F(View, OnlyTheKeysThatChangedAreRepainted)
{
    const int h = indexOf(1007), shift = indexOf(2003);
    faces[h] = litColour;
    view->updateKeys({h, shift});
    QCoreApplication::processEvents();
    EXPECT_EQ(looks, (std::map<int, int>{{h, 1}, {shift, 1}}));
    EXPECT_EQ(pixel(h, 12, 3), QColor(255, 255, 155));

    looks.clear();
    QTest::mousePress(view.get(), Qt::LeftButton, {}, view->keyRect(h).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(looks, (std::map<int, int>{{h, 1}})) << "the pressed key alone";
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, view->keyRect(h).center());
}

TEST_F(View, KeysLookAsTheirButtonsDid)
{
    const int e = indexOf(1004), exitKey = indexOf(2001);
    const QColor face(120, 122, 166);
    EXPECT_EQ(pixel(e, 12, 3), face);
    EXPECT_EQ(pixel(e, 12, 0), QColor(face.darker(170).rgb())) << "the frame";
    EXPECT_EQ(pixel(e, 12, 1), face) << "no default frame";

    defaultLooks.insert(exitKey);
    view->updateKeys({exitKey});
    QTest::mousePress(view.get(), Qt::LeftButton, {}, view->keyRect(e).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(pixel(e, 12, 3), QColor(face.darker(115).rgb())) << "pressed";
    EXPECT_EQ(pixel(exitKey, 20, 1), QColor(Qt::black)) << "the default frame";
    EXPECT_EQ(pixel(exitKey, 20, 3), QColor(0, 196, 141));
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, view->keyRect(e).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(pixel(e, 12, 3), face);
    // Between the keys, the window's background.
    const QImage whole = view->grab().toImage();
    EXPECT_EQ(QColor(whole.pixel(3, 100)), QColor(33, 22, 51));
}

TEST_F(View, CellsAreDrawnOverTheKeysUntilTakenAway)
{
    open(ScaledLayout(2, QPoint()));
    const int g = indexOf(1006);
    const QRect key = view->keyRect(g);
    view->setCells({ViewCell{QStringLiteral("é"), QRectF(100, 200, 30, 25), litColour, false}});
    QCoreApplication::processEvents();
    const QImage shown = view->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(100 * 2 + 3, 200 * 2 + 3)), QColor(255, 255, 155)) << "the cell, at scale 2";
    EXPECT_EQ(QColor(shown.pixel(key.center().x(), key.top() + 3)), QColor(255, 255, 155)) << "over the key";
    view->setCells({});
    QCoreApplication::processEvents();
    EXPECT_EQ(QColor(view->grab().toImage().pixel(key.center().x(), key.top() + 3)), QColor(88, 156, 166)) << "the key again";
}

// A stroke's trail on the session's clock: each piece fades as it ages, so the older end goes
// while the finger rests; after the release the whole trail fades out, and the frames stop.
TEST_F(View, AStrokesTrailFadesWithTimeAndIsGoneSoonAfterTheRelease)
{
    ManualClock clock;
    view->setTrailClock(&clock);
    const auto letterCentre = [](char16_t letter) {
        for (size_t i = 0; i < keyTable().size(); ++i) {
            if (keyTable()[i].role == KeyRole::Letter && keyTable()[i].typed == letter)
                return layoutCentre(int(i));
        }
        return QPointF();
    };
    // From A to L along the middle row, a point every 10 ms.
    const QPointF from = letterCentre(u'a'), to = letterCentre(u'l');
    QList<TrailPoint> points;
    for (int i = 0; i <= 20; ++i)
        points.append({from + (to - from) * (i / 20.0), qint64(i) * 10});
    const QPoint oldEnd = view->fromLayout(from + (to - from) * 0.125).toPoint();
    const QPoint newEnd = view->fromLayout(from + (to - from) * 0.925).toPoint();
    const QImage plain = view->grab().toImage();
    const auto drawn = [&](QPoint at) { return view->grab().toImage().pixel(at) != plain.pixel(at); };

    clock.advance(200);
    view->setTrail(points);
    EXPECT_TRUE(drawn(oldEnd));
    EXPECT_TRUE(drawn(newEnd));
    EXPECT_TRUE(view->isTrailFading());
    // The finger rests: no new point, and the older end fades out with time alone.
    clock.advance(KeyboardView::trailFadeMs - 150);
    EXPECT_FALSE(drawn(oldEnd));
    EXPECT_TRUE(drawn(newEnd));
    EXPECT_TRUE(view->isTrailFading());
    clock.advance(200);
    EXPECT_FALSE(drawn(newEnd));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isTrailFading(); }, 2000)) << "no frames once it is gone";
    EXPECT_TRUE(view->trail().isEmpty());

    // A new stroke, then the release: the trail fades out as a whole within trailEndMs.
    for (TrailPoint &p : points)
        p.time += clock.now();
    clock.advance(200);
    view->setTrail(points);
    const QRgb atRelease = view->grab().toImage().pixel(newEnd);
    view->endTrail();
    clock.advance(KeyboardView::trailEndMs / 2);
    const QRgb halfway = view->grab().toImage().pixel(newEnd);
    EXPECT_NE(halfway, atRelease) << "fainter";
    EXPECT_TRUE(drawn(newEnd));
    EXPECT_FALSE(view->trail().isEmpty());
    // A press that is no stroke (the next touch) leaves the fading as it is.
    view->endTrail();
    clock.advance(KeyboardView::trailEndMs / 2);
    EXPECT_FALSE(drawn(newEnd));
    EXPECT_FALSE(drawn(oldEnd));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isTrailFading(); }, 2000));
    EXPECT_TRUE(view->trail().isEmpty());

    // An empty trail takes it away at once.
    view->setTrail(points);
    view->setTrail({});
    EXPECT_FALSE(view->isTrailFading());
    EXPECT_FALSE(drawn(newEnd));
}

TEST_F(View, ScreenReadersSeeEachKeyAsANamedPushButtonThatTaps)
{
    QAccessibleInterface *keyboard = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(keyboard, nullptr);
    ASSERT_EQ(keyboard->childCount(), 66);
    for (size_t i = 0; i < keyTable().size(); ++i) {
        QAccessibleInterface *key = keyboard->child(int(i));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->role(), QAccessible::Button);
        EXPECT_EQ(key->text(QAccessible::Name), keyCaption(keyTable()[i], false, false, false));
        EXPECT_FALSE(key->state().focusable) << "the text area keeps the focus";
        EXPECT_EQ(key->parent(), keyboard);
        EXPECT_EQ(keyboard->indexOfChild(key), int(i));
    }
    const int q = indexOf(1017), seven = indexOf(1038);
    QAccessibleInterface *qKey = keyboard->child(q);
    EXPECT_EQ(keyboard->childAt(qKey->rect().center().x(), qKey->rect().center().y()), qKey);

    // The press action taps, from the event loop.
    QAccessibleActionInterface *action = qKey->actionInterface();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    QSignalSpy tapped(view.get(), &KeyboardView::keyTapped);
    action->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(tapped.size(), 0);
    ASSERT_TRUE(tapped.wait(1000));
    EXPECT_EQ(tapped[0][0].toInt(), q);

    // Names follow the captions. (Screen readers are also told of the change, but Qt lets
    // a program see those events only where a screen reader is listening.)
    captions[seven] = QStringLiteral("&");
    view->updateKeys({seven});
    EXPECT_EQ(keyboard->child(seven)->text(QAccessible::Name), QStringLiteral("&"));
    // A caption source of its own keeps the look source (and its colour rule) to painting.
    view->setCaptionSource([](int) { return QStringLiteral("*"); });
    looks.clear();
    EXPECT_EQ(keyboard->child(seven)->text(QAccessible::Name), QStringLiteral("*"));
    EXPECT_TRUE(looks.empty());

    view->hide();
    EXPECT_TRUE(qKey->state().invisible);
    const QAccessible::Id qId = QAccessible::uniqueId(qKey);
    view.reset();
    EXPECT_EQ(QAccessible::accessibleInterface(qId), nullptr) << "no key outlives its view";
}

} // namespace
