// Touches beyond a tap, from tables of touch sequences on a clock moved by hand: what the
// session is asked to do, in order.
#include "Alternates.h"
#include "KeyGestures.h"
#include "TypingSession.h"
#include "SessionClock.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

int keyNamed(QStringView name)
{
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (keyCaption(table[i], false, false, false) == name)
            return int(i);
    }
    return -1;
}

QPointF centreOf(int key)
{
    const KeyRect &r = keyTable()[size_t(key)].rect;
    return QPointF(r.x + r.width / 2.0, r.y + r.height / 2.0);
}

// The session as the gestures see it, writing down every request.
class RecordingHost : public KeyGestureHost {
public:
    int keyAt(QPointF point) const override { return TypingSession::keyAt(point); }
    TouchKind touchKind(int key) const override
    {
        const KeyDef &def = keyTable()[size_t(key)];
        if (def.typed == 8)
            return TouchKind::Repeating;
        if (def.typed == u' ')
            return TouchKind::CaretSlide;
        return keyAlternates(def, false, false, false).isEmpty() ? TouchKind::Plain : TouchKind::Alternates;
    }
    QStringList alternates(int key) const override
    {
        return keyAlternates(keyTable()[size_t(key)], false, false, false);
    }
    void tap(QPointF pressPoint, QPointF releasePoint) override
    {
        log << QStringLiteral("tap %1 %2").arg(name(keyAt(pressPoint)), name(keyAt(releasePoint)));
    }
    void tapKey(int key) override { log << "key " + name(key); }
    void typeAlternate(int key, const QString &text) override { log << "type " + text + " on " + name(key); }
    bool deleteBackward(DeleteStep step) override
    {
        static const char *const steps[] = {"first", "character", "word"};
        log << QStringLiteral("delete %1").arg(steps[int(step)]);
        deletable = std::max(0, deletable - 1);
        return deletable > 0;
    }
    void deletionEnded() override { log << "deletion ended"; }
    void slideCaret(int characters) override { log << QStringLiteral("caret %1").arg(characters); }
    void caretSlideEnded() override { log << "slide ended"; }
    void popupChanged() override { log << "popup changed"; }

    static QString name(int key)
    {
        return key < 0 ? QStringLiteral("none") : keyCaption(keyTable()[size_t(key)], false, false, false);
    }

    QStringList log;
    int deletable = 1000; // characters or words left before the caret
};

// A script of touches: "press e", "move e+3,-40" (a key's centre and an offset),
// "move 120,100" (a point), "move cell é" (a popup cell's centre), "release ...", "wait 400".
struct Runner {
    ManualClock clock;
    RecordingHost host;
    KeyGestures gestures{clock, host};

    QPointF point(const QString &where) const
    {
        const qsizetype plus = where.indexOf(u'+', 1);
        const QString base = plus < 0 ? where : where.left(plus);
        QPointF at = basePoint(base);
        if (plus >= 0) {
            const QStringList offset = where.mid(plus + 1).split(u',');
            at += QPointF(offset.value(0).toDouble(), offset.value(1).toDouble());
        }
        return at;
    }

    QPointF basePoint(const QString &base) const
    {
        if (base.startsWith(QStringLiteral("cell "))) {
            for (const PopupCell &cell : gestures.popup()) {
                if (cell.text == base.mid(5))
                    return cell.rect.center();
            }
            ADD_FAILURE() << "no popup cell " << base.toStdString();
            return {};
        }
        const int key = keyNamed(base);
        if (key >= 0)
            return centreOf(key);
        const QStringList xy = base.split(u',');
        return QPointF(xy.value(0).toDouble(), xy.value(1).toDouble());
    }

    void run(const QStringList &script)
    {
        for (const QString &line : script) {
            const QString verb = line.section(u' ', 0, 0);
            const QString argument = line.section(u' ', 1);
            if (verb == u"press")
                gestures.press(point(argument));
            else if (verb == u"move")
                gestures.move(point(argument));
            else if (verb == u"release")
                gestures.release(point(argument));
            else if (verb == u"wait")
                clock.advance(argument.toInt());
            else
                ADD_FAILURE() << "bad script line " << line.toStdString();
        }
    }
};

struct Case {
    const char *name;
    QStringList script;
    QStringList log;
};

void runCases(std::initializer_list<Case> cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Runner runner;
        runner.run(c.script);
        EXPECT_EQ(runner.host.log, c.log);
        EXPECT_TRUE(runner.gestures.popup().isEmpty());
        EXPECT_EQ(runner.clock.pending(), 0) << "no timer left running";
    }
}

QStringList repeated(const QString &line, int times)
{
    QStringList lines;
    for (int i = 0; i < times; ++i)
        lines << line;
    return lines;
}

} // namespace

TEST(KeyGestures, BackSpaceHeld)
{
    runCases({
        {"a tap deletes once", {"press BackSpace", "wait 60", "release BackSpace"},
         {"delete first", "deletion ended"}},
        {"just short of a hold", {"press BackSpace", "wait 399", "release BackSpace"},
         {"delete first", "deletion ended"}},
        {"a hold deletes again at 400 ms", {"press BackSpace", "wait 400", "release BackSpace"},
         {"delete first", "delete character", "deletion ended"}},
        {"then ten a second", {"press BackSpace", "wait 650", "release BackSpace"},
         QStringList{"delete first"} + repeated("delete character", 3) + QStringList{"deletion ended"}},
        {"ten characters, then words",
         {"press BackSpace", "wait 1200", "wait 99", "release BackSpace"},
         QStringList{"delete first"} + repeated("delete character", 9) + QStringList{"deletion ended"}},
        {"words from the eleventh deletion", {"press BackSpace", "wait 1500", "release BackSpace"},
         QStringList{"delete first"} + repeated("delete character", 9) + repeated("delete word", 3)
             + QStringList{"deletion ended"}},
        {"sliding off the key keeps deleting", {"press BackSpace", "move 20,20", "wait 500", "release 20,20"},
         {"delete first", "delete character", "delete character", "deletion ended"}},
    });
}

TEST(KeyGestures, BackSpaceStopsWhenNothingIsLeft)
{
    Runner runner;
    runner.host.deletable = 3;
    runner.run({"press BackSpace", "wait 2000"});
    EXPECT_EQ(runner.host.log, (QStringList{"delete first", "delete character", "delete character"}));
    EXPECT_EQ(runner.clock.pending(), 0);
    runner.run({"release BackSpace"});
    EXPECT_EQ(runner.host.log.last(), "deletion ended");
}

TEST(KeyGestures, LongPressOnALetter)
{
    runCases({
        {"a tap types the letter", {"press e", "wait 40", "release e"}, {"tap e e"}},
        {"a held letter does not repeat", {"press e", "wait 399", "release e"}, {"tap e e"}},
        {"a letter without alternates held", {"press q", "wait 2000", "release q"}, {"tap q q"}},
        {"moving away before the popup opens", {"press e", "move e+0,-20", "wait 500", "release e+0,-20"},
         {"tap e 0"}},
        {"moving within the key", {"press e", "move e+5,5", "wait 400", "release e"},
         {"popup changed", "popup changed", "key e"}},
        {"a slide onto a cell types it", {"press e", "wait 400", "move cell é", "release cell é"},
         {"popup changed", "popup changed", "popup changed", "type é on e"}},
        {"the third cell", {"press e", "wait 400", "move cell ê", "release cell ê"},
         {"popup changed", "popup changed", "popup changed", "type ê on e"}},
        {"across cells, release on the last", {"press a", "wait 400", "move cell á", "move cell ä", "release cell ä"},
         {"popup changed", "popup changed", "popup changed", "popup changed", "type ä on a"}},
        {"release on the key types its letter", {"press e", "wait 400", "move cell é", "move e", "release e"},
         {"popup changed", "popup changed", "popup changed", "popup changed", "key e"}},
        {"release outside the popup", {"press e", "wait 400", "release 200,300"}, {"popup changed", "popup changed", "key e"}},
        {"a digit's symbols", {"press 4", "wait 450", "move cell €", "release cell €"},
         {"popup changed", "popup changed", "popup changed", "type € on 4"}},
    });
}

TEST(KeyGestures, PopupCellsAndTheChosenOne)
{
    Runner runner;
    runner.run({"press o", "wait 399"});
    EXPECT_TRUE(runner.gestures.popup().isEmpty());
    runner.run({"wait 1"});
    ASSERT_EQ(runner.gestures.popup().size(), 7);
    EXPECT_EQ(runner.gestures.popup().first().text, "ó");
    EXPECT_EQ(runner.gestures.chosenCell(), -1);
    runner.run({"move cell ö"});
    EXPECT_EQ(runner.gestures.chosenCell(), 1);
    runner.run({"move cell ö+3,2"});
    EXPECT_EQ(runner.host.log.size(), 2) << "moving within the chosen cell changes nothing";
    runner.run({"release cell ö"});
    EXPECT_TRUE(runner.gestures.popup().isEmpty());
    EXPECT_EQ(runner.gestures.chosenCell(), -1);
}

TEST(KeyGestures, SlideOnSpace)
{
    runCases({
        {"a tap types a space", {"press Space", "wait 40", "release Space"}, {"tap Space Space"}},
        {"a held space is still a space", {"press Space", "wait 900", "release Space"}, {"tap Space Space"}},
        {"less than a step is a tap", {"press Space", "move Space+7.9,0", "release Space+7.9,0"},
         {"tap Space Space"}},
        {"one step left", {"press Space", "move Space+-8,0", "release Space+-8,0"}, {"caret -1", "slide ended"}},
        {"three steps right in one move", {"press Space", "move Space+25,0", "release Space+25,0"},
         {"caret 3", "slide ended"}},
        {"step by step", {"press Space", "move Space+-9,0", "move Space+-17,0", "move Space+-23,0", "release Space+-23,0"},
         {"caret -1", "caret -2", "slide ended"}},
        {"back to where it began types no space", {"press Space", "move Space+16,0", "move Space", "release Space"},
         {"caret 2", "caret 0", "slide ended"}},
        {"only the sideways part counts", {"press Space", "move Space+8,-60", "release Space+8,-60"},
         {"caret 1", "slide ended"}},
        {"off the key and beyond the layout", {"press Space", "move 500,280", "release 500,280"},
         {"caret 44", "slide ended"}},
    });
}

TEST(KeyGestures, PlainKeysAndOverlappingTouches)
{
    runCases({
        {"Enter held", {"press Enter", "wait 1000", "release Enter"}, {"tap Enter Enter"}},
        {"a gap between keys", {"press 3,150", "release 3,150"}, {"tap none none"}},
        {"release without press", {"release e"}, {}},
        {"a second press abandons the first touch", {"press e", "press q", "release e", "release q"}, {"tap q e"}},
        {"a second press ends a deletion run", {"press BackSpace", "wait 100", "press e", "wait 40", "release e"},
         {"delete first", "deletion ended", "tap e e"}},
        {"a second press closes the popup, choosing nothing",
         {"press e", "wait 400", "move cell è", "press Space", "release Space"},
         {"popup changed", "popup changed", "popup changed", "tap Space Space"}},
        {"a second press ends a slide", {"press Space", "move Space+8,0", "press e", "release e"},
         {"caret 1", "slide ended", "tap e e"}},
    });
}

TEST(KeyGestures, CancelForgetsTheTouch)
{
    Runner runner;
    runner.run({"press e", "wait 400"});
    runner.gestures.cancel();
    runner.run({"wait 1000", "release e"});
    EXPECT_EQ(runner.host.log, (QStringList{"popup changed", "popup changed"}));
    EXPECT_TRUE(runner.gestures.popup().isEmpty());
}
