// Correction of typing errors from taps: a simulated person types English prose on the
// keyboard, each letter's tap scattered around its key's centre by a two-dimensional normal
// distribution (Space and punctuation are tapped at their centres). The word error rate of
// the text as the taps typed it, as the decoder corrects it at each word's end, and as a
// spelling checker would (each unknown word replaced by hunspell's first suggestion, when
// built with hunspell), all compared word by word with what was meant. Taps exactly at the
// centres show how many words a careful typist would see changed. Also the time of the
// decoder's work at a word's end. A letter's tap that lands on a key other than a letter (a
// digit, Space, BackSpace) is counted apart: here it types nothing, as a tap in a gap does.
//     correction_bench [--spread S]... [--slips P] [--session] [--dictionary] [--set NAME=VALUE]...
//                      [--known NAME=VALUE]... TEXT...
// --spread: the standard deviation in letter-key widths (default 0, 0.25 and 0.35).
// --slips: the chance of each slip of a letter (left out, tapped twice, swapped with the next).
// --dictionary: the subtitles' dictionary as the language model instead of the English model.
// --set, --known: the decoder's settings (DecoderSettings), what counts as a known word.
// --session: every character of the text is tapped through the typing session as the keyboard
// takes it (a tap may land on Space, Shift or BackSpace), the correction as the program makes it
// (default settings); the word error rate counts words left out, put in or changed.
#include "CompletionEngine.h"
#include "CompletionScorer.h"
#include "KeyTable.h"
#include "SessionScript.h"
#include "TapDecoder.h"
#include "WordCorrection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#ifdef WITH_HUNSPELL
#include <hunspell/hunspell.hxx>
#endif

using namespace wendrel;

namespace {

struct Word {
    QString text;      // as meant, with its case
    QString previous1; // the word before (small letters) or the sentence-start marker
};

bool isWordCharacter(QChar ch)
{
    return ch.isLetter() || ch == u'\'';
}

// The words of a text, each with the word or sentence start before it. Words with digits
// or characters that no key types are left out.
QList<Word> wordsOf(const QString &text)
{
    QList<Word> words;
    QString previous = sentenceStartMarker;
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isWordCharacter(text[i])) {
            if (text[i] == u'.' || text[i] == u'?' || text[i] == u'!' || text[i] == u'\n')
                previous = sentenceStartMarker;
            else if (!text[i].isSpace())
                previous = QString(text[i]);
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isWordCharacter(text[end]))
            ++end;
        QString word = text.mid(i, end - i);
        while (word.startsWith(u'\''))
            word.remove(0, 1);
        while (word.endsWith(u'\''))
            word.chop(1);
        const bool typeable = std::all_of(word.begin(), word.end(), [](QChar ch) {
            return (ch.toLower() >= u'a' && ch.toLower() <= u'z') || ch == u'\'';
        });
        if (!word.isEmpty() && typeable) {
            words.append({word, previous});
            previous = word.toLower();
        }
        i = end;
    }
    return words;
}

QPointF centreOf(const KeyDef &key)
{
    return QPointF(key.rect.x + key.rect.width / 2.0, key.rect.y + key.rect.height / 2.0);
}

// The key under a point, or nullptr in a gap or outside the keys.
const KeyDef *keyAt(QPointF point)
{
    for (const KeyDef &key : keyTable()) {
        if (point.x() >= key.rect.x && point.x() < key.rect.x + key.rect.width && point.y() >= key.rect.y
            && point.y() < key.rect.y + key.rect.height)
            return &key;
    }
    return nullptr;
}

const KeyDef *keyTyping(QChar ch)
{
    for (const KeyDef &key : keyTable()) {
        if (key.typed == ch.toLower().unicode() && (key.role == KeyRole::Letter || ch == u'\''))
            return &key;
    }
    return nullptr;
}

struct Typed {
    QList<QPointF> taps;
    QString text;         // what the keys under the taps typed
    int offLetters = 0;   // taps that landed on a key other than a letter
};

// The taps of one word: letters scattered, the apostrophe at its centre. A tap in a gap types
// nothing; one on a key that is not a letter is counted and types nothing here. With slips,
// each letter is left out, tapped twice or swapped with the next one, each with that chance.
Typed typeWord(const QString &word, double spread, double slips, std::mt19937 &random)
{
    const double sigma = spread * 24.0; // a letter key is 24 wide
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const QString &letters = word;
    QString aimed; // the letters in the order they are tapped, slips included
    for (qsizetype i = 0; i < letters.size(); ++i) {
        const double slip = slips > 0 && letters[i] != u'\'' ? chance(random) : 1.0;
        if (slip < slips)
            continue; // left out
        if (slip >= 2 * slips && slip < 3 * slips && i + 1 < letters.size() && letters[i + 1] != u'\'') {
            aimed += letters[i + 1]; // swapped with the next
            aimed += letters[i];
            ++i;
            continue;
        }
        aimed += letters[i];
        if (slip >= slips && slip < 2 * slips)
            aimed += letters[i]; // tapped twice
    }
    Typed typed;
    for (QChar ch : aimed) {
        const KeyDef *key = keyTyping(ch);
        QPointF point = centreOf(*key);
        if (ch != u'\'' && sigma > 0)
            point += QPointF(sigma * noise(random), sigma * noise(random));
        typed.taps.append(point);
        const KeyDef *hit = keyAt(point);
        if (hit && (hit->role == KeyRole::Letter || hit->typed == u'\''))
            typed.text += ch.isUpper() ? QChar(hit->typed).toUpper() : QChar(hit->typed);
        else if (hit)
            ++typed.offLetters;
    }
    return typed;
}

struct Result {
    qsizetype words = 0;
    qsizetype typedErrors = 0;
    qsizetype decodedErrors = 0;
    qsizetype checkerErrors = 0;
    qsizetype changed = 0;   // words the decoder changed from what the taps typed
    qsizetype offLetterWords = 0;
    std::vector<double> times;       // ms per word end
    std::vector<double> decodeTimes; // ms per list of three words
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

#ifdef WITH_HUNSPELL
class Checker {
public:
    Checker() : hunspell("/usr/share/hunspell/en_US.aff", "/usr/share/hunspell/en_US.dic") {}
    QString corrected(const QString &word)
    {
        const std::string utf8 = word.toStdString();
        if (word.isEmpty() || hunspell.spell(utf8))
            return word;
        const std::vector<std::string> suggestions = hunspell.suggest(utf8);
        return suggestions.empty() ? word : QString::fromStdString(suggestions.front());
    }

private:
    Hunspell hunspell;
};
#endif

Result run(const QList<Word> &words, const TapDecoder &decoder, const WordScorer &scorer, double spread, double slips,
           bool withChecker)
{
    std::mt19937 random(20240611);
    Result result;
#ifdef WITH_HUNSPELL
    Checker checker;
#endif
    QString previous1 = sentenceStartMarker, previous2;
    for (const Word &word : words) {
        const Typed typed = typeWord(word.text, spread, slips, random);
        // The decoder's context is the text as it stands: the words it left there.
        if (word.previous1 == sentenceStartMarker || word.previous1.size() == 1)
            previous1 = word.previous1, previous2.clear();
        double best = 1e9;
        QString corrected;
        for (int attempt = 0; attempt < 3; ++attempt) { // the fastest of three: other programs run too
            const auto start = std::chrono::steady_clock::now();
            corrected = decoder.correction(typed.taps, typed.text, previous1, previous2);
            best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        result.times.push_back(best);
        // What the candidate strip asks after the word's last tap: its best three words.
        double bestDecode = 1e9;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const auto start = std::chrono::steady_clock::now();
            decoder.decode(typed.taps, previous1, previous2, 3);
            bestDecode = std::min(bestDecode, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        result.decodeTimes.push_back(bestDecode);
        const QString decoded = corrected.isEmpty() ? typed.text : corrected;
        ++result.words;
        result.typedErrors += typed.text != word.text;
        result.decodedErrors += decoded != word.text;
        result.changed += decoded != typed.text;
        result.offLetterWords += typed.offLetters > 0;
        if (qEnvironmentVariableIsSet("CORRECTION_BENCH_DUMP") && decoded != word.text)
            std::printf("%s\t%s\t%s\t%s\t%d\n", qPrintable(word.text), qPrintable(typed.text), qPrintable(decoded),
                        scorer.isKnownWord(typed.text.toLower()) ? "known" : "unknown", typed.offLetters);
#ifdef WITH_HUNSPELL
        if (withChecker)
            result.checkerErrors += checker.corrected(typed.text) != word.text;
#else
        Q_UNUSED(withChecker);
#endif
        previous2 = previous1;
        previous1 = decoded.toLower();
    }
    return result;
}

// --- The whole keyboard: every character of the text tapped through the typing session -------

// The words of a text, in order.
QStringList wordTokens(QStringView text)
{
    QStringList tokens;
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isWordCharacter(text[i])) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isWordCharacter(text[end]))
            ++end;
        QString word = text.sliced(i, end - i).toString();
        while (word.startsWith(u'\''))
            word.remove(0, 1);
        while (word.endsWith(u'\''))
            word.chop(1);
        if (!word.isEmpty())
            tokens.append(word);
        i = end;
    }
    return tokens;
}

// Words left out, put in or changed to turn one list into the other.
qsizetype wordDistance(const QStringList &meant, const QStringList &result)
{
    std::vector<qsizetype> row(size_t(result.size() + 1)), next(row.size());
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = qsizetype(j);
    for (qsizetype i = 1; i <= meant.size(); ++i) {
        next[0] = i;
        for (qsizetype j = 1; j <= result.size(); ++j)
            next[size_t(j)] = std::min({row[size_t(j)] + 1, next[size_t(j - 1)] + 1,
                                        row[size_t(j - 1)] + (meant[i - 1] == result[j - 1] ? 0 : 1)});
        std::swap(row, next);
    }
    return row.back();
}

// The key and whether Shift goes first, for a character of the text; -1 for one no key types.
std::pair<int, bool> keyFor(QChar ch)
{
    const auto byId = [](int id) { return keyIndexById(id); };
    switch (ch.unicode()) {
    case u' ': return {byId(2004), false};
    case u'\n': return {byId(1031), false};
    case u',': return {byId(1028), false};
    case u'.': return {byId(1027), false};
    case u'?': return {byId(1066), true};
    case u'!': return {byId(1032), true};
    case u';': return {byId(1072), false};
    case u':': return {byId(1072), true};
    case u'\'': return {byId(1073), false};
    case u'"': return {byId(1073), true};
    case u'-': return {byId(1059), false};
    case u'(': return {byId(1081), false};
    case u')': return {byId(1082), false};
    default: break;
    }
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].typed == ch.toLower().unicode() && (table[i].role == KeyRole::Letter || ch.isDigit()))
            return {int(i), false};
    }
    return {-1, false};
}

// Where the typing assistant makes a capital of a small letter: at the start of the text, of a
// line and of a sentence.
bool assistantCapitalises(const QString &text, qsizetype at)
{
    if (at == 0 || text[at - 1] == u'\n')
        return true;
    return at >= 2 && text[at - 1] == u' ' && (text[at - 2] == u'.' || text[at - 2] == u'?' || text[at - 2] == u'!');
}

// The text as the keyboard makes it of a person's taps: letters scattered, every other key at
// its centre, Shift before a capital the typing assistant does not make. A tap that switched on
// Shift, Caps or Fn by mistake is seen (the key shows its mode colour) and that key is tapped
// again; any other key hit by mistake stays as it typed. times: how long each tap that ends a
// word took (correction on).
QString typeThroughSession(const QString &text, double spread, WordCorrection *correction, std::vector<double> *times)
{
    std::mt19937 random(20240611);
    std::normal_distribution<double> noise(0.0, 1.0);
    const double sigma = spread * 24.0;
    SessionScript script;
    script.session().setCorrection(correction);
    const auto tap = [&](QPointF point) {
        script.run(QStringLiteral("tap %1 %2").arg(point.x(), 0, 'f', 3).arg(point.y(), 0, 'f', 3));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const auto [key, withShift] = keyFor(ch);
        if (key < 0)
            continue;
        const bool letter = keyTable()[size_t(key)].role == KeyRole::Letter;
        if (withShift || (letter && ch.isUpper() && !assistantCapitalises(text, i)))
            tap(TypingSession::keyCentre(keyIndexByRole(KeyRole::Shift)));
        QPointF point = TypingSession::keyCentre(key);
        if (letter && sigma > 0)
            point += QPointF(sigma * noise(random), sigma * noise(random));
        const bool endsWord = !isWordCharacter(ch) && i > 0 && isWordCharacter(text[i - 1]);
        const auto start = std::chrono::steady_clock::now();
        tap(point);
        if (times && endsWord)
            times->push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        // A modifier that a letter's tap switched on shows in its mode colour: the person
        // switches it off again before going on.
        for (const KeyRole role : {KeyRole::Shift, KeyRole::Caps, KeyRole::Fn}) {
            const TypingSession &session = script.session();
            if (role == KeyRole::Shift ? session.shiftOn() : role == KeyRole::Caps ? session.capsOn() : session.fnOn())
                tap(TypingSession::keyCentre(keyIndexByRole(role)));
        }
    }
    return script.session().plainText();
}

bool applySetting(DecoderSettings &settings, const QString &assignment)
{
    const QString name = assignment.section(u'=', 0, 0);
    bool ok = false;
    const double value = assignment.section(u'=', 1).toDouble(&ok);
    const std::pair<const char *, double *> fields[] = {
        {"spreadX", &settings.spreadX}, {"spreadY", &settings.spreadY}, {"strayTapCost", &settings.strayTapCost},
        {"extraTapCost", &settings.extraTapCost}, {"missingLetterCost", &settings.missingLetterCost},
        {"swapCost", &settings.swapCost}, {"languageWeight", &settings.languageWeight},
        {"unknownWordCost", &settings.unknownWordCost}, {"unknownLetterCost", &settings.unknownLetterCost},
        {"correctionMargin", &settings.correctionMargin}, {"searchLimit", &settings.searchLimit},
        {"searchLimitPerTap", &settings.searchLimitPerTap}, {"contextLift", &settings.contextLift},
        {"missingApostropheCost", &settings.missingApostropheCost}};
    for (const auto &[field, target] : fields) {
        if (name == QLatin1String(field) && ok) {
            *target = value;
            return true;
        }
    }
    return false;
}

bool applyKnown(KnownWordLimits &known, const QString &assignment)
{
    const QString name = assignment.section(u'=', 0, 0);
    bool ok = false;
    const double value = assignment.section(u'=', 1).toDouble(&ok);
    if (!ok)
        return false;
    if (name.startsWith(QLatin1String("modelLog10_")) && name.back() >= u'1' && name.back() <= u'4')
        known.modelLog10[size_t(name.back().unicode() - u'1')] = value; // modelLog10_1 ... _4: by length
    else if (name == QLatin1String("dictionaryCount"))
        known.dictionaryCount = quint32(value);
    else if (name == QLatin1String("dictionaryCountShort"))
        known.dictionaryCountShort = quint32(value);
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    QList<double> spreads;
    DecoderSettings settings;
    QStringList paths;
    bool withChecker = true;
    KnownWordLimits known;
    bool throughSession = false;
    bool withModel = true;
    double slips = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--spread") && i + 1 < arguments.size()) {
            spreads.append(arguments[++i].toDouble());
        } else if (arguments[i] == QLatin1String("--set") && i + 1 < arguments.size()) {
            if (!applySetting(settings, arguments[++i])) {
                std::fprintf(stderr, "correction_bench: no setting %s\n", qPrintable(arguments[i]));
                return 2;
            }
        } else if (arguments[i] == QLatin1String("--slips") && i + 1 < arguments.size()) {
            slips = arguments[++i].toDouble();
        } else if (arguments[i] == QLatin1String("--known") && i + 1 < arguments.size()) {
            if (!applyKnown(known, arguments[++i])) {
                std::fprintf(stderr, "correction_bench: no setting %s\n", qPrintable(arguments[i]));
                return 2;
            }
        } else if (arguments[i] == QLatin1String("--dictionary")) {
            withModel = false;
        } else if (arguments[i] == QLatin1String("--session")) {
            throughSession = true;
        } else if (arguments[i] == QLatin1String("--no-hunspell")) {
            withChecker = false;
        } else {
            paths.append(arguments[i]);
        }
    }
    if (spreads.isEmpty())
        spreads = {0.0, 0.25, 0.35};
#ifndef WITH_HUNSPELL
    withChecker = false;
#endif

    QElapsedTimer loading;
    loading.start();
    const std::unique_ptr<CompletionEngine> engine
        = withModel ? CompletionEngine::create()
                    : std::make_unique<CompletionEngine>(std::make_shared<const Dictionary>(Dictionary::builtIn()));
    if (!engine->isAvailable()) {
        std::fprintf(stderr, "correction_bench: %s\n", qPrintable(engine->unavailableReason()));
        return 1;
    }
    CompletionScorer scorer(*engine, std::make_shared<const Dictionary>(Dictionary::builtIn()), known);
    TapDecoder decoder(letterKeyShapes(), scorer, settings);
    std::printf("%s; lexicon: %lld words, built in %lld ms\n",
                withModel ? "the language model" : "the dictionary alone (--dictionary)",
                qlonglong(decoder.wordCount()), qlonglong(loading.elapsed()));

    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "correction_bench: cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QString text = QString::fromUtf8(file.readAll());
        const QList<Word> words = wordsOf(text);
        const QString name = QFileInfo(path).completeBaseName();
        if (throughSession) {
            WordCorrection correction(*engine, std::make_shared<const Dictionary>(Dictionary::builtIn()));
            const QStringList meant = wordTokens(text);
            for (double spread : spreads) {
                std::vector<double> times;
                const QStringList alone = wordTokens(typeThroughSession(text, spread, nullptr, nullptr));
                const QString correctedText = typeThroughSession(text, spread, &correction, &times);
                if (qEnvironmentVariableIsSet("CORRECTION_BENCH_DUMP"))
                    std::printf("%s\n", qPrintable(correctedText));
                const QStringList corrected = wordTokens(correctedText);
                const auto percent = [&](qsizetype n) { return 100.0 * double(n) / double(std::max<qsizetype>(1, meant.size())); };
                std::printf("%-20s spread %.2f, every key through the typing session: %lld words; word errors: taps alone "
                            "%5.1f %%, corrected %5.1f %%", qPrintable(name), spread, qlonglong(meant.size()),
                            percent(wordDistance(meant, alone)), percent(wordDistance(meant, corrected)));
#ifdef WITH_HUNSPELL
                if (withChecker) {
                    Checker checker;
                    QStringList checked;
                    for (const QString &word : alone)
                        checked.append(checker.corrected(word));
                    std::printf(", hunspell %5.1f %%", percent(wordDistance(meant, checked)));
                }
#endif
                std::printf("; a tap ending a word: median %.3f ms, worst %.3f ms\n", median(times),
                            times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()));
                std::fflush(stdout);
            }
            continue;
        }
        for (double spread : spreads) {
            const Result r = run(words, decoder, scorer, spread, slips, withChecker);
            const auto percent = [&](qsizetype n) { return 100.0 * double(n) / double(std::max<qsizetype>(1, r.words)); };
            std::printf("%-20s spread %.2f%s: %lld words; word errors: taps alone %5.1f %%, decoder %5.1f %%", qPrintable(name),
                        spread, slips > 0 ? qPrintable(QStringLiteral(", slips %1 %").arg(100 * slips)) : "", qlonglong(r.words), percent(r.typedErrors), percent(r.decodedErrors));
            if (withChecker)
                std::printf(", hunspell %5.1f %%", percent(r.checkerErrors));
            std::printf("; changed %4.1f %%; a tap off the letters in %4.1f %%\n", percent(r.changed),
                        percent(r.offLetterWords));
            std::printf("%-20s spread %.2f: time at a word's end: median %.3f ms, worst %.3f ms; three best words: "
                        "median %.3f ms, worst %.3f ms\n", qPrintable(name), spread, median(r.times),
                        *std::max_element(r.times.begin(), r.times.end()), median(r.decodeTimes),
                        *std::max_element(r.decodeTimes.begin(), r.decodeTimes.end()));
            std::fflush(stdout);
        }
    }
    return 0;
}
