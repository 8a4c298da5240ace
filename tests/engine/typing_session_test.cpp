// The typing engine from tables of event sequences, as wendrel-type takes them, without a
// display: what the text becomes, which captions the keys show, what lights, what is asked of
// the window.
#include "CompletionEngine.h"
#include "SessionScript.h"

#include <QSet>
#include <QSignalSpy>
#include <QTextDocument>
#include <QStringList>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

class Engine : public ::testing::Test {
protected:
    // Runs events separated by "|", each one line of wendrel-type's input.
    void run(const QString &events)
    {
        for (const QString &line : events.split(u'|', Qt::SkipEmptyParts)) {
            const SessionScript::Result result = script.run(line);
            ASSERT_TRUE(result.error.isEmpty()) << line.toStdString() << ": " << result.error.toStdString();
        }
    }
    // The text after a fresh start and the events.
    QString typed(const QString &events)
    {
        session().reset();
        run(events);
        return session().plainText();
    }
    TypingSession &session() { return script.session(); }
    QString caption(int id) { return session().caption(keyIndexById(id)); }
    bool lit(int id) { return session().isLit(keyIndexById(id)); }

    SessionScript script;
};

struct Case {
    const char *name;
    QString events;
    QString text;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

// The typing assistant as the keys reach it.
class Assistant : public Engine, public ::testing::WithParamInterface<Case> {};

TEST_P(Assistant, Types)
{
    EXPECT_EQ(typed(GetParam().events), GetParam().text) << GetParam().events.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, Assistant, ::testing::Values(
    Case{"StartOfText", "key h", "H"},
    Case{"BackSpaceUndoesTheCapital", "key h|key BackSpace", "h"},
    Case{"SecondBackSpaceDeletes", "key h|key BackSpace|key BackSpace", ""},
    Case{"StartOfSentence", "key h|key i|key .|key Space|key w", "Hi. W"},
    Case{"TwoSpacesAfterAFullStop", "key h|key i|key .|key Space|key Space|key w", "Hi.  w"},
    Case{"NoSpaceAfterAFullStop", "key h|key i|key .|key w", "Hi.w"},
    Case{"QuestionMark", "key o|key k|key Shift|key /|key Space|key y", "Ok? Y"},
    Case{"ExclamationMark", "key o|key k|key Shift|key 1|key Space|key y", "Ok! Y"},
    Case{"LoneI", "key s|key o|key Space|key i|key Space", "So I "},
    Case{"LoneIUndone", "key s|key o|key Space|key i|key Space|key BackSpace", "So i "},
    Case{"RestoredIStaysSmall", "key h|key i|key .|key Space|key i|key BackSpace|key Space", "Hi. i "},
    Case{"StartOfLine", "key a|key b|key Enter|key c", "Ab\nC"},
    Case{"StartOfLineUndone", "key a|key Enter|key c|key BackSpace", "A\nc"},
    Case{"CapsAtTheStartIsNoCorrection", "key Caps|key a|key BackSpace", ""},
    Case{"CapitalsPassUnchanged", "key Shift|key a|key b", "Ab"},
    Case{"DigitsAreNotCapitalised", "key 1|key a", "1a"},
    Case{"BackSpaceOnEmptyText", "key BackSpace|key BackSpace", ""}));

// Shift, Caps and Fn.
INSTANTIATE_TEST_SUITE_P(Modifiers, Assistant, ::testing::Values(
    Case{"ShiftTypesTheSecondCharacter", "key x|key Shift|key 7", "X&"},
    Case{"ShiftIsReleasedAfterOneCharacter", "key x|key Shift|key 7|key 7", "X&7"},
    Case{"ShiftTwiceTypesNothing", "key Shift|key Shift", ""},
    Case{"ShiftAndCapsTypeSmall", "key x|key Space|key Caps|key Shift|key a|key a", "X aA"},
    Case{"ShiftIgnoredByNumberBlock", "key x|key Shift|key pad-|key -", "X--"},
    Case{"ShiftFollowingSymbols", "key x|key Shift|key -|key Shift|key /|key Shift|key .", "X_?>"},
    Case{"NumberBlockTwins", "key x|key pad/|key pad.|key Shift|key pad.", "X/.."},
    Case{"FnThenDigitTypesIt", "key Fn|key 7|key 7", "77"},
    Case{"FnShiftDigit", "key Fn|key Shift|key 7|key 7", "&7"},
    Case{"FnLetterTypesNothing", "key Caps|key Fn|key q|key q", "Q"},
    Case{"KeyById", "key #1007|key #1008", "Hi"}));

// The "=" key in Fn mode: the formula before the caret and its result.
INSTANTIATE_TEST_SUITE_P(Formula, Assistant, ::testing::Values(
    Case{"Evaluates", "key 2|key +|key 3|key *|key 4|key Fn|key =", "2+3*4=14"},
    Case{"AfterAWord", "key t|key Space|key 7|key pad/|key 2|key Fn|key =", "T 7/2=3.5"},
    Case{"TypedEqualsIsNotRepeated", "key 2|key +|key 3|key =|key Fn|key =", "2+3=5"},
    Case{"Overflow", "key 1|key pad/|key 0|key Fn|key =", "1/0=Overflow"},
    Case{"ErrorTypesNothing", "key a|key b|key Fn|key =", "Ab"},
    Case{"EmptyFormula", "key Fn|key =", ""},
    Case{"AfterALineBreak", "key x|key Enter|key pad-|key 5|key +|key 2|key Fn|key =", "X\n-5+2=-3"},
    Case{"TwoEqualsAreAnError", "key 2|key =|key =|key Fn|key =", "2=="},
    Case{"ResultAfterASentence", "key o|key k|key .|key Space|key 9|key pad/|key 0|key Fn|key =", "Ok. 9/0=Overflow"},
    Case{"OutsideFnTypesEquals", "key 2|key =", "2="},
    Case{"FnIsOffAfterwards", "key 1|key +|key 1|key Fn|key =|key 7", "1+1=27"}));

// Fn, then "=" with the caret at the end of a text.
TEST_F(Engine, FormulaKeyOnTexts)
{
    struct Row {
        QString before, after;
    } rows[] = {
        {"Total 2+3*4", "Total 2+3*4=14"},
        {"x\n-5+2", "x\n-5+2=-3"},
        {"(1+1)*2+3", "(1+1)*2+3=7"},
        {"sum ", "sum "},
        {"x=2+3", "x=2+3"},        // a word glued to the formula makes it an error
        {"a\t2+3", "a\t2+3"},      // a tab belongs to the formula
        {"ok. 9^99^99", "ok. 9^99^99=Overflow"},
        {"one\ntwo 1.5*2", "one\ntwo 1.5*2=3"},
    };
    for (const Row &row : rows) {
        session().reset();
        session().insertText(row.before);
        run("key Fn|key =");
        EXPECT_EQ(session().plainText(), row.after) << row.before.toStdString();
        EXPECT_FALSE(session().fnOn()) << row.before.toStdString();
    }
}

TEST_F(Engine, FormulaTakesOnlyAShortHeadAtTheTextStart)
{
    const QString head = QString(252, u'0') + QStringLiteral("1+1"); // 255 characters
    session().insertText(head);
    run("key Fn|key =");
    EXPECT_EQ(session().plainText(), head + QStringLiteral("=2"));

    session().reset();
    session().insertText(u'0' + head); // 256 characters without a break
    run("key Fn|key =");
    EXPECT_EQ(session().plainText(), u'0' + head);
    EXPECT_FALSE(session().fnOn());

    session().reset();
    const QString afterSpace = QStringLiteral("a ") + QString(300, u'0') + QStringLiteral("1+1");
    session().insertText(afterSpace);
    run("key Fn|key =");
    EXPECT_EQ(session().plainText(), afterSpace + QStringLiteral("=2"));
}

TEST_F(Engine, FormulaBeforeASelectionReplacesIt)
{
    session().insertText(QStringLiteral("2*4 junk"));
    session().setSelection(8, 3);
    run("key Fn|key =");
    EXPECT_EQ(session().plainText(), QStringLiteral("2*4=8"));
}

TEST_F(Engine, AssistantReadsALineBreakAsTwoCharacters)
{
    session().insertText(QStringLiteral("ab\ncd"));
    session().setSelection(3, 3); // start of the second line
    run("key x");
    EXPECT_EQ(session().plainText(), QStringLiteral("ab\nXcd"));
    session().setSelection(0, 0); // caret at 0 of a non-empty text: no capital
    run("key y");
    EXPECT_EQ(session().plainText(), QStringLiteral("yab\nXcd"));
}

TEST_F(Engine, SelectionIsReplacedUnchangedAndKeepsTheAssistantsState)
{
    run("key h");
    const TypingState before = session().typingState();
    session().setSelection(0, 1);
    run("key a");
    EXPECT_EQ(session().plainText(), QStringLiteral("a"));
    EXPECT_EQ(session().typingState(), before);
}

TEST_F(Engine, BackSpaceAfterACaretMoveDeletesAsUsual)
{
    run("key h|key e|key l|key l|key o|key .|key Space|key w");
    session().setSelection(6, 6);
    run("key BackSpace");
    EXPECT_EQ(session().plainText(), QStringLiteral("Hello W"));
}

// Captions follow the modifiers.
TEST_F(Engine, ShiftCapsAndFnRelabelTheKeys)
{
    struct Expectation {
        int id;
        const char *caption;
    };
    struct Row {
        const char *events;
        std::vector<Expectation> captions;
    } rows[] = {
        {"", {{1000, "a"}, {1038, "7"}, {1088, "Save"}, {1087, "Load"}, {1061, "+"}}},
        {"key Shift", {{1000, "A"}, {1038, "&"}, {1059, "_"}, {1058, "-"}, {1061, "+"}, {1028, "<"}}},
        {"key Shift|key 7", {{1000, "a"}, {1038, "7"}}},
        {"key Caps", {{1000, "A"}, {1038, "7"}}},
        // Caps while Shift is on sets the letters by Caps alone.
        {"key Shift|key Caps", {{1000, "A"}, {1038, "&"}}},
        {"key Caps|key Shift", {{1000, "a"}, {1038, "&"}}},
        {"key Caps|key Shift|key Caps", {{1000, "a"}}},
        {"key Fn", {{1088, "Copy"}, {1087, "Paste"}, {1000, "a"}}},
        {"key Fn|key Fn", {{1088, "Save"}, {1087, "Load"}}},
        {"key Fn|key 1", {{1088, "Save"}, {1087, "Load"}}},
        {"key Fn|key Shift|key q", {{1088, "Save"}, {1000, "a"}, {1038, "7"}}},
    };
    for (const Row &row : rows) {
        typed(QString::fromUtf8(row.events));
        for (const Expectation &e : row.captions)
            EXPECT_EQ(caption(e.id), QString::fromUtf8(e.caption)) << row.events << " key " << e.id;
    }
}

TEST_F(Engine, ModeColoursFollowTheModifiers)
{
    session().setLightFlag(false);
    run("key Fn|key Caps");
    EXPECT_EQ(session().keyColour(keyIndexById(1062)), modeColour);
    EXPECT_EQ(session().keyColour(keyIndexById(1043)), modeColour);
    EXPECT_EQ(session().keyColour(keyIndexById(2003)), (Rgb{211, 100, 100}));
    run("key Caps");
    EXPECT_EQ(session().keyColour(keyIndexById(1043)), (Rgb{211, 90, 90}));
}

// Command keys are asked of the window and do nothing to the text.
TEST_F(Engine, CommandKeys)
{
    struct Row {
        const char *events;
        SessionCommand::Kind kind;
        const char *caption;
        const char *keyName;
    } rows[] = {
        {"key Load", SessionCommand::Kind::Load, "Load", ""},
        {"key Save", SessionCommand::Kind::Save, "Save", ""},
        {"key Shortcut", SessionCommand::Kind::Shortcut, "Shortcut", ""},
        {"key Options", SessionCommand::Kind::Options, "Options", ""},
        {"key Exit", SessionCommand::Kind::Exit, "Exit", ""},
        {"key Help", SessionCommand::Kind::Help, "Help", ""},
        {"key Fn|key q", SessionCommand::Kind::Program, "Fn+Q", "0Q"},
        {"key Caps|key Fn|key q", SessionCommand::Kind::Program, "Fn+Q", "0Q"},
        {"key Fn|key Shift|key n", SessionCommand::Kind::Program, "Fn+Shift+N", "1N"},
    };
    for (const Row &row : rows) {
        session().reset();
        run("key x");
        QList<SessionCommand> commands;
        const auto connection = QObject::connect(&session(), &TypingSession::commandRequested,
                                                 [&](const SessionCommand &c) { commands.append(c); });
        run(QString::fromUtf8(row.events));
        QObject::disconnect(connection);
        ASSERT_EQ(commands.size(), 1) << row.events;
        EXPECT_EQ(commands[0].kind, row.kind) << row.events;
        EXPECT_EQ(commands[0].caption, QString::fromUtf8(row.caption)) << row.events;
        EXPECT_EQ(commands[0].keyName, QString::fromUtf8(row.keyName)) << row.events;
        EXPECT_EQ(session().plainText(), QStringLiteral("X")) << row.events;
        EXPECT_FALSE(session().fnOn()) << row.events;
        EXPECT_FALSE(session().shiftOn()) << row.events;
    }
}

TEST_F(Engine, CopyTakesTheWholeTextAndLeavesTheCaretAtTheSelectionStart)
{
    run("key a|key b|key Enter|key c");
    session().setSelection(1, 4);
    run("key Fn|key Save");
    EXPECT_EQ(session().caret(), 1);
    EXPECT_EQ(session().anchor(), 1);
    EXPECT_FALSE(session().fnOn());
    EXPECT_TRUE(lit(1088)); // Copy lights, Paste does not
    session().setSelection(4, 4);
    run("key Fn|key Load");
    EXPECT_EQ(session().plainText(), QStringLiteral("Ab\nCAb\nC"));
    EXPECT_FALSE(lit(1087));
}

TEST_F(Engine, CopyOfAnEmptyTextLeavesTheClipboardAndPasteOfNothingChangesNothing)
{
    run("clipboard \"kept\"|key Fn|key Save|key Fn|key Load");
    EXPECT_EQ(session().plainText(), QStringLiteral("kept"));
    run("clipboard \"\"|key Fn|key Load");
    EXPECT_EQ(session().plainText(), QStringLiteral("kept"));
    EXPECT_FALSE(session().fnOn());
}

TEST_F(Engine, PasteKeepsNoBreakSpacesAndTurnsLineEndsIntoBreaks)
{
    run("clipboard \"a\\u00a0b\\r\\nc\\rd\"|key Fn|key Load");
    EXPECT_EQ(session().plainText(), QStringLiteral("a\u00a0b\nc\nd"));
    EXPECT_EQ(session().caret(), 7);
}

// Visual response on the session's clock.
TEST_F(Engine, TappedKeyIsLitFor65Milliseconds)
{
    run("key h");
    EXPECT_TRUE(lit(1007));
    EXPECT_EQ(session().keyColour(keyIndexById(1007)), litColour);
    script.clock().advance(TypingSession::litMs - 1);
    EXPECT_TRUE(lit(1007));
    script.clock().advance(1);
    EXPECT_FALSE(lit(1007));
    EXPECT_FALSE(session().isLitTimerRunning());
    EXPECT_EQ(session().keyColour(keyIndexById(1007)), (Rgb{88, 163, 166}));
}

TEST_F(Engine, KeysLitTogetherGoDarkTogetherAfterTheLast)
{
    run("key a|key b|key c"); // 40 ms apart
    EXPECT_TRUE(lit(1000));
    EXPECT_TRUE(lit(1001));
    EXPECT_TRUE(lit(1002));
    run("wait 64");
    EXPECT_TRUE(lit(1000));
    run("wait 1");
    EXPECT_FALSE(lit(1000));
    EXPECT_FALSE(lit(1002));
}

TEST_F(Engine, ADrawingOfALitKeyRestartsTheTimer)
{
    run("key a|wait 50");
    session().onControlColour(keyIndexById(1000));
    run("wait 50");
    EXPECT_TRUE(lit(1000));
    run("wait 15");
    EXPECT_FALSE(lit(1000));
}

TEST_F(Engine, WhatLights)
{
    run("key Fn|key Save"); // Copy
    EXPECT_TRUE(lit(1088));
    EXPECT_TRUE(lit(1062)); // Fn released by Copy runs its own after-tap steps
    run("wait 100|key Shift|wait 100|key 1");
    EXPECT_TRUE(lit(2003)); // Shift released by a typed key lights too
    for (const char *name : {"Load", "Shortcut", "Options", "Exit", "Help"}) {
        run(QStringLiteral("wait 100|key %1").arg(QLatin1String(name)));
        EXPECT_FALSE(session().isLit(SessionScript::keyByName(QString::fromLatin1(name)))) << name;
        EXPECT_FALSE(session().isLitTimerRunning()) << name;
    }
    session().setLightFlag(false);
    run("key a|key Fn|key =");
    EXPECT_FALSE(lit(1000));
    EXPECT_FALSE(lit(1070));
    EXPECT_FALSE(session().isLitTimerRunning());
}

// Touches: a press and a release on the same key is a tap.
TEST_F(Engine, Touches)
{
    const QPointF h = TypingSession::keyCentre(keyIndexById(1007));
    const QPointF j = TypingSession::keyCentre(keyIndexById(1010));
    struct Row {
        const char *name;
        QString events;
        const char *text;
    } rows[] = {
        {"TapOnAKey", QStringLiteral("press %1 %2|wait 300|release %1 %2").arg(h.x()).arg(h.y()), "H"},
        {"SlideToAnotherKey", QStringLiteral("press %1 %2|move %3 %4|release %3 %4").arg(h.x()).arg(h.y()).arg(j.x()).arg(j.y()), ""},
        {"OffAndBackOn", QStringLiteral("press %1 %2|move %3 %4|move %1 %2|release %1 %2").arg(h.x()).arg(h.y()).arg(j.x()).arg(j.y()), "H"},
        {"EdgeOfTheKey", "tap 126 207|tap 149.9 233.9", "Hh"},
        {"GapAndOutside", "tap 5 78|tap -10 200|tap 120 500|tap 100 40", ""},
        {"ReleaseWithoutPress", "release 130 210", ""},
        {"SecondPressAbandonsTheFirst", QStringLiteral("press %1 %2|press %3 %4|release %1 %2|release %3 %4").arg(h.x()).arg(h.y()).arg(j.x()).arg(j.y()), ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(typed(row.events), QString::fromUtf8(row.text)) << row.name;
}

TEST_F(Engine, ACancelledTouchTapsNothing)
{
    const QPointF h = TypingSession::keyCentre(keyIndexById(1007));
    session().press(h);
    session().cancelTouch();
    EXPECT_EQ(session().pressedKey(), -1);
    session().release(h);
    EXPECT_EQ(session().plainText(), QString());
}

TEST_F(Engine, ATapKeepsItsPressPointAndAPressGivesTheDefaultLook)
{
    const int h = keyIndexById(1007);
    session().press(QPointF(127.5, 208.25));
    EXPECT_TRUE(session().hasDefaultLook(h));
    EXPECT_EQ(session().pressedKey(), h);
    session().move(QPointF(10, 10));
    EXPECT_EQ(session().pressedKey(), -1);
    session().move(QPointF(130, 210));
    session().release(QPointF(131, 212));
    EXPECT_FALSE(session().hasDefaultLook(h)); // the tap's after-tap steps took it away
    EXPECT_EQ(session().lastTap().pressPoint, QPointF(127.5, 208.25));
    EXPECT_EQ(session().lastTap().point, QPointF(131, 212));
    EXPECT_EQ(session().lastTap().pressKey, h);
}

TEST_F(Engine, KeysChangedNamesTheKeysToRepaint)
{
    QSignalSpy spy(&session(), &TypingSession::keysChanged);
    run("key Fn");
    QSet<int> changed;
    for (const QList<QVariant> &arguments : spy)
        for (int index : arguments[0].value<QList<int>>())
            changed.insert(index);
    EXPECT_TRUE(changed.contains(keyIndexById(1062)));
    EXPECT_TRUE(changed.contains(keyIndexById(1088)));
    EXPECT_TRUE(changed.contains(keyIndexById(1087)));
    EXPECT_FALSE(changed.contains(keyIndexById(1000))); // its caption did not change
}

TEST_F(Engine, SoundsAndFocusRequests)
{
    QSignalSpy sounds(&session(), &TypingSession::soundRequested);
    QSignalSpy focus(&session(), &TypingSession::focusRequested);
    struct Row {
        const char *events;
        int sounds;
    } rows[] = {
        {"key h|key i|key Space|key i|key Space", 5}, // corrected or not, one sound a key
        {"key Shift|key Caps|key Fn", 0},
        {"key 1|key Fn|key =", 1},                     // the formula's result makes no sound
        {"key Fn|key Save|key Fn|key Load", 2},        // Copy and Paste do
        {"key Load|key Exit|key Help|key Fn|key q", 0}, // the window or the launch decides
    };
    for (const Row &row : rows) {
        session().reset();
        sounds.clear();
        focus.clear();
        run(QString::fromUtf8(row.events));
        EXPECT_EQ(sounds.size(), row.sounds) << row.events;
    }
    session().reset();
    focus.clear();
    run("key a");
    EXPECT_FALSE(focus.isEmpty());
}

TEST_F(Engine, ResetStartsAfreshButKeepsOptions)
{
    session().setLightFlag(false);
    run("key a|key Caps|key Shift|key Fn|key b");
    session().reset();
    EXPECT_EQ(session().plainText(), QString());
    EXPECT_FALSE(session().shiftOn() || session().capsOn() || session().fnOn());
    EXPECT_EQ(session().typingState(), TypingState{});
    EXPECT_EQ(caption(1000), QStringLiteral("a"));
    EXPECT_FALSE(session().document()->isUndoAvailable());
    EXPECT_FALSE(session().lightFlag());
    run("key a");
    EXPECT_EQ(session().plainText(), QStringLiteral("A"));
}

TEST_F(Engine, LongTextsWorkLikeShortOnes)
{
    const QString text = QString(100000, u'x') + QStringLiteral(". ");
    session().insertText(text);
    run("key a");
    EXPECT_EQ(session().plainText().size(), 100003);
    EXPECT_TRUE(session().plainText().endsWith(QStringLiteral(". A")));
    EXPECT_EQ(session().caret(), 100003);
}

TEST_F(Engine, LoadReplacesTheTextAsOneUndoStep)
{
    run("key a|key b");
    session().replaceAll(QStringLiteral("one\r\ntwo"));
    EXPECT_EQ(session().plainText(), QStringLiteral("one\ntwo"));
    EXPECT_EQ(session().caret(), 0);
    session().undo();
    EXPECT_EQ(session().plainText(), QStringLiteral("Ab"));
}

// Word completion's hook.
class Completion : public Engine {
protected:
    Completion() : engine(std::make_shared<const Dictionary>(Dictionary::builtIn())) { session().setCompletion(&engine); }
    CompletionEngine engine;
};

TEST_F(Completion, CandidatesFollowTheTextAndAPickTypesTheWord)
{
    QSignalSpy changed(&session(), &TypingSession::candidatesChanged);
    run("key t|key h");
    const QStringList shown = session().candidates();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown.contains(QStringLiteral("The")));
    EXPECT_FALSE(changed.isEmpty());
    run("key Shift");
    run(QStringLiteral("pick %1").arg(shown.indexOf(QStringLiteral("The")) + 1));
    EXPECT_EQ(session().plainText(), QStringLiteral("The "));
    EXPECT_FALSE(session().shiftOn());
    // A BackSpace now deletes the space: no correction is left to undo.
    run("key BackSpace");
    EXPECT_EQ(session().plainText(), QStringLiteral("The"));
}

TEST_F(Completion, NothingWithASelectionOrInANumberAndEmptyCellsDoNothing)
{
    run("key t|key h");
    session().setSelection(0, 2);
    EXPECT_TRUE(session().candidates().isEmpty());
    session().setSelection(2, 2);
    EXPECT_FALSE(session().candidates().isEmpty());
    run("key Space|key 4|key 2");
    EXPECT_TRUE(session().candidates().isEmpty());
    run("pick 1");
    EXPECT_EQ(session().plainText(), QStringLiteral("Th 42"));
}

TEST_F(Completion, FinishedWordsAreLearned)
{
    QSignalSpy learned(&session(), &TypingSession::wordsLearned);
    run("key z|key y|key x|key w|key v|key Space");
    EXPECT_FALSE(learned.isEmpty());
    EXPECT_NE(engine.learned().find(QStringLiteral("zyxwv")), nullptr);
    run("key z|key y");
    EXPECT_TRUE(session().candidates().contains(QStringLiteral("zyxwv"), Qt::CaseInsensitive));
}

TEST_F(Completion, OffMeansNoCandidates)
{
    session().setCompletion(nullptr);
    run("key t|key h");
    EXPECT_TRUE(session().candidates().isEmpty());
}

// The session's clock.
TEST(ManualClockTest, CallsRunInTimeOrderAtTheirDueTime)
{
    ManualClock clock;
    QList<std::pair<int, qint64>> calls;
    clock.callAfter(30, [&] { calls.append({1, clock.now()}); });
    const int cancelled = clock.callAfter(10, [&] { calls.append({2, clock.now()}); });
    clock.callAfter(10, [&] {
        calls.append({3, clock.now()});
        clock.callAfter(5, [&] { calls.append({4, clock.now()}); });
    });
    clock.cancel(cancelled);
    clock.cancel(12345);
    clock.advance(29);
    EXPECT_EQ(calls, (QList<std::pair<int, qint64>>{{3, 10}, {4, 15}}));
    EXPECT_EQ(clock.now(), 29);
    clock.advance(1);
    EXPECT_EQ(calls.size(), 3);
    EXPECT_EQ(clock.pending(), 0);
}

} // namespace
