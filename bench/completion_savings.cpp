// Keystroke savings of word completion on a text, with the dictionary alone and learning
// from the text as it is typed; also with presage (libpresage) when built with it.
//     completion_savings TEXT...
#include "CompletionEngine.h"
#include "keystroke_simulation.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#ifdef WITH_PRESAGE
#include <QTemporaryDir>
#include <fstream>
#include <presage.h>
#include <regex>
#include <sstream>
#endif

using namespace wendrel;
using namespace wendrel::bench;

namespace {

Savings ours(const QString &text, const std::shared_ptr<const Dictionary> &dictionary, bool learn,
             const QString &seed = {}, const std::shared_ptr<const LanguageModel> &model = {})
{
    CompletionEngine engine = model ? CompletionEngine(model, nullptr) : CompletionEngine(dictionary);
    engine.learnText(seed);
    Predictor predictor;
    predictor.predict = [&](const QString &before) { return engine.candidates(before); };
    predictor.accepted = [&](const QString &before, const QString &word) {
        if (learn)
            engine.accept(before, word);
    };
    predictor.finished = [&](const QString &before) {
        if (learn)
            engine.learnFinishedWord(before);
    };
    return simulateTyping(text, predictor);
}

#ifdef WITH_PRESAGE
class Stream : public PresageCallback {
public:
    std::string past;
    std::string get_past_stream() const override { return past; }
    std::string get_future_stream() const override { return {}; }
};

// The stock configuration with three suggestions; learning adds the user's n-gram model
// (in a fresh database) and the recency model, as the stock file has them.
std::string presageConfig(const QString &folder, bool learn)
{
    std::ifstream in("/etc/presage.xml");
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string xml = buffer.str();
    const auto set = [&](const std::string &tag, const std::string &value) {
        xml = std::regex_replace(xml, std::regex("<" + tag + ">[^<]*</" + tag + ">"), "<" + tag + ">" + value + "</" + tag + ">");
    };
    set("SUGGESTIONS", "3");
    set("PREDICTORS", learn ? "DefaultSmoothedNgramPredictor UserSmoothedNgramPredictor DefaultRecencyPredictor"
                            : "DefaultSmoothedNgramPredictor");
    // Its online learning trips an assertion in its n-gram model (numerator <= denominator)
    // within a few hundred words; it learns through its learn() call instead, a sentence at a time.
    set("ONLINE_LEARNING", "no");
    xml = std::regex_replace(xml, std::regex("\\$\\{HOME\\}/\\.presage/lm\\.db"), (folder + "/lm.db").toStdString());
    const std::string path = (folder + (learn ? "/learn.xml" : "/alone.xml")).toStdString();
    std::ofstream(path) << xml;
    return path;
}

Savings presageSavings(const QString &text, bool learn)
{
    QTemporaryDir folder;
    Stream stream;
    Presage presage(&stream, presageConfig(folder.path(), learn));
    Predictor predictor;
    predictor.predict = [&](const QString &before) {
        stream.past = before.toStdString();
        QStringList result;
        for (const std::string &word : presage.predict())
            result.append(QString::fromStdString(word));
        return result;
    };
    qsizetype learned = 0;
    predictor.accepted = [&](const QString &, const QString &) {};
    predictor.finished = [&](const QString &before) {
        const QChar last = before.back();
        if (learn && (last == u'.' || last == u'?' || last == u'!' || last == u'\n')) {
            presage.learn(before.sliced(learned).toStdString());
            learned = before.size();
        }
    };
    return simulateTyping(text, predictor);
}
#endif

void print(const char *who, const QString &name, const Savings &s)
{
    std::printf("%-30s %-24s %6.1f %%  (%lld keystrokes for %lld characters; %.1f %% of %lld words offered before "
                "their first letter)\n", who, qPrintable(name), 100.0 * s.ratio(), qlonglong(s.keystrokes),
                qlonglong(s.characters), s.words ? 100.0 * double(s.offeredBeforeFirstLetter) / double(s.words) : 0.0,
                qlonglong(s.words));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const auto dictionary = std::make_shared<const Dictionary>(Dictionary::builtIn());
    QStringList paths = app.arguments().mid(1);
    const bool withPresage = !paths.removeAll(QStringLiteral("--no-presage"));
    // --seed FILE: also measure with FILE learned first (what a model shipped with the program
    // would give), with and without learning from the text.
    QString seed;
    if (const qsizetype at = paths.indexOf(QStringLiteral("--seed")); at >= 0 && at + 1 < paths.size()) {
        QFile seedFile(paths[at + 1]);
        if (seedFile.open(QIODevice::ReadOnly))
            seed = QString::fromUtf8(seedFile.readAll());
        paths.remove(at, 2);
    }
    Q_UNUSED(withPresage);
    // --model FILE: the language model to measure (by default the one the program uses).
    QString modelPath = LanguageModel::defaultPath();
    if (const qsizetype at = paths.indexOf(QStringLiteral("--model")); at >= 0 && at + 1 < paths.size()) {
        modelPath = paths[at + 1];
        paths.remove(at, 2);
    }
    const LanguageModel::Loaded loaded = LanguageModel::open(modelPath);
    if (!loaded.model)
        std::fprintf(stderr, "no language model: %s\n", qPrintable(loaded.error));
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QString text = QString::fromUtf8(file.readAll());
        const QString name = QFileInfo(path).completeBaseName();
        if (loaded.model) {
            print("wendrel, model alone", name, ours(text, dictionary, false, {}, loaded.model));
            print("wendrel, model, learning", name, ours(text, dictionary, true, {}, loaded.model));
        }
        print("wendrel, dictionary alone", name, ours(text, dictionary, false));
        print("wendrel, dictionary, learning", name, ours(text, dictionary, true));
        if (!seed.isEmpty()) {
            print("wendrel, seed learned first", name, ours(text, dictionary, false, seed));
            print("wendrel, seed, learning", name, ours(text, dictionary, true, seed));
        }
#ifdef WITH_PRESAGE
        if (withPresage) {
            print("presage, stock model alone", name, presageSavings(text, false));
            print("presage, learning", name, presageSavings(text, true));
        }
#endif
    }
    return 0;
}
