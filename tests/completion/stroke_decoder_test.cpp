// The stroke decoder on a small vocabulary with the keyboard's own letter keys: strokes through
// the keys' centres, strokes that begin and end beside their keys, doubled letters, words of one
// path that only the words before tell apart, and strokes that mean nothing.
#include "KeyTable.h"
#include "StrokeDecoder.h"
#include "TapDecoder.h"

#include <QHash>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace wendrel;

namespace {

class TableScorer : public WordScorer {
public:
    QHash<QString, double> words; // word (small letters) -> probability
    QHash<QString, double> pairs; // "previous word" -> probability
    QStringList spellings;        // as the lexicon writes them
    double logProbability(QStringView word, QStringView previous1, QStringView) const override
    {
        const QString key = word.toString();
        const double pair = pairs.value(previous1.toString() + u' ' + key, 0.0);
        return std::log(pair > 0 ? pair : words.value(key, 1e-9));
    }
    bool isKnownWord(QStringView word) const override { return words.contains(word.toString()); }
    void forEachWord(const std::function<void(QStringView)> &f) const override
    {
        for (const QString &word : spellings)
            f(word);
    }
    double priorLogProbability(QStringView word) const override { return logProbability(word, {}, {}); }
};

QPointF centreOf(QChar letter)
{
    for (const KeyShape &key : letterKeyShapes()) {
        if (key.letter == letter)
            return key.rect.center();
    }
    ADD_FAILURE() << "no key for " << QString(letter).toStdString();
    return {};
}

// A stroke as the view reports one: points every few pixels along straight lines between the
// given points.
QList<QPointF> strokeThrough(const QList<QPointF> &corners)
{
    QList<QPointF> stroke{corners.front()};
    for (qsizetype i = 1; i < corners.size(); ++i) {
        const QPointF from = corners[i - 1], to = corners[i];
        const int steps = std::max(1, int(std::hypot(to.x() - from.x(), to.y() - from.y()) / 5));
        for (int s = 1; s <= steps; ++s)
            stroke.append(from + (to - from) * (double(s) / steps));
    }
    return stroke;
}

// Through the centres of these letters' keys, in order.
QList<QPointF> strokeOf(const QString &letters)
{
    QList<QPointF> corners;
    for (QChar ch : letters)
        corners.append(centreOf(ch));
    return strokeThrough(corners);
}

class SmallStrokeDecoder : public ::testing::Test {
protected:
    SmallStrokeDecoder()
    {
        const QList<std::pair<const char *, double>> vocabulary = {
            {"hello", 0.0005}, {"help", 0.0008}, {"hell", 0.0002}, {"world", 0.0006}, {"would", 0.002},
            {"word", 0.0004}, {"to", 0.02},     {"too", 0.002},   {"the", 0.05},    {"there", 0.003},
            {"three", 0.001}, {"they", 0.004},  {"tip", 0.0001},  {"top", 0.0003},  {"typo", 0.00001},
            {"don't", 0.003}, {"done", 0.0008}, {"quick", 0.0002}, {"quack", 0.00001}, {"London", 0.0001},
            {"of", 0.03},     {"if", 0.005},    {"is", 0.01},     {"us", 0.001},
        };
        for (const auto &[word, probability] : vocabulary) {
            scorer.spellings.append(QString::fromLatin1(word));
            scorer.words.insert(QString::fromLatin1(word).toLower(), probability);
        }
        scorer.pairs.insert(QStringLiteral("me too"), 0.05);
        decoder = std::make_unique<StrokeDecoder>(letterKeyShapes(), scorer);
    }
    QStringList words(const QList<QPointF> &stroke, const QString &previous = {}, int count = 4) const
    {
        QStringList found;
        for (const StrokeDecoder::Candidate &c : decoder->decode(stroke, previous, {}, count))
            found.append(c.word);
        return found;
    }
    TableScorer scorer;
    std::unique_ptr<StrokeDecoder> decoder;
};

} // namespace

TEST_F(SmallStrokeDecoder, StrokesThroughTheCentresReadAsTheirWords)
{
    const struct {
        const char *keys; // the letters the stroke passes through, in order
        const char *word;
    } cases[] = {
        {"helo", "hello"},   // a doubled letter is one point
        {"world", "world"},  {"would", "would"}, {"word", "word"},
        {"there", "there"},  // back to e after r: not "the"
        {"the", "the"},      {"they", "they"},
        {"quick", "quick"},  {"quack", "quack"},
        {"london", "London"}, // as the lexicon writes it
        {"dont", "don't"},    // the apostrophe's key is not on the way
        {"of", "of"},         {"if", "if"},
        {"londons", "London's"}, // a name's possessive, which the lexicon lacks
    };
    for (const auto &c : cases) {
        const QStringList found = words(strokeOf(QString::fromLatin1(c.keys)));
        ASSERT_FALSE(found.isEmpty()) << c.keys;
        EXPECT_EQ(found.front(), QString::fromLatin1(c.word)) << c.keys << " gave " << found.join(u' ').toStdString();
    }
    // Only names get possessives the lexicon lacks.
    EXPECT_TRUE(decoder->contains(u"london's"));
    EXPECT_FALSE(decoder->contains(u"word's"));
}

TEST_F(SmallStrokeDecoder, TheFirstAndLastLettersMayBeMissedByALittle)
{
    // Begins below and to the left of H, ends above and to the right of O: a third of a key off.
    QList<QPointF> corners{centreOf(u'h') + QPointF(-8, 9), centreOf(u'e'), centreOf(u'l'), centreOf(u'o') + QPointF(8, -9)};
    EXPECT_EQ(words(strokeThrough(corners)).value(0), QStringLiteral("hello"));
    // The inner letters by a little too, a wavy line between them.
    corners = {centreOf(u'w') + QPointF(5, 6), centreOf(u'o') + QPointF(-6, 5), centreOf(u'r') + QPointF(6, -6),
               centreOf(u'l') + QPointF(-5, -5), centreOf(u'd') + QPointF(4, 7)};
    EXPECT_EQ(words(strokeThrough(corners)).value(0), QStringLiteral("world"));
}

TEST_F(SmallStrokeDecoder, WordsOfOnePathAreToldApartByTheWordsBeforeAndTheOthersOffered)
{
    // "to" and "too", "tip", "top" and "typo": the same stroke; "three" nearly that of "the".
    EXPECT_EQ(words(strokeOf(QStringLiteral("to"))).value(0), QStringLiteral("to"));
    EXPECT_EQ(words(strokeOf(QStringLiteral("to")), QStringLiteral("me")).value(0), QStringLiteral("too"));
    EXPECT_TRUE(words(strokeOf(QStringLiteral("thre"))).contains(QStringLiteral("three")));
    const QStringList straight = words(strokeOf(QStringLiteral("tp")), {}, 5);
    ASSERT_FALSE(straight.isEmpty());
    EXPECT_EQ(straight.front(), QStringLiteral("top"));
    EXPECT_TRUE(straight.contains(QStringLiteral("tip"))) << straight.join(u' ').toStdString();
    EXPECT_TRUE(straight.contains(QStringLiteral("typo"))) << straight.join(u' ').toStdString();
    // Best first, at most as many as asked.
    const QList<StrokeDecoder::Candidate> found = decoder->decode(strokeOf(QStringLiteral("tp")), {}, {}, 2);
    ASSERT_EQ(found.size(), 2);
    EXPECT_LE(found[0].cost, found[1].cost);
}

TEST_F(SmallStrokeDecoder, StrokesThatMeanNothingGiveNoWords)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QList<QList<QPointF>> strokes = {
        {},
        {centreOf(u'h')},
        {centreOf(u'h'), centreOf(u'h'), centreOf(u'h')}, // no length
        {QPointF(nan, nan), QPointF(nan, 3)},
        strokeThrough({QPointF(5, 20), QPointF(200, 60)}), // over the text area, far from the keys
        strokeOf(QStringLiteral("zxcvbnm")),               // no word ends near M
    };
    for (const QList<QPointF> &stroke : strokes)
        EXPECT_TRUE(words(stroke).isEmpty()) << stroke.size() << " points";
    // Points that are not numbers are passed over.
    QList<QPointF> withGap = strokeOf(QStringLiteral("helo"));
    withGap.insert(3, QPointF(nan, nan));
    EXPECT_EQ(words(withGap).value(0), QStringLiteral("hello"));
}

TEST_F(SmallStrokeDecoder, TaughtWordsJoinTheLexiconAndSingleKeysCannot)
{
    const QList<QPointF> stroke = strokeOf(QStringLiteral("wendrel"));
    EXPECT_FALSE(words(stroke).contains(QStringLiteral("wendrel")));
    EXPECT_TRUE(decoder->addWord(QStringLiteral("wendrel")));
    EXPECT_EQ(words(stroke).value(0), QStringLiteral("wendrel"));
    EXPECT_FALSE(decoder->addWord(QStringLiteral("a")));
    EXPECT_FALSE(decoder->addWord(QStringLiteral("aa")));
    EXPECT_FALSE(decoder->addWord(QStringLiteral("caf\u00e9")));
    EXPECT_TRUE(std::isinf(decoder->touchCost(stroke, QStringLiteral("a"))));
    EXPECT_EQ(decoder->idealPath(QStringLiteral("hello")).size(), 4);
}
