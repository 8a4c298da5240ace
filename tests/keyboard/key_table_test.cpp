// The key table against the window built from it, and the colours the window paints.
#include "WindowFixture.h"

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

TEST_F(KeyboardLayout, WindowPlacesEveryKeyOfTheTable)
{
    const int s = window->layoutScale();
    ASSERT_EQ(s, 1) << "the offscreen desktop is 800 x 600";
    EXPECT_EQ(window->size(), QSize(240, 320));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Wendrel"));
    EXPECT_EQ(window->textArea().widget()->geometry(), QRect(5, 1, 230, 76));
    // A sans-serif face of (at most, and close to) 15-pixel cell height at normal weight.
    const QFont font = window->textArea().widget()->font();
    EXPECT_LE(QFontMetrics(font).height(), 15);
    EXPECT_GE(QFontMetrics(font).height(), 13);
    EXPECT_EQ(font.weight(), QFont::Normal);
    for (const KeyDef &def : keyTable()) {
        KeyButton *key = window->key(def.id);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->objectName(), QStringLiteral("key%1").arg(def.id));
        EXPECT_EQ(key->geometry(), QRect(def.rect.x, def.rect.y, def.rect.width, def.rect.height)) << def.id;
        EXPECT_TRUE(key->isVisible());
        const QString expected = def.role == KeyRole::Letter ? QString(QChar(def.typed)) : QString::fromUtf16(def.caption);
        EXPECT_EQ(key->caption(), expected) << def.id;
    }
}

// The colour of the rendered window inside each key's face, above its caption, and of the
// background around the keys.
TEST_F(KeyboardLayout, RenderedFacesHaveTheTableColours)
{
    const QImage picture = window->grab().toImage();
    for (const KeyDef &def : keyTable()) {
        const int centreX = std::min(def.rect.x + def.rect.width / 2, 238);
        const QColor pixel = picture.pixelColor(centreX, def.rect.y + 3);
        EXPECT_EQ(pixel, QColor(def.face.red, def.face.green, def.face.blue)) << def.id;
    }
    EXPECT_EQ(picture.pixelColor(2, 100), QColor(33, 22, 51)); // left of the upper block
    EXPECT_EQ(picture.pixelColor(0, 317), QColor(33, 22, 51)); // below the command row
}

TEST_F(KeyboardLayout, StartsWithTheInitialState)
{
    const KeyboardState &state = window->state();
    EXPECT_EQ(state.fnOn, 0);
    EXPECT_EQ(state.shiftOn, 0);
    EXPECT_EQ(state.capsOn, 0);
    EXPECT_EQ(state.typing, TypingState{});
    EXPECT_EQ(state.soundIndex, 1); // no config.dat
    EXPECT_EQ(state.lightFlag, 1);
    for (quint8 flag : state.litFlags)
        EXPECT_EQ(flag, 0);
    EXPECT_EQ(state.appFolder, appFolder());
    EXPECT_EQ(state.soundPaths[0], appFolder() + QStringLiteral("/sound1.wav"));
    EXPECT_EQ(state.soundPaths[4], appFolder() + QStringLiteral("/sound5.wav"));
    EXPECT_EQ(state.helpPath, appFolder() + QStringLiteral("/help.htm"));
    EXPECT_TRUE(text().isEmpty());
    EXPECT_TRUE(window->isTimerRunning(KeyboardDialog::watchdogTimer));
    EXPECT_FALSE(window->isTimerRunning(KeyboardDialog::litTimer));
    EXPECT_EQ(QApplication::focusWidget(), window->textArea().widget());
}

TEST(KeyboardScale, LargestWholeScaleThatFits)
{
    struct Case {
        QSize screen;
        bool fullScreen;
        int scale;
    } cases[] = {
        {{240, 320}, true, 1},   {{480, 640}, true, 2},   {{720, 1280}, true, 3},
        {{200, 300}, true, 1},   // never below 1
        {{1920, 1080}, false, 2}, {{1366, 768}, false, 1}, {{3840, 2160}, false, 5}, {{800, 600}, false, 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KeyboardDialog::scaleFor(c.screen, c.fullScreen), c.scale) << c.screen.width() << "x" << c.screen.height();
}
