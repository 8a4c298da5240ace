#include "TextTarget.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <climits>

namespace wendrel {

namespace {

constexpr char16_t lineFeed = 10;
constexpr char16_t carriageReturn = 13;
constexpr char16_t paragraphSeparator = 0x2029;

QString rawText(const QTextDocument &doc)
{
    QString text = doc.toRawText();
    text.replace(QChar(paragraphSeparator), QChar(lineFeed));
    return text;
}

} // namespace

// The mirror's document layout lays out nothing: the document tells it where each edit
// begins, so that a flush reads only the text from there (a long text before the caret is
// not read again at every key).
class TextTarget::ChangeTracker : public QAbstractTextDocumentLayout {
public:
    ChangeTracker(QTextDocument *document, int &changedFrom) : QAbstractTextDocumentLayout(document), changedFrom(changedFrom) {}
    void draw(QPainter *, const PaintContext &) override {}
    int hitTest(const QPointF &, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return {}; }
    QRectF frameBoundingRect(QTextFrame *) const override { return {}; }
    QRectF blockBoundingRect(const QTextBlock &) const override { return {}; }

protected:
    void documentChanged(int from, int, int) override { changedFrom = std::min(changedFrom, from); }

private:
    int &changedFrom;
};

FieldRules fieldRules(FieldKind kind, bool otherProgram)
{
    if (!otherProgram)
        return {};
    FieldRules rules;
    rules.learns = kind == FieldKind::Text;
    switch (kind) {
    case FieldKind::Unknown:
    case FieldKind::Text:
        break;
    case FieldKind::Password:
    case FieldKind::Number:
        rules.candidates = false;
        rules.corrects = false;
        rules.capitals = false;
        break;
    case FieldKind::Terminal:
        rules.corrects = false;
        rules.capitals = false;
        break;
    case FieldKind::Email:
    case FieldKind::Url:
        rules.corrects = false;
        rules.capitals = false;
        rules.spaceAfterCandidate = false;
        break;
    }
    return rules;
}

TextTarget::TextTarget() : doc(std::make_unique<QTextDocument>())
{
    doc->setUndoRedoEnabled(true);
    textCursor = QTextCursor(doc.get());
}

TextTarget::~TextTarget()
{
    // The document (and the tracker it owns) goes first, while what the tracker writes to is
    // still there.
    textCursor = QTextCursor();
    doc.reset();
}

void TextTarget::typeInto(KeyOutput *output)
{
    out = output;
    // Another program undoes its own edits (Ctrl+Z): the mirror keeps no undo steps.
    doc->setUndoRedoEnabled(out == nullptr);
    if (out && !tracker) {
        tracker = new ChangeTracker(doc.get(), changedFrom);
        doc->setDocumentLayout(tracker); // the document owns it
    }
    startText(true);
}

void TextTarget::startText(bool startKnown)
{
    // An empty mirror stays as it is: this may run inside one of the session's edits (a
    // BackSpace with nothing before the caret), whose edit block is still open.
    if (!doc->isEmpty()) {
        doc->clear();
        doc->clearUndoRedoStacks();
        textCursor = QTextCursor(doc.get());
    } else if (doc->isUndoRedoEnabled()) {
        doc->clearUndoRedoStacks();
    }
    known = startKnown;
    sent.clear();
    sentRevision = doc->revision();
    changedFrom = INT_MAX;
}

bool TextTarget::setTextBeforeCaret(const QString &text)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(u'\r', u'\n');
    const bool changed = !known || normalised != rawText(*doc);
    if (changed) {
        startText(true);
        textCursor.insertText(normalised); // "\n" becomes a line break
        doc->clearUndoRedoStacks();
    }
    known = true;
    sent = normalised;
    sentRevision = doc->revision();
    changedFrom = INT_MAX;
    return changed;
}

void TextTarget::flush()
{
    if (!out || doc->revision() == sentRevision)
        return;
    sentRevision = doc->revision();
    // Nothing before the first edit's position changed (without the tracker, say when another
    // layout replaced it, the whole text is compared).
    const int end = doc->characterCount() - 1;
    const int from = tracker && doc->documentLayout() == tracker.data()
        ? std::clamp(changedFrom, 0, std::min(end, int(sent.size()))) : 0;
    changedFrom = INT_MAX;
    // Read character by character: a cursor placed in the text would have the block laid out.
    QString tail;
    tail.reserve(end - from);
    for (int position = from; position < end; ++position) {
        const QChar ch = doc->characterAt(position);
        tail += ch == QChar(paragraphSeparator) ? QChar(lineFeed) : ch;
    }
    qsizetype common = from;
    const qsizetype limit = std::min(sent.size(), from + tail.size());
    while (common < limit && sent[common] == tail[common - from])
        ++common;
    // A surrogate pair is deleted and typed whole.
    if (common > from && sent[common - 1].isHighSurrogate())
        --common;
    if (sent.size() > common)
        out->deleteTextBefore(sent.sliced(common));
    const QString added = tail.sliced(common - from);
    if (!added.isEmpty())
        out->sendText(added);
    sent.truncate(common);
    sent += added;
}

void TextTarget::sendKey(SentKey key, SentModifiers modifiers)
{
    if (!out)
        return;
    flush();
    out->sendKey(key, modifiers);
    startText(false);
}

void TextTarget::sendShortcut(char16_t ch, SentModifiers modifiers)
{
    if (!out)
        return;
    flush();
    out->sendShortcut(ch, modifiers);
    startText(false);
}

void TextTarget::deleteBeyondStart()
{
    if (!out)
        return;
    flush();
    out->sendKey(SentKey::BackSpace);
    startText(false);
}

QString TextTarget::textBefore(int position, int length) const
{
    const QTextBlock block = doc->findBlock(position);
    QString before = block.text().left(position - block.position());
    bool reachesStart = !block.previous().isValid();
    if (before.size() < length && block.previous().isValid()) {
        const QTextBlock previous = block.previous();
        before = previous.text().right(length) + u'\n' + before;
        reachesStart = !previous.previous().isValid() && previous.text().size() <= length;
    }
    if (reachesStart && !known)
        before.prepend(QChar(unknownTextMarker));
    return before.right(length);
}

TypingContext TextTarget::typingContext() const
{
    TypingContext context;
    context.hasSelection = textCursor.hasSelection();
    context.length = doc->characterCount() - 1 + doc->blockCount() - 1;
    const int position = textCursor.selectionStart();
    const QTextBlock block = doc->findBlock(position);
    const int offset = position - block.position();
    const bool firstBlock = !block.previous().isValid();
    context.caret = position + block.blockNumber();
    auto at = [&](int blockOffset) { return doc->characterAt(block.position() + blockOffset).unicode(); };
    if (firstBlock && !known) {
        // Unknown text stands before the mirror: two characters that start nothing.
        context.length += 2;
        context.caret += 2;
        context.before1 = offset >= 1 ? at(offset - 1) : unknownCharacter;
        context.before2 = offset >= 2 ? at(offset - 2) : unknownCharacter;
        return context;
    }
    if (offset >= 2) {
        context.before1 = at(offset - 1);
        context.before2 = at(offset - 2);
    } else if (offset == 1) {
        context.before1 = at(0);
        context.before2 = firstBlock ? 0 : lineFeed;
    } else if (!firstBlock) {
        context.before1 = lineFeed;
        context.before2 = carriageReturn;
    }
    return context;
}

bool TextTarget::mayReplace(int count) const
{
    if (count <= 0 || known)
        return true;
    return textCursor.position() - count > 0;
}

QString TextTarget::plainText() const
{
    return rawText(*doc);
}

} // namespace wendrel
