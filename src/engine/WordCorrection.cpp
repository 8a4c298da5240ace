#include "WordCorrection.h"

#include "KeyTable.h"

#include <QTextCursor>
#include <QTextDocument>

namespace wendrel {

namespace {

bool isApostrophe(QChar ch)
{
    return ch == u'\'' || ch == QChar(0x2019);
}

bool isWordChar(QChar ch)
{
    return ch.isLetterOrNumber() || ch.isMark() || isApostrophe(ch);
}

// The run of word characters that ends the text.
QString runBefore(QStringView before)
{
    qsizetype start = before.size();
    while (start > 0 && isWordChar(before[start - 1]))
        --start;
    return before.sliced(start).toString();
}

// The rectangle around the letter keys: a tap inside it that hits no key (left of A, right of
// L) was meant for a letter.
QRectF letterBlock()
{
    QRectF block;
    for (const KeyShape &key : letterKeyShapes()) {
        if (key.letter != u'\'')
            block = block.united(key.rect);
    }
    return block;
}

} // namespace

WordCorrection::WordCorrection(CompletionEngine &engine, std::shared_ptr<const Dictionary> extraWords)
    : engine(engine), scorer(engine, std::move(extraWords)),
      tapDecoder(std::make_unique<TapDecoder>(letterKeyShapes(), scorer))
{
}

WordCorrection::~WordCorrection() = default;

void WordCorrection::addLearnedWords()
{
    scorer.forEachLearnedWord([this](QStringView word) { tapDecoder->addWord(word); });
}

bool WordCorrection::isNearLetters(QPointF point)
{
    static const QRectF block = letterBlock();
    return block.contains(point);
}

// The taps are kept for the run of word characters before the caret. A run that lost its end
// (BackSpace) loses the taps of the characters gone; any other run is another word, for which
// the taps are known only if it starts afresh.
bool WordCorrection::follow(QStringView current)
{
    if (current == run)
        return inStep;
    if (run.startsWith(current)) {
        QString typed;
        for (const Tap &tap : std::as_const(taps)) {
            if (!tap.typed.isNull())
                typed += tap.typed;
        }
        while (!taps.isEmpty() && typed != current) {
            if (!taps.back().typed.isNull())
                typed.chop(1);
            taps.removeLast();
        }
        run = current.toString();
        if (current.isEmpty()) {
            taps.clear();
            inStep = true;
        }
        inStep = inStep && typed == current;
        return inStep;
    }
    taps.clear();
    run = current.toString();
    inStep = current.isEmpty();
    return inStep;
}

void WordCorrection::noteTap(QPointF point, QStringView before, bool typed)
{
    const QString current = runBefore(before);
    if (typed && current.isEmpty()) {
        follow(current); // the key typed no word character (Shift made it another)
        return;
    }
    const QString earlier = typed ? current.chopped(1) : current;
    follow(earlier);
    if (!inStep) {
        run = current;
        return;
    }
    taps.append({point, typed ? current.back() : QChar()});
    run = current;
}

std::optional<QList<QPointF>> WordCorrection::tapsFor(QStringView before, QString *word)
{
    const QString current = runBefore(before);
    if (!follow(current) || taps.isEmpty())
        return std::nullopt;
    // Quotes before the word are no part of it, and neither are their taps.
    qsizetype quotes = 0;
    while (quotes < current.size() && isApostrophe(current[quotes]))
        ++quotes;
    QList<QPointF> points;
    qsizetype typedSeen = 0;
    for (const Tap &tap : std::as_const(taps)) {
        if (typedSeen >= quotes)
            points.append(tap.point);
        if (!tap.typed.isNull())
            ++typedSeen;
    }
    *word = current.sliced(quotes);
    if (points.isEmpty() || word->isEmpty())
        return std::nullopt;
    return points;
}

QStringList WordCorrection::candidates(QStringView before, const QStringList &completions, int count)
{
    const CompletionContext context = completionContext(before);
    QString word;
    const std::optional<QList<QPointF>> points = context.offer ? tapsFor(before, &word) : std::nullopt;
    if (!points || word != context.typed)
        return completions;
    QStringList cells;
    const auto add = [&](const QString &candidate) {
        if (candidate.compare(word, Qt::CaseInsensitive) != 0 && !cells.contains(candidate, Qt::CaseInsensitive))
            cells.append(candidate);
    };
    // What the word's end would make of the word: then the word as typed comes first, one
    // tap away; otherwise Space keeps it as it is.
    const QString fix = restoredInText.contains(word.toLower())
        ? QString() : tapDecoder->correction(*points, word, context.modelPrevious, context.modelPrevious2);
    if (!fix.isEmpty()) {
        cells.append(word);
        add(fix);
    }
    for (const QString &completion : completions)
        add(completion);
    // Other words the taps may mean, if the program knows them (not stray letters).
    for (const TapDecoder::Candidate &candidate :
         tapDecoder->decode(*points, context.modelPrevious, context.modelPrevious2, count)) {
        if (scorer.isKnownWord(candidate.word.toLower()))
            add(withTypedCase(word, candidate.word));
    }
    return cells.mid(0, count);
}

bool WordCorrection::correctAtWordEnd(QTextCursor &cursor, QStringView before)
{
    pending.reset();
    const CompletionContext context = completionContext(before);
    QString word;
    const std::optional<QList<QPointF>> points = context.offer ? tapsFor(before, &word) : std::nullopt;
    if (!points || word != context.typed || restoredInText.contains(word.toLower()))
        return false;
    const QString replacement = tapDecoder->correction(*points, word, context.modelPrevious, context.modelPrevious2);
    if (replacement.isEmpty() || replacement == word)
        return false;
    const int end = cursor.position();
    const int start = end - int(word.size());
    // Another cursor makes the edit: the session's moves with it to the word's new end.
    QTextCursor edit(cursor.document());
    edit.setPosition(start);
    edit.setPosition(end, QTextCursor::KeepAnchor);
    edit.insertText(replacement);
    pending = Correction{start, word, replacement, -1, -1, context.previous, context.previous2};
    taps.clear();
    run = runBefore(before.chopped(word.size())) + replacement;
    inStep = false; // the decoder's word, not taps
    return true;
}

void WordCorrection::afterWordEnd(const QTextCursor &cursor, QStringView finishedBefore)
{
    if (pending) {
        pending->caret = cursor.position();
        pending->revision = cursor.document()->revision();
        last = std::move(pending);
        pending.reset();
    }
    // A word the user has now typed often enough may be offered from here on.
    if (finishedBefore.size() < 2)
        return;
    const QString finished = runBefore(finishedBefore.chopped(1)).toLower();
    const LearnedWords::Word *learned = engine.learned().find(finished);
    if (learned && scorer.isKnownWord(finished))
        tapDecoder->addWord(learned->display);
}

bool WordCorrection::undoCorrection(QTextCursor &cursor)
{
    const std::optional<Correction> correction = std::move(last);
    last.reset();
    if (!correction || cursor.hasSelection() || cursor.position() != correction->caret
        || cursor.document()->revision() != correction->revision)
        return false;
    QTextCursor edit(cursor.document());
    edit.setPosition(correction->wordStart);
    edit.setPosition(correction->wordStart + int(correction->replacement.size()), QTextCursor::KeepAnchor);
    if (edit.selectedText() != correction->replacement)
        return false;
    edit.insertText(correction->typed);
    const QString key = correction->typed.toLower();
    restoredInText.insert(key);
    // Taken back twice: the user means it. It is learned as a word typed often enough to be
    // known, and the decoder may offer it.
    if (++restoredTimes[key] == 2 && learning) {
        for (int i = 0; i < 2; ++i) {
            const LearnedWords::Word *learned = engine.learned().find(key);
            if (learned && scorer.isKnownWord(key))
                break;
            engine.learned().learn(correction->typed, correction->previous, correction->previous2, false);
        }
        tapDecoder->addWord(correction->typed);
    }
    return true;
}

void WordCorrection::newText()
{
    restoredInText.clear();
    taps.clear();
    run.clear();
    inStep = true;
    pending.reset();
    last.reset();
}

} // namespace wendrel
