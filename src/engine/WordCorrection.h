#pragma once
// Correction of typing errors for the typing session. It keeps the press point of each letter
// of the word being typed; offers the tap decoder's best words for the candidate strip, the
// word exactly as typed first while the word's end would replace it; at a word's end replaces the
// typed word by the decoder's best when the decoder is confident and the typed word is not
// known; and takes such a replacement back when a BackSpace follows at once, as the typing
// assistant's corrections are taken back. A word taken back is not corrected again in the same
// text, and a word taken back twice is learned.
//
// The session calls it at those moments and makes the edits it returns; it never sees a widget.
#include "CompletionEngine.h"
#include "CompletionScorer.h"
#include "TapDecoder.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

class QTextCursor;

namespace wendrel {

class WordCorrection {
public:
    // The engine's model and learned words are the decoder's language model; extraWords speaks
    // for the words the model lacks. The engine must outlive this object. Building the
    // decoder's lexicon takes a few hundred milliseconds: it reads only the model and the
    // dictionary, so it may run on a worker thread while the engine's learned words are read
    // on another. Call addLearnedWords() on the engine's thread once those are in.
    WordCorrection(CompletionEngine &engine, std::shared_ptr<const Dictionary> extraWords = {});
    ~WordCorrection();

    // The words the user has taught become words the decoder can offer.
    void addLearnedWords();
    const TapDecoder &decoder() const { return *tapDecoder; }

    // A letter key (or the apostrophe) was tapped, pressed at point; before is the text before
    // the caret after the key typed its character. A tap beside the letter keys that hit no
    // key is noted with typed false: it typed nothing, but says where a letter was meant.
    void noteTap(QPointF point, QStringView before, bool typed);
    // Whether a tap that hit no key lies close enough to the letter keys to have been meant
    // for one.
    static bool isNearLetters(QPointF point);

    // The strip's cells for the text before the caret: while the word being typed would be
    // replaced at its end, the word as typed and its replacement first; then completion's
    // words; then other known words the taps may mean.
    QStringList candidates(QStringView before, const QStringList &completions, int count);

    // A character that ends a word is about to be typed at the cursor (no selection): the word
    // before it is replaced in the document when the decoder is sure of another. True when
    // the text changed. Call afterWordEnd() once the character is in, with the text before the
    // caret then.
    bool correctAtWordEnd(QTextCursor &cursor, QStringView before);
    void afterWordEnd(const QTextCursor &cursor, QStringView finishedBefore);
    // A BackSpace right after a correction: the word comes back as typed, the character after
    // it stays. True when it did (then the BackSpace does nothing else).
    bool undoCorrection(QTextCursor &cursor);
    // Anything else happened: the last correction is no longer the last thing done.
    void forgetLastCorrection() { last.reset(); }

    // The whole text was replaced: words taken back may be corrected again.
    void newText();
    // Whether a word taken back twice is learned (not in a field where nothing may be learned).
    void setLearning(bool on) { learning = on; }

private:
    struct Tap {
        QPointF point;
        QChar typed; // null: the tap hit no key
    };
    struct Correction {
        int wordStart = 0;
        QString typed;
        QString replacement;
        int caret = -1;       // after the separator
        int revision = -1;    // the document's revision then
        QString previous, previous2; // completion's context of the word, to learn it
    };

    // Brings the taps in step with the word before the caret; false when they cannot be
    // (the caret moved into another word, a paste): then there are no taps for this word.
    bool follow(QStringView run);
    // The taps of the word without the quotes before it, when they are in step.
    std::optional<QList<QPointF>> tapsFor(QStringView before, QString *word);

    CompletionEngine &engine;
    CompletionScorer scorer;
    std::unique_ptr<TapDecoder> tapDecoder;
    QList<Tap> taps;
    QString run;         // the word run (letters, apostrophes) the taps typed
    bool inStep = true;
    std::optional<Correction> pending; // made at the word's end, until the separator is in
    std::optional<Correction> last;
    QSet<QString> restoredInText;     // words taken back in this text, in small letters
    QHash<QString, int> restoredTimes; // how often each word was taken back
    bool learning = true;
};

} // namespace wendrel
