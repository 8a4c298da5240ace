// Time of one candidate list, as after each tap: every position of a text (inside its words
// and after its spaces), with the language model (or, with --dictionary, the dictionary alone)
// and 20,000 learned words with their pairs and triples. Also the time to open the model, to
// load the dictionary and to read a full learned-words file. Each position is timed three
// times and the fastest counts, so that other programs on the machine do not.
//     completion_timing [--dictionary] TEXT
#include "CompletionEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace wendrel;

namespace {

// 20,000 different learned words: dictionary words of every frequency, each used at least
// once, then a stream of them with Zipf-like frequencies that also makes many pairs.
void learnTwentyThousandWords(CompletionEngine &engine, const Dictionary &dictionary)
{
    QStringList words;
    const qsizetype step = std::max<qsizetype>(1, dictionary.size() / 20000);
    for (qsizetype i = 0; i < dictionary.size() && words.size() < 20000; i += step)
        words << QString::fromUtf8(dictionary.word(i));
    QString previous = sentenceStartMarker, previous2;
    for (const QString &word : words) {
        engine.learned().learn(word, previous, previous2, false);
        previous2 = previous;
        previous = word.toLower();
    }
    QRandomGenerator random(7);
    for (int i = 0; i < 200000; ++i) {
        const double u = random.generateDouble();
        const QString &word = words[qsizetype(std::pow(double(words.size()), u)) - 1];
        engine.learned().learn(word, previous, previous2, false);
        previous2 = previous;
        previous = word.toLower();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool dictionaryAlone = arguments.removeAll(QStringLiteral("--dictionary")) > 0;
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: completion_timing [--dictionary] TEXT\n");
        return 2;
    }
    QFile file(arguments.at(0));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QString text = QString::fromUtf8(file.readAll());

    QElapsedTimer clock;
    clock.start();
    auto dictionary = std::make_shared<const Dictionary>(Dictionary::builtIn());
    const double dictionaryMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    const LanguageModel::Loaded model = LanguageModel::open(LanguageModel::defaultPath());
    const double modelMs = clock.nsecsElapsed() / 1e6;
    if (!dictionaryAlone && !model.model) {
        std::fprintf(stderr, "no language model: %s\n", qPrintable(model.error));
        return 1;
    }
    const auto makeEngine = [&] {
        return dictionaryAlone ? CompletionEngine(dictionary) : CompletionEngine(model.model, nullptr);
    };

    CompletionEngine engine = makeEngine();
    learnTwentyThousandWords(engine, *dictionary);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    engine.learned().save(path);
    CompletionEngine reloaded = makeEngine();
    clock.restart();
    reloaded.learned().load(path);
    const double learnedMs = clock.nsecsElapsed() / 1e6;

    std::vector<double> times;
    times.reserve(size_t(text.size()));
    std::vector<std::pair<double, qsizetype>> slowest;
    qsizetype offered = 0;
    for (qsizetype end = 1; end <= text.size(); ++end) {
        const QStringView before = QStringView(text).first(end).last(std::min<qsizetype>(end, 96));
        // The fastest of three runs: the machine's other work is not the engine's time.
        QStringList candidates;
        double fastest = 1e12;
        for (int run = 0; run < 3; ++run) {
            clock.restart();
            candidates = reloaded.candidates(before);
            fastest = std::min(fastest, clock.nsecsElapsed() / 1e3);
        }
        times.push_back(fastest);
        slowest.push_back({times.back(), end});
        offered += candidates.isEmpty() ? 0 : 1;
    }
    std::sort(times.begin(), times.end());
    std::sort(slowest.rbegin(), slowest.rend());
    if (qEnvironmentVariableIsSet("SHOW_SLOWEST"))
        for (int i = 0; i < 12; ++i)
            std::printf("%.1f us: ...%s|\n", slowest[size_t(i)].first, qPrintable(text.mid(slowest[size_t(i)].second - 30, 30)));
    const auto at = [&](double share) { return times[size_t(share * double(times.size() - 1))]; };
    std::printf("candidates from %s and %lld learned words (%lld pairs, %lld triples), %zu positions of the text:\n"
                "  median %.1f us, 99th percentile %.1f us, worst %.1f us (%lld positions offered words)\n",
                dictionaryAlone ? "the dictionary" : "the language model", qlonglong(reloaded.learned().wordCount()),
                qlonglong(reloaded.learned().pairCount()), qlonglong(reloaded.learned().tripleCount()), times.size(),
                at(0.5), at(0.99), times.back(), qlonglong(offered));
    std::printf("load: dictionary %.1f ms, language model opened %.2f ms, learned-words file of %lld kB %.1f ms\n",
                dictionaryMs, modelMs, qlonglong(QFile(path).size() / 1024), learnedMs);
    return 0;
}
