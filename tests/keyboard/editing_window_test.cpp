// Holds, the long-press popup and slides on Space in the real window, by mouse events on its
// keys and real time: the popup drawn over the keys (and the text area), on top of everything.
#include "KeyboardView.h"
#include "PopupView.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QMouseEvent>

using namespace wendrel;
using namespace wendrel::test;

namespace {

class Editing : public WindowTest {
protected:
    // A point of the 240 x 320 layout in the window's pixels.
    QPoint windowPoint(QPointF layoutPoint) const
    {
        const ScaledLayout &layout = window->scaledLayout();
        return layout.origin() + (layoutPoint * layout.scale()).toPoint();
    }
    KeyboardView &view() const { return window->keyboardView(); }
    QPoint viewPoint(QPointF layoutPoint) const { return view().fromLayout(layoutPoint).toPoint(); }
    static QPointF centre(int id) { return TypingSession::keyCentre(keyIndexById(id)); }
    // A key's rectangle in the window's pixels.
    QRect keyRect(int id) const
    {
        const QRect r = view().keyRect(keyIndexById(id));
        return QRect(view().mapTo(window.get(), r.topLeft()), r.size());
    }

    // The parts of one touch, as the mouse gives them to the keys' view.
    void press(int id) { QTest::mousePress(&view(), Qt::LeftButton, {}, viewPoint(centre(id))); }
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
    QPointF cellCentre(const QString &text) const
    {
        for (const PopupCell &cell : window->session().popup()) {
            if (cell.text == text)
                return cell.rect.center();
        }
        ADD_FAILURE() << "no cell " << text.toStdString();
        return {};
    }
    PopupView *popup() const { return window->popupView(); }
    static QColor colourOf(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }
};

} // namespace

TEST_F(Editing, ALongPressShowsThePopupOnTopAndASlideTypesFromIt)
{
    ASSERT_FALSE(popup()->isVisible());
    press(1004); // e
    QTest::qWait(200);
    EXPECT_FALSE(popup()->isVisible()) << "not before 400 ms";
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup()->isVisible(); }, 2000));
    // Just above the key, the first cell over it, on top of every other control.
    EXPECT_EQ(popup()->geometry().bottom(), keyRect(1004).top()); // its frame's last row on the key's edge
    EXPECT_EQ(window->children().last(), popup());
    EXPECT_TRUE(window->rect().contains(popup()->geometry()));

    move(cellCentre(QStringLiteral("è")));
    settle();
    EXPECT_EQ(window->session().popupChosenCell(), 1);
    const QImage picture = window->grab().toImage();
    const QRect chosen = popup()->cellRect(window->session().popup()[1].rect);
    const QRect other = popup()->cellRect(window->session().popup()[3].rect);
    EXPECT_EQ(picture.pixelColor(chosen.topLeft() + QPoint(2, 2)), colourOf(litColour)) << "the chosen cell is lit";
    EXPECT_EQ(picture.pixelColor(other.topLeft() + QPoint(2, 2)), colourOf(keyTable()[size_t(keyIndexById(1004))].face));

    release(cellCentre(QStringLiteral("è")));
    EXPECT_FALSE(popup()->isVisible());
    EXPECT_EQ(text(), QStringLiteral("È")); // at the text's start the assistant capitalises
}

TEST_F(Editing, ScreenReadersSeeThePopupsCellsAndTheOneUnderTheFinger)
{
    press(1004); // e
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup()->isVisible(); }, 2000));
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(popup());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->role(), QAccessible::PopupMenu);
    const QList<PopupCell> cells = window->session().popup();
    ASSERT_EQ(menu->childCount(), cells.size());
    for (int i = 0; i < cells.size(); ++i) {
        QAccessibleInterface *item = menu->child(i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::MenuItem);
        EXPECT_EQ(item->text(QAccessible::Name), cells[i].text);
        const QRect onScreen = item->rect();
        EXPECT_EQ(menu->childAt(onScreen.center().x(), onScreen.center().y()), item) << "cell " << i;
        EXPECT_EQ(menu->indexOfChild(item), i);
    }
    QAccessibleInterface *grave = menu->child(1);
    EXPECT_FALSE(grave->state().selected);

    move(cellCentre(QStringLiteral("è")));
    settle();
    EXPECT_TRUE(grave->state().selected);
    move(cellCentre(QStringLiteral("é")));
    settle();
    EXPECT_FALSE(grave->state().selected);

    release(cellCentre(QStringLiteral("é")));
    EXPECT_EQ(menu->childCount(), 0) << "a closed popup offers nothing";
    EXPECT_FALSE(grave->isValid());
}

TEST_F(Editing, ThePopupOfAnUpperKeyLiesOverTheTextArea)
{
    press(1035); // 4
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup()->isVisible(); }, 2000));
    const QRect area = window->textArea().widget()->geometry();
    ASSERT_TRUE(popup()->geometry().intersects(area));
    const QRect first = popup()->cellRect(window->session().popup()[0].rect);
    const QPoint inside = QPoint(first.left() + 2, area.bottom() - 1);
    ASSERT_TRUE(first.contains(inside));
    EXPECT_EQ(window->grab().toImage().pixelColor(inside), colourOf(keyTable()[size_t(keyIndexById(1035))].face))
        << "drawn over the text area";
    release(centre(1035));
    EXPECT_EQ(text(), QStringLiteral("4"));
}

TEST_F(Editing, HeldBackSpaceRepeatsUntilReleased)
{
    setText(QStringLiteral("hello world, and more"), 21);
    press(1065);
    EXPECT_EQ(text(), QStringLiteral("hello world, and mor")) << "the first at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return text().size() <= 17; }, 3000)) << "then again and again";
    release(centre(1065));
    const QString left = text();
    QTest::qWait(400);
    EXPECT_EQ(text(), left) << "not after the release";
}

TEST_F(Editing, AHiddenKeyEndsItsHold)
{
    setText(QStringLiteral("hello world, and more"), 21);
    press(1065);
    ASSERT_TRUE(QTest::qWaitFor([&] { return text().size() <= 18; }, 3000));
    window->showControls(false); // a dialog in front: no release will come
    const QString left = text();
    QTest::qWait(400);
    EXPECT_EQ(text(), left);
    EXPECT_FALSE(window->session().currentTouch().down);
}

TEST_F(Editing, ASlideOnSpacePutsTheCaretWhereALetterIsMissing)
{
    type(QStringLiteral("helo"));
    press(2004);
    move(centre(2004) + QPointF(-5, 0));
    move(centre(2004) + QPointF(-9, 0));
    release(centre(2004) + QPointF(-9, 0));
    EXPECT_EQ(text(), QStringLiteral("Helo"));
    EXPECT_EQ(window->textArea().readSelection(), std::make_pair(qsizetype(3), qsizetype(3))) << "the text area follows";
    tap(1012); // l
    EXPECT_EQ(text(), QStringLiteral("Hello"));
}
