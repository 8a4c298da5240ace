#pragma once
// The words and pairs of words the user has typed, with how often and how lately each was
// used. The store is bounded: past its limits the least used entries go first. It is kept
// as a small UTF-8 text file that is replaced whole when saved.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <map>
#include <vector>

namespace wendrel {

class Dictionary;

class LearnedWords {
public:
    // Longer strings are not words worth offering (and would bloat the store).
    static constexpr qsizetype maxWordLength = 40;

    struct Word {
        QString display;        // as the user writes it ("London", "don't")
        quint32 count = 0;
        quint32 lastUsed = 0;   // value of the use counter at the last use
        quint32 dictionaryCount = 0;
    };
    struct Follower {
        QString key;            // the following word, in small letters
        quint32 count = 0;
        quint32 lastUsed = 0;
    };
    struct Followers {
        quint32 total = 0;
        std::vector<Follower> list; // most used first
    };

    explicit LearnedWords(const Dictionary *dictionary = nullptr, qsizetype maxWords = 20000,
                          qsizetype maxPairs = 60000);

    // Learns a word typed after a context (the previous word in small letters, or a marker
    // of completion's context). Words with digits, without a letter or longer than
    // maxWordLength are refused (false). atSentenceStart: a capital on the first letter may
    // be the typing assistant's, so it does not change how the word is written.
    bool learn(QStringView word, const QString &context, bool atSentenceStart);

    const Word *find(const QString &key) const;
    const Followers *followers(const QString &context) const;
    // The words most used overall, most used first (a few).
    const std::vector<QString> &mostUsed() const { return top; }
    quint64 total() const { return wordTotal; }
    qsizetype wordCount() const { return qsizetype(words.size()); }
    qsizetype pairCount() const { return pairTotal; }

    // Calls f(key, word) for every word whose key begins with foldedPrefix, in key order.
    template <typename F> void forEachWithPrefix(const QString &foldedPrefix, F f) const
    {
        for (auto it = words.lower_bound(foldedPrefix); it != words.end() && it->first.startsWith(foldedPrefix); ++it)
            f(it->first, it->second);
    }

    enum class LoadResult { Loaded, Missing, Damaged, Unreadable };
    // A damaged file, or anything that is not a regular file (a named pipe, a folder), is
    // renamed to path + ".damaged" and the store starts empty. A file that cannot be opened
    // (its permissions) is left alone; it must then not be saved over.
    LoadResult load(const QString &path);
    bool save(const QString &path);
    bool isDirty() const { return dirty; }

    QByteArray serialise() const;
    // False (store unchanged) when the bytes are not a store.
    bool parse(const QByteArray &bytes);

    static bool isLearnable(QStringView word);

private:
    void addFollower(const QString &context, const QString &key, quint32 count, quint32 lastUsed);
    void noteUse(const QString &key);
    void rebuildTop();
    void pruneWords();
    void prunePairs();

    const Dictionary *dictionary;
    qsizetype maxWords;
    qsizetype maxPairs;
    std::map<QString, Word> words;
    QHash<QString, Followers> pairs;
    std::vector<QString> top;
    quint64 wordTotal = 0;
    qsizetype pairTotal = 0;
    quint32 useCounter = 0;
    bool dirty = false;
};

} // namespace wendrel
