// Keyboard mode: the typing session typing into another program through a KeyOutput, which
// here records what would be sent and plays it on a text field of its own. Tables of
// wendrel-type's events, as for the note pad.
#include "CompletionEngine.h"
#include "PanelGeometry.h"
#include "RecordingOutput.h"
#include "SessionScript.h"
#include "WordCorrection.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

struct Case {
    const char *name;
    QString events;
    QString sent;  // RecordingOutput::log()
    QString field; // what the receiving field holds before its caret
};

class KeyboardMode : public ::testing::Test {
protected:
    KeyboardMode() { session().typeInto(&output); }

    // Runs events separated by "|", each one line of wendrel-type's input; "focus" stands for
    // a change of the focus in the other program, "@key+dx" for the point dx beside a key's
    // centre (slides), "@cell:x" for the open popup's cell x.
    void run(const QString &events)
    {
        for (const QString &line : events.split(u'|', Qt::SkipEmptyParts)) {
            if (line == QLatin1String("focus")) {
                session().otherProgramFocusChanged();
                continue;
            }
            const QString expanded = expand(line);
            const SessionScript::Result result = script.run(expanded);
            ASSERT_TRUE(result.error.isEmpty()) << expanded.toStdString() << ": " << result.error.toStdString();
        }
    }
    // Each case from a fresh start: what was sent and what the field holds.
    void expectSends(std::initializer_list<Case> cases)
    {
        for (const Case &c : cases) {
            fresh();
            run(c.events);
            EXPECT_EQ(output.log(), c.sent) << c.name << ": " << c.events.toStdString();
            EXPECT_EQ(output.fieldText(), c.field) << c.name << ": " << c.events.toStdString();
        }
    }
    void fresh()
    {
        session().reset();
        session().otherProgramFocusChanged();
        output.clearLog();
        output.setFieldText({});
    }
    QString expand(const QString &line)
    {
        const qsizetype at = line.indexOf(u'@');
        if (at < 0)
            return line;
        const QString token = line.mid(at + 1);
        if (token.startsWith(QLatin1String("cell:"))) {
            for (const PopupCell &cell : session().popup()) {
                if (cell.text == token.mid(5))
                    return line.left(at) + QStringLiteral("%1 %2").arg(cell.rect.center().x()).arg(cell.rect.center().y());
            }
            ADD_FAILURE() << "no popup cell " << token.toStdString();
            return line;
        }
        const qsizetype sign = token.indexOf(QRegularExpression(QStringLiteral("[+-]"), QRegularExpression::NoPatternOption), 1);
        const int key = SessionScript::keyByName(sign < 0 ? token : token.left(sign));
        EXPECT_GE(key, 0) << line.toStdString();
        const QPointF point = TypingSession::keyCentre(key) + QPointF(sign < 0 ? 0 : token.mid(sign).toDouble(), 0);
        return line.left(at) + QStringLiteral("%1 %2").arg(point.x()).arg(point.y());
    }
    TypingSession &session() { return script.session(); }
    QString caption(KeyRole role) { return session().caption(keyIndexByRole(role)); }

    SessionScript script;
    RecordingOutput output;
};

} // namespace

TEST_F(KeyboardMode, TypingReachesTheOtherProgramWithTheAssistant)
{
    expectSends({
        {"a word and a space, the first letter a capital", "key t|key h|key e|key Space", "text:T|text:h|text:e|text: ",
         "The "},
        {"BackSpace right after takes the capital back", "key h|key BackSpace", "text:H|delete:1|text:h", "h"},
        {"BackSpace deletes what was typed", "key h|key i|key BackSpace", "text:H|text:i|delete:1", "H"},
        {"Enter is a line break, and a capital follows", "key h|key i|key Enter|key y", "text:H|text:i|text:\n|text:Y",
         "Hi\nY"},
        {"a capital after a sentence", "key o|key k|key .|key Space|key s", "text:O|text:k|text:.|text: |text:S",
         "Ok. S"},
        {"a lone i becomes I", "key o|key k|key Space|key i|key Space", "text:O|text:k|text: |text:i|delete:1|text:I ",
         "Ok I "},
        {"Shift and a digit's symbol", "key Shift|key 4|key 4", "text:$|text:4", "$4"},
        {"a letter held and let go on it", "press @e|wait 400|release @e+0|key e", "text:E|text:e", "Ee"},
        {"a cell of its popup", "key c|key a|key f|press @e|wait 400|move @cell:é|release @cell:é",
         "text:C|text:a|text:f|text:é", "Café"},
        {"the assistant's capital on a cell", "press @e|wait 400|move @cell:é|release @cell:é", "text:É", "É"},
        {"BackSpace with nothing known before the caret: a BackSpace key", "key BackSpace", "key:BackSpace", ""},
        {"after it no capital: the text before the caret is not known", "key BackSpace|key a", "key:BackSpace|text:a",
         "a"},
        {"a held BackSpace goes on past what is known", "key a|press @BackSpace|wait 600|release @BackSpace",
         "text:A|delete:1|text:a|delete:1|key:BackSpace|key:BackSpace", ""},
    });
}

TEST_F(KeyboardMode, AFocusChangeStartsANewText)
{
    run("key h|key i|focus|key y|key o|key BackSpace|key BackSpace|key BackSpace");
    EXPECT_EQ(output.log(), "text:H|text:i|text:Y|text:o|delete:1|delete:1|key:BackSpace");
    EXPECT_EQ(session().plainText(), QString()) << "the session keeps only what it typed since the focus changed";
}

TEST_F(KeyboardMode, AFieldThatAsksForItsLettersAsTypedGetsNoCapitals)
{
    session().setFieldKind(FieldKind::Text);
    session().setNoAutoCapitals(true);
    run("key t|key h|key e|key Space|key i|key Space|key Shift|key w");
    EXPECT_EQ(output.fieldText(), "the i W") << "Shift still gives a capital";
    session().setNoAutoCapitals(false);
    fresh();
    run("key t|key h|key e");
    EXPECT_EQ(output.fieldText(), "The");
}

TEST_F(KeyboardMode, TheKeysOfKeyboardMode)
{
    expectSends({
        {"Load is Esc", "key h|key Load|key a", "text:H|key:Escape|text:a", "Ha"},
        {"Save is Tab", "key Save|key a", "key:Tab|text:a", "a"},
        {"a capital before Tab is not taken back after it", "key h|key Save|key BackSpace", "text:H|key:Tab|key:BackSpace",
         ""},
        {"Ctrl then a letter, then Ctrl is off", "key Shortcut|key a|key b", "key:Ctrl+a|text:b", "b"},
        {"Ctrl with Shift", "key Shortcut|key Shift|key z", "key:Ctrl+Shift+z", ""},
        {"Ctrl with a digit", "key Shortcut|key 1", "key:Ctrl+1", ""},
        {"Ctrl with BackSpace and Enter", "key Shortcut|key BackSpace|key Shortcut|key Enter",
         "key:Ctrl+BackSpace|key:Ctrl+Return", ""},
        {"Ctrl twice is off", "key Shortcut|key Shortcut|key a", "text:A", "A"},
        {"Ctrl does not apply to a symbol: typed, Ctrl off", "key Shortcut|key =|key a", "text:=|text:a", "=a"},
        {"Undo", "key a|key Fn|key BackSpace", "text:A|key:Ctrl+z", "A"},
        {"Redo", "key Fn|key Shift|key BackSpace", "key:Ctrl+Shift+z", ""},
        {"Copy", "key a|key Fn|key Save|key b", "text:A|key:Ctrl+c|text:b", "Ab"},
        {"Paste", "key a|key Fn|key Load|key b", "text:A|key:Ctrl+v|text:b", "Ab"},
        {"a slide on Space sends arrows", "press @Space|move @Space-17|move @Space-9|release @Space-9",
         "key:Left|key:Left|key:Right", ""},
        {"with Shift on they select", "key Shift|press @Space|move @Space+16|release @Space+16|key a",
         "key:Shift+Right|key:Shift+Right|text:a", "a"},
        {"Fn + letter starts a program and sends nothing", "key Fn|key a", "", ""},
        {"Fn + formula", "key 2|key +|key 3|key Fn|key =", "text:2|text:+|text:3|text:=5", "2+3=5"},
        {"Fn + formula that may go on before what is known: nothing", "key Save|key 2|key +|key 3|key Fn|key =",
         "key:Tab|text:2|text:+|text:3", "2+3"},
        {"... but one after a space is known", "key Save|key Space|key 2|key +|key 3|key Fn|key =",
         "key:Tab|text: |text:2|text:+|text:3|text:=5", " 2+3=5"},
    });
}

// Nothing is drawn above the candidate strip in keyboard mode: every key's popup lies within
// the panel's part of the layout, the top row's below its key where there is no room above.
TEST_F(KeyboardMode, PopupsStayWithinThePanel)
{
    const QRectF panel = panelLayoutBounds;
    int popups = 0, belowTheKey = 0;
    for (int key = 0; key < int(keyTable().size()); ++key) {
        fresh();
        const QPointF centre = TypingSession::keyCentre(key);
        const QString at = QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y());
        run(QStringLiteral("press %1|wait 450").arg(at));
        for (const PopupCell &cell : session().popup()) {
            EXPECT_TRUE(panel.contains(cell.rect)) << "key " << key << " cell " << cell.text.toStdString();
            belowTheKey += cell.rect.top() > centre.y();
        }
        popups += !session().popup().isEmpty();
        session().cancelTouch();
    }
    EXPECT_GT(popups, 20);
    EXPECT_GT(belowTheKey, 0); // the top row's
}

TEST_F(KeyboardMode, CaptionsAndLooksInKeyboardMode)
{
    EXPECT_EQ(caption(KeyRole::Load), "Esc");
    EXPECT_EQ(caption(KeyRole::Save), "Tab");
    EXPECT_EQ(caption(KeyRole::Shortcut), "Ctrl");
    run("key Fn");
    EXPECT_EQ(caption(KeyRole::Load), "Paste");
    EXPECT_EQ(caption(KeyRole::Save), "Copy");
    EXPECT_EQ(caption(KeyRole::Shortcut), "Shortcut");
    run("key Fn|key Shortcut");
    EXPECT_TRUE(session().ctrlOn());
    EXPECT_EQ(session().keyColour(keyIndexByRole(KeyRole::Shortcut)), modeColour);
    run("key x");
    EXPECT_FALSE(session().ctrlOn());
    EXPECT_NE(session().keyColour(keyIndexByRole(KeyRole::Shortcut)), modeColour);

    session().reset();
    EXPECT_EQ(caption(KeyRole::Load), "Esc") << "a reset stays in keyboard mode";
    session().typeInto(nullptr);
    EXPECT_EQ(caption(KeyRole::Load), "Load");
    EXPECT_EQ(caption(KeyRole::Shortcut), "Shortcut");
}

TEST_F(KeyboardMode, CommandKeys)
{
    QList<SessionCommand> commands;
    QObject::connect(&session(), &TypingSession::commandRequested, [&](const SessionCommand &c) { commands.append(c); });
    run("key Exit|key Options|key Help|key Fn|key Shortcut|key Fn|key Shift|key q");
    ASSERT_EQ(commands.size(), 5);
    EXPECT_EQ(commands[0].kind, SessionCommand::Kind::Exit);
    EXPECT_EQ(commands[1].kind, SessionCommand::Kind::Options);
    EXPECT_EQ(commands[2].kind, SessionCommand::Kind::Help);
    EXPECT_EQ(commands[3].kind, SessionCommand::Kind::Shortcut) << "Fn + Ctrl opens the Shortcut dialog";
    EXPECT_FALSE(session().fnOn());
    EXPECT_EQ(commands[4].kind, SessionCommand::Kind::Program);
    EXPECT_EQ(commands[4].keyName, "1Q");
    EXPECT_EQ(output.log(), QString());
}

TEST_F(KeyboardMode, TheTextBeforeTheCaretReportedByTheProgram)
{
    session().setTextBeforeCaret(QStringLiteral("Dear Sir,\nthank you. "));
    run("key w|key e");
    EXPECT_EQ(output.log(), "text:W|text:e");
    EXPECT_EQ(session().plainText(), "Dear Sir,\nthank you. We");
    output.clearLog();
    // Unknown after Tab; the program's report makes it known again.
    run("key Save");
    session().setTextBeforeCaret(QStringLiteral("x"));
    run("key Space|key i|key Space");
    EXPECT_EQ(output.log(), "key:Tab|text: |text:i|delete:1|text:I ");
}

// A character outside the Basic Multilingual Plane is one character to delete.
TEST_F(KeyboardMode, ASurrogatePairIsDeletedWhole)
{
    struct Deletions : RecordingOutput {
        void deleteTextBefore(const QString &deleted) override
        {
            texts.append(deleted);
            RecordingOutput::deleteTextBefore(deleted);
        }
        QStringList texts;
    } deletions;
    session().typeInto(&deletions);
    session().setTextBeforeCaret(QStringLiteral("a\U0001F600"));
    run("key BackSpace|key BackSpace");
    EXPECT_EQ(deletions.log(), "delete:1|delete:1");
    EXPECT_EQ(deletions.texts, QStringList({QStringLiteral("\U0001F600"), QStringLiteral("a")}));
    session().typeInto(&output);
}

// Word completion: a candidate replaces the typed letters from the first that changes.
class KeyboardCompletion : public KeyboardMode {
protected:
    KeyboardCompletion() : engine(std::make_shared<const Dictionary>(Dictionary::builtIn()))
    {
        session().setCompletion(&engine);
        session().setFieldKind(FieldKind::Text);
    }
    void pick(const QString &word)
    {
        const qsizetype cell = session().candidates().indexOf(word);
        ASSERT_GE(cell, 0) << word.toStdString() << " not in " << session().candidates().join(u',').toStdString();
        run(QStringLiteral("pick %1").arg(cell + 1));
    }
    CompletionEngine engine;
};

TEST_F(KeyboardCompletion, ACandidateReplacesTheWord)
{
    run("key t|key h");
    pick("The");
    EXPECT_EQ(output.log(), "text:T|text:h|text:e ");
    EXPECT_EQ(output.fieldText(), "The ");
    // A candidate in other case than typed: the word is deleted and typed again.
    fresh();
    run("key Caps|key t|key h|key Caps");
    pick("THE");
    EXPECT_EQ(output.fieldText(), "THE ");
    fresh();
    run("key a|key Space|key w|key o|key r");
    output.clearLog();
    session().setFieldKind(FieldKind::Email);
    const QStringList shown = session().candidates();
    ASSERT_FALSE(shown.isEmpty());
    run("pick 1");
    EXPECT_EQ(output.fieldText(), "A " + shown[0]) << "no space after a candidate in an e-mail address";
}

TEST_F(KeyboardCompletion, NoReplacementWhereTheWordsStartIsNotKnown)
{
    run("key Save|key t|key h");
    EXPECT_TRUE(session().candidates().isEmpty()) << "the word may go on before the Tab";
    run("pick 1");
    EXPECT_EQ(output.log(), "key:Tab|text:t|text:h");
    run("key Space|key t|key h");
    EXPECT_FALSE(session().candidates().isEmpty()) << "a word Wendrel typed from its start";
    pick("the");
    EXPECT_EQ(output.fieldText(), "th the ");
}

TEST_F(KeyboardCompletion, WhatIsLearnedDependsOnTheField)
{
    const struct {
        FieldKind kind;
        bool learns;
        bool candidates;
        QString field;
    } cases[] = {
        {FieldKind::Text, true, true, "Zyxwv "},     {FieldKind::Unknown, false, true, "Zyxwv "},
        {FieldKind::Password, false, false, "zyxwv "}, {FieldKind::Terminal, false, true, "zyxwv "},
        {FieldKind::Email, false, true, "zyxwv "},   {FieldKind::Url, false, true, "zyxwv "},
        {FieldKind::Number, false, false, "zyxwv "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.kind));
        CompletionEngine engine(std::make_shared<const Dictionary>(Dictionary::builtIn()));
        session().setCompletion(&engine);
        fresh();
        session().setFieldKind(c.kind);
        run("key z|key y|key x|key w|key v|key Space|key t|key h");
        EXPECT_EQ(engine.learned().find(QStringLiteral("zyxwv")) != nullptr, c.learns);
        EXPECT_EQ(!session().candidates().isEmpty(), c.candidates);
        EXPECT_EQ(output.fieldText(), c.field + "th");
        if (c.candidates) {
            run("pick 1");
            EXPECT_EQ(engine.learned().find(QStringLiteral("the")) != nullptr, c.learns) << "a picked word";
        }
        session().setCompletion(nullptr);
    }
}

TEST(KeyboardModeNotePad, TheNotePadLearnsAsBefore)
{
    SessionScript script;
    CompletionEngine engine(std::make_shared<const Dictionary>(Dictionary::builtIn()));
    script.session().setCompletion(&engine);
    for (const char *line : {"key z", "key y", "key x", "key Space"})
        script.run(QString::fromLatin1(line));
    EXPECT_NE(engine.learned().find(QStringLiteral("zyx")), nullptr);
    EXPECT_EQ(script.session().caption(keyIndexByRole(KeyRole::Load)), "Load");
}

// Correction of typing errors with the English model, as the program uses it.
class KeyboardCorrection : public KeyboardMode {
protected:
    KeyboardCorrection()
    {
        EXPECT_TRUE(engine->isAvailable()) << engine->unavailableReason().toStdString();
        session().setCorrection(&correction);
    }
    std::unique_ptr<CompletionEngine> engine = CompletionEngine::create(QStringLiteral(WENDREL_MODEL_FILE));
    WordCorrection correction{*engine, std::make_shared<const Dictionary>(Dictionary::builtIn())};
};

TEST_F(KeyboardCorrection, ACorrectionIsSentAndTakenBack)
{
    run("key t|key g|key e|key Space");
    EXPECT_EQ(output.log(), "text:T|text:g|text:e|delete:2|text:he ");
    EXPECT_EQ(output.fieldText(), "The ");
    output.clearLog();
    run("key BackSpace");
    EXPECT_EQ(output.log(), "delete:3|text:ge ");
    EXPECT_EQ(output.fieldText(), "Tge ");
}

TEST_F(KeyboardCorrection, WhereNothingIsCorrected)
{
    const struct {
        const char *name;
        FieldKind kind;
        QString events;
        QString field;
    } cases[] = {
        {"a text field", FieldKind::Text, "key t|key g|key e|key Space", "The "},
        {"an unknown field", FieldKind::Unknown, "key t|key g|key e|key Space", "The "},
        {"a password field", FieldKind::Password, "key t|key g|key e|key Space", "tge "},
        {"a terminal", FieldKind::Terminal, "key t|key g|key e|key Space", "tge "},
        {"a web address", FieldKind::Url, "key t|key g|key e|key .", "tge."},
        {"a word that may go on before what is known", FieldKind::Text, "key Save|key t|key g|key e|key Space", "tge "},
        {"a word after a space typed since", FieldKind::Text, "key Save|key Space|key t|key g|key e|key Space", " the "},
    };
    for (const auto &c : cases) {
        fresh();
        session().setFieldKind(c.kind);
        run(c.events);
        EXPECT_EQ(output.fieldText(), c.field) << c.name;
    }
}

TEST_F(KeyboardCorrection, AWordTakenBackTwiceIsNotLearnedWhereNothingIsLearned)
{
    session().setFieldKind(FieldKind::Unknown);
    for (int i = 0; i < 2; ++i) {
        fresh();
        run("key t|key g|key e|key Space|key BackSpace");
        EXPECT_EQ(output.fieldText(), "Tge ");
    }
    EXPECT_EQ(engine->learned().find(QStringLiteral("tge")), nullptr);
}
