#include "WordCompletion.h"

#include "CandidateStrip.h"
#include "CompletionEngine.h"
#include "KeyboardDialog.h"
#include "TextArea.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>

namespace wendrel {

namespace {

// Learned words are written this long after the last change, not at every word.
constexpr int saveDelayMs = 3000;
// Enough text before the caret for the word being typed and the one before it.
constexpr qsizetype contextLength = 2 * LearnedWords::maxWordLength + 16;

bool endsWord(QChar ch)
{
    return !ch.isLetterOrNumber() && !ch.isMark() && ch != u'\'' && ch != QChar(0x2019);
}

} // namespace

WordCompletion::WordCompletion(KeyboardDialog &window, TextArea &text) : window(window), text(text)
{
    saveTimer.setSingleShot(true);
    saveTimer.setInterval(saveDelayMs);
    connect(&saveTimer, &QTimer::timeout, this, &WordCompletion::save);
}

WordCompletion::~WordCompletion()
{
    save();
}

QString WordCompletion::learnedWordsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/wendrel/learned-words.txt");
}

void WordCompletion::setOn(bool value)
{
    if (value == on)
        return;
    on = value;
    QPlainTextEdit *edit = text.widget();
    if (on && !candidateStrip) {
        candidateStrip = new CandidateStrip(&window);
        connect(candidateStrip, &CandidateStrip::tapped, this, &WordCompletion::onTapped);
        connect(candidateStrip, &CandidateStrip::firstPainted, this, [this] {
            painted = true;
            QTimer::singleShot(0, this, [this] {
                ensureLoaded();
                refresh();
            });
        });
        // The strip is shown and hidden with the text area.
        edit->installEventFilter(this);
        connect(edit, &QPlainTextEdit::cursorPositionChanged, this, &WordCompletion::refresh);
        connect(edit, &QPlainTextEdit::selectionChanged, this, &WordCompletion::refresh);
        connect(edit, &QPlainTextEdit::textChanged, this, &WordCompletion::refresh);
        connect(edit->document(), &QTextDocument::contentsChange, this, &WordCompletion::onContentsChange);
    }
    layOut();
    if (candidateStrip)
        candidateStrip->setVisible(on && edit->isVisible());
    // Switching on does not load the words: the strip's first paint does, or the next change.
    if (completion || !on)
        refresh();
}

void WordCompletion::place()
{
    textRect = text.widget()->geometry();
    layOut();
}

void WordCompletion::layOut()
{
    QPlainTextEdit *edit = text.widget();
    if (textRect.isNull())
        return; // not placed yet
    if (!on || !candidateStrip) {
        edit->setGeometry(textRect);
        return;
    }
    // The strip scales with the text area, whose height is 76 pixels at scale 1.
    const int height = qRound(CandidateStrip::layoutHeight * textRect.height() / 76.0);
    edit->setGeometry(textRect.adjusted(0, 0, 0, -height));
    candidateStrip->setGeometry(textRect.left(), textRect.bottom() + 1 - height, textRect.width(), height);
    QFont font = window.font();
    font.setPixelSize(std::max(8, height * 3 / 5));
    candidateStrip->setFont(font);
}

bool WordCompletion::eventFilter(QObject *watched, QEvent *event)
{
    if (candidateStrip && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        candidateStrip->setVisible(on && text.widget()->isVisible());
    return QObject::eventFilter(watched, event);
}

void WordCompletion::ensureLoaded()
{
    if (completion)
        return;
    completion = std::make_unique<CompletionEngine>(std::make_shared<const Dictionary>(Dictionary::builtIn()));
    // What cannot be read is not replaced by what is learned from now on.
    keepLearned = completion->learned().load(learnedWordsPath()) != LearnedWords::LoadResult::Unreadable;
}

// The text before a position of the document, enough of it for completion; a line break
// reads as 10.
QString WordCompletion::textBefore(int documentPosition) const
{
    const QTextBlock block = text.widget()->document()->findBlock(documentPosition);
    QString before = block.text().left(documentPosition - block.position());
    if (before.size() < contextLength && block.previous().isValid())
        before = block.previous().text().right(contextLength) + u'\n' + before;
    return before.right(contextLength);
}

void WordCompletion::refresh()
{
    if (!candidateStrip)
        return;
    if (!on) {
        candidateStrip->setCandidates({});
        return;
    }
    const QTextCursor cursor = text.widget()->textCursor();
    if (cursor.hasSelection()) {
        candidateStrip->setCandidates({});
        return;
    }
    // A text restored before the first paint does not load the words early; the paint does.
    if (!completion && !painted)
        return;
    ensureLoaded();
    candidateStrip->setCandidates(completion->candidates(textBefore(cursor.position()), window.state().capsOn == 1));
}

// A single character that ends a word (typed, not loaded or pasted) teaches that word.
void WordCompletion::onContentsChange(int position, int removed, int added)
{
    if (!on || removed != 0 || added != 1)
        return;
    const QChar typed = text.widget()->document()->characterAt(position);
    if (!endsWord(typed) || (!completion && !painted))
        return;
    ensureLoaded();
    const quint64 wordsBefore = completion->learned().total();
    completion->learnFinishedWord(textBefore(position + 1));
    if (completion->learned().total() != wordsBefore)
        saveTimer.start();
}

void WordCompletion::onTapped(int cell)
{
    const QString word = candidateStrip->candidates().value(cell);
    const QTextCursor current = text.widget()->textCursor();
    if (word.isEmpty() || !completion || current.hasSelection())
        return;
    window.playKeySound();
    if (window.state().lightFlag == 1)
        candidateStrip->light(cell);
    const auto replacement = completion->accept(textBefore(current.position()), word);
    if (!replacement)
        return;
    // One edit: the typed letters give way to the word and a space (one undo step too).
    QTextCursor cursor = current;
    cursor.setPosition(current.position() - int(replacement->removeCount), QTextCursor::KeepAnchor);
    cursor.insertText(replacement->text);
    text.widget()->setTextCursor(cursor);
    text.scrollCaret();
    // As after a word and a space typed by hand: no correction to undo, and Shift and Fn
    // are released.
    window.record.typing.corrected = false;
    window.record.typing.iRestored = false;
    text.focusTextArea();
    if (window.state().shiftOn == 1)
        window.onShift();
    if (window.state().fnOn == 1)
        window.onFn();
    saveTimer.start();
}

void WordCompletion::save()
{
    if (!completion || !keepLearned || !completion->learned().isDirty())
        return;
    const QString path = learnedWordsPath();
    QDir().mkpath(QFileInfo(path).path());
    completion->learned().save(path);
}

} // namespace wendrel
