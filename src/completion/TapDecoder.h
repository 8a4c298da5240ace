#pragma once
// The tap decoder: from the points where the letters of a word were tapped, the words the user
// most likely meant. Each word is weighed by a touch model (how likely each tap is when aiming
// at the centre of the word's letter key: a two-dimensional normal distribution, wide enough
// that a neighbouring key counts) with room for a letter too many, one too few and two letters
// swapped, together with the language model's view of the word after the words before it.
//
// Points are in the 240 x 320 layout, so the decoder works at every scale the window draws.
// The words come from a lexicon trie that the search walks once per word, pruning a branch
// as soon as its first letters can no longer match the taps well enough.
#include "WordScorer.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <limits>
#include <vector>

namespace wendrel {

// A key the decoder may have been aimed at: one letter (or the apostrophe) and its rectangle
// in layout coordinates.
struct KeyShape {
    QChar letter; // small letter or apostrophe
    QRectF rect;
};

// The letter keys and the apostrophe of the key table.
std::vector<KeyShape> letterKeyShapes();

struct DecoderSettings {
    // Spread (standard deviation) of the taps around a key's centre, in key widths and key
    // heights: a little more than half the key, so that a tap on the next key, even at its
    // centre, still points at this one.
    double spreadX = 0.55;
    double spreadY = 0.55;
    // Beyond this cost (natural log) a tap is a stray one, aimed anywhere.
    double strayTapCost = 12.0;
    // Costs (natural log) of the typing errors beyond a missed key.
    double extraTapCost = 5.0;      // a tap too many
    double missingLetterCost = 5.0; // a letter without a tap
    double swapCost = 4.0;          // two letters tapped the other way round
    double missingApostropheCost = 2.0; // "dont" for "don't": the key is out of the way
    // Weight of the language model against the touch model.
    double languageWeight = 0.5;
    // A word that is not in the lexicon: this cost, plus the second one per letter.
    double unknownWordCost = 15.0;
    double unknownLetterCost = 1.0;
    // At a word's end the typed word is replaced only when the best word beats it by this much.
    double correctionMargin = 1.0;
    // Words are searched only while the touch cost stays under this, plus the second per tap.
    double searchLimit = 10.0;
    double searchLimitPerTap = 0.6;
    // How much more likely the words before may make a word than it is on its own (natural
    // log): the search's look-ahead counts on no more.
    double contextLift = 5.0;
};

class TapDecoder {
public:
    static constexpr int maxTaps = 32;          // longer words are left as they are
    static constexpr int maxWordLength = 32;

    struct Candidate {
        QString word;     // as the lexicon writes it
        double cost = 0;  // -log of its score: touch, typing errors and language together
        double touchCost = 0;
        double languageCost = 0;
    };

    // keys: the keys a tap may have been aimed at. The scorer must outlive the decoder; its
    // fixed vocabulary forms the lexicon (a few hundred milliseconds for 100,000 words, so a
    // window builds it on a thread of its own: only the scorer's forEachWord and
    // priorLogProbability are used here).
    TapDecoder(std::vector<KeyShape> keys, const WordScorer &scorer, DecoderSettings settings = {});

    // Adds a word the user has taught, or tells the decoder that it became more likely;
    // words with characters that no key types are left out (false).
    bool addWord(QStringView word);
    qsizetype wordCount() const { return words; }
    const DecoderSettings &settings() const { return config; }

    // The best words for these taps after previous1 and previous2 (as WordScorer takes
    // them), best first, at most count of them.
    QList<Candidate> decode(const QList<QPointF> &taps, QStringView previous1, QStringView previous2,
                            int count) const;

    // At a word's end: the word to put in place of typed (what the taps typed, case as typed),
    // or an empty string when typed stays: it is known, or nothing beats it clearly. The
    // replacement has the typed word's capitals (a first capital, or all capitals).
    QString correction(const QList<QPointF> &taps, QStringView typed, QStringView previous1,
                       QStringView previous2) const;

    // Touch and typing-error cost of a word (in small letters) for these taps: the best
    // alignment of its letters with the taps. Infinite when a letter has no key.
    double touchCost(const QList<QPointF> &taps, QStringView word) const;
    // Cost of a word that is not in the lexicon, typed as it stands.
    double unknownWordCost(QStringView word) const;

private:
    struct Node {
        qint32 firstChild = -1;
        qint32 nextSibling = -1;
        // The lowest language cost of a word at or below this node, without context: the
        // search leaves a branch whose touch cost plus this cannot beat what it has found.
        float languageAhead = std::numeric_limits<float>::infinity();
        float language = std::numeric_limits<float>::infinity(); // of the word here, without context
        quint8 key = 0;
        bool isWord = false;
    };
    struct Search;

    int keyOf(QChar ch) const;
    bool insert(QStringView word, double logProbability);
    double missingCost(int key) const
    {
        return keys[size_t(key)].letter == u'\'' ? config.missingApostropheCost : config.missingLetterCost;
    }
    std::vector<double> tapCosts(const QList<QPointF> &taps) const;
    void walk(Search &search, qint32 node, int depth, const double *parent, const double *grandparent) const;

    std::vector<KeyShape> keys;
    const WordScorer &scorer;
    DecoderSettings config;
    std::vector<Node> nodes; // nodes[0] is the root
    // Words whose lexicon spelling is not all small letters ("London"), by their node.
    QHash<qint32, QString> displayForms;
    qsizetype words = 0;
};

// The word as the typed letters would write it: all capitals after two or more typed
// capitals, a first capital after a typed one, otherwise as the lexicon writes it.
QString withTypedCase(QStringView typed, const QString &word);

} // namespace wendrel
