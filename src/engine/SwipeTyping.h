#pragma once
// Swipe typing for the typing session: reads a word from a stroke over the letter keys (the
// stroke decoder, with word completion's language model, learned words and word list), says
// how the word goes into the text, and remembers the word last swiped while it stands right
// before the caret: the strip then offers the stroke's other words, a tap on one of them puts
// it in the swiped word's place, and a BackSpace takes the whole word away.
//
// The session calls it at those moments and makes the edits; it never sees a widget.
#include "CompletionEngine.h"
#include "CompletionScorer.h"
#include "StrokeDecoder.h"

#include <QList>
#include <QPointF>
#include <QStringList>
#include <memory>
#include <optional>

namespace wendrel {

class SwipeTyping {
public:
    // As WordCorrection: the engine's model and learned words are the decoder's language
    // model, extraWords speaks for the words the model lacks. Building the lexicon takes a few
    // hundred milliseconds and reads only the model and the dictionary: it may run on a worker
    // thread. Call addLearnedWords() on the engine's thread once the learned words are in.
    SwipeTyping(CompletionEngine &engine, std::shared_ptr<const Dictionary> extraWords = {});
    ~SwipeTyping();

    void addLearnedWords();
    // A word was just learned (finishedBefore: the text before the caret, ending in the character
    // that finished it): once it counts as known (typed often enough), strokes may mean it.
    void wordLearned(QStringView finishedBefore);
    const StrokeDecoder &decoder() const { return *strokeDecoder; }
    StrokeDecoder &decoder() { return *strokeDecoder; }

    struct Reading {
        QString word;        // the best word, as the lexicon writes it; empty: none
        QStringList others;  // the strip's words, best first
    };
    // The words a stroke (layout points) means after the text before the caret.
    Reading read(const QList<QPointF> &stroke, QStringView before, int stripCount) const;

    // Whether a word swiped after this text goes in with a space before it: after a letter or
    // digit, or after a punctuation mark that a space follows.
    static bool wantsSpaceBefore(QStringView before);

    // How the swiped word's capitals were set: as the lexicon spells it, a first capital (the
    // typing assistant's, or Shift), all capitals (Caps).
    enum class Case { AsSpelled, First, All };
    static QString withCase(const QString &word, Case letterCase);

    // The word last swiped, while it is the last thing done.
    struct Swiped {
        int start = 0;      // where the swipe's edit began (at the space it put in, if any)
        int wordStart = 0;  // where the word begins
        int end = 0;        // after the word (the caret then)
        int revision = -1;  // the document's revision after the edit
        QString word;       // as typed (its capitals too)
        QStringList words;  // the stroke's words as the decoder spells them, best first
        Case letterCase = Case::AsSpelled;
    };
    void remember(Swiped swiped) { last = std::move(swiped); }
    const std::optional<Swiped> &lastSwiped() const { return last; }
    void forget() { last.reset(); }
    // The strip's words after the swiped word: the stroke's other words.
    QStringList stripWords(int count) const;

private:
    CompletionEngine &engine;
    CompletionScorer scorer;
    std::unique_ptr<StrokeDecoder> strokeDecoder;
    std::optional<Swiped> last;
};

} // namespace wendrel
