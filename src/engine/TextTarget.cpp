#include "TextTarget.h"

#include <QTextBlock>
#include <QTextDocument>

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

TextTarget::~TextTarget() = default;

void TextTarget::typeInto(KeyOutput *output)
{
    out = output;
    // Another program undoes its own edits (Ctrl+Z): the mirror keeps no undo steps.
    doc->setUndoRedoEnabled(out == nullptr);
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
    return changed;
}

void TextTarget::flush()
{
    if (!out || doc->revision() == sentRevision)
        return;
    sentRevision = doc->revision();
    const QString text = rawText(*doc);
    qsizetype common = 0;
    const qsizetype limit = std::min(text.size(), sent.size());
    while (common < limit && text[common] == sent[common])
        ++common;
    // A surrogate pair is deleted and typed whole.
    if (common > 0 && sent[common - 1].isHighSurrogate())
        --common;
    if (sent.size() > common)
        out->deleteTextBefore(sent.sliced(common));
    if (text.size() > common)
        out->sendText(text.sliced(common));
    sent = text;
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
