#include "TextArea.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace wendrel {

namespace {

constexpr char16_t paragraphSeparator = 0x2029;
constexpr char16_t carriageReturn = 13;
constexpr char16_t lineFeed = 10;

// Presented position of the start of a block: every earlier line break counts twice.
qsizetype presentedStart(const QTextBlock &block)
{
    return qsizetype(block.position()) + block.blockNumber();
}

} // namespace

TextArea::TextArea(QPlainTextEdit *edit, QObject *parent) : QObject(parent), edit(edit) {}

qsizetype TextArea::toPresented(int documentPosition) const
{
    const QTextBlock block = edit->document()->findBlock(documentPosition);
    return qsizetype(documentPosition) + (block.isValid() ? block.blockNumber() : 0);
}

int TextArea::toDocument(qsizetype presented) const
{
    QTextDocument *doc = edit->document();
    if (presented <= 0)
        return 0;
    // Binary search for the last block that starts at or before the position.
    int low = 0, high = doc->blockCount() - 1;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (presentedStart(doc->findBlockByNumber(mid)) <= presented)
            low = mid;
        else
            high = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    const qsizetype offset = presented - presentedStart(block);
    const int textLength = block.length() - 1; // without the separator
    // Inside the 13, 10 of a line break the caret stands at the end of the line.
    return block.position() + int(std::min<qsizetype>(offset, textLength));
}

qsizetype TextArea::length() const
{
    const QTextDocument *doc = edit->document();
    return qsizetype(doc->characterCount() - 1) + (doc->blockCount() - 1);
}

char16_t TextArea::charAt(qsizetype position) const
{
    if (position < 0 || position >= length())
        return 0;
    QTextDocument *doc = edit->document();
    const int docPos = toDocument(position);
    const QTextBlock block = doc->findBlock(docPos);
    const qsizetype offset = position - presentedStart(block);
    const int textLength = block.length() - 1;
    if (offset < textLength)
        return doc->characterAt(docPos).unicode();
    return offset == textLength ? carriageReturn : lineFeed;
}

std::pair<qsizetype, qsizetype> TextArea::readSelection() const
{
    const QTextCursor cursor = edit->textCursor();
    return {toPresented(cursor.selectionStart()), toPresented(cursor.selectionEnd())};
}

void TextArea::setSelection(qsizetype start, qsizetype end)
{
    QTextCursor cursor = edit->textCursor();
    if (start == 0 && end == -1) {
        cursor.select(QTextCursor::Document);
    } else {
        cursor.setPosition(toDocument(start));
        cursor.setPosition(toDocument(end), QTextCursor::KeepAnchor);
    }
    edit->setTextCursor(cursor);
}

void TextArea::scrollCaret()
{
    edit->ensureCursorVisible();
}

QString TextArea::pullText() const
{
    // toRawText keeps the text as typed (toPlainText would turn non-breaking spaces into
    // spaces); only its paragraph separators become the presented 13, 10.
    QString text = edit->document()->toRawText();
    text.replace(QChar(paragraphSeparator), QStringLiteral("\r\n"));
    return text;
}

void TextArea::pushText(const QString &text)
{
    if (text == pullText())
        return;
    // One edit that the undo stack can take back, unlike setPlainText; "\r\n" becomes one break.
    QTextCursor cursor(edit->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.setPosition(0);
    edit->setTextCursor(cursor);
}

void TextArea::focusTextArea()
{
    edit->setFocus(Qt::OtherFocusReason);
}

} // namespace wendrel
