#include "WaylandKeyOutput.h"

#include "InputMethod.h"
#include "VirtualKeyboard.h"

namespace wendrel {

namespace {

uint32_t modifierMask(SentModifiers m)
{
    return (m.shift ? uint32_t(Modifier::Shift) : 0u) | (m.ctrl ? uint32_t(Modifier::Control) : 0u)
        | (m.alt ? uint32_t(Modifier::Alt) : 0u);
}

uint32_t keysymOf(SentKey key)
{
    switch (key) {
    case SentKey::BackSpace: return Keysym::BackSpace;
    case SentKey::Return: return Keysym::Return;
    case SentKey::Tab: return Keysym::Tab;
    case SentKey::Escape: return Keysym::Escape;
    case SentKey::Left: return Keysym::Left;
    case SentKey::Right: return Keysym::Right;
    case SentKey::Up: return Keysym::Up;
    case SentKey::Down: return Keysym::Down;
    case SentKey::Home: return Keysym::Home;
    case SentKey::End: return Keysym::End;
    case SentKey::Delete: return Keysym::Delete;
    }
    return Keysym::Return;
}

// The last `count` code points of text (or all of it when shorter).
QString lastCodePoints(const QString &text, int count)
{
    qsizetype start = text.size();
    while (count > 0 && start > 0) {
        --start;
        if (start > 0 && text.at(start).isLowSurrogate() && text.at(start - 1).isHighSurrogate())
            --start;
        --count;
    }
    return text.mid(start);
}

int codePointCount(const QString &text)
{
    return int(text.toUcs4().size());
}

} // namespace

WaylandKeyOutput::WaylandKeyOutput(InputMethod &inputMethod, VirtualKeyboard &keyboard, QObject *parent)
    : QObject(parent), inputMethod(inputMethod), keyboard(keyboard)
{
    gap.setSingleShot(true);
    gap.setInterval(keyGapMs);
    connect(&gap, &QTimer::timeout, this, &WaylandKeyOutput::run);
    settle.setSingleShot(true);
    settle.setInterval(300);
    connect(&settle, &QTimer::timeout, this, [this] { unanswered = 0; });
    connect(&inputMethod, &InputMethod::activated, this, [this] {
        unanswered = 0;
        expectedBefore = this->inputMethod.state().textBeforeCaret();
        beforeKnown = !expectedBefore.isNull();
        emit fieldTextChanged(expectedBefore);
    });
    connect(&inputMethod, &InputMethod::stateChanged, this, &WaylandKeyOutput::fieldStateChanged);
}

void WaylandKeyOutput::fieldStateChanged()
{
    const QString reported = inputMethod.state().textBeforeCaret();
    if (unanswered > 0) {
        // The field answering a commit of ours: what it reports is what we typed.
        --unanswered;
        if (unanswered == 0 && !reported.isNull()) {
            expectedBefore = reported;
            beforeKnown = true;
        }
        return;
    }
    if (reported.isNull() || (beforeKnown && reported == expectedBefore))
        return;
    expectedBefore = reported;
    beforeKnown = true;
    emit fieldTextChanged(reported);
}

void WaylandKeyOutput::sendText(const QString &text)
{
    if (text.isEmpty())
        return;
    if (!inputMethod.isActive()) {
        tapKeys(text, 0);
        return;
    }
    // Text through the input method, line breaks as Return.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            enqueue(Key{Keysym::Return, 0});
        if (!lines[i].isEmpty())
            enqueue(Commit{lines[i]});
    }
}

void WaylandKeyOutput::sendKey(SentKey key, SentModifiers modifiers)
{
    if (key == SentKey::BackSpace && modifiers == SentModifiers{}) {
        deleteBefore(1);
        return;
    }
    keyboard.ensureKeysyms({keysymOf(key)});
    enqueue(Key{keysymOf(key), modifierMask(modifiers)});
}

void WaylandKeyOutput::sendShortcut(char16_t ch, SentModifiers modifiers)
{
    tapKeys(QString(QChar(ch)), modifierMask(modifiers));
}

void WaylandKeyOutput::deleteBefore(int count)
{
    if (count <= 0)
        return;
    if (inputMethod.isActive() && beforeKnown && codePointCount(expectedBefore) >= count) {
        deleteTextBefore(lastCodePoints(expectedBefore, count));
        return;
    }
    // The field's text is not known: as many BackSpaces.
    for (int i = 0; i < count; ++i)
        enqueue(Key{Keysym::BackSpace, 0});
}

void WaylandKeyOutput::deleteTextBefore(const QString &deleted)
{
    if (deleted.isEmpty())
        return;
    if (inputMethod.isActive()) {
        enqueue(Delete{int(deleted.toUtf8().size())});
        return;
    }
    for (int i = codePointCount(deleted); i > 0; --i)
        enqueue(Key{Keysym::BackSpace, 0});
}

void WaylandKeyOutput::tapKeys(const QString &text, uint32_t modifiers)
{
    QList<uint32_t> keysyms;
    for (char32_t ch : text.toUcs4())
        keysyms << Keysym::forCharacter(ch);
    keyboard.ensureKeysyms(keysyms); // one new keymap for the whole text, before its first key
    for (uint32_t keysym : keysyms)
        enqueue(Key{keysym, modifiers});
}

void WaylandKeyOutput::enqueue(Step step)
{
    steps.enqueue(std::move(step));
    if (!gap.isActive())
        run();
}

void WaylandKeyOutput::run()
{
    while (!steps.isEmpty()) {
        const Step step = steps.dequeue();
        if (const auto *commit = std::get_if<Commit>(&step)) {
            inputMethod.commitString(commit->text);
            inputMethod.commit();
            if (beforeKnown)
                expectedBefore += commit->text;
            ++unanswered;
            settle.start();
        } else if (const auto *deletion = std::get_if<Delete>(&step)) {
            inputMethod.deleteBefore(deletion->bytes);
            inputMethod.commit();
            if (beforeKnown) {
                QByteArray bytes = expectedBefore.toUtf8();
                bytes.chop(deletion->bytes);
                expectedBefore = QString::fromUtf8(bytes);
            }
            ++unanswered;
            settle.start();
        } else if (const auto *key = std::get_if<Key>(&step)) {
            keyboard.ensureKeysyms({key->keysym}); // a keymap may have dropped it meanwhile
            keyboard.tap(key->keysym, key->modifiers);
            // A key changes the field in ways not followed here (Return, arrows, Ctrl+letter).
            if (key->keysym != Keysym::BackSpace || key->modifiers)
                beforeKnown = false;
            else if (beforeKnown && !expectedBefore.isEmpty())
                expectedBefore.chop(lastCodePoints(expectedBefore, 1).size());
            gap.start();
            return;
        }
    }
}

} // namespace wendrel
