// The completion engine on its own: the built-in dictionary, contexts, case, learning and the
// learned-words file.
#include "CompletionEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

const std::shared_ptr<const Dictionary> &builtInDictionary()
{
    static const auto dictionary = std::make_shared<const Dictionary>(Dictionary::builtIn());
    return dictionary;
}

QStringList candidatesFor(const QString &before)
{
    CompletionEngine engine(builtInDictionary());
    return engine.candidates(before);
}

} // namespace

TEST(CompletionDictionary, BuiltInListIsWholeAndSearchedWithoutRegardToCase)
{
    const Dictionary &dictionary = *builtInDictionary();
    EXPECT_GT(dictionary.size(), 70000);
    const qsizetype i = dictionary.find("i");
    ASSERT_GE(i, 0);
    EXPECT_EQ(dictionary.word(i), QByteArrayView("I"));
    EXPECT_GE(dictionary.find("london"), 0);
    EXPECT_EQ(dictionary.find("lond"), -1);
    const auto [first, last] = dictionary.prefixRange("zz");
    for (qsizetype k = first; k < last; ++k)
        EXPECT_TRUE(dictionary.word(k).toByteArray().toLower().startsWith("zz"));
}

TEST(CompletionDictionary, AnUnsortedOrRaggedListStillLoads)
{
    const Dictionary dictionary(QByteArray("zebra 5\nApple 9\nbad line\napricot 2\n\nant x\n"));
    EXPECT_EQ(dictionary.size(), 3);
    EXPECT_EQ(dictionary.total(), 16u);
    const auto range = dictionary.prefixRange("ap");
    EXPECT_EQ(range.second - range.first, 2);
    const QList<qsizetype> best = dictionary.mostFrequent(range, 3);
    ASSERT_EQ(best.size(), 2);
    EXPECT_EQ(dictionary.word(best[0]), QByteArrayView("Apple"));
}

TEST(CompletionCandidates, MostFrequentWordsWithThePrefixFirst)
{
    EXPECT_EQ(candidatesFor(QStringLiteral("th")), (QStringList{"the", "that", "this"}));
    // The word as typed is not offered: a space finishes it.
    EXPECT_FALSE(candidatesFor(QStringLiteral("the")).contains(QStringLiteral("the")));
    EXPECT_EQ(candidatesFor(QStringLiteral("Th")), (QStringList{"The", "That", "This"}));
    EXPECT_EQ(candidatesFor(QStringLiteral("TH")), (QStringList{"THE", "THAT", "THIS"}));
    // Names keep their capital whatever was typed.
    EXPECT_TRUE(candidatesFor(QStringLiteral("We went to lond")).contains(QStringLiteral("London")));
    for (const QString &word : candidatesFor(QStringLiteral("a long wo")))
        EXPECT_TRUE(word.startsWith(QStringLiteral("wo"))) << word.toStdString();
}

TEST(CompletionCandidates, ApostrophesInsideWordsAndQuotesAroundThem)
{
    EXPECT_EQ(candidatesFor(QStringLiteral("I don")).value(0), QStringLiteral("don't"));
    EXPECT_EQ(candidatesFor(QStringLiteral("I don'")).value(0), QStringLiteral("don't"));
    EXPECT_EQ(candidatesFor(QStringLiteral("i'")).value(0), QStringLiteral("I'm"));
    // An opening quote is not part of the word.
    EXPECT_EQ(candidatesFor(QStringLiteral("she said 'th")), candidatesFor(QStringLiteral("she said th")));
    EXPECT_TRUE(candidatesFor(QStringLiteral("she said '")).isEmpty());
}

TEST(CompletionCandidates, NothingWhereNoWordIsBeingTyped)
{
    const char *cases[] = {
        "12",          // a number
        "3ab",         // a word run into a number
        "1+2=3",       // a formula's result
        "x=ab",        // right after "="
        "word,",       // after a punctuation mark without a space
        "word ",       // the next word: nothing learned yet
        "",            // nothing typed, nothing learned
        "line\r\n",
    };
    for (const char *before : cases)
        EXPECT_TRUE(candidatesFor(QString::fromUtf8(before)).isEmpty()) << before;
}

TEST(CompletionCase, AcceptedWordsKeepTheCaseTyped)
{
    struct Case {
        const char *typed, *word;
        bool capsOn, sentenceStart;
        const char *expected;
    } cases[] = {
        {"th", "the", false, false, "the"},
        {"Th", "the", false, false, "The"},
        {"TH", "the", false, false, "THE"},
        {"T", "the", true, false, "THE"},    // one capital with Caps on
        {"T", "the", false, false, "The"},   // one capital: Shift or the assistant
        {"lon", "London", false, false, "London"},
        {"i", "I'm", false, false, "I'm"},
        {"", "the", false, true, "The"},     // the next word at the start of a sentence
        {"", "the", false, false, "the"},
        {"", "the", true, false, "THE"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(applyCase(QString::fromUtf8(c.typed), QString::fromUtf8(c.word), c.capsOn, c.sentenceStart),
                  QString::fromUtf8(c.expected))
            << c.typed << " " << c.word;
    }
}

TEST(CompletionContextTest, PreviousWordOrMarker)
{
    EXPECT_EQ(completionContext(u"I want to").previous, QStringLiteral("want"));
    EXPECT_EQ(completionContext(u"I want ").previous, QStringLiteral("want"));
    EXPECT_EQ(completionContext(u"Done. ").previous, sentenceStartMarker);
    EXPECT_TRUE(completionContext(u"Done. ").sentenceStart);
    EXPECT_EQ(completionContext(u"one\r\n").previous, sentenceStartMarker);
    EXPECT_TRUE(completionContext(u"one\r\n").sentenceStart);
    EXPECT_EQ(completionContext(u"yes, ").previous, QStringLiteral(","));
    EXPECT_EQ(completionContext(u"at 10 o").previous, numberMarker);
    EXPECT_EQ(completionContext(u"Don't wo").previous, QStringLiteral("don't"));
}

// A swiped word goes in whole at the caret: the word that ends there is the one before it, not
// the start of this one (each stroke after a swiped word used to be read after the word before).
TEST(CompletionContextTest, WordsBeforeAWordPutInWholeAtTheCaret)
{
    const struct {
        const char16_t *before;
        QString previous1, previous2;
    } cases[] = {
        {u"", sentenceStartMarker, {}},
        {u"Hello", QStringLiteral("hello"), sentenceStartMarker},
        {u"Hello world", QStringLiteral("world"), QStringLiteral("hello")},
        {u"I said ", QStringLiteral("said"), QStringLiteral("i")},
        {u"Done.", sentenceStartMarker, {}},
        {u"Done. ", sentenceStartMarker, {}},
        {u"said Mr.", QStringLiteral("mr"), QStringLiteral("said")},
        {u"yes, and", QStringLiteral("and"), QStringLiteral("yes")},
        {u"she said \"", QStringLiteral("said"), QStringLiteral("she")},
        {u"it's", QStringLiteral("it's"), sentenceStartMarker},
        {u"line\n", sentenceStartMarker, {}},
        {u"at 10", QString(), QString()},
    };
    for (const auto &c : cases) {
        const auto [previous1, previous2] = modelWordsAt(c.before);
        EXPECT_EQ(previous1, c.previous1) << QString::fromUtf16(c.before).toStdString();
        EXPECT_EQ(previous2, c.previous2) << QString::fromUtf16(c.before).toStdString();
    }
}

TEST(CompletionLearning, NextWordsFollowLearnedPairs)
{
    CompletionEngine engine(builtInDictionary());
    engine.learnText(QStringLiteral("I want to go home. You want to see it. We want more."));
    EXPECT_EQ(engine.candidates(QStringLiteral("They want ")).value(0), QStringLiteral("to"));
    EXPECT_TRUE(engine.candidates(QStringLiteral("They want ")).contains(QStringLiteral("more")));
    // At the start of a sentence the next word comes with a capital.
    const QStringList starts = engine.candidates(QStringLiteral("Fine. "));
    EXPECT_TRUE(starts.contains(QStringLiteral("You"))) << starts.join(u',').toStdString();
    // Typed letters narrow the next words.
    EXPECT_EQ(engine.candidates(QStringLiteral("They want m")).value(0), QStringLiteral("more"));
}

TEST(CompletionLearning, WordsUsedOftenRankAboveTheDictionary)
{
    CompletionEngine engine(builtInDictionary());
    EXPECT_NE(engine.candidates(QStringLiteral("th")).value(0), QStringLiteral("thrombosis"));
    for (int i = 0; i < 10; ++i)
        engine.learnFinishedWord(QStringLiteral("thrombosis "));
    EXPECT_EQ(engine.candidates(QStringLiteral("th")).value(0), QStringLiteral("thrombosis"));
}

TEST(CompletionLearning, AcceptingTypesTheWordAndASpaceAndLearnsIt)
{
    CompletionEngine engine(builtInDictionary());
    const auto replacement = engine.accept(QStringLiteral("I said th"), QStringLiteral("thanks"));
    ASSERT_TRUE(replacement);
    EXPECT_EQ(replacement->removeCount, 2);
    EXPECT_EQ(replacement->text, QStringLiteral("thanks "));
    EXPECT_EQ(engine.learned().find(QStringLiteral("thanks"))->count, 1u);
    // Learned with the word before it.
    EXPECT_EQ(engine.candidates(QStringLiteral("We said ")).value(0), QStringLiteral("thanks"));
    EXPECT_FALSE(engine.accept(QStringLiteral("12"), QStringLiteral("x")));
    // A capital typed for one use does not stick to the word.
    for (int i = 0; i < 3; ++i)
        engine.accept(QStringLiteral("so Th"), QStringLiteral("Thanks"));
    EXPECT_EQ(engine.learned().find(QStringLiteral("thanks"))->display, QStringLiteral("thanks"));
    EXPECT_TRUE(engine.candidates(QStringLiteral("no th")).contains(QStringLiteral("thanks")));
}

TEST(CompletionLearning, NumbersAndOverlongStringsAreNotLearned)
{
    LearnedWords learned;
    EXPECT_FALSE(learned.learn(u"abc1", QStringLiteral("x"), false));
    EXPECT_FALSE(learned.learn(QString(41, u'a'), QStringLiteral("x"), false));
    EXPECT_TRUE(learned.learn(QString(40, u'a'), QStringLiteral("x"), false));
    EXPECT_FALSE(learned.learn(u"''", QStringLiteral("x"), false));
    EXPECT_EQ(learned.wordCount(), 1);
    CompletionEngine engine(builtInDictionary());
    engine.learnText(QStringLiteral("room 101 and 3rd floor"));
    EXPECT_EQ(engine.learned().find(QStringLiteral("3rd")), nullptr);
    EXPECT_NE(engine.learned().find(QStringLiteral("floor")), nullptr);
}

TEST(CompletionLearning, TheStoreIsBoundedAndTheLeastUsedGoFirst)
{
    LearnedWords learned(nullptr, 100, 150);
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 20; ++i)
            learned.learn(QStringLiteral("often%1").arg(QChar(u'a' + i)), QStringLiteral("x"), false);
    }
    const auto letters = [](int n) {
        QString word = QStringLiteral("rare");
        do {
            word += QChar(u'a' + n % 26);
            n /= 26;
        } while (n);
        return word;
    };
    for (int i = 0; i < 500; ++i)
        learned.learn(letters(i), QStringLiteral("ctx%1").arg(i % 7), false);
    EXPECT_LE(learned.wordCount(), 100);
    EXPECT_LE(learned.pairCount(), 150);
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(learned.find(QStringLiteral("often%1").arg(QChar(u'a' + i))), nullptr) << i;
    EXPECT_EQ(learned.mostUsed().size(), 8u);
    EXPECT_EQ(learned.find(learned.mostUsed().front())->count, 5u);
}

TEST(CompletionLearning, FileRoundTripAndDamagedFilesMovedAside)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    CompletionEngine engine(builtInDictionary());
    EXPECT_EQ(engine.learned().load(path), LearnedWords::LoadResult::Missing);
    engine.learnText(QStringLiteral("Elizabeth said: \"Mr Darcy's friend isn't here.\""));
    ASSERT_TRUE(engine.learned().save(path));
    EXPECT_FALSE(engine.learned().isDirty());

    CompletionEngine reloaded(builtInDictionary());
    ASSERT_EQ(reloaded.learned().load(path), LearnedWords::LoadResult::Loaded);
    EXPECT_EQ(reloaded.learned().serialise(), engine.learned().serialise());
    EXPECT_EQ(reloaded.candidates(QStringLiteral("Mr ")), engine.candidates(QStringLiteral("Mr ")));

    // Lines that cannot be read are skipped (learned_words_test.cpp); these are no store at all.
    const QByteArray damaged[] = {
        "not a store",
        "wendrel-learned-words 2\nw\tword\t1\t1\n",
        QByteArray("\xff\xfe"),
    };
    for (const QByteArray &bytes : damaged) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        CompletionEngine fresh(builtInDictionary());
        EXPECT_EQ(fresh.learned().load(path), LearnedWords::LoadResult::Damaged) << bytes.toStdString();
        EXPECT_EQ(fresh.learned().wordCount(), 0);
        EXPECT_FALSE(QFile::exists(path));
        QFile aside(path + QStringLiteral(".damaged"));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), bytes);
        aside.remove();
    }
    if (geteuid() != 0) { // root reads any file
        QFile locked(path);
        ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
        locked.write("wendrel-learned-words 1\n");
        locked.close();
        locked.setPermissions(QFileDevice::WriteOwner);
        CompletionEngine fresh(builtInDictionary());
        EXPECT_EQ(fresh.learned().load(path), LearnedWords::LoadResult::Unreadable);
        EXPECT_TRUE(QFile::exists(path)); // left where it is
    }
}
