// Holds, the long-press popup, slides on Space and undo through the typing session, as
// wendrel-type's events reach it: tables of touch sequences on the session's clock.
#include "Alternates.h"
#include "SessionScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

struct Case {
    const char *name;
    QString events;
    QString text;
};

class Editing : public ::testing::Test {
protected:
    // Each case from a fresh start: the text its events leave.
    void expectTexts(std::initializer_list<Case> cases)
    {
        for (const Case &c : cases)
            EXPECT_EQ(typed(c.events), c.text) << c.name << ": " << c.events.toStdString();
    }
    // Runs events separated by "|", each one line of wendrel-type's input. "@name" stands for the
    // centre of the key of that name, "@name+dx,dy" for a point beside it, "@cell:x" for the
    // centre of the open popup's cell x (as it is when the line runs).
    void run(const QString &events)
    {
        for (const QString &line : events.split(u'|', Qt::SkipEmptyParts)) {
            const QString expanded = expand(line);
            const SessionScript::Result result = script.run(expanded);
            ASSERT_TRUE(result.error.isEmpty()) << expanded.toStdString() << ": " << result.error.toStdString();
        }
    }
    QString typed(const QString &events)
    {
        session().reset();
        run(events);
        return session().plainText();
    }
    TypingSession &session() { return script.session(); }
    const TypingSession &session() const { return const_cast<SessionScript &>(script).session(); }
    QString caption(int id) { return session().caption(keyIndexById(id)); }

    QString expand(const QString &line) const
    {
        const qsizetype at = line.indexOf(u'@');
        if (at < 0)
            return line;
        const QString token = line.mid(at + 1);
        const qsizetype plus = token.indexOf(u'+', 1);
        const QString base = plus < 0 ? token : token.left(plus);
        QPointF point;
        if (base.startsWith(QStringLiteral("cell:"))) {
            const QList<PopupCell> cells = session().popup();
            const auto cell = std::find_if(cells.begin(), cells.end(), [&](const PopupCell &c) { return c.text == base.mid(5); });
            if (cell == cells.end())
                ADD_FAILURE() << "no popup cell " << base.toStdString();
            else
                point = cell->rect.center();
        } else {
            const int key = SessionScript::keyByName(base);
            if (key < 0)
                ADD_FAILURE() << "no key " << base.toStdString();
            else
                point = TypingSession::keyCentre(key);
        }
        if (plus >= 0) {
            const QStringList offset = token.mid(plus + 1).split(u',');
            point += QPointF(offset.value(0).toDouble(), offset.value(1).toDouble());
        }
        return line.left(at) + QStringLiteral("%1 %2").arg(point.x()).arg(point.y());
    }

    SessionScript script;
};

const QString hold = QStringLiteral("press @BackSpace|wait %1|release @BackSpace");
const QString undoKey = QStringLiteral("key Fn|key BackSpace");
const QString redoKey = QStringLiteral("key Fn|key Shift|key BackSpace");

QString chooseFrom(const QString &key, const QString &cell)
{
    return QStringLiteral("press @%1|wait 400|move @cell:%2|release @cell:%2").arg(key, cell);
}

} // namespace

TEST_F(Editing, BackSpaceHeld)
{
    const QString hello = QStringLiteral("key h|key e|key l|key l|key o|");
    expectTexts({
        {"a tap deletes one", hello + hold.arg(40), "Hell"},
        {"just short of a hold", hello + hold.arg(399), "Hell"},
        {"held 400 ms it deletes again", hello + hold.arg(400), "Hel"},
        {"then ten a second", hello + "key Space|key y|key o|key u|" + hold.arg(700), "Hell"},
        {"release stops at once", hello + hold.arg(450) + "|wait 2000", "Hel"},
        {"a tap still undoes the assistant's capital", "key h|" + hold.arg(40), "h"},
        {"a hold undoes it, then deletes", "key h|key i|key .|key Space|key w|" + hold.arg(500), "Hi."},
        {"nothing to delete", hold.arg(2000), ""},
        {"a held letter does not repeat", "press @q|wait 2000|release @q", "Q"},
        {"a held digit does not repeat", "press @7|wait 2000|release @7", "7"},
        {"Undo does not repeat", "key a|key Space|key b|key Space|key c|key Fn|" + hold.arg(2000), "A b "},
    });
}

TEST_F(Editing, BackSpaceHeldDeletesWordsAfterTenCharacters)
{
    session().insertText(QStringLiteral("one two three four five six"));
    run(hold.arg(1200));
    EXPECT_EQ(session().plainText(), QStringLiteral("one two three fou")); // ten characters
    session().reset();
    session().insertText(QStringLiteral("one two three four five six"));
    run(hold.arg(1400));
    EXPECT_EQ(session().plainText(), QStringLiteral("one two ")); // and two words
    session().reset();
    session().insertText(QStringLiteral("first line\nsecond line"));
    run(hold.arg(1500));
    EXPECT_EQ(session().plainText(), QString()) << "words reach back over a line break";
}

// Three seconds of BackSpace delete a line of sixty characters, as one undo step.
TEST_F(Editing, ThreeSecondsDeleteALineOfSixtyCharacters)
{
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog by the riverbank.");
    ASSERT_GE(line.size(), 60);
    session().insertText(line);
    QSignalSpy sounds(&session(), &TypingSession::soundRequested);
    run(hold.arg(3000));
    EXPECT_EQ(session().plainText(), QString());
    EXPECT_GT(sounds.size(), 10) << "a sound for each deletion";
    run(undoKey);
    EXPECT_EQ(session().plainText(), line);
}

TEST_F(Editing, LongPressTypesAnAlternate)
{
    expectTexts({
        {"at the text's start the assistant capitalises", chooseFrom("e", "é"), "É"},
        {"within a word", "key c|key a|key f|" + chooseFrom("e", "é"), "Café"},
        {"ä on a", "key h|key i|key Space|" + chooseFrom("a", "ä"), "Hi ä"},
        {"at a sentence's start", "key o|key k|key .|key Space|" + chooseFrom("u", "ü"), "Ok. Ü"},
        {"Shift: capitals, and Shift is released", "key h|key Shift|" + chooseFrom("s", "ẞ") + "|key a", "Hẞa"},
        {"Caps: capitals", "key Caps|" + chooseFrom("o", "Ö") + "|key o", "ÖO"},
        {"Turkish capital dotted I", "key Shift|" + chooseFrom("i", "İ"), "İ"},
        {"the second row of a key", "key x|key Space|" + chooseFrom("'", "«"), "X «"},
        {"a currency on 4", chooseFrom("4", "€"), "€"},
        {"¿ on Shift /", "key Shift|" + chooseFrom("/", "¿"), "¿"},
        {"released on the key: its own letter", "key h|press @e|wait 400|release @e", "He"},
        {"released outside the popup", "key h|press @e|wait 400|release 120 40", "He"},
        {"back from a cell to the key", "key h|press @e|wait 400|move @cell:ê|move @e|release @e", "He"},
        {"before 400 ms a tap", "key h|press @e|wait 399|release @e", "He"},
        {"moved off before it opened", "key h|press @e|move @e+0,-30|wait 500|release @e+0,-30", "H"},
        {"Fn: a letter is a program key", "key Fn|press @e|wait 500|release @e", ""},
    });
}

TEST_F(Editing, ThePopupAsTheStateShowsIt)
{
    QSignalSpy changes(&session(), &TypingSession::popupChanged);
    run("press @e|wait 399");
    EXPECT_TRUE(session().popup().isEmpty());
    run("wait 1");
    const QList<PopupCell> cells = session().popup();
    ASSERT_EQ(cells.size(), smallLetterAlternates(u'e').size());
    EXPECT_EQ(cells[0].text, QStringLiteral("é"));
    EXPECT_EQ(changes.size(), 1);

    const QJsonArray popup = script.state()[QStringLiteral("popup")].toArray();
    ASSERT_EQ(popup.size(), cells.size());
    EXPECT_EQ(popup[0].toObject()[QStringLiteral("text")].toString(), QStringLiteral("é"));
    EXPECT_EQ(popup[0].toObject()[QStringLiteral("x")].toDouble(), cells[0].rect.center().x());
    EXPECT_EQ(popup[0].toObject()[QStringLiteral("y")].toDouble(), cells[0].rect.center().y());

    EXPECT_EQ(session().popupChosenCell(), -1);
    run("move @cell:è");
    EXPECT_EQ(session().popupChosenCell(), 1);
    QSignalSpy sounds(&session(), &TypingSession::soundRequested);
    run("release @cell:è");
    EXPECT_TRUE(session().popup().isEmpty());
    EXPECT_TRUE(script.state()[QStringLiteral("popup")].toArray().isEmpty());
    EXPECT_EQ(sounds.size(), 1) << "the key sound, as for a tap";
    EXPECT_TRUE(session().isLit(keyIndexById(1004))) << "lit as for a tap";
    run("wait 65");
    EXPECT_FALSE(session().isLit(keyIndexById(1004)));
}

// Wherever the key, the popup stays within the layout, just above the key.
TEST_F(Editing, PopupPlacementAtTheEdges)
{
    for (const char *name : {"a", "z", "c", "t", "l", "o", "e", "4", "'", "=", "/", "-", "pad.", "pad-", "*"}) {
        SCOPED_TRACE(name);
        session().reset();
        run(QStringLiteral("press @%1|wait 400").arg(QLatin1String(name)));
        const QList<PopupCell> cells = session().popup();
        const KeyRect &r = keyTable()[size_t(SessionScript::keyByName(QString::fromLatin1(name)))].rect;
        if (cells.isEmpty()) {
            ADD_FAILURE() << "no popup";
            continue;
        }
        for (const PopupCell &cell : cells) {
            EXPECT_TRUE(QRectF(0, 0, 240, 320).contains(cell.rect));
            EXPECT_GE(cell.rect.width(), 24);
            EXPECT_GE(cell.rect.height(), 27);
            EXPECT_LE(cell.rect.bottom(), r.y) << "above the key";
            EXPECT_GE(cell.rect.top(), r.y - 2 * cell.rect.height()) << "in the two rows over it";
        }
        run("release 120 40");
    }
}

TEST_F(Editing, SlideOnSpaceMovesTheCaret)
{
    struct SlideCase {
        const char *name;
        QString events;
        QString text;
        int caret, anchor;
    };
    const QString helo = QStringLiteral("key h|key e|key l|key o|");
    const SlideCase cases[] = {
        {"a tap types a space", "key a|press @Space|wait 40|release @Space", "A ", 2, 2},
        {"a held Space is a space", "key a|press @Space|wait 900|release @Space", "A ", 2, 2},
        {"less than a step is a tap", "key a|press @Space|move @Space+-7,0|release @Space+-7,0", "A ", 2, 2},
        {"one character per 8 pixels", helo + "press @Space|move @Space+-8,0|release @Space+-8,0", "Helo", 3, 3},
        {"where a letter is missing", helo + "press @Space|move @Space+-8,0|release @Space+-8,0|key l", "Hello", 4, 4},
        {"step by step", helo + "press @Space|move @Space+-9,0|move @Space+-17,0|move @Space+-25,0|release @Space+-25,0",
         "Helo", 1, 1},
        {"not past the start", helo + "press @Space|move @Space+-100,0|release @Space+-100,0", "Helo", 0, 0},
        {"not past the end", helo + "press @Space|move @Space+-16,0|move @Space+80,0|release @Space+80,0", "Helo", 4, 4},
        {"back where it began: no space", helo + "press @Space|move @Space+16,0|move @Space|release @Space", "Helo", 4, 4},
        {"off the key, up the screen", helo + "press @Space|move @Space+-16,-200|release @Space+-16,-200", "Helo", 2, 2},
        {"a line break is one character", "key a|key Enter|key b|press @Space|move @Space+-16,0|release @Space+-16,0",
         "A\nB", 1, 1},
        {"Shift extends the selection", helo + "key Shift|press @Space|move @Space+-24,0|release @Space+-24,0", "Helo", 1, 4},
        {"the selection is typed over", helo + "key Shift|press @Space|move @Space+-24,0|release @Space+-24,0|key x",
         "Hx", 2, 2},
    };
    for (const SlideCase &c : cases) {
        EXPECT_EQ(typed(c.events), c.text) << c.name;
        EXPECT_EQ(session().caret(), c.caret) << c.name;
        EXPECT_EQ(session().anchor(), c.anchor) << c.name;
    }
    typed(helo + "key Shift|press @Space|move @Space+-8,0|release @Space+-8,0");
    EXPECT_FALSE(session().shiftOn()) << "Shift is released after it selected";
    EXPECT_FALSE(session().hasDefaultLook(keyIndexById(2004)));
}

TEST_F(Editing, UndoAndRedo)
{
    const QString hiYou = QStringLiteral("key h|key i|key Space|key y|key o|key u|");
    const QString selectTwo = QStringLiteral("key Shift|press @Space|move @Space+-16,0|release @Space+-16,0|");
    expectTexts({
        {"a word", hiYou + undoKey, "Hi "},
        {"two words", hiYou + undoKey + "|" + undoKey, ""},
        {"redo", hiYou + undoKey + "|" + undoKey + "|" + redoKey, "Hi "},
        {"redo twice", hiYou + undoKey + "|" + undoKey + "|" + redoKey + "|" + redoKey, "Hi you"},
        {"nothing to undo", undoKey, ""},
        {"nothing to redo", "key a|" + redoKey, "A"},
        {"a word with its separators", "key o|key k|key .|key Space|key Space|key n|key o|" + undoKey, "Ok.  "},
        {"a line break ends a word's step", "key a|key Enter|key b|" + undoKey, "A\n"},
        {"the assistant's correction goes with its word", "key s|key o|key Space|key i|key Space|" + undoKey, "So "},
        {"a letter from the popup goes with its word", "key c|key a|key f|" + chooseFrom("e", "é") + "|key Space|" + undoKey, ""},
        {"a paste", "clipboard \"pasted \"|key a|key Space|key Fn|key Load|key b|" + undoKey + "|" + undoKey, "A "},
        {"a paste over a selection", "key a|key b|key c|" + selectTwo + "clipboard \"XY\"|key Fn|key Load|" + undoKey, "Abc"},
        {"a held BackSpace's run", "key a|key b|key Space|key c|key d|" + hold.arg(600) + "|" + undoKey, "Ab cd"},
        {"each tapped BackSpace", "key a|key b|key c|key BackSpace|key BackSpace|" + undoKey, "Ab"},
        {"typing after a deletion", "key a|key b|key c|key BackSpace|key d|" + undoKey, "Ab"},
        {"a slide ends the word's step", "key a|key b|press @Space|move @Space+-8,0|release @Space+-8,0|key c|" + undoKey, "Ab"},
        {"the formula's result", "key 2|key +|key 3|key Fn|key =|" + undoKey, "2+3"},
        {"BackSpace after an undo deletes as usual", "key h|key i|key .|key Space|key w|" + undoKey + "|key BackSpace", "Hi."},
        {"an undone word then a new one", hiYou + undoKey + "|key m|key e|" + undoKey, "Hi "},
    });
}

TEST_F(Editing, UndoAndRedoAreFnKeysOnBackSpace)
{
    EXPECT_EQ(caption(1065), QStringLiteral("BackSpace"));
    run("key Fn");
    EXPECT_EQ(caption(1065), QStringLiteral("Undo"));
    run("key Shift");
    EXPECT_EQ(caption(1065), QStringLiteral("Redo"));
    run("key Shift");
    EXPECT_EQ(caption(1065), QStringLiteral("Undo"));
    QSignalSpy sounds(&session(), &TypingSession::soundRequested);
    run("key Shift|key BackSpace");
    EXPECT_FALSE(session().fnOn()) << "Fn is released as after every Fn key";
    EXPECT_FALSE(session().shiftOn());
    EXPECT_EQ(caption(1065), QStringLiteral("BackSpace"));
    EXPECT_EQ(sounds.size(), 1);
    EXPECT_TRUE(session().isLit(keyIndexById(1065)));
}

// A mistaken Load loses nothing.
TEST_F(Editing, LoadIsUndoneAndRedone)
{
    run("key m|key y|key Space|key d|key r|key a|key f|key t");
    session().replaceAll(QStringLiteral("a loaded\r\nfile"));
    EXPECT_EQ(session().plainText(), QStringLiteral("a loaded\nfile"));
    run(undoKey);
    EXPECT_EQ(session().plainText(), QStringLiteral("My draft"));
    run(redoKey);
    EXPECT_EQ(session().plainText(), QStringLiteral("a loaded\nfile"));
}

TEST_F(Editing, TwoHundredAndFiftyStepsBack)
{
    QStringList texts{QString()};
    for (int word = 0; word < 250; ++word) {
        run(QStringLiteral("key %1|key %2|key Space").arg(QChar(u'a' + word % 26)).arg(QChar(u'a' + word / 26)));
        texts << session().plainText();
    }
    for (int step = 250; step > 0; --step) {
        ASSERT_EQ(session().plainText(), texts[step]) << step;
        run(undoKey);
    }
    EXPECT_EQ(session().plainText(), QString());
}

TEST_F(Editing, ResetForgetsAHeldTouch)
{
    run("key a|key b|press @BackSpace|wait 400");
    session().reset();
    run("wait 1000|key c");
    EXPECT_EQ(session().plainText(), QStringLiteral("C"));
    run("press @e|wait 400");
    ASSERT_FALSE(session().popup().isEmpty());
    session().reset();
    EXPECT_TRUE(session().popup().isEmpty());
}

// The four through wendrel-type itself, as a script would drive it.
TEST(EditingCommandLine, HoldsPopupsSlidesAndUndo)
{
    const auto centre = [](const char *name) {
        const QPointF p = TypingSession::keyCentre(SessionScript::keyByName(QString::fromLatin1(name)));
        return QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
    };
    const KeyRect a = keyTable()[size_t(SessionScript::keyByName(u"a"))].rect;
    const QList<QRectF> cells = popupCellRects(QRectF(a.x, a.y, a.width, a.height), 8);
    const QPointF umlaut = cells[int(smallLetterAlternates(u'a').indexOf(QStringLiteral("ä")))].center();
    const QString input = QStringLiteral(
        "key h\nkey i\nkey Space\n"
        "press %1\nwait 400\nstate\nmove %2 %3\nrelease %2 %3\n"      // ä from the popup
        "press %4\nmove %5\nrelease %5\n"                              // the caret one back
        "key l\n"                                                      // typed before the ä
        "state\n"
        "clipboard \"pasted\"\nkey Fn\nkey Load\nkey Fn\nkey BackSpace\nstate\n" // Paste, Undo
        "press %6\nwait 3000\nrelease %6\nstate\n")                    // BackSpace held
        .arg(centre("a")).arg(umlaut.x()).arg(umlaut.y()).arg(centre("Space"))
        .arg(QStringLiteral("%1 %2").arg(TypingSession::keyCentre(SessionScript::keyByName(u"Space")).x() - 8)
                 .arg(TypingSession::keyCentre(SessionScript::keyByName(u"Space")).y()))
        .arg(centre("BackSpace"));
    QProcess process;
    process.start(QStringLiteral(WENDREL_TYPE), {});
    ASSERT_TRUE(process.waitForStarted());
    process.write(input.toUtf8());
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QList<QJsonObject> states;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            states << QJsonDocument::fromJson(line).object();
    }
    ASSERT_EQ(states.size(), 4);
    const QJsonArray popup = states[0][QStringLiteral("popup")].toArray();
    ASSERT_EQ(popup.size(), 8);
    EXPECT_EQ(popup[0].toObject()[QStringLiteral("text")].toString(), QStringLiteral("á"));
    EXPECT_EQ(states[1][QStringLiteral("text")].toString(), QStringLiteral("Hi lä"));
    EXPECT_EQ(states[1][QStringLiteral("caret")].toInt(), 4);
    EXPECT_EQ(states[2][QStringLiteral("text")].toString(), QStringLiteral("Hi lä"));
    EXPECT_FALSE(states[2][QStringLiteral("fn")].toBool());
    EXPECT_EQ(states[3][QStringLiteral("text")].toString(), QStringLiteral("ä"));
}

// A touch taken away (no release comes): a held BackSpace stops, a popup closes choosing
// nothing, and nothing is typed.
TEST_F(Editing, ACancelledTouchEndsWithoutATap)
{
    run("key a|key b|key c|key d|key e|press @BackSpace|wait 450");
    EXPECT_EQ(session().plainText(), QStringLiteral("Abc"));
    session().cancelTouch();
    run("wait 2000|release @BackSpace");
    EXPECT_EQ(session().plainText(), QStringLiteral("Abc"));
    run("press @e|wait 400|move @cell:é");
    session().cancelTouch();
    EXPECT_TRUE(session().popup().isEmpty());
    run("release 60 165|press @Space|move @Space+-16,0");
    session().cancelTouch();
    run("key x");
    EXPECT_EQ(session().plainText(), QStringLiteral("Axbc"));
    EXPECT_EQ(session().pressedKey(), -1);
}
