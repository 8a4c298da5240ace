#pragma once
// The English language model of word completion: how likely each word is after the one or two
// words before it (a back-off n-gram model of words, pairs and triples; log10 probabilities).
// Its file (data/english.lm, made by data/make_model.py, whose comment gives the layout) is
// memory mapped and read in place: opening it costs no time and no memory until its pages are
// used, and they are shared by every copy of the program.
//
// A file that is not a model, or is truncated, is refused as a whole; within a file that
// passes, every index is checked where it is used, so no file can make a reader go astray.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <vector>

class QFile;

namespace wendrel {

class LanguageModel {
public:
    using WordId = quint32;
    static constexpr WordId noWord = 0xffffffffu;

    struct Loaded {
        std::shared_ptr<const LanguageModel> model; // null when the file could not be used
        QString error;                              // why not, for a message
    };
    // Maps the file (QFile::map) and checks its structure.
    static Loaded open(const QString &path);
    // The same from bytes in memory (tests, the fuzzer, a model compiled in).
    static Loaded fromBytes(QByteArray bytes);
    // english.lm beside the executable (a build tree) or in the installed data folder.
    static QString defaultPath();

    ~LanguageModel();
    LanguageModel(const LanguageModel &) = delete;
    LanguageModel &operator=(const LanguageModel &) = delete;

    qsizetype wordCount() const { return words; }
    // The word in small letters, as it is looked up.
    QByteArrayView key(WordId word) const;
    // The word as it is written ("I", "London").
    QString display(WordId word) const;
    // The word whose key is this (small letters, UTF-8), or noWord.
    WordId find(QByteArrayView key) const;
    // The words whose keys begin with a prefix in small letters: [first, last).
    std::pair<WordId, WordId> prefixRange(QByteArrayView prefix) const;
    WordId sentenceStart() const { return startWord; }
    // Whether the word may be offered (the sentence markers may not).
    bool isCandidate(WordId word) const;

    // What is known of the words before the one to come: previous1 is the word just before
    // (or sentenceStart()), previous2 the one before that (noWord when unknown).
    struct Context {
        WordId previous1 = noWord;
        quint32 pairFirst = 0, pairLast = 0;     // the pairs that begin with previous1
        quint32 tripleFirst = 0, tripleLast = 0; // the triples that begin with previous2 previous1
        double backoff1 = 0.0;                   // of previous1 (log10)
        double backoff2 = 0.0;                   // of the pair previous2 previous1 (log10)
    };
    Context context(WordId previous1, WordId previous2 = noWord) const;
    // log10 of the probability of the word after the context, backing off from triples to
    // pairs to single words. A word that may not be offered scores minusInfinity.
    double logProbability(WordId word, const Context &context) const;
    static constexpr double minusInfinity = -1e9;

    struct Scored {
        WordId word;
        double logProbability;
    };
    // The n most probable words of [first, last) after the context, most probable first.
    std::vector<Scored> best(const Context &context, std::pair<WordId, WordId> range, int n) const;

private:
    LanguageModel() = default;
    static Loaded check(std::unique_ptr<LanguageModel> model);
    quint32 at(qsizetype offset, qsizetype index) const; // uint32 of a section
    double unigramLog(WordId word) const;
    double unigramBackoff(WordId word) const;
    // Index of the entry for word in a sorted list of packed entries, or -1.
    qsizetype findEntry(qsizetype section, quint32 first, quint32 last, WordId word) const;
    quint32 lowerEntry(qsizetype section, quint32 first, quint32 last, WordId word) const;

    std::unique_ptr<QFile> file;
    QByteArray bytes; // when read from memory
    const uchar *data = nullptr;
    qsizetype size = 0;

    quint32 words = 0, pairs = 0, triples = 0, contexts = 0, displays = 0, tops = 0;
    quint32 keyBytes = 0, displayBytes = 0;
    qsizetype wordStartAt = 0, unigramAt = 0, pairStartAt = 0, pairsAt = 0, contextsAt = 0;
    qsizetype tripleStartAt = 0, contextBackoffAt = 0, triplesAt = 0, topAt = 0, displayWordAt = 0;
    qsizetype displayStartAt = 0, keysAt = 0, displayTextAt = 0;
    WordId startWord = noWord;
};

} // namespace wendrel
