#pragma once
// The words, pairs and triples of words the user has typed, with how often and how lately
// each was used. The store is bounded: past its limits the least used entries go first. It is
// kept as a small UTF-8 text file that is replaced whole when saved; several copies of the
// program may share it, each adding what it learned to what is on disk when it saves.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace wendrel {

class Dictionary;

class LearnedWords {
public:
    // Longer strings are not words worth offering (and would bloat the store). The limit holds
    // for the word as typed and for its key in small letters, which can be longer ("İ" is two
    // characters in small letters).
    static constexpr qsizetype maxWordLength = 40;
    // Counts and the use counter stop here rather than wrap.
    static constexpr quint32 maxCount = 0xFFFFFFFFu;
    // How long a save waits for another copy of the program that is saving the same file:
    // longer than a lock is trusted (10 s), so only a live copy still saving makes it give up.
    static constexpr int lockWaitMs = 15000;

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
        quint64 total = 0;
        std::vector<Follower> list; // most used first
    };

    explicit LearnedWords(const Dictionary *dictionary = nullptr, qsizetype maxWords = 20000,
                          qsizetype maxPairs = 60000, qsizetype maxTriples = 60000);

    // How a word first met in capitals only a sentence start may have made is written: the
    // dictionary's or the language model's spelling of its key ("i" -> "I"), or empty when
    // unknown. Without it the dictionary given to the constructor is asked.
    void setSpelling(std::function<QString(const QString &key)> spelling);

    // Learns a word typed after a context (the previous word in small letters, or a marker
    // of completion's context) and, when context2 is not empty, after the two words
    // context2 context (a triple). Words with digits, without a letter or longer than
    // maxWordLength are refused (false). atSentenceStart: a capital on the first letter may
    // be the typing assistant's, so it does not change how the word is written.
    bool learn(QStringView word, const QString &context, bool atSentenceStart);
    bool learn(QStringView word, const QString &context, const QString &context2, bool atSentenceStart);

    const Word *find(const QString &key) const;
    const Followers *followers(const QString &context) const;
    // The words that followed the two words context2 context.
    const Followers *followers(const QString &context2, const QString &context) const;
    static QString tripleContext(const QString &context2, const QString &context);
    // The words most used overall, most used first (a few).
    const std::vector<QString> &mostUsed() const { return top; }
    quint64 total() const { return wordTotal; }
    quint32 uses() const { return useCounter; }
    qsizetype wordCount() const { return qsizetype(words.size()); }
    qsizetype pairCount() const { return pairTotal; }
    qsizetype tripleCount() const { return tripleTotal; }

    // Calls f(key, word) for every word whose key begins with foldedPrefix, in key order.
    template <typename F> void forEachWithPrefix(const QString &foldedPrefix, F f) const
    {
        for (auto it = words.lower_bound(foldedPrefix); it != words.end() && it->first.startsWith(foldedPrefix); ++it)
            f(it->first, it->second);
    }

    // Loaded: read (lines that could not be read skipped); Missing: no file yet; Damaged: not a
    // learned-words file, moved aside; Unreadable: a regular file that could not be read (its
    // permissions, a read error), left where it is; NotAFile: a folder, a named pipe, a device,
    // left as it is. After Unreadable and NotAFile nothing may be saved there.
    enum class LoadResult { Loaded, Missing, Damaged, Unreadable, NotAFile };
    struct Loaded {
        LoadResult result = LoadResult::Missing;
        std::shared_ptr<LearnedWords> words; // the store read; empty unless Loaded
        qsizetype skippedLines = 0;          // lines that could not be read (Loaded)
        QString aside;                       // where the file, or a copy of it, was kept aside
        QString error;                       // why it could not be read (Unreadable)
    };
    // Reads and parses a learned-words file, with the limits and dictionary of this store.
    // It touches nothing of this store, so it may run on another thread (the store must
    // outlive it): `auto loaded = words.reader(path)();` there, then adopt() here.
    // A regular file that is not a learned-words file is renamed to path + ".damaged" (or
    // ".damaged.2", ... when that is taken: earlier damaged files stay). A file with lines
    // that cannot be read is read without them, and a copy of it is kept aside the same way.
    // Anything that is not a regular file, and a file that cannot be read, is left as it is.
    // A full store takes some tens of milliseconds.
    std::function<Loaded()> reader(const QString &path) const;
    // A sentence about a load's result for the user ("... was moved to ..."), empty when there
    // is nothing to say.
    static QString describe(const Loaded &loaded, const QString &path);
    // Takes the store read by reader(): what was learned here meanwhile is learned again on
    // top of it (and saved at the next save). Returns loaded.result.
    LoadResult adopt(Loaded loaded);
    // reader(path)() and adopt() at once.
    LoadResult load(const QString &path);
    // Adds what was learned here since the last load or save to what the file holds now
    // (another copy of the program may have saved since) and replaces the file with the sum,
    // which this store then holds. It does so holding path + ".lock", waiting for it up to
    // lockWaitMs; without the lock nothing is written (false) and everything stays for the
    // next save. A file that cannot be read, or a path that is not a regular file, is not
    // replaced (false).
    bool save(const QString &path);
    // The same in two halves, so that reading and writing the file can run on another thread
    // (a full store takes some tens of milliseconds): saver() here takes what is to be saved
    // and returns the work, which may run anywhere (`Saved saved = work();`); adoptSaved()
    // here takes the result, keeping what was learned meanwhile for the next save. Only one
    // save at a time. save(path) is adoptSaved(saver(path)()).
    struct Saved {
        bool written = false;
        std::shared_ptr<LearnedWords> words; // the file's store as written
        QString error;                       // why nothing was written
        Loaded read;                         // what reading the file found
    };
    std::function<Saved()> saver(const QString &path, int lockWait = lockWaitMs);
    bool adoptSaved(Saved saved);
    bool isDirty() const { return dirty; }

    QByteArray serialise() const;
    // False (store unchanged) when the bytes are not a store.
    // A line that cannot be read is skipped and counted (skippedLines()); only bytes that do
    // not begin with the header are refused.
    bool parse(const QByteArray &bytes);
    qsizetype skippedLines() const { return skipped; }

    static bool isLearnable(QStringView word);

private:
    struct Use {
        QString word, context, context2;
        bool atSentenceStart;
    };
    static Loaded read(const QString &path, const Dictionary *dictionary, qsizetype maxWords, qsizetype maxPairs,
                       qsizetype maxTriples, bool copySkipped);
    QString spellingOf(const QString &key) const;
    bool learnOnce(QStringView word, const QString &context, const QString &context2, bool atSentenceStart);
    void addFollower(const QString &context, const QString &key, quint32 count, quint32 lastUsed);
    void noteUse(const QString &key);
    void nextUse();
    bool parseLine(QByteArrayView line, const std::function<QString(const QString &)> &shared);
    void rebuildTop();
    void pruneWords();
    void prunePairs(bool triples);

    const Dictionary *dictionary;
    qsizetype maxWords;
    qsizetype maxPairs;
    qsizetype maxTriples;
    std::function<QString(const QString &)> spelling;
    std::map<QString, Word> words;
    QHash<QString, Followers> pairs; // keyed by the context; a triple's is "word1 word2"
    std::vector<QString> top;
    quint64 wordTotal = 0;
    qsizetype pairTotal = 0;
    qsizetype tripleTotal = 0;
    quint32 useCounter = 0;
    bool dirty = false;
    // What was learned since the store was last read or saved, to add to what is on disk.
    std::vector<Use> journal;
    size_t journalSaving = 0; // the first uses of the journal, handed to a save
    qsizetype skipped = 0;
};

} // namespace wendrel
