// libFuzzer target: any bytes as the language model file. A file the reader accepts must be
// usable to the end: every lookup completion makes stays within the file (the address
// sanitizer watches), and what it gives back is consistent.
#include "CompletionEngine.h"
#include "LanguageModel.h"

#include <cstdint>
#include <cstdlib>

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto loaded = LanguageModel::fromBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!loaded.model)
        return 0;
    const LanguageModel &model = *loaded.model;
    const auto words = LanguageModel::WordId(model.wordCount());
    // The first words, the last, the sentence start and one past the end as contexts.
    const LanguageModel::WordId probes[] = {0, 1, 2, words / 2, words - 1, words, model.sentenceStart(), LanguageModel::noWord};
    for (LanguageModel::WordId previous1 : probes) {
        for (LanguageModel::WordId previous2 : probes) {
            const LanguageModel::Context context = model.context(previous1, previous2);
            for (const LanguageModel::Scored &s : model.best(context, {0, words}, 4)) {
                if (s.word >= words || !model.isCandidate(s.word))
                    std::abort();
            }
            model.best(context, model.prefixRange("a"), 3);
            for (LanguageModel::WordId word : probes)
                model.logProbability(word, context);
        }
    }
    for (LanguageModel::WordId word : probes) {
        const LanguageModel::WordId found = model.find(model.key(word));
        if (found != LanguageModel::noWord && found >= words)
            std::abort();
        model.display(word);
    }
    const auto [first, last] = model.prefixRange("b");
    if (first > last || last > words)
        std::abort();

    CompletionEngine engine(loaded.model, nullptr);
    for (const char *before : {"", "a", "the b", "eat green ", "Done. ", "x y z"})
        engine.candidates(QString::fromLatin1(before));
    engine.learnText(QStringLiteral("a b c a b"));
    engine.candidates(QStringLiteral("a b "));
    engine.logProbability(u"b", u"a", u"<s>");
    engine.isKnownWord(u"a");
    return 0;
}
