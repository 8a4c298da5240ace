// The correction of typing errors in the typing session, from taps as wendrel-type takes them,
// with the English model as the program uses it; and wendrel-type --correction itself.
#include "CompletionEngine.h"
#include "SessionScript.h"
#include "WordCorrection.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

std::unique_ptr<CompletionEngine> englishEngine()
{
    std::unique_ptr<CompletionEngine> engine = CompletionEngine::create(QStringLiteral(WENDREL_MODEL_FILE));
    EXPECT_TRUE(engine->isAvailable()) << engine->unavailableReason().toStdString();
    return engine;
}

const std::shared_ptr<const Dictionary> &builtInDictionary()
{
    static const auto dictionary = std::make_shared<const Dictionary>(Dictionary::builtIn());
    return dictionary;
}

// Each test has its own engine and decoder: what one teaches (a word taken back twice) does
// not reach another.
class Correction : public ::testing::Test {
protected:
    Correction() { session().setCorrection(&correction); }

    // Runs events separated by "|", each one line of wendrel-type's input.
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
    WordCorrection correction{*engine, builtInDictionary()};
    SessionScript script;
};

// Taps at the centres of t, g (next to h) and e, then Space.
const QString tge = QStringLiteral("key t|key g|key e");

} // namespace

TEST_F(Correction, ANeighbourKeyIsMendedAtTheWordsEndAndBackSpaceTakesItBack)
{
    run(tge + QStringLiteral("|key Space"));
    EXPECT_EQ(text(), "The ");
    EXPECT_EQ(session().caret(), 4);
    run(QStringLiteral("key BackSpace"));
    EXPECT_EQ(text(), "Tge "); // exactly as typed, the space stays
    EXPECT_EQ(session().caret(), 4);
    // Not corrected again in this text.
    run(tge + QStringLiteral("|key Space"));
    EXPECT_EQ(text(), "Tge tge ");
    // A BackSpace now deletes as ever.
    run(QStringLiteral("key BackSpace"));
    EXPECT_EQ(text(), "Tge tge");
}

TEST_F(Correction, EachWordEndCorrectsAndTheSeparatorStays)
{
    const struct {
        const char *name;
        QString events;
        QString text;
        QString afterBackSpace;
    } cases[] = {
        {"a full stop", tge + QStringLiteral("|key ."), "The.", "Tge."},
        // Each case mends another word: a word taken back twice would be learned.
        {"a line break", QStringLiteral("key a|key b|key d|key Enter"), "And\n", "Abd\n"},
        {"a comma after a word", QStringLiteral("key o|key f|key Space|key y|key h|key e|key ,"), "Of the,", "Of yhe,"},
        {"capitals typed", QStringLiteral("key Caps|key w|key a|key z|key Space"), "WAS ", "WAZ "},
        {"a letter too many", QStringLiteral("key t|key h|key h|key e|key Space"), "The ", "Thhe "},
        {"two letters swapped", QStringLiteral("key i|key s|key Space|key h|key t|key i|key s|key Space"), "Is this ", "Is htis "},
    };
    for (const auto &c : cases) {
        session().reset();
        run(c.events);
        EXPECT_EQ(text(), c.text) << c.name;
        const int caret = session().caret();
        run(QStringLiteral("key BackSpace"));
        EXPECT_EQ(text(), c.afterBackSpace) << c.name;
        EXPECT_EQ(session().caret(), caret - int(c.text.size() - c.afterBackSpace.size())) << c.name;
    }
}

TEST_F(Correction, KnownWordsAndNamesTypedCarefullyStay)
{
    const struct {
        QString events;
        QString text;
    } cases[] = {
        {QStringLiteral("key t|key i|key e|key Space"), "Tie "},                         // known
        {QStringLiteral("key t|key h|key e|key Space"), "The "},
        {QStringLiteral("key k|key e|key l|key l|key y|key n|key c|key h|key Space"), "Kellynch "}, // no word
        {QStringLiteral("key h|key e|key 1|key 2|key Space"), "He12 "},                 // digits: no word
    };
    for (const auto &c : cases) {
        session().reset();
        run(c.events);
        EXPECT_EQ(text(), c.text);
    }
}

TEST_F(Correction, OnlyABackSpaceRightAfterTakesTheCorrectionBack)
{
    run(tge + QStringLiteral("|key Space|key a|key BackSpace|key BackSpace"));
    EXPECT_EQ(text(), "The");
    session().reset();
    // The caret moved away and back: the correction stands.
    run(tge + QStringLiteral("|key Space"));
    session().setSelection(1, 1);
    session().setSelection(4, 4);
    run(QStringLiteral("key BackSpace"));
    EXPECT_EQ(text(), "The");
}

TEST_F(Correction, TheStripOffersTheDecodersWordsAndTheWordAsTyped)
{
    run(tge);
    const QStringList candidates = session().candidates();
    ASSERT_FALSE(candidates.isEmpty());
    EXPECT_EQ(candidates.front(), "Tge");
    EXPECT_TRUE(candidates.contains(QStringLiteral("The"))) << candidates.join(u' ').toStdString();
    // The word as typed, picked, stays as typed.
    run(QStringLiteral("pick 1"));
    EXPECT_EQ(text(), "Tge ");
    // A word the decoder would not change shows no cell of its own.
    session().reset();
    run(QStringLiteral("key t|key h|key e"));
    EXPECT_FALSE(session().candidates().contains(QStringLiteral("The")));
}

TEST_F(Correction, ATapBesideTheLettersCountsForTheLetterItMeant)
{
    // Left of the A key the middle row leaves a gap: the tap types nothing there.
    run(QStringLiteral("key w|key a|key s|key Space|tap 3 220|key n|key d|key Space"));
    EXPECT_EQ(text(), "Was and ");
}

TEST_F(Correction, SwitchedOffItChangesNothing)
{
    const QString events = QStringLiteral("key t|key g|key e|state|key Space|key BackSpace|tap 3 220|key n|key d|key ,|"
                                          "key Space|key a|key BackSpace|key Caps|key t|key g|key e|key .|state");
    SessionScript plain;
    SessionScript &switchedOff = script;
    switchedOff.session().setCorrection(nullptr);
    for (const QString &line : events.split(u'|')) {
        const SessionScript::Result a = plain.run(line);
        const SessionScript::Result b = switchedOff.run(line);
        EXPECT_EQ(a.answer, b.answer) << line.toStdString();
        EXPECT_EQ(plain.session().plainText(), switchedOff.session().plainText()) << line.toStdString();
    }
    EXPECT_EQ(plain.session().plainText(), "Tgend, TGE.");
}

TEST(CorrectionLearning, AWordTakenBackTwiceIsLearned)
{
    const std::unique_ptr<CompletionEngine> engine = englishEngine();
    WordCorrection correction(*engine, builtInDictionary());
    SessionScript script;
    script.session().setCorrection(&correction);
    const auto typeTge = [&] {
        script.session().reset(); // a new text: a word taken back may be corrected again
        for (const char *line : {"key t", "key g", "key e", "key Space"})
            script.run(QString::fromLatin1(line));
        return script.session().plainText();
    };
    EXPECT_EQ(typeTge(), "The ");
    script.run(QStringLiteral("key BackSpace"));
    EXPECT_EQ(typeTge(), "The ");
    script.run(QStringLiteral("key BackSpace"));
    EXPECT_EQ(script.session().plainText(), "Tge ");
    ASSERT_NE(engine->learned().find(QStringLiteral("tge")), nullptr);
    EXPECT_EQ(typeTge(), "Tge "); // learned: a known word is never replaced
}

TEST(TypeCommandCorrection, TapsAtTheKeysGiveTheThenBackSpaceTgeBack)
{
    // t, g and e at their keys' centres, then Space; as wendrel-type reads them.
    const QByteArray input = "tap 108 193.5\ntap 114 220.5\ntap 60 193.5\nstate\nkey Space\nstate\nkey BackSpace\nstate\n";
    QProcess process;
    process.start(QStringLiteral(WENDREL_TYPE), {QStringLiteral("--correction")});
    ASSERT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QList<QJsonObject> answers;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            answers << QJsonDocument::fromJson(line).object();
    }
    ASSERT_EQ(answers.size(), 3);
    EXPECT_EQ(answers[0][QStringLiteral("text")].toString(), "Tge");
    EXPECT_EQ(answers[0][QStringLiteral("candidates")].toArray().first().toString(), "Tge");
    EXPECT_EQ(answers[1][QStringLiteral("text")].toString(), "The ");
    EXPECT_EQ(answers[2][QStringLiteral("text")].toString(), "Tge ");
    EXPECT_EQ(answers[2][QStringLiteral("caret")].toInt(), 4);
}
