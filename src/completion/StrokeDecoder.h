#pragma once
// The stroke decoder: from the path of one stroke drawn over the letter keys, the words the user
// most likely meant. Each word's ideal path runs straight from the centre of one of its letters'
// keys to the next (a doubled letter is one point); the stroke is matched against it by an
// elastic alignment that walks along the stroke once, visiting the word's letters in order:
//  - location: each letter's key centre against the nearest point of the stroke where the
//    alignment visits it (the first and the last letter against the stroke's ends, a little
//    more loosely, since a stroke may begin or end beside its key), and every point of the
//    stroke against the straight line between the two letters it lies between;
//  - shape: the direction the stroke takes at each point against the direction of that line.
// The touch cost is weighed with the language model's view of the word after the words before
// it, as the tap decoder does for taps.
//
// Points are in the 240 x 320 layout; the decoder measures in key widths and key heights, so it
// works at every scale the window draws. Only words whose first and last letters lie near the
// stroke's ends and whose every letter lies near the stroke are aligned: the lexicon is kept by
// first letter with a mask of each word's letters, so that most words are passed over with one
// comparison. The possessive of a name ("Fanny's") is read where the lexicon lacks it, as the name
// and then the S key, the model's probability of the name weighed by how often possessives occur.
#include "TapDecoder.h"
#include "WordScorer.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <vector>

namespace wendrel {

struct StrokeSettings {
    // The stroke is resampled along its length at about this spacing (key widths), with at
    // least minSamples and at most maxSamples points.
    double sampleSpacing = 0.3;
    int minSamples = 16;
    int maxSamples = 128;
    // Spread (standard deviation, key widths) of the stroke around a letter's key centre, of the
    // first and last letters around the stroke's ends, and of the stroke around the straight
    // line between two letters.
    double letterSpread = 0.33;
    double endSpread = 0.33;
    double pathSpread = 0.33;
    // Weight (per key width of stroke) of the stroke's direction against the line's (1 - cos).
    double directionWeight = 3.0;
    // Weight of the language model (natural log) against the touch cost.
    double languageWeight = 0.7;
    // Cost of a word the model does not know (natural log), e.g. one the user taught in other
    // words.
    double unknownLanguageCost = 18.0;
    // Words are aligned only when their first and last letters' keys lie within these of the
    // stroke's ends, and each letter's key within nearLetter of the stroke (key widths).
    double endReach = 1.3;
    double nearLetter = 1.0;
    // A word whose touch cost exceeds the best word's by this much is not weighed further.
    double touchMargin = 14.0;
    // At most this many words, the best by touch, are weighed with the language model.
    int languageScored = 400;
    // A careful stroke is read more by its shape: where the best word's touch cost is below
    // carefulTouch, the touch costs weigh up to carefulGain times as much against the language
    // model (carefulTouch over the best touch cost, at most carefulGain). A stroke drawn close
    // to the keys' centres tells words of nearly the same path apart better than the model can.
    double carefulTouch = 2.0;
    double carefulGain = 5.0;
    // The cost (natural log) of a name's possessive that the lexicon lacks, against the name
    // itself after the same words: possessives are a tenth to a twentieth as frequent as their
    // words in the language model's English ("daughter's", "father's", "friend's").
    double possessiveCost = 3.0;
    // Names at least this frequent on their own (natural log) get no possessive read ("I", "US").
    double possessivePrior = -6.9;
};

class StrokeDecoder {
public:
    static constexpr int maxWordLength = 32;

    struct Candidate {
        QString word;     // as the lexicon writes it
        double cost = 0;  // touch and language together (natural log)
        double touchCost = 0;
        double languageCost = 0;
    };

    // keys: the letter keys (as letterKeyShapes() gives them; the apostrophe's key plays no part:
    // a stroke through "dont" may mean "don't"). The scorer must outlive the decoder; its fixed
    // vocabulary forms the lexicon (build it on a worker thread in a window: it takes a few
    // hundred milliseconds for 100,000 words; only forEachWord and priorLogProbability are used).
    StrokeDecoder(std::vector<KeyShape> keys, const WordScorer &scorer, StrokeSettings settings = {});

    // Adds a word the user has taught; false when no stroke can make it (a character no key
    // types, a single key).
    bool addWord(QStringView word);
    qsizetype wordCount() const { return qsizetype(entries.size()); }
    // Whether the decoder can read the word (any case): the lexicon holds it, or it is the
    // possessive of a name the lexicon holds.
    bool contains(QStringView word) const;
    const StrokeSettings &settings() const { return config; }
    void setSettings(const StrokeSettings &settings) { config = settings; }

    // The best words for a stroke (its points in order) after previous1 and previous2 (as
    // WordScorer takes them), best first, at most count of them. Empty for a stroke of fewer
    // than two points.
    QList<Candidate> decode(const QList<QPointF> &stroke, QStringView previous1, QStringView previous2,
                            int count) const;

    // The touch cost of one word (any case) for a stroke; infinite when a letter has no key or
    // the word has a single key.
    double touchCost(const QList<QPointF> &stroke, QStringView word) const;

    // The ideal stroke of a word: its letters' key centres in layout coordinates (a doubled
    // letter once). Empty when a letter has no key.
    QList<QPointF> idealPath(QStringView word) const;

private:
    struct Entry {
        quint32 keysAt = 0;    // first key in keyPool
        quint8 length = 0;     // keys, after doubled letters are merged
        quint8 first = 0, last = 0;
        quint32 mask = 0;      // the keys it uses
        float prior = 0;       // natural log of its probability on its own
        float pathLength = 0;  // of its ideal path, key widths
        bool possessive = false; // its possessive ("'s") is read too, the lexicon lacking it
    };
    struct Stroke;

    bool keySequence(QStringView word, std::vector<quint8> &out) const;
    int keyOf(QChar letter) const;
    bool hasPluralOrPossessive(const QString &folded) const;
    bool insert(QStringView word, double logProbability);
    Stroke prepare(const QList<QPointF> &points) const;
    double align(Stroke &stroke, const quint8 *keySeq, int length, double bound) const;

    std::vector<KeyShape> keys;
    std::vector<QPointF> centres; // key units (x in key widths, y in key heights)
    double keyWidth = 24, keyHeight = 27;
    const WordScorer &scorer;
    StrokeSettings config;
    std::vector<Entry> entries;
    std::vector<quint8> keyPool;
    QStringList spellings;                   // by entry
    std::vector<std::vector<qint32>> byFirst; // entries by their first key
    QHash<QString, qint32> index;            // small-letter spelling to entry
    bool building = false;                   // the fixed vocabulary going in
};

} // namespace wendrel
