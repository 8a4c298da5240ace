#include "TapDecoder.h"

#include "KeyTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wendrel {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// -log of (e^-a + e^-b), without overflow.
double logSumCost(double a, double b)
{
    const double low = std::min(a, b);
    const double high = std::max(a, b);
    return low - std::log1p(std::exp(low - high));
}

} // namespace

std::vector<KeyShape> letterKeyShapes()
{
    std::vector<KeyShape> shapes;
    for (const KeyDef &key : keyTable()) {
        if (key.role == KeyRole::Letter || key.typed == u'\'')
            shapes.push_back({QChar(key.typed), QRectF(key.rect.x, key.rect.y, key.rect.width, key.rect.height)});
    }
    return shapes;
}

QString withTypedCase(QStringView typed, const QString &word)
{
    int letters = 0, capitals = 0;
    QChar first;
    for (QChar ch : typed) {
        if (!ch.isLetter())
            continue;
        if (letters == 0)
            first = ch;
        ++letters;
        capitals += ch.isUpper() ? 1 : 0;
    }
    if (letters >= 2 && capitals == letters)
        return word.toUpper();
    if (letters > 0 && first.isUpper() && !word.isEmpty())
        return word.first(1).toUpper() + word.sliced(1);
    return word;
}

// The state of one walk over the lexicon: the taps' costs, the alignment rows of the
// children of each node on the current path (row[i]: the best cost of the letters so far
// against the first i taps), and the best words found.
struct TapDecoder::Search {
    static constexpr int maxChildren = 64;    // a node has at most one child per key
    explicit Search(std::vector<double> &rows) : rows(rows) {}
    int tapCount = 0;
    int keyCount = 0;
    std::vector<double> costs;                 // costs[i * keyCount + key], tap i from 1
    std::vector<double> &rows;                 // per depth, keyCount rows of tapCount + 1
    char16_t path[maxWordLength + 1] = {};
    QStringView previous1, previous2;
    double lift = 0;
    int wanted = 0;
    double limit = infinity;                   // no word with a touch cost above this
    QList<Candidate> best;                     // best first

    double *row(int depth, int child)
    {
        return rows.data() + (size_t(depth) * size_t(keyCount) + size_t(child)) * size_t(tapCount + 1);
    }
    double cost(int tap, int key) const { return costs[size_t(tap) * size_t(keyCount) + size_t(key)]; }
    double bound() const
    {
        return best.size() < wanted ? limit : std::min(limit, best.back().cost);
    }
    void offer(Candidate candidate)
    {
        if (best.size() >= wanted && candidate.cost >= best.back().cost)
            return;
        const auto at = std::upper_bound(best.begin(), best.end(), candidate.cost,
                                         [](double c, const Candidate &other) { return c < other.cost; });
        best.insert(at, std::move(candidate));
        if (best.size() > wanted)
            best.removeLast();
    }
};

TapDecoder::TapDecoder(std::vector<KeyShape> keyShapes, const WordScorer &scorer, DecoderSettings settings)
    : keys(std::move(keyShapes)), scorer(scorer), config(settings)
{
    if (keys.size() > size_t(Search::maxChildren))
        keys.resize(size_t(Search::maxChildren)); // a key is one byte of a node
    nodes.emplace_back(); // the root
    scorer.forEachWord([&](QStringView word) { insert(word, scorer.priorLogProbability(word.toString().toLower())); });
}

int TapDecoder::keyOf(QChar ch) const
{
    for (size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].letter == ch)
            return int(k);
    }
    return -1;
}

bool TapDecoder::addWord(QStringView word)
{
    return insert(word, scorer.logProbability(word.toString().toLower(), {}, {}));
}

bool TapDecoder::insert(QStringView word, double logProbability)
{
    if (word.isEmpty() || word.size() > maxWordLength)
        return false;
    const QString folded = word.toString().toLower();
    qint32 path[maxWordLength + 1];
    int depth = 0;
    qint32 node = 0;
    path[depth++] = node;
    for (QChar ch : folded) {
        const int key = keyOf(ch);
        if (key < 0)
            return false; // partly added prefixes stay harmless: they are no word
        qint32 child = nodes[size_t(node)].firstChild;
        qint32 previous = -1;
        while (child >= 0 && nodes[size_t(child)].key < key) {
            previous = child;
            child = nodes[size_t(child)].nextSibling;
        }
        if (child < 0 || nodes[size_t(child)].key != key) {
            Node fresh;
            fresh.key = quint8(key);
            fresh.nextSibling = child;
            nodes.push_back(fresh);
            const qint32 added = qint32(nodes.size() - 1);
            if (previous < 0)
                nodes[size_t(node)].firstChild = added;
            else
                nodes[size_t(previous)].nextSibling = added;
            child = added;
        }
        node = child;
        path[depth++] = node;
    }
    Node &last = nodes[size_t(node)];
    if (!last.isWord) {
        last.isWord = true;
        ++words;
    }
    const float language = float(-config.languageWeight * logProbability);
    last.language = std::min(last.language, language);
    for (int d = 0; d < depth; ++d) {
        Node &onPath = nodes[size_t(path[d])];
        onPath.languageAhead = std::min(onPath.languageAhead, language);
    }
    // The first spelling wins: the dictionary gives it before what the user taught.
    if (folded != word && !displayForms.contains(node))
        displayForms.insert(node, word.toString());
    return true;
}

// Cost of every tap for every key: a normal distribution around the key's centre with a
// spread in proportion to the key, mixed with a small chance that the tap was aimed anywhere.
std::vector<double> TapDecoder::tapCosts(const QList<QPointF> &taps) const
{
    const size_t keyCount = keys.size();
    double meanArea = 0;
    for (const KeyShape &key : keys)
        meanArea += key.rect.width() * key.rect.height();
    meanArea /= double(std::max<size_t>(1, keyCount));
    std::vector<double> costs(size_t(taps.size() + 1) * keyCount, 0.0);
    for (qsizetype i = 0; i < taps.size(); ++i) {
        for (size_t k = 0; k < keyCount; ++k) {
            const QRectF &rect = keys[k].rect;
            const double sx = config.spreadX * rect.width();
            const double sy = config.spreadY * rect.height();
            const double dx = (taps[i].x() - rect.center().x()) / sx;
            const double dy = (taps[i].y() - rect.center().y()) / sy;
            // A smaller key catches its taps more tightly: its density is higher.
            const double scale = std::log(rect.width() * rect.height() / meanArea);
            const double gaussian = 0.5 * (dx * dx + dy * dy) + scale;
            costs[size_t(i + 1) * keyCount + k] = logSumCost(gaussian, config.strayTapCost);
        }
    }
    return costs;
}

// Visits the children of node (at depth, its row parent, its parent's row grandparent), the
// most promising first, and stops at the first that cannot beat the words found.
void TapDecoder::walk(Search &search, qint32 node, int depth, const double *parent, const double *grandparent) const
{
    if (depth >= maxWordLength)
        return;
    const int n = search.tapCount;
    const int parentKey = nodes[size_t(node)].key;
    struct Child {
        double bound;
        qint32 node;
        int slot;
    };
    Child children[Search::maxChildren];
    int count = 0;
    for (qint32 child = nodes[size_t(node)].firstChild; child >= 0 && count < Search::maxChildren;
         child = nodes[size_t(child)].nextSibling) {
        const Node &c = nodes[size_t(child)];
        const int key = c.key;
        double *row = search.row(depth + 1, count);
        const double missing = missingCost(key);
        row[0] = parent[0] + missing;
        double lowest = row[0];
        // The cheapest start of a swap of this letter with the next one: its tap came second.
        double swapStart = infinity;
        for (int i = 1; i <= n; ++i) {
            double best = parent[i - 1] + search.cost(i, key);              // tapped (maybe off)
            best = std::min(best, parent[i] + missing);                     // not tapped
            best = std::min(best, row[i - 1] + config.extraTapCost);        // a tap too many
            if (grandparent && i >= 2)                                       // swapped with the parent
                best = std::min(best, grandparent[i - 2] + config.swapCost + search.cost(i - 1, key)
                                          + search.cost(i, parentKey));
            row[i] = best;
            lowest = std::min(lowest, best);
            if (i >= 2)
                swapStart = std::min(swapStart, parent[i - 2] + config.swapCost + search.cost(i, key));
        }
        const double touch = std::min(lowest, swapStart);
        if (touch >= search.limit)
            continue;
        children[count] = {touch + std::max(0.0, c.languageAhead - search.lift), child, count};
        ++count;
    }
    std::sort(children, children + count, [](const Child &a, const Child &b) { return a.bound < b.bound; });
    for (int k = 0; k < count; ++k) {
        if (children[k].bound >= search.bound())
            break;
        const Node &c = nodes[size_t(children[k].node)];
        const double *row = search.row(depth + 1, children[k].slot);
        search.path[depth] = QChar(keys[size_t(c.key)].letter).unicode();
        // The language model is asked only when the word's own score leaves it a chance.
        if (c.isWord && row[n] + std::max(0.0, c.language - search.lift) < search.bound()) {
            const QString word = QString(reinterpret_cast<const QChar *>(search.path), depth + 1);
            const double language = -scorer.logProbability(word, search.previous1, search.previous2);
            const double total = row[n] + config.languageWeight * language;
            if (total < search.bound())
                search.offer({displayForms.value(children[k].node, word), total, row[n], language});
        }
        walk(search, children[k].node, depth + 1, row, parent);
    }
}

QList<TapDecoder::Candidate> TapDecoder::decode(const QList<QPointF> &taps, QStringView previous1,
                                                QStringView previous2, int count) const
{
    if (taps.isEmpty() || taps.size() > maxTaps || count <= 0 || keys.empty())
        return {};
    // The rows' room is kept from one search to the next.
    thread_local std::vector<double> rows;
    Search search(rows);
    search.tapCount = int(taps.size());
    search.keyCount = int(keys.size());
    search.costs = tapCosts(taps);
    rows.resize(size_t(maxWordLength + 1) * keys.size() * size_t(search.tapCount + 1));
    search.previous1 = previous1;
    search.previous2 = previous2;
    search.lift = config.languageWeight * config.contextLift;
    search.limit = config.searchLimit + config.searchLimitPerTap * search.tapCount;
    double *root = search.row(0, 0);
    for (int i = 0; i <= search.tapCount; ++i)
        root[i] = i * config.extraTapCost;
    search.wanted = count;
    walk(search, 0, 0, root, nullptr);
    return search.best;
}

double TapDecoder::touchCost(const QList<QPointF> &taps, QStringView word) const
{
    if (word.isEmpty() || taps.isEmpty() || taps.size() > maxTaps)
        return infinity;
    std::vector<int> letters;
    for (QChar ch : word) {
        const int key = keyOf(ch);
        if (key < 0)
            return infinity;
        letters.push_back(key);
    }
    const int n = int(taps.size());
    const std::vector<double> costs = tapCosts(taps);
    const size_t keyCount = keys.size();
    const auto cost = [&](int tap, int key) { return costs[size_t(tap) * keyCount + size_t(key)]; };
    // The rows of the search, for this one word.
    std::vector<std::vector<double>> rows(letters.size() + 1, std::vector<double>(size_t(n + 1)));
    for (int i = 0; i <= n; ++i)
        rows[0][size_t(i)] = i * config.extraTapCost;
    for (size_t d = 1; d <= letters.size(); ++d) {
        std::vector<double> &row = rows[d];
        const std::vector<double> &parent = rows[d - 1];
        const double missing = missingCost(letters[d - 1]);
        row[0] = parent[0] + missing;
        for (int i = 1; i <= n; ++i) {
            double best = parent[size_t(i - 1)] + cost(i, letters[d - 1]);
            best = std::min(best, parent[size_t(i)] + missing);
            best = std::min(best, row[size_t(i - 1)] + config.extraTapCost);
            if (d >= 2 && i >= 2)
                best = std::min(best, rows[d - 2][size_t(i - 2)] + config.swapCost + cost(i - 1, letters[d - 1])
                                          + cost(i, letters[d - 2]));
            row[size_t(i)] = best;
        }
    }
    return rows.back()[size_t(n)];
}

double TapDecoder::unknownWordCost(QStringView word) const
{
    return config.languageWeight * (config.unknownWordCost + config.unknownLetterCost * double(word.size()));
}

QString TapDecoder::correction(const QList<QPointF> &taps, QStringView typed, QStringView previous1,
                               QStringView previous2) const
{
    if (typed.isEmpty() || taps.isEmpty() || taps.size() > maxTaps)
        return {};
    const QString folded = typed.toString().toLower();
    for (QChar ch : folded) {
        if (keyOf(ch) < 0)
            return {}; // a digit or a letter no key types: not a word the taps can speak for
    }
    if (scorer.isKnownWord(folded))
        return {};
    // A possessive the lexicon does not hold: the word before "'s" is mended, the ending kept.
    if (folded.size() > 2 && folded.endsWith(QLatin1String("'s")) && taps.size() > 2) {
        const QString stem = correction(taps.first(taps.size() - 2), typed.chopped(2), previous1, previous2);
        return stem.isEmpty() ? QString() : stem + typed.last(2).toString();
    }
    // The typed word as the user's own: as likely as the language model finds it, and never
    // less likely than a word the model has not seen.
    const double language = std::min(config.unknownWordCost + config.unknownLetterCost * double(folded.size()),
                                      -scorer.logProbability(folded, previous1, previous2));
    const double asTyped = touchCost(taps, folded) + config.languageWeight * language;
    const QList<Candidate> best = decode(taps, previous1, previous2, 1);
    if (best.isEmpty() || best.front().word.toLower() == folded)
        return {};
    if (best.front().cost + config.correctionMargin >= asTyped)
        return {};
    return withTypedCase(typed, best.front().word);
}

} // namespace wendrel
