// Time of one candidate list, as after each tap: every position of a text (inside its words
// and after its spaces), with the whole dictionary and 20,000 learned words and their pairs.
// Also the time to load the dictionary and a full learned-words file. Each position is timed
// three times and the fastest counts, so that other programs on the machine do not.
//     completion_timing TEXT
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
void learnTwentyThousandWords(CompletionEngine &engine)
{
    const Dictionary &dictionary = engine.dictionary();
    QStringList words;
    const qsizetype step = std::max<qsizetype>(1, dictionary.size() / 20000);
    for (qsizetype i = 0; i < dictionary.size() && words.size() < 20000; i += step)
        words << QString::fromUtf8(dictionary.word(i));
    QString previous = sentenceStartMarker;
    for (const QString &word : words) {
        engine.learned().learn(word, previous, false);
        previous = word.toLower();
    }
    QRandomGenerator random(7);
    for (int i = 0; i < 200000; ++i) {
        const double u = random.generateDouble();
        const QString &word = words[qsizetype(std::pow(double(words.size()), u)) - 1];
        engine.learned().learn(word, previous, false);
        previous = word.toLower();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: completion_timing TEXT\n");
        return 2;
    }
    QFile file(app.arguments().at(1));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QString text = QString::fromUtf8(file.readAll());

    QElapsedTimer clock;
    clock.start();
    auto dictionary = std::make_shared<const Dictionary>(Dictionary::builtIn());
    const double dictionaryMs = clock.nsecsElapsed() / 1e6;

    CompletionEngine engine(dictionary);
    learnTwentyThousandWords(engine);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("learned-words.txt"));
    engine.learned().save(path);
    CompletionEngine reloaded(dictionary);
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
    std::printf("candidates with %lld dictionary words and %lld learned words (%lld pairs), %zu positions of the text:\n"
                "  median %.1f us, 99th percentile %.1f us, worst %.1f us (%lld positions offered words)\n",
                qlonglong(dictionary->size()), qlonglong(reloaded.learned().wordCount()),
                qlonglong(reloaded.learned().pairCount()), times.size(), at(0.5), at(0.99), times.back(),
                qlonglong(offered));
    std::printf("load: dictionary %.1f ms, learned-words file of %lld kB %.1f ms\n", dictionaryMs,
                qlonglong(QFile(path).size() / 1024), learnedMs);
    return 0;
}
