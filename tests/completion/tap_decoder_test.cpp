// The tap decoder on a small hand-made key layout and word list, then on the real keyboard
// with the English model and the built-in dictionary, as the program uses them.
#include "CompletionEngine.h"
#include "CompletionScorer.h"
#include "TapDecoder.h"

#include <QHash>
#include <cmath>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

// Three rows of 20 x 20 keys, each row shifted by half a key, as on a phone.
std::vector<KeyShape> smallLayout()
{
    const char *rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    std::vector<KeyShape> keys;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; rows[r][c]; ++c)
            keys.push_back({QChar(rows[r][c]), QRectF(c * 20 + r * 10, r * 20, 20, 20)});
    }
    keys.push_back({QChar(u'\''), QRectF(190, 20, 20, 20)});
    return keys;
}

QPointF centre(QChar letter)
{
    for (const KeyShape &key : smallLayout()) {
        if (key.letter == letter)
            return key.rect.center();
    }
    ADD_FAILURE() << "no key " << letter.toLatin1();
    return {};
}

// Taps at the centres of these letters' keys.
QList<QPointF> tapsOn(const QString &letters)
{
    QList<QPointF> taps;
    for (QChar ch : letters)
        taps.append(centre(ch));
    return taps;
}

// Unigram probabilities and a few pairs; every listed word is known.
class TableScorer : public WordScorer {
public:
    QHash<QString, double> words;    // word -> probability
    QHash<QString, double> pairs;    // "previous word" -> probability
    double logProbability(QStringView word, QStringView previous1, QStringView) const override
    {
        const QString key = word.toString();
        const double pair = pairs.value(previous1.toString() + u' ' + key, 0.0);
        return std::log(pair > 0 ? pair : words.value(key, 1e-9));
    }
    bool isKnownWord(QStringView word) const override { return words.contains(word.toString()); }
    void forEachWord(const std::function<void(QStringView)> &f) const override
    {
        for (auto it = words.begin(); it != words.end(); ++it)
            f(it.key());
    }
    double priorLogProbability(QStringView word) const override { return logProbability(word, {}, {}); }
};

class SmallDecoder : public ::testing::Test {
protected:
    SmallDecoder()
    {
        // Probabilities of the size an English model gives.
        scorer.words = {{"the", 0.03}, {"they", 0.004}, {"then", 0.002}, {"tie", 0.0002}, {"market", 0.0001},
                        {"don't", 0.003}, {"rhe", 0.0000001}, {"ran", 0.0003}, {"tan", 0.0001}};
        decoder = std::make_unique<TapDecoder>(smallLayout(), scorer);
    }
    QString corrected(const QList<QPointF> &taps, const QString &typed, const QString &previous = QString())
    {
        return decoder->correction(taps, typed, previous, QString());
    }
    TableScorer scorer;
    std::unique_ptr<TapDecoder> decoder;
};

} // namespace

TEST_F(SmallDecoder, EveryWordOfTheScorerIsInTheLexicon)
{
    EXPECT_EQ(decoder->wordCount(), scorer.words.size());
    EXPECT_FALSE(decoder->addWord(u"café")); // no key types é
    EXPECT_TRUE(decoder->addWord(u"Kate"));
    EXPECT_EQ(decoder->wordCount(), scorer.words.size() + 1);
}

TEST_F(SmallDecoder, TypingErrorsAreMended)
{
    const struct {
        const char *name;
        QList<QPointF> taps;
        QString typed;
        QString expected;
    } cases[] = {
        {"a neighbour key", tapsOn("tge"), "tge", "the"},
        {"a tap on the line between two keys", {centre('t'), (centre('h') + centre('g')) / 2, centre('e')}, "tge", "the"},
        {"a letter too many", tapsOn("thhe"), "thhe", "the"},
        {"a letter too few", tapsOn("tey"), "tey", "they"},
        {"two letters swapped", tapsOn("hte"), "hte", "the"},
        {"a swap and a neighbour", tapsOn("tehy"), "tehy", "they"},
        // Left of a, where the middle row leaves room, no key is hit.
        {"a tap in a gap types nothing", {centre('r'), QPointF(4, 30), centre('n')}, "rn", "ran"},
        {"the apostrophe left out", tapsOn("dont"), "dont", "don't"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(corrected(c.taps, c.typed), c.expected) << c.name;
}

TEST_F(SmallDecoder, APossessiveIsMendedBeforeItsEnding)
{
    scorer.words.insert(QStringLiteral("market"), 0.0001);
    EXPECT_EQ(corrected(tapsOn("markrt's"), "Markrt's"), "Market's");
    EXPECT_EQ(corrected(tapsOn("marek's"), "Marek's"), QString());
}

TEST_F(SmallDecoder, CapitalsTypedAreKept)
{
    EXPECT_EQ(corrected(tapsOn("tge"), "Tge"), "The");
    EXPECT_EQ(corrected(tapsOn("tge"), "TGE"), "THE");
    EXPECT_EQ(withTypedCase(u"T", QStringLiteral("the")), "The"); // one capital is a first capital
    EXPECT_EQ(withTypedCase(u"mcd", QStringLiteral("McDonald")), "McDonald");
}

TEST_F(SmallDecoder, AKnownWordIsNeverReplaced)
{
    // "rhe" is known, if rare: the taps and the model would rather have "the", but it stays.
    const QList<QPointF> taps = tapsOn("rhe");
    ASSERT_FALSE(decoder->decode(taps, {}, {}, 1).isEmpty());
    EXPECT_EQ(decoder->decode(taps, {}, {}, 1).front().word, "the");
    EXPECT_EQ(corrected(taps, "rhe"), QString());
    EXPECT_EQ(corrected(tapsOn("tie"), "tie"), QString());
}

TEST_F(SmallDecoder, ANameTypedCarefullyIsKept)
{
    // "Marek" is no word here; "market" is a letter away.
    EXPECT_EQ(corrected(tapsOn("marek"), "Marek"), QString());
    EXPECT_EQ(corrected(tapsOn("markte"), "markte"), "market"); // while a slip is mended
}

TEST_F(SmallDecoder, TheWordsBeforeDecide)
{
    // r and t are neighbours, as are a and s: "tan" or "ran" from taps in between.
    const QList<QPointF> taps = {(centre('r') + centre('t')) / 2, centre('a'), centre('n')};
    EXPECT_EQ(decoder->decode(taps, {}, {}, 1).front().word, "ran");
    scorer.pairs.insert(QStringLiteral("sun tan"), 0.5);
    EXPECT_EQ(decoder->decode(taps, u"sun", {}, 1).front().word, "tan");
}

TEST_F(SmallDecoder, CandidatesComeBestFirstAndEdgeCasesGiveNothing)
{
    const QList<TapDecoder::Candidate> best
        = decoder->decode({(centre('r') + centre('t')) / 2, centre('a'), centre('n')}, {}, {}, 3);
    ASSERT_EQ(best.size(), 2);
    EXPECT_EQ(best[0].word, "ran");
    EXPECT_EQ(best[1].word, "tan");
    EXPECT_LT(best[0].cost, best[1].cost);
    EXPECT_TRUE(decoder->decode({}, {}, {}, 3).isEmpty());
    EXPECT_TRUE(decoder->decode(tapsOn("the"), {}, {}, 0).isEmpty());
    QList<QPointF> tooMany;
    for (int i = 0; i <= TapDecoder::maxTaps; ++i)
        tooMany.append(centre('e'));
    EXPECT_TRUE(decoder->decode(tooMany, {}, {}, 3).isEmpty());
    EXPECT_EQ(corrected(tooMany, QString(tooMany.size(), u'e')), QString());
    EXPECT_EQ(corrected(tapsOn("tge"), "tg3"), QString()); // a digit: not a word to mend
    EXPECT_EQ(corrected({}, "tge"), QString());
}

TEST(TapDecoderOnTheKeyboard, TheModelAndDictionaryMendNeighbourKeys)
{
    const std::unique_ptr<CompletionEngine> engine = CompletionEngine::create(QStringLiteral(WENDREL_MODEL_FILE));
    ASSERT_TRUE(engine->isAvailable()) << engine->unavailableReason().toStdString();
    const CompletionScorer scorer(*engine, std::make_shared<const Dictionary>(Dictionary::builtIn()));
    const std::vector<KeyShape> keys = letterKeyShapes();
    ASSERT_EQ(keys.size(), 27u); // 26 letters and the apostrophe
    const TapDecoder decoder(keys, scorer);
    const auto centres = [&](const QString &letters) {
        QList<QPointF> taps;
        for (QChar ch : letters) {
            const auto key = std::find_if(keys.begin(), keys.end(), [&](const KeyShape &k) { return k.letter == ch; });
            taps.append(key->rect.center());
        }
        return taps;
    };
    EXPECT_EQ(decoder.correction(centres("tge"), u"Tge", sentenceStartMarker, {}), "The");
    EXPECT_EQ(decoder.correction(centres("abd"), u"abd", u"bread", {}), "and");
    EXPECT_EQ(decoder.correction(centres("the"), u"the", sentenceStartMarker, {}), QString());
    // A name neither knows, typed at the keys' centres; a British spelling only the dictionary has.
    EXPECT_EQ(decoder.correction(centres("kellynch"), u"Kellynch", u"of", {}), QString());
    EXPECT_FALSE(scorer.isKnownWord(u"kellynch"));
    EXPECT_EQ(decoder.correction(centres("neighbouribg"), u"neighbouribg", u"the", {}), "neighbouring");
}
