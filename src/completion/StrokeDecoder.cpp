#include "StrokeDecoder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wendrel {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

double squaredDistance(QPointF a, QPointF b)
{
    const QPointF d = a - b;
    return d.x() * d.x() + d.y() * d.y();
}

// Squared distance from p to the segment from a to b.
double squaredDistanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double length2 = ab.x() * ab.x() + ab.y() * ab.y();
    if (length2 <= 1e-12)
        return squaredDistance(p, a);
    const QPointF ap = p - a;
    const double t = std::clamp((ap.x() * ab.x() + ap.y() * ab.y()) / length2, 0.0, 1.0);
    return squaredDistance(p, a + t * ab);
}

} // namespace

// One stroke, prepared for aligning words with it: resampled in key units, the direction at
// each point, and the costs that do not depend on the word, kept as the words ask for them.
struct StrokeDecoder::Stroke {
    std::vector<QPointF> points;
    std::vector<QPointF> directions; // unit vectors, (0, 0) where the stroke stands still
    double length = 0;               // key widths
    double step = 0;                 // between points
    int keyCount = 0;
    // letter[key * n + j]: the cost of the letter's key visited between points j - 1 and j.
    std::vector<float> letter;
    std::vector<float> startCost, endCost; // per key
    std::vector<float> nearest;             // per key: its distance to the stroke
    // path[(a * keyCount + b) * n + j]: the cost of point j on the line from key a to key b.
    mutable std::vector<float> path;
    mutable std::vector<char> pathReady;
    std::vector<double> row; // the alignment's working row
    int size() const { return int(points.size()); }
};

StrokeDecoder::StrokeDecoder(std::vector<KeyShape> keyShapes, const WordScorer &scorer, StrokeSettings settings)
    : scorer(scorer), config(settings)
{
    // The apostrophe plays no part in strokes; at most 32 keys fit a word's mask.
    for (KeyShape &key : keyShapes) {
        if (key.letter != u'\'' && keys.size() < 32)
            keys.push_back(std::move(key));
    }
    if (!keys.empty()) {
        keyWidth = keys.front().rect.width();
        keyHeight = keys.front().rect.height();
    }
    for (const KeyShape &key : keys) {
        const QPointF c = key.rect.center();
        centres.emplace_back(c.x() / keyWidth, c.y() / keyHeight);
    }
    byFirst.resize(keys.size());
    building = true;
    scorer.forEachWord([&](QStringView word) { insert(word, scorer.priorLogProbability(word.toString().toLower())); });
    building = false;
    // A possessive is read only where the lexicon has neither it nor the word's plural of the
    // same path (which it would stand for far more often: "claims", not "claim's").
    for (auto at = index.constBegin(); at != index.constEnd(); ++at) {
        Entry &entry = entries[size_t(at.value())];
        if (entry.possessive && hasPluralOrPossessive(at.key()))
            entry.possessive = false;
    }
}

bool StrokeDecoder::hasPluralOrPossessive(const QString &folded) const
{
    return index.contains(folded + u's') || index.contains(folded + QStringLiteral("'s"));
}

int StrokeDecoder::keyOf(QChar letter) const
{
    for (size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].letter == letter)
            return int(k);
    }
    return -1;
}

bool StrokeDecoder::keySequence(QStringView word, std::vector<quint8> &out) const
{
    out.clear();
    if (word.size() > maxWordLength)
        return false;
    for (QChar ch : word) {
        const QChar small = ch.toLower();
        if (small == u'\'' || small == QChar(0x2019))
            continue;
        int found = -1;
        for (size_t k = 0; k < keys.size(); ++k) {
            if (keys[k].letter == small) {
                found = int(k);
                break;
            }
        }
        if (found < 0)
            return false;
        if (out.empty() || out.back() != found)
            out.push_back(quint8(found)); // a doubled letter is one point
    }
    return out.size() >= 2; // a stroke crosses at least two keys
}

bool StrokeDecoder::insert(QStringView word, double logProbability)
{
    std::vector<quint8> sequence;
    if (!keySequence(word, sequence))
        return false;
    const QString folded = word.toString().toLower();
    if (const auto at = index.constFind(folded); at != index.constEnd()) {
        Entry &entry = entries[size_t(*at)];
        entry.prior = float(std::max(double(entry.prior), logProbability));
        return true;
    }
    Entry entry;
    entry.keysAt = quint32(keyPool.size());
    entry.length = quint8(sequence.size());
    entry.first = sequence.front();
    entry.last = sequence.back();
    double length = 0;
    for (size_t i = 0; i < sequence.size(); ++i) {
        entry.mask |= quint32(1) << sequence[i];
        if (i > 0)
            length += std::sqrt(squaredDistance(centres[sequence[i - 1]], centres[sequence[i]]));
    }
    entry.pathLength = float(length);
    entry.prior = float(logProbability);
    // A name's possessive is read too ("Fanny's", "Norris's"), unless the lexicon writes it
    // itself: names take possessives most, and a word of other kinds would bring nonsense
    // ("already's") to the strip.
    entry.possessive = word.front().isUpper() && !folded.contains(u'\'') && !folded.contains(QChar(0x2019))
        && logProbability < config.possessivePrior;

    keyPool.insert(keyPool.end(), sequence.begin(), sequence.end());
    const qint32 id = qint32(entries.size());
    entries.push_back(entry);
    spellings.append(word.toString());
    byFirst[entry.first].push_back(id);
    index.insert(folded, id);
    if (!building) {
        // A word taught later: its possessive, and that of the word it may be the plural of.
        entries.back().possessive = entries.back().possessive && !hasPluralOrPossessive(folded);
        for (const QString &base : {folded.chopped(1), folded.chopped(std::min<qsizetype>(2, folded.size()))}) {
            if (const auto at = index.constFind(base); at != index.constEnd() && hasPluralOrPossessive(base))
                entries[size_t(*at)].possessive = false;
        }
    }
    return true;
}

bool StrokeDecoder::contains(QStringView word) const
{
    QString folded = word.toString().toLower();
    folded.replace(QChar(0x2019), u'\'');
    if (index.contains(folded))
        return true;
    if (!folded.endsWith(QLatin1String("'s")))
        return false;
    const auto base = index.constFind(folded.chopped(2));
    return base != index.constEnd() && entries[size_t(*base)].possessive;
}

bool StrokeDecoder::addWord(QStringView word)
{
    return insert(word, scorer.logProbability(word.toString().toLower(), {}, {}));
}

QList<QPointF> StrokeDecoder::idealPath(QStringView word) const
{
    std::vector<quint8> sequence;
    QList<QPointF> path;
    if (!keySequence(word, sequence))
        return path;
    for (quint8 key : sequence)
        path.append(keys[key].rect.center());
    return path;
}

StrokeDecoder::Stroke StrokeDecoder::prepare(const QList<QPointF> &raw) const
{
    Stroke stroke;
    std::vector<QPointF> input;
    input.reserve(size_t(raw.size()));
    for (QPointF p : raw) {
        if (std::isfinite(p.x()) && std::isfinite(p.y()))
            input.emplace_back(p.x() / keyWidth, p.y() / keyHeight);
    }
    if (input.size() < 2)
        return stroke;
    std::vector<double> along(input.size(), 0.0);
    for (size_t i = 1; i < input.size(); ++i)
        along[i] = along[i - 1] + std::sqrt(squaredDistance(input[i - 1], input[i]));
    stroke.length = along.back();
    const int n = std::clamp(int(std::lround(stroke.length / config.sampleSpacing)) + 1, config.minSamples,
                             config.maxSamples);
    stroke.step = stroke.length / (n - 1);
    stroke.points.reserve(size_t(n));
    size_t segment = 1;
    for (int j = 0; j < n; ++j) {
        const double at = stroke.length * j / (n - 1);
        while (segment + 1 < input.size() && along[segment] < at)
            ++segment;
        const double span = along[segment] - along[segment - 1];
        const double t = span > 0 ? std::clamp((at - along[segment - 1]) / span, 0.0, 1.0) : 1.0;
        stroke.points.push_back(input[segment - 1] + t * (input[segment] - input[segment - 1]));
    }
    stroke.directions.resize(size_t(n));
    for (int j = 0; j < n; ++j) {
        const QPointF d = stroke.points[size_t(std::min(j + 1, n - 1))] - stroke.points[size_t(std::max(j - 1, 0))];
        const double norm = std::sqrt(d.x() * d.x() + d.y() * d.y());
        stroke.directions[size_t(j)] = norm > 1e-9 ? d / norm : QPointF();
    }
    const int k = int(keys.size());
    stroke.keyCount = k;
    stroke.letter.resize(size_t(k) * size_t(n));
    stroke.startCost.resize(size_t(k));
    stroke.endCost.resize(size_t(k));
    stroke.nearest.resize(size_t(k));
    const double letterScale = 1.0 / (2 * config.letterSpread * config.letterSpread);
    const double endScale = 1.0 / (2 * config.endSpread * config.endSpread);
    for (int key = 0; key < k; ++key) {
        const QPointF c = centres[size_t(key)];
        double nearest = infinity;
        for (int j = 0; j < n; ++j) {
            const double d2 = j == 0 ? squaredDistance(c, stroke.points[0])
                                     : squaredDistanceToSegment(c, stroke.points[size_t(j - 1)], stroke.points[size_t(j)]);
            nearest = std::min(nearest, d2);
            stroke.letter[size_t(key) * size_t(n) + size_t(j)] = float(d2 * letterScale);
        }
        stroke.nearest[size_t(key)] = float(std::sqrt(nearest));
        stroke.startCost[size_t(key)] = float(squaredDistance(c, stroke.points.front()) * endScale);
        stroke.endCost[size_t(key)] = float(squaredDistance(c, stroke.points.back()) * endScale);
    }
    stroke.path.resize(size_t(k) * size_t(k) * size_t(n));
    stroke.pathReady.assign(size_t(k) * size_t(k), 0);
    return stroke;
}

// The touch cost of the word with these keys: the best way to walk along the stroke visiting
// its letters in order. Each point of the stroke lies on the line between two of them; each
// letter is visited between two neighbouring points. Gives up (infinity) once the cost
// passes bound.
double StrokeDecoder::align(Stroke &stroke, const quint8 *keySeq, int length, double bound) const
{
    const int n = stroke.size();
    const int segments = length - 1;
    if (segments < 1 || segments > n - 1)
        return infinity;
    const int k = stroke.keyCount;
    const double pathScale = stroke.step / (2 * config.pathSpread * config.pathSpread);
    const double directionScale = stroke.step * config.directionWeight;
    // The costs of the stroke's points on each line of the word, made once per stroke.
    const float *lines[maxWordLength];
    for (int s = 0; s < segments; ++s) {
        const int a = keySeq[s], b = keySeq[s + 1];
        const size_t pair = size_t(a) * size_t(k) + size_t(b);
        float *costs = stroke.path.data() + pair * size_t(n);
        if (!stroke.pathReady[pair]) {
            const QPointF from = centres[size_t(a)], to = centres[size_t(b)];
            QPointF direction = to - from;
            const double norm = std::sqrt(direction.x() * direction.x() + direction.y() * direction.y());
            direction = norm > 1e-9 ? direction / norm : QPointF();
            for (int j = 0; j < n; ++j) {
                const QPointF p = stroke.points[size_t(j)];
                const QPointF d = stroke.directions[size_t(j)];
                const double cosine = d.x() * direction.x() + d.y() * direction.y();
                costs[j] = float(squaredDistanceToSegment(p, from, to) * pathScale + (1 - cosine) * directionScale);
            }
            stroke.pathReady[pair] = 1;
        }
        lines[s] = costs;
    }
    std::vector<double> &row = stroke.row;
    row.assign(size_t(segments), infinity);
    row[0] = stroke.startCost[keySeq[0]] + lines[0][0];
    for (int j = 1; j < n; ++j) {
        double lowest = infinity;
        const int reachable = std::min(segments - 1, j);
        for (int s = reachable; s >= 1; --s) {
            const double enter = row[size_t(s - 1)] + stroke.letter[size_t(keySeq[s]) * size_t(n) + size_t(j)];
            const double value = std::min(row[size_t(s)], enter) + lines[s][j];
            row[size_t(s)] = value;
            lowest = std::min(lowest, value);
        }
        row[0] += lines[0][j];
        lowest = std::min(lowest, row[0]);
        if (lowest > bound)
            return infinity;
    }
    const double total = row[size_t(segments - 1)] + stroke.endCost[keySeq[length - 1]];
    return total <= bound ? total : infinity;
}

double StrokeDecoder::touchCost(const QList<QPointF> &points, QStringView word) const
{
    std::vector<quint8> sequence;
    if (!keySequence(word, sequence))
        return infinity;
    Stroke stroke = prepare(points);
    if (stroke.size() < 2)
        return infinity;
    return align(stroke, sequence.data(), int(sequence.size()), infinity);
}

QList<StrokeDecoder::Candidate> StrokeDecoder::decode(const QList<QPointF> &points, QStringView previous1,
                                                      QStringView previous2, int count) const
{
    QList<Candidate> result;
    if (count <= 0)
        return result;
    Stroke stroke = prepare(points);
    if (stroke.size() < 2)
        return result;
    const int k = stroke.keyCount;
    // The keys the word may begin and end on, and the keys its letters may use.
    quint32 ends = 0, allowed = 0;
    std::vector<int> starts;
    for (int key = 0; key < k; ++key) {
        const QPointF c = centres[size_t(key)];
        const bool start = std::sqrt(squaredDistance(c, stroke.points.front())) <= config.endReach;
        const bool end = std::sqrt(squaredDistance(c, stroke.points.back())) <= config.endReach;
        if (start)
            starts.push_back(key);
        if (end)
            ends |= quint32(1) << key;
        if (start || end || stroke.nearest[size_t(key)] <= config.nearLetter)
            allowed |= quint32(1) << key;
    }
    struct Scored {
        qint32 entry;
        double touch;
        bool possessive; // the entry's word with "'s"
    };
    std::vector<Scored> scored;
    double bestTouch = infinity;
    // The possessive of a name where the lexicon lacks it ("Fanny's"): its path is the name's
    // and then the S key (a name that ends in s keeps its own path: "Norris's").
    const int sKey = keyOf(u's');
    const bool possessives = sKey >= 0 && (ends & (quint32(1) << sKey));
    const quint32 sBit = sKey >= 0 ? quint32(1) << sKey : 0;
    quint8 extended[maxWordLength + 1];
    for (int start : starts) {
        for (qint32 id : byFirst[size_t(start)]) {
            const Entry &entry = entries[size_t(id)];
            const quint8 *keySeq = keyPool.data() + entry.keysAt;
            const bool endsHere = (ends & (quint32(1) << entry.last)) && !(entry.mask & ~allowed)
                && stroke.length >= 0.5 * entry.pathLength - 1.5;
            double touch = infinity;
            if (endsHere) {
                touch = align(stroke, keySeq, entry.length, bestTouch + config.touchMargin);
                if (std::isfinite(touch)) {
                    bestTouch = std::min(bestTouch, touch);
                    scored.push_back({id, touch, false});
                }
            }
            if (!possessives || !entry.possessive || ((entry.mask | sBit) & ~allowed))
                continue;
            if (entry.last == sKey) {
                if (std::isfinite(touch))
                    scored.push_back({id, touch, true});
                continue;
            }
            if (entry.length >= maxWordLength || stroke.length < 0.5 * entry.pathLength - 1.5)
                continue;
            std::copy(keySeq, keySeq + entry.length, extended);
            extended[entry.length] = quint8(sKey);
            const double ownTouch = align(stroke, extended, entry.length + 1, bestTouch + config.touchMargin);
            if (!std::isfinite(ownTouch))
                continue;
            bestTouch = std::min(bestTouch, ownTouch);
            scored.push_back({id, ownTouch, true});
        }
    }
    if (scored.empty())
        return result;
    std::sort(scored.begin(), scored.end(), [](const Scored &a, const Scored &b) { return a.touch < b.touch; });
    const double limit = bestTouch + config.touchMargin;
    const double touchWeight = std::clamp(config.carefulTouch / std::max(bestTouch, 1e-6), 1.0, std::max(1.0, config.carefulGain));
    std::vector<Candidate> weighed;
    for (const Scored &s : scored) {
        if (s.touch > limit || int(weighed.size()) >= config.languageScored)
            break;
        const QString &base = spellings[s.entry];
        double language = -scorer.logProbability(base.toLower(), previous1, previous2);
        if (!std::isfinite(language)) {
            const double prior = entries[size_t(s.entry)].prior;
            language = std::isfinite(prior) ? std::max(-prior, config.unknownLanguageCost) : config.unknownLanguageCost;
        }
        if (s.possessive)
            language += config.possessiveCost;
        const QString spelling = s.possessive ? base + QStringLiteral("'s") : base;
        weighed.push_back({spelling, touchWeight * s.touch + config.languageWeight * language, s.touch, language});
    }
    std::sort(weighed.begin(), weighed.end(), [](const Candidate &a, const Candidate &b) { return a.cost < b.cost; });
    for (size_t i = 0; i < weighed.size() && int(i) < count; ++i)
        result.append(weighed[i]);
    return result;
}

} // namespace wendrel
