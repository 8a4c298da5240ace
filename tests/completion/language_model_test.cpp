// Completion from a language model: ranking by context on a small model made by hand, learning
// over the model, learning shared by several copies, and model files that cannot be used.
#include "CompletionEngine.h"
#include "ModelBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <thread>
#include <gtest/gtest.h>

using namespace wendrel;
using namespace wendrel::test;

namespace {

// Single words: apple > banana > avocado > apricot. After "green": avocado (pair). After
// "eat green": apricot (triple). A sentence starts with banana.
ModelBuilder handMadeModel()
{
    ModelBuilder b;
    b.words = {{"<s>", {-99, -0.3}}, {"</s>", {-1.2}}, {"apple", {-1.0}}, {"apricot", {-1.6}},
               {"avocado", {-1.5}}, {"banana", {-1.1}}, {"eat", {-1.3, -0.2}}, {"green", {-1.4, -0.5}},
               {"london", {-2.0}}, {"i", {-1.2}}};
    b.pairs = {{{"green", "avocado"}, {-0.4}}, {{"green", "apple"}, {-0.9}}, {{"<s>", "banana"}, {-0.3}},
               {{"<s>", "i"}, {-0.6}}, {{"eat", "green"}, {-0.5, -0.1}}};
    b.triples = {{{"eat", "green", "apricot"}, -0.2}};
    b.spellings = {{"london", "London"}, {"i", "I"}};
    return b;
}

std::shared_ptr<const LanguageModel> model()
{
    static const auto loaded = LanguageModel::fromBytes(handMadeModel().bytes());
    return loaded.model;
}

} // namespace

TEST(LanguageModelRanking, FullerContextsWinAndUnknownOnesBackOff)
{
    ASSERT_NE(model(), nullptr);
    CompletionEngine engine(model(), nullptr);
    struct Case {
        const char16_t *before;
        QStringList expected;
    } cases[] = {
        {u"so a", {"apple", "avocado", "apricot"}},         // single words
        {u"so green a", {"avocado", "apple", "apricot"}},   // a pair beats a single word
        {u"we eat green a", {"apricot", "avocado", "apple"}}, // a triple beats a pair
        {u"we eat green ", {"apricot", "avocado", "apple"}},  // the next word before a letter
        {u"zzz green a", {"avocado", "apple", "apricot"}},  // unknown word before: the pair
        {u"green, a", {"avocado", "apple", "apricot"}},     // the model reads through commas
        {u"qqq a", {"apple", "avocado", "apricot"}},        // unknown context: single words
        {u"Green A", {"Avocado", "Apple", "Apricot"}},      // the case typed
        {u"in lon", {"London"}},                            // as the model writes it
        {u"so apple", {}},                                  // the word typed is not offered
    };
    for (const Case &c : cases)
        EXPECT_EQ(engine.candidates(QString::fromUtf16(c.before)), c.expected) << QString::fromUtf16(c.before).toStdString();
    // A triple's context that comes after a sentence mark is not a context.
    EXPECT_EQ(engine.candidates(QStringLiteral("eat. green a")).value(0), QStringLiteral("avocado"));
}

TEST(LanguageModelRanking, SentenceStartsUseTheModelsStartContext)
{
    CompletionEngine engine(model(), nullptr);
    for (const char16_t *before : {u"", u"Done. ", u"Really? ", u"line\n", u"line\r\n"})
        EXPECT_EQ(engine.candidates(QString::fromUtf16(before)).mid(0, 2), (QStringList{"Banana", "I"}))
            << QString::fromUtf16(before).toStdString();
    // Mid-sentence the same letters follow the single words.
    EXPECT_EQ(engine.candidates(QStringLiteral("the ")).value(0), QStringLiteral("apple"));
    // Nothing where completion offers nothing.
    for (const char16_t *before : {u"12", u"x=ab", u"word,", u"3ab"})
        EXPECT_TRUE(engine.candidates(QString::fromUtf16(before)).isEmpty()) << QString::fromUtf16(before).toStdString();
}

TEST(LanguageModelRanking, ScoresForOtherCallers)
{
    CompletionEngine engine(model(), nullptr);
    const double tolerance = 1.0 / 512;
    EXPECT_NEAR(engine.logProbability(u"apricot", u"green", u"eat"), -0.2, tolerance);
    EXPECT_NEAR(engine.logProbability(u"Avocado", u"GREEN"), -0.4, tolerance);
    // Backing off: the triple context's weight, then the word's own.
    EXPECT_NEAR(engine.logProbability(u"banana", u"green", u"eat"), -0.1 - 0.5 - 1.1, tolerance);
    EXPECT_NEAR(engine.logProbability(u"banana", sentenceStartMarker), -0.3, tolerance);
    EXPECT_NEAR(engine.logProbability(u"banana", u""), -1.1, tolerance);
    EXPECT_EQ(engine.logProbability(u"zebra", u"green"), LanguageModel::minusInfinity);
    EXPECT_EQ(engine.logProbability(u"<s>", u""), LanguageModel::minusInfinity);
    EXPECT_TRUE(engine.isKnownWord(u"London"));
    EXPECT_FALSE(engine.isKnownWord(u"zebra"));
    EXPECT_FALSE(engine.isKnownWord(u"<s>"));
    engine.learnText(QStringLiteral("a zebra"));
    EXPECT_TRUE(engine.isKnownWord(u"Zebra"));
    EXPECT_GT(engine.logProbability(u"zebra", u"a"), LanguageModel::minusInfinity);
}

TEST(LanguageModelLearning, WhatIsUsedOutranksTheModel)
{
    CompletionEngine engine(model(), nullptr);
    ASSERT_EQ(engine.candidates(QStringLiteral("so green ")).value(0), QStringLiteral("avocado"));
    for (int i = 0; i < 5; ++i)
        engine.learnText(QStringLiteral("I like green bananas. "));
    // Learned after the same word, then after the same two words.
    EXPECT_EQ(engine.candidates(QStringLiteral("so green ")).value(0), QStringLiteral("bananas"));
    EXPECT_EQ(engine.candidates(QStringLiteral("like green b")).value(0), QStringLiteral("bananas"));
    // A word the model does not know, learned in another context, comes by its letters.
    for (int i = 0; i < 3; ++i)
        engine.learnText(QStringLiteral("call Zorro now. "));
    EXPECT_EQ(engine.candidates(QStringLiteral("so zo")).value(0), QStringLiteral("Zorro"));
    // Accepting a candidate is a use too; the model's spelling is kept.
    for (int i = 0; i < 3; ++i)
        engine.accept(QStringLiteral("visit lon"), QStringLiteral("London"));
    EXPECT_EQ(engine.learned().find(QStringLiteral("london"))->display, QStringLiteral("London"));
    EXPECT_EQ(engine.candidates(QStringLiteral("we visit ")).value(0), QStringLiteral("London"));
    // A word first learned at a sentence start keeps the model's small letters.
    engine.learnText(QStringLiteral("Apple. "));
    EXPECT_EQ(engine.learned().find(QStringLiteral("apple"))->display, QStringLiteral("apple"));
}

TEST(LanguageModelLearning, WordsUsedOftenLeanTheModelTowardsThemInEveryContext)
{
    CompletionEngine engine(model(), nullptr);
    ASSERT_EQ(engine.candidates(QStringLiteral("so green ")), (QStringList{"avocado", "apple", "banana"}));
    for (int i = 0; i < 50; ++i)
        engine.learnText(QStringLiteral("we like apricot. "));
    // Learned only after "like", the word now comes first where the model knows nothing of
    // the context, and after "green" before the single word the model rated higher; the
    // model's pairs after "green" keep their places.
    EXPECT_EQ(engine.candidates(QStringLiteral("so ")).value(0), QStringLiteral("apricot"));
    EXPECT_EQ(engine.candidates(QStringLiteral("so green ")), (QStringList{"avocado", "apple", "apricot"}));
    EXPECT_GT(engine.logProbability(u"apricot", u"so"), -1.6);
}

TEST(LanguageModelLearning, TriplesAreLearnedBoundedAndKeptInTheFile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    CompletionEngine engine(model(), nullptr, 100, 100, 5);
    engine.learnText(QStringLiteral("we eat green kiwis"));
    ASSERT_NE(engine.learned().followers(QStringLiteral("eat"), QStringLiteral("green")), nullptr);
    EXPECT_EQ(engine.learned().followers(QStringLiteral("eat"), QStringLiteral("green"))->list.front().key,
              QStringLiteral("kiwis"));
    ASSERT_TRUE(engine.learned().save(path));
    CompletionEngine reloaded(model(), nullptr);
    ASSERT_EQ(reloaded.learned().load(path), LearnedWords::LoadResult::Loaded);
    EXPECT_EQ(reloaded.learned().tripleCount(), engine.learned().tripleCount());
    EXPECT_TRUE(reloaded.candidates(QStringLiteral("we eat green ")).contains(QStringLiteral("kiwis")));
    for (int i = 0; i < 50; ++i)
        engine.learnText(QStringLiteral("w%1 x%1 y%1").arg(QChar(u'a' + i % 26)).arg(QChar(u'a' + i / 26)));
    EXPECT_LE(engine.learned().tripleCount(), 5);
}

TEST(LanguageModelLearning, CopiesSharingOneFileKeepEachOthersWords)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    CompletionEngine first(model(), nullptr), second(model(), nullptr);
    EXPECT_EQ(first.learned().load(path), LearnedWords::LoadResult::Missing);
    EXPECT_EQ(second.learned().load(path), LearnedWords::LoadResult::Missing);
    first.learnText(QStringLiteral("alpha beta alpha"));
    second.learnText(QStringLiteral("gamma delta"));
    ASSERT_TRUE(first.learned().save(path));
    ASSERT_TRUE(second.learned().save(path));
    // The second now holds the first's words too, and saving again loses nothing.
    EXPECT_EQ(second.learned().find(QStringLiteral("alpha"))->count, 2u);
    first.learnText(QStringLiteral("epsilon"));
    ASSERT_TRUE(first.learned().save(path));
    CompletionEngine fresh(model(), nullptr);
    ASSERT_EQ(fresh.learned().load(path), LearnedWords::LoadResult::Loaded);
    for (const char *word : {"alpha", "beta", "gamma", "delta", "epsilon"})
        EXPECT_NE(fresh.learned().find(QString::fromLatin1(word)), nullptr) << word;
    EXPECT_EQ(fresh.learned().find(QStringLiteral("alpha"))->count, 2u); // counted once, not once a save
    EXPECT_NE(fresh.learned().followers(QStringLiteral("gamma")), nullptr);
    EXPECT_FALSE(fresh.learned().isDirty());
}

TEST(LanguageModelLearning, TheFileIsReadOnAnotherThreadAndAdopted)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    {
        CompletionEngine writer(model(), nullptr);
        writer.learnText(QStringLiteral("kiwis and kiwis"));
        ASSERT_TRUE(writer.learned().save(path));
    }
    CompletionEngine engine(model(), nullptr);
    LearnedWords::Loaded loaded;
    std::thread worker([read = engine.learned().reader(path), &loaded] { loaded = read(); });
    engine.learnText(QStringLiteral("mangoes")); // while the file is read
    worker.join();
    EXPECT_EQ(engine.learned().adopt(std::move(loaded)), LearnedWords::LoadResult::Loaded);
    EXPECT_EQ(engine.learned().find(QStringLiteral("kiwis"))->count, 2u);
    EXPECT_NE(engine.learned().find(QStringLiteral("mangoes")), nullptr);
    EXPECT_TRUE(engine.learned().isDirty()); // the word learned meanwhile is not on disk yet

    // Saving too: the file is read, added to and written on the other thread.
    LearnedWords::Saved saved;
    std::thread writer([work = engine.learned().saver(path), &saved] { saved = work(); });
    engine.learnText(QStringLiteral("papayas")); // while the file is written
    writer.join();
    EXPECT_TRUE(engine.learned().adoptSaved(std::move(saved)));
    EXPECT_NE(engine.learned().find(QStringLiteral("papayas")), nullptr);
    EXPECT_TRUE(engine.learned().isDirty()); // papayas is for the next save
    CompletionEngine onDisk(model(), nullptr);
    ASSERT_EQ(onDisk.learned().load(path), LearnedWords::LoadResult::Loaded);
    EXPECT_NE(onDisk.learned().find(QStringLiteral("mangoes")), nullptr);
    EXPECT_EQ(onDisk.learned().find(QStringLiteral("papayas")), nullptr);
    ASSERT_TRUE(engine.learned().save(path));
    ASSERT_EQ(onDisk.learned().load(path), LearnedWords::LoadResult::Loaded);
    EXPECT_EQ(onDisk.learned().find(QStringLiteral("papayas"))->count, 1u);
    EXPECT_EQ(onDisk.learned().find(QStringLiteral("mangoes"))->count, 1u);

    // Neither a pipe nor a folder is read (a pipe would wait for a writer), moved or replaced.
    const QString pipe = folder.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(engine.learned().reader(pipe)().result, LearnedWords::LoadResult::NotAFile);
    EXPECT_FALSE(QFileInfo::exists(pipe + QStringLiteral(".damaged")));
    const QString subfolder = folder.filePath(QStringLiteral("subfolder"));
    ASSERT_TRUE(QDir().mkpath(subfolder));
    EXPECT_EQ(engine.learned().reader(subfolder)().result, LearnedWords::LoadResult::NotAFile);
    EXPECT_TRUE(QFileInfo(subfolder).isDir());
    EXPECT_FALSE(engine.learned().save(pipe));
    EXPECT_FALSE(QFileInfo(pipe).isFile());
    const QString modelPipe = folder.filePath(QStringLiteral("model-pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(modelPipe).constData(), 0600), 0);
    EXPECT_FALSE(LanguageModel::open(modelPipe).model);
}

TEST(LanguageModelFile, DamagedOrTruncatedModelsAreRefusedWithoutHarm)
{
    const QByteArray good = handMadeModel().bytes();
    ASSERT_TRUE(LanguageModel::fromBytes(good).model);
    // Every truncation, and a byte changed anywhere in the header and indexes.
    for (qsizetype size = 0; size < good.size(); ++size)
        EXPECT_FALSE(LanguageModel::fromBytes(good.first(size)).model) << size;
    EXPECT_FALSE(LanguageModel::fromBytes(good + QByteArray(4, '\0')).model);
    for (qsizetype at = 0; at < good.size(); ++at) {
        QByteArray bad = good;
        bad[at] = char(bad[at] ^ 0x5a);
        const auto loaded = LanguageModel::fromBytes(bad);
        if (!loaded.model)
            continue; // refused: fine
        // Accepted (a changed probability or word): using it must stay within the file.
        CompletionEngine engine(loaded.model, nullptr);
        for (const char *before : {"", "so a", "eat green ", "green a", "x l"})
            engine.candidates(QString::fromLatin1(before));
        engine.logProbability(u"apricot", u"green", u"eat");
    }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("english.lm"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(good.first(good.size() - 9));
    file.close();
    const auto engine = CompletionEngine::create(path);
    EXPECT_FALSE(engine->isAvailable());
    EXPECT_TRUE(engine->unavailableReason().contains(QStringLiteral("damaged"))) << engine->unavailableReason().toStdString();
    EXPECT_TRUE(engine->candidates(QStringLiteral("th")).isEmpty());
    engine->learnFinishedWord(QStringLiteral("words "));
    EXPECT_FALSE(CompletionEngine::create(folder.filePath(QStringLiteral("missing.lm")))->isAvailable());
    EXPECT_TRUE(CompletionEngine::create(folder.filePath(QStringLiteral("missing.lm")))->unavailableReason().contains(QStringLiteral("missing")));
}

TEST(LanguageModelFile, TheShippedModelLoadsAndPredicts)
{
    const auto engine = CompletionEngine::create(QStringLiteral(WENDREL_MODEL_FILE));
    ASSERT_TRUE(engine->isAvailable()) << engine->unavailableReason().toStdString();
    EXPECT_GT(engine->model()->wordCount(), 50000);
    EXPECT_EQ(engine->candidates(QStringLiteral("I would like to ")).size(), 3);
    EXPECT_EQ(engine->candidates(QStringLiteral("th")).value(0), QStringLiteral("the"));
    EXPECT_TRUE(engine->candidates(QStringLiteral("We went to lond")).contains(QStringLiteral("London")));
    EXPECT_EQ(engine->model()->display(engine->model()->find("i")), QStringLiteral("I"));
}

TEST(CompletionContextTest, TwoWordsBeforeForTriplesAndTheModel)
{
    const CompletionContext c = completionContext(u"Yes, we eat gr");
    EXPECT_EQ(c.previous, QStringLiteral("eat"));
    EXPECT_EQ(c.previous2, QStringLiteral("we"));
    EXPECT_EQ(c.modelPrevious, QStringLiteral("eat"));
    EXPECT_EQ(c.modelPrevious2, QStringLiteral("we"));
    const CompletionContext comma = completionContext(u"apples, pears ");
    EXPECT_EQ(comma.previous, QStringLiteral("pears"));
    EXPECT_EQ(comma.previous2, QString()); // a comma is no word of a triple
    EXPECT_EQ(comma.modelPrevious2, QStringLiteral("apples"));
    const CompletionContext start = completionContext(u"Done. We ");
    EXPECT_EQ(start.previous2, sentenceStartMarker);
    EXPECT_EQ(start.modelPrevious2, sentenceStartMarker);
    EXPECT_EQ(completionContext(u"at 10 o").modelPrevious, QString());
    // A title's full stop does not end the sentence.
    const CompletionContext title = completionContext(u"said Mrs. B");
    EXPECT_EQ(title.previous, QStringLiteral("mrs"));
    EXPECT_EQ(title.previous2, QStringLiteral("said"));
    EXPECT_EQ(title.modelPrevious, QStringLiteral("mrs"));
    EXPECT_EQ(completionContext(u"the end. B").previous, sentenceStartMarker);
}
