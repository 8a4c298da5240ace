// libFuzzer target: any bytes as the learned-words file, read by a store with small limits so
// that pruning runs too. A store that was read must be usable (learning, completing) and,
// saved and read again, must hold the same entries.
#include "LearnedWords.h"

#include <QList>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// The saved lines in order: pairs are saved in the order of a hash table.
QList<QByteArray> sortedLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    wendrel::LearnedWords words(nullptr, 8, 12);
    if (!words.parse(bytes))
        return 0;
    const QByteArray saved = words.serialise();
    wendrel::LearnedWords again(nullptr, 8, 12);
    if (!again.parse(saved) || sortedLines(again.serialise()) != sortedLines(saved))
        std::abort();

    // The store goes on working: completion's lookups and a few words learned past its limits.
    for (const QString &key : words.mostUsed()) {
        if (!words.find(key))
            std::abort();
        words.followers(key);
    }
    words.forEachWithPrefix(QStringLiteral("a"), [](const QString &, const wendrel::LearnedWords::Word &) {});
    QString context;
    for (const char *word : {"alpha", "beta", "gamma", "delta", "alpha", "epsilon", "zeta", "eta", "theta", "iota"}) {
        const QString text = QString::fromLatin1(word);
        words.learn(text, context, false);
        context = text;
    }
    if (words.wordCount() > 8 || words.pairCount() > 12)
        std::abort();
    return 0;
}
