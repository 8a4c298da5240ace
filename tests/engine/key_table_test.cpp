// The key table against the window built from it, and the colours the window paints.
#include "Fonts.h"
#include "ScaledLayout.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QSet>

using namespace wendrel;
using namespace wendrel::test;

TEST(KeyTable, HasEveryKeyOnceWithItsGroupSizes)
{
    const auto table = keyTable();
    ASSERT_EQ(table.size(), 66u);
    QSet<int> ids;
    int letters = 0, shiftKeys = 0;
    for (const KeyDef &key : table) {
        ids.insert(key.id);
        letters += key.role == KeyRole::Letter;
        shiftKeys += key.role == KeyRole::ShiftKey;
    }
    EXPECT_EQ(ids.size(), 66);
    EXPECT_EQ(letters, 26);
    EXPECT_EQ(shiftKeys, 20);
    // Letter IDs follow the alphabet: A to I are 1000 to 1008, J to Z 1010 to 1026.
    for (char16_t ch = u'A'; ch <= u'Z'; ++ch) {
        const int id = ch <= u'I' ? 1000 + (ch - u'A') : 1010 + (ch - u'J');
        const int index = keyIndexById(id);
        ASSERT_GE(index, 0);
        EXPECT_EQ(table[size_t(index)].shifted, ch);
    }
}

TEST(KeyTable, KeysThatNeverLight)
{
    for (const KeyDef &key : keyTable()) {
        const bool never = key.id == 1087 || key.id == 1051 || key.id == 1052 || key.id == 2001 || key.id == 1048;
        EXPECT_EQ(key.lights, !never) << key.id;
    }
}

class KeyboardLayout : public WindowTest {};

// A layout rectangle at a scale, its edges rounded to whole pixels.
QRect scaled(KeyRect r, qreal s)
{
    const int left = qRound(r.x * s), top = qRound(r.y * s);
    return QRect(left, top, qRound((r.x + r.width) * s) - left, qRound((r.y + r.height) * s) - top);
}

TEST_F(KeyboardLayout, WindowPlacesEveryKeyOfTheTable)
{
    const qreal s = window->layoutScale();
    ASSERT_EQ(s, 1.75) << "the offscreen desktop is 800 x 800, three quarters of which hold the layout 1.875 times";
    EXPECT_EQ(window->size(), QSize(420, 560));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Wendrel"));
    EXPECT_EQ(window->textArea().widget()->geometry(), QRect(9, 2, 402, 133));
    // A sans-serif face of (at most, and close to) 15 layout pixels of cell height at normal weight.
    const QFont font = window->textArea().widget()->font();
    EXPECT_LE(QFontMetrics(font).height(), 26);
    EXPECT_GE(QFontMetrics(font).height(), 23);
    EXPECT_EQ(font.weight(), QFont::Normal);
    const KeyboardView &view = window->keyboardView();
    EXPECT_TRUE(view.isVisible());
    for (const KeyDef &def : keyTable()) {
        const int index = keyIndexById(def.id);
        EXPECT_EQ(QRect(view.mapTo(window.get(), view.keyRect(index).topLeft()), view.keyRect(index).size()),
                  scaled(def.rect, s)) << def.id;
        const QString expected = def.role == KeyRole::Letter ? QString(QChar(def.typed)) : QString::fromUtf16(def.caption);
        EXPECT_EQ(view.look(index).caption, expected) << def.id;
        EXPECT_EQ(spokenName(def.id), expected) << def.id;
    }
}

// The colour of the rendered window inside each key's face, above its caption, and of the
// background around the keys.
TEST_F(KeyboardLayout, RenderedFacesHaveTheTableColours)
{
    const QImage picture = window->grab().toImage();
    for (const KeyDef &def : keyTable()) {
        const QRect r = scaled(def.rect, window->layoutScale());
        const QColor pixel = picture.pixelColor(std::min(r.center().x(), picture.width() - 2), r.top() + 3);
        EXPECT_EQ(pixel, QColor(def.face.red, def.face.green, def.face.blue)) << def.id;
    }
    EXPECT_EQ(picture.pixelColor(2, 175), QColor(33, 22, 51)); // left of the upper block
    EXPECT_EQ(picture.pixelColor(0, 557), QColor(33, 22, 51)); // below the command row
}

TEST_F(KeyboardLayout, StartsWithTheInitialState)
{
    const TypingSession &session = window->session();
    EXPECT_FALSE(session.fnOn());
    EXPECT_FALSE(session.shiftOn());
    EXPECT_FALSE(session.capsOn());
    EXPECT_EQ(session.typingState(), TypingState{});
    EXPECT_EQ(window->settings().soundIndex(), 1); // no config.dat
    EXPECT_EQ(window->settings().lightFlag(), 1);
    for (int i = 0; i < TypingSession::keyCount; ++i)
        EXPECT_FALSE(session.isLit(i));
    EXPECT_EQ(window->settings().settingsFolder(), appFolder());
    EXPECT_EQ(window->settings().soundPath(1), appFolder() + QStringLiteral("/sound1.wav"));
    EXPECT_EQ(window->settings().soundPath(5), appFolder() + QStringLiteral("/sound5.wav"));
    EXPECT_EQ(window->settings().helpPath(), appFolder() + QStringLiteral("/help.htm"));
    EXPECT_TRUE(text().isEmpty());
    EXPECT_TRUE(window->isTimerRunning(KeyboardDialog::watchdogTimer));
    EXPECT_FALSE(window->isTimerRunning(KeyboardDialog::litTimer));
    EXPECT_EQ(QApplication::focusWidget(), window->textArea().widget());
}

TEST(KeyboardScale, LargestQuarterStepThatFits)
{
    struct Case {
        QSize screen;
        bool fullScreen;
        qreal scale;
    } cases[] = {
        {{240, 320}, true, 1},    {{480, 640}, true, 2},     {{720, 1280}, true, 3},
        {{800, 480}, true, 1.5},  {{320, 480}, true, 1.25},  {{600, 800}, true, 2.5},
        {{200, 300}, true, 1},    // never below 1
        {{1920, 1080}, false, 2.5}, {{1366, 768}, false, 1.75}, {{3840, 2160}, false, 5}, {{800, 600}, false, 1.25},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KeyboardDialog::scaleFor(c.screen, c.fullScreen), c.scale) << c.screen.width() << "x" << c.screen.height();
}

// Keys that touch in the layout touch on the screen at every scale: no gap, no overlap.
TEST(KeyboardScale, NeighbouringKeysNeitherOverlapNorLeaveGaps)
{
    for (qreal s : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
        const ScaledLayout layout = ScaledLayout::centredOn(QSize(800, 480), s);
        const auto table = keyTable();
        for (const KeyDef &a : table) {
            const QRect ra = layout.rect(a.rect);
            for (const KeyDef &b : table) {
                if (&a == &b)
                    continue;
                const QRect rb = layout.rect(b.rect);
                EXPECT_FALSE(ra.intersects(rb)) << s << ": " << a.id << " overlaps " << b.id;
                const bool rowNeighbours = a.rect.x + a.rect.width == b.rect.x && a.rect.y < b.rect.y + b.rect.height
                    && b.rect.y < a.rect.y + a.rect.height;
                if (rowNeighbours) {
                    EXPECT_EQ(ra.right() + 1, rb.left()) << s << ": gap between " << a.id << " and " << b.id;
                }
                const bool columnNeighbours = a.rect.y + a.rect.height == b.rect.y && a.rect.x < b.rect.x + b.rect.width
                    && b.rect.x < a.rect.x + a.rect.width;
                if (columnNeighbours) {
                    EXPECT_EQ(ra.bottom() + 1, rb.top()) << s << ": gap between " << a.id << " and " << b.id;
                }
            }
        }
    }
}

// Every caption a key can show fits inside it, clear of its border, at every scale.
TEST(KeyboardScale, CaptionsFitTheirKeysAtEveryScale)
{
    for (qreal s : {1.0, 1.25, 1.5, 2.0, 3.0}) {
        const ScaledLayout layout(s, QPoint());
        const QFont font = captionFont(layout, QApplication::font());
        ASSERT_GT(font.pixelSize(), 0);
        const QFontMetrics metrics(font);
        EXPECT_GE(font.pixelSize(), qRound(9 * s)) << s << ": captions readable";
        for (const KeyDef &key : keyTable()) {
            const QRect r = layout.rect(key.rect);
            EXPECT_LE(metrics.height(), r.height() - 2 * layout.length(captionMarginY)) << s << ": " << key.id;
            for (int state = 0; state < 8; ++state) {
                const QString caption = keyCaption(key, state & 1, state & 2, state & 4);
                EXPECT_LE(metrics.horizontalAdvance(caption), r.width() - 2 * layout.length(captionMarginX))
                    << s << ": \"" << caption.toStdString() << "\" in key " << key.id;
            }
        }
    }
}

// The window is shown only once its keys are placed and visible, so its first picture is the
// keyboard, not an empty background that the keys fill in later.
TEST(KeyboardStartUp, WindowAppearsWithItsKeysInPlace)
{
    struct FirstShow : QObject {
        KeyboardDialog *window = nullptr;
        bool shown = false, keysReady = false;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (watched == window && event->type() == QEvent::Show && !shown) {
                shown = true;
                const KeyboardView &keys = window->keyboardView();
                keysReady = keys.isVisibleTo(window) && keys.keyRect(keyIndexById(1007)).width() > 0
                    && window->textArea().widget()->isVisibleTo(window);
            }
            return false;
        }
    } probe;
    FakePlatform fake;
    KeyboardDialog window(fake.services());
    probe.window = &window;
    window.installEventFilter(&probe);
    window.OnInitDialog();
    EXPECT_TRUE(probe.shown);
    EXPECT_TRUE(probe.keysReady);
}
