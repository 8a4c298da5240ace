#include "SwipeTyping.h"

#include "TapDecoder.h"

namespace wendrel {

namespace {
// Words the decoder is asked for: the best, the strip's and the one the stroke drew best.
constexpr int wordsAsked = 8;
// The word whose shape fits the stroke best goes first in the strip when the language model
// put another first although that word's shape fits clearly worse (natural log).
constexpr double shapeLead = 3.0;
} // namespace

SwipeTyping::SwipeTyping(CompletionEngine &engine, std::shared_ptr<const Dictionary> extraWords)
    : engine(engine), scorer(engine, std::move(extraWords)),
      strokeDecoder(std::make_unique<StrokeDecoder>(letterKeyShapes(), scorer))
{
}

SwipeTyping::~SwipeTyping() = default;

void SwipeTyping::addLearnedWords()
{
    scorer.forEachLearnedWord([this](QStringView word) { strokeDecoder->addWord(word); });
}

void SwipeTyping::wordLearned(QStringView finishedBefore)
{
    if (finishedBefore.size() < 2)
        return;
    const QStringView text = finishedBefore.chopped(1);
    qsizetype start = text.size();
    while (start > 0 && (text[start - 1].isLetter() || text[start - 1].isMark() || text[start - 1] == u'\''
                         || text[start - 1] == QChar(0x2019)))
        --start;
    const QString key = text.sliced(start).toString().toLower();
    if (key.isEmpty())
        return;
    const LearnedWords::Word *learned = engine.learned().find(key);
    if (learned && scorer.isKnownWord(key))
        strokeDecoder->addWord(learned->display);
}

SwipeTyping::Reading SwipeTyping::read(const QList<QPointF> &stroke, QStringView before, int stripCount) const
{
    Reading reading;
    // The word goes in whole after what is before the caret, a word there included: it is read
    // after that word (completionContext would take such a word as the start of this one).
    const auto [previous1, previous2] = modelWordsAt(before);
    const QList<StrokeDecoder::Candidate> found
        = strokeDecoder->decode(stroke, previous1, previous2, std::max(wordsAsked, stripCount + 2));
    if (found.isEmpty())
        return reading;
    reading.word = found.front().word;
    qsizetype closest = 0;
    for (qsizetype i = 1; i < found.size(); ++i) {
        if (found[i].touchCost < found[closest].touchCost)
            closest = i;
    }
    if (closest > 0 && found[closest].touchCost + shapeLead < found.front().touchCost)
        reading.others.append(found[closest].word);
    for (qsizetype i = 1; i < found.size() && reading.others.size() < stripCount; ++i) {
        if (!reading.others.contains(found[i].word))
            reading.others.append(found[i].word);
    }
    return reading;
}

bool SwipeTyping::wantsSpaceBefore(QStringView before)
{
    if (before.isEmpty())
        return false;
    const QChar last = before.back();
    if (last.isLetterOrNumber() || last.isMark())
        return true;
    // A straight quote closes what the character before it begins; at the start or after a
    // space it opens a quotation, which the word follows at once.
    if (last == u'"' || last == u'\'') {
        const QChar previous = before.size() >= 2 ? before[before.size() - 2] : QChar(u' ');
        return !previous.isSpace() && !QStringLiteral("([{\"'").contains(previous);
    }
    static const QString followedBySpace = QStringLiteral(".,;:!?)]}%\u2019\u201D\u2026");
    return followedBySpace.contains(last);
}

QStringList SwipeTyping::stripWords(int count) const
{
    QStringList strip;
    if (!last)
        return strip;
    for (const QString &word : last->words) {
        if (strip.size() >= count)
            break;
        const QString shown = withCase(word, last->letterCase);
        if (shown != last->word && !strip.contains(shown))
            strip.append(shown);
    }
    return strip;
}

QString SwipeTyping::withCase(const QString &word, Case letterCase)
{
    if (word.isEmpty())
        return word;
    if (letterCase == Case::All)
        return word.toUpper();
    if (letterCase == Case::First)
        return word.first(1).toUpper() + word.sliced(1);
    return word;
}

} // namespace wendrel
