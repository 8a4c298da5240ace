// Swipe typing in the typing session, from touches as wendrel-type takes them, with the English
// model as the program uses it: which touches are word gestures, and the text and undo steps
// around a swiped word; and wendrel-type --completion itself.
#include "CompletionEngine.h"
#include "KeyTable.h"
#include "RecordingOutput.h"
#include "SessionScript.h"
#include "SwipeTyping.h"
#include "WordStroke.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

QPointF centreOf(QChar typed)
{
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].typed == typed.unicode() && (table[i].role == KeyRole::Letter || typed == u' ' || typed == u'\b'))
            return TypingSession::keyCentre(int(i));
    }
    ADD_FAILURE() << "no key for " << QString(typed).toStdString();
    return {};
}

QString point(QPointF p)
{
    return QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
}

// A stroke through the centres of these letters' keys as wendrel-type's events: a press, moves
// every 16 ms about a third of a key apart, and a release.
QString strokeEvents(const QString &letters)
{
    QStringList events{QStringLiteral("press ") + point(centreOf(letters[0]))};
    for (qsizetype i = 1; i < letters.size(); ++i) {
        const QPointF from = centreOf(letters[i - 1]), to = centreOf(letters[i]);
        const int steps = std::max(1, int(std::hypot(to.x() - from.x(), to.y() - from.y()) / 8));
        for (int s = 1; s <= steps; ++s) {
            events << QStringLiteral("wait 16") << QStringLiteral("move ") + point(from + (to - from) * (double(s) / steps));
        }
    }
    events << QStringLiteral("wait 16") << QStringLiteral("release ") + point(centreOf(letters.back()));
    return events.join(u'|');
}

std::unique_ptr<CompletionEngine> englishEngine()
{
    std::unique_ptr<CompletionEngine> engine = CompletionEngine::create(QStringLiteral(WENDREL_MODEL_FILE));
    EXPECT_TRUE(engine->isAvailable()) << engine->unavailableReason().toStdString();
    return engine;
}

class Swipe : public ::testing::Test {
protected:
    Swipe()
    {
        session().setCompletion(engine.get());
        session().setSwipe(&swipe);
    }
    void run(const QString &events)
    {
        for (const QString &line : events.split(u'|', Qt::SkipEmptyParts)) {
            const SessionScript::Result result = script.run(line);
            ASSERT_TRUE(result.error.isEmpty()) << line.toStdString() << ": " << result.error.toStdString();
        }
    }
    QString text() { return session().plainText(); }
    TypingSession &session() { return script.session(); }

    std::unique_ptr<CompletionEngine> engine = englishEngine();
    SwipeTyping swipe{*engine, std::make_shared<const Dictionary>(Dictionary::builtIn())};
    SessionScript script;
};

} // namespace

// Which touches make a stroke, from the points alone: H's key is 24 wide, from x 126 to 150.
TEST(WordStroke, OnlyATouchFromALetterThatReachesAnotherLetterIsAStroke)
{
    struct Move {
        double x, y;
        int key;     // under the finger
        bool letter;
    };
    const struct {
        const char *name;
        int pressKey;
        bool pressLetter;
        QPointF press;
        QList<Move> moves;
        bool stroke;
    } cases[] = {
        {"tap", 1, true, {138, 220}, {}, false},
        {"jitter on the key", 1, true, {138, 220}, {{141, 222, 1, true}, {136, 219, 1, true}}, false},
        {"jitter across the edge", 1, true, {147, 220}, {{151, 221, 2, true}, {146, 220, 1, true}, {152, 219, 2, true}}, false},
        {"to the next letter", 1, true, {138, 220}, {{150, 220, 2, true}, {158, 220, 2, true}}, true},
        {"off the letters only", 1, true, {138, 220}, {{138, 250, -1, false}, {138, 280, 7, false}}, false},
        {"from Space", 7, false, {148, 276}, {{120, 220, 1, true}, {160, 220, 2, true}}, false},
        {"from no key", -1, false, {3, 220}, {{120, 220, 1, true}, {160, 220, 2, true}}, false},
    };
    for (const auto &c : cases) {
        WordStroke stroke;
        stroke.press(c.press, 0, c.pressKey, c.pressLetter);
        qint64 time = 0;
        for (const Move &m : c.moves)
            stroke.move(QPointF(m.x, m.y), time += 16, m.key, m.letter);
        EXPECT_EQ(stroke.isStroke(), c.stroke) << c.name;
        stroke.release(c.moves.isEmpty() ? c.press : QPointF(c.moves.back().x, c.moves.back().y), time + 16);
        EXPECT_EQ(stroke.isStroke(), c.stroke) << c.name;
        if (c.stroke) {
            EXPECT_EQ(stroke.points().size(), c.moves.size() + 1) << c.name;
        }
        stroke.cancel();
        EXPECT_FALSE(stroke.isStroke());
        EXPECT_TRUE(stroke.points().isEmpty());
    }
}

// The same touches through the session with swipe typing on: taps, holds and slides as ever.
TEST_F(Swipe, TapsHoldsSlidesAndBackSpaceKeepWorking)
{
    const QPointF h = centreOf(u'h'), space = centreOf(u' '), e = centreOf(u'e');
    const QPointF backSpace = TypingSession::keyCentre(keyIndexById(1065));
    const struct {
        const char *name;
        QString start; // the text before, the caret at its end
        QString events;
        QString text;
        int caret;
    } cases[] = {
        {"tap", "", "press " + point(h) + "|wait 40|release " + point(h), "H", 1},
        {"jittery tap", "", "press 147 220|wait 16|move 152 221|wait 16|move 146 219|wait 16|move 151 220|wait 16|release 147 220",
         "H", 1},
        {"slide on Space over the letters", "ab cd", "press " + point(space) + "|wait 16|move " + point(space - QPointF(16, 0))
             + "|wait 16|move " + point(space - QPointF(16, 50)) + "|wait 16|release " + point(space - QPointF(16, 50)),
         "ab cd", 3},
        {"BackSpace dragged over the letters", "abc", "press " + point(backSpace) + "|wait 100|move " + point(e)
             + "|wait 16|move " + point(h) + "|wait 16|release " + point(h),
         "ab", 2},
    };
    for (const auto &c : cases) {
        run(QStringLiteral("reset"));
        session().insertText(c.start);
        run(c.events);
        EXPECT_EQ(text(), c.text) << c.name;
        EXPECT_EQ(session().caret(), c.caret) << c.name;
        EXPECT_FALSE(session().wordStroke().isStroke()) << c.name;
    }
    // A hold on E opens its popup; moving over the popup's cells (over other letters) chooses
    // one of them, and no word is typed.
    run(QStringLiteral("reset|press ") + point(e) + QStringLiteral("|wait 500"));
    const QList<PopupCell> cells = session().popup();
    ASSERT_GE(cells.size(), 2);
    const QPointF cell = cells[1].rect.center();
    run(QStringLiteral("move ") + point((e + cell) / 2) + QStringLiteral("|wait 16|move ") + point(cell)
        + QStringLiteral("|wait 16|release ") + point(cell));
    EXPECT_EQ(text().size(), 1) << text().toStdString();
    EXPECT_EQ(text(), cells[1].text.toUpper()) << text().toStdString();
}

TEST_F(Swipe, TwoStrokesWriteHelloWorldAndUndoTakesThemBackOneByOne)
{
    run(strokeEvents(QStringLiteral("helo")));
    EXPECT_EQ(text(), "Hello");
    EXPECT_FALSE(session().candidates().isEmpty());
    EXPECT_FALSE(session().candidates().contains(QStringLiteral("Hello")));
    run(strokeEvents(QStringLiteral("world")));
    EXPECT_EQ(text(), "Hello world");
    EXPECT_EQ(session().caret(), 11);
    session().undo();
    EXPECT_EQ(text(), "Hello");
    session().undo();
    EXPECT_EQ(text(), "");
}

TEST_F(Swipe, ASpaceGoesBeforeTheWordAfterALetterOrAPunctuationMarkThatASpaceFollows)
{
    const struct {
        const char *before;
        const char *after;
    } cases[] = {
        {"", "Hello"},           {"say", "say hello"},    {"Yes,", "Yes, hello"}, {"Stop.", "Stop. Hello"},
        {"say ", "say hello"},   {"(", "(hello"},         {"a\n", "a\nHello"},    {"\"", "\"hello"}, {"say \"", "say \"hello"},
        {"\"Yes,\"", "\"Yes,\" hello"},
        {"it's 4", "it's 4 hello"},
    };
    for (const auto &c : cases) {
        run(QStringLiteral("reset"));
        session().insertText(QString::fromUtf8(c.before));
        run(strokeEvents(QStringLiteral("helo")));
        EXPECT_EQ(text(), QString::fromUtf8(c.after)) << c.before;
    }
    // Caps writes capitals.
    run(QStringLiteral("reset|key Caps"));
    run(strokeEvents(QStringLiteral("helo")));
    EXPECT_EQ(text(), "HELLO");
}

TEST_F(Swipe, BackSpaceRightAfterASwipedWordTakesTheWholeWord)
{
    run(strokeEvents(QStringLiteral("helo")) + u'|' + strokeEvents(QStringLiteral("world")));
    ASSERT_EQ(text(), "Hello world");
    run(QStringLiteral("key BackSpace"));
    EXPECT_EQ(text(), "Hello");
    run(QStringLiteral("key BackSpace")); // the word before was swiped too, but not last
    EXPECT_EQ(text(), "Hell");
    // Not after the caret moved away and back.
    run(QStringLiteral("reset"));
    run(strokeEvents(QStringLiteral("helo")));
    session().setSelection(2, 2);
    session().setSelection(5, 5);
    run(QStringLiteral("key BackSpace"));
    EXPECT_EQ(text(), "Hell");
    // Undo brings the word back.
    run(QStringLiteral("reset"));
    run(strokeEvents(QStringLiteral("helo")) + QStringLiteral("|key BackSpace"));
    EXPECT_EQ(text(), "");
    session().undo();
    EXPECT_EQ(text(), "Hello");
}

TEST_F(Swipe, ACandidateReplacesTheSwipedWordAsOneUndoStep)
{
    run(strokeEvents(QStringLiteral("helo")) + u'|' + strokeEvents(QStringLiteral("world")));
    ASSERT_EQ(text(), "Hello world");
    const QStringList others = session().candidates();
    ASSERT_FALSE(others.isEmpty());
    run(QStringLiteral("pick 1"));
    EXPECT_EQ(text(), "Hello " + others[0]);
    // The strip now offers the word first read among the others.
    EXPECT_TRUE(session().candidates().contains(QStringLiteral("world"))) << session().candidates().join(u' ').toStdString();
    session().undo();
    EXPECT_EQ(text(), "Hello world");
    // A capital stays a capital.
    run(QStringLiteral("reset"));
    run(strokeEvents(QStringLiteral("helo")));
    const QStringList first = session().candidates();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_TRUE(first[0].front().isUpper()) << first[0].toStdString();
    run(QStringLiteral("pick 1"));
    EXPECT_EQ(text(), first[0]);
}

TEST_F(Swipe, PunctuationGoesRightAfterTheWordAndTheWordIsLearned)
{
    const quint64 learnedBefore = engine->learned().total();
    run(strokeEvents(QStringLiteral("helo")) + QStringLiteral("|key ,|") + strokeEvents(QStringLiteral("world"))
        + QStringLiteral("|key .|") + strokeEvents(QStringLiteral("the")));
    EXPECT_EQ(text(), "Hello, world. The");
    EXPECT_GT(engine->learned().total(), learnedBefore);
    // A tapped space after the word, and the next stroke adds none.
    run(QStringLiteral("key Space|") + strokeEvents(QStringLiteral("end")));
    EXPECT_EQ(text(), "Hello, world. The end");
}

TEST_F(Swipe, AWordTypedOftenEnoughBecomesAWordStrokesMean)
{
    const QString stroke = strokeEvents(QStringLiteral("wendrel"));
    run(stroke);
    EXPECT_NE(text(), "Wendrel");
    // Tapped twice, it is known.
    run(QStringLiteral("reset|key w|key e|key n|key d|key r|key e|key l|key Space|key w|key e|key n|key d|key r|key e|key l|key Space"));
    run(stroke);
    EXPECT_EQ(text(), "Wendrel wendrel wendrel");
}

// In keyboard mode a swiped word goes to the other program as text, with the field's rules.
TEST_F(Swipe, InKeyboardModeAStrokeIsSentAsTextAsTheFieldAllows)
{
    RecordingOutput output;
    session().typeInto(&output);
    session().otherProgramFocusChanged();
    session().setFieldKind(FieldKind::Text);
    run(strokeEvents(QStringLiteral("helo")) + u'|' + strokeEvents(QStringLiteral("world")));
    EXPECT_EQ(output.fieldText(), "Hello world");
    output.setFieldText({});
    session().otherProgramFocusChanged();
    session().setFieldKind(FieldKind::Terminal);
    run(strokeEvents(QStringLiteral("helo")));
    EXPECT_EQ(output.fieldText(), "hello") << "no capital at a command's start";
    output.setFieldText({});
    session().otherProgramFocusChanged();
    session().setFieldKind(FieldKind::Password);
    run(strokeEvents(QStringLiteral("helo")));
    EXPECT_EQ(output.fieldText(), "") << "no word read from a stroke in a password field";
}

TEST_F(Swipe, WithoutSwipeTypingAStrokeTypesNothing)
{
    session().setSwipe(nullptr);
    run(strokeEvents(QStringLiteral("helo")));
    EXPECT_EQ(text(), "");
    EXPECT_FALSE(session().wordStroke().isStroke());
}

TEST(SwipeCommand, PressMoveAndReleaseTypeWordsAndNoSwipeTurnsItOff)
{
    const QString events = strokeEvents(QStringLiteral("helo")) + u'|' + strokeEvents(QStringLiteral("world"))
        + QStringLiteral("|state");
    for (const bool swipe : {true, false}) {
        QProcess process;
        QStringList arguments{QStringLiteral("--completion")};
        if (!swipe)
            arguments << QStringLiteral("--no-swipe");
        process.start(QStringLiteral(WENDREL_TYPE), arguments);
        ASSERT_TRUE(process.waitForStarted());
        process.write(events.split(u'|').join(u'\n').toUtf8() + '\n');
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const QJsonObject state = QJsonDocument::fromJson(process.readAllStandardOutput().trimmed()).object();
        EXPECT_EQ(state.value(QStringLiteral("text")).toString(), swipe ? QStringLiteral("Hello world") : QString());
    }
}
