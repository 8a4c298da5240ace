// Key dispatch, the modifiers and typeChar: what a tap on each key of the key table does.
#include "KeyButton.h"
#include "KeyboardDialog.h"
#include "TextArea.h"

namespace wendrel {

void KeyboardDialog::onKeyTapped(int keyIndex)
{
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    switch (key.role) {
    case KeyRole::Letter: letterKey(key); break;
    case KeyRole::ShiftKey:
    case KeyRole::Character: characterKey(key); break;
    case KeyRole::Equals: onEqualsKey(); break;
    case KeyRole::Shift: onShift(); break;
    case KeyRole::Caps: onCaps(); break;
    case KeyRole::Fn: onFn(); break;
    case KeyRole::Load: onLoadButton(); break;
    case KeyRole::Save: onSaveButton(); break;
    case KeyRole::Shortcut: onShortcutButton(); break;
    case KeyRole::Options: onOptionsButton(); break;
    case KeyRole::Exit: onExitButton(); break;
    case KeyRole::Help: onHelpButton(); break;
    }
}

void KeyboardDialog::letterKey(const KeyDef &key)
{
    if (record.fnOn == 0) {
        typeChar(record.shiftOn == record.capsOn ? key.typed : key.shifted);
    } else {
        // In Fn mode a letter starts the program bound to it; Caps plays no part.
        const bool withShift = record.shiftOn == 1;
        launchShortcut(QString(QChar(withShift ? u'1' : u'0')) + QChar(key.shifted));
        onFn();
        if (withShift)
            onShift();
    }
    afterTap(keyIndexById(key.id));
}

void KeyboardDialog::characterKey(const KeyDef &key)
{
    const bool shifted = key.role == KeyRole::ShiftKey && record.shiftOn != 0;
    typeChar(shifted ? key.shifted : key.typed);
    afterTap(keyIndexById(key.id));
}

void KeyboardDialog::typeChar(char16_t ch)
{
    // The assistant needs only the two characters before the caret and the text's length,
    // so a long text is not copied at every tap.
    TypingContext context;
    const auto [start, end] = text->readSelection();
    context.length = text->length();
    context.hasSelection = start != end;
    context.caret = start;
    context.before1 = text->charAt(start - 1);
    context.before2 = text->charAt(start - 2);

    const TypingDecision decision = decideTyping(context, record.typing, ch);
    record.typing = decision.state;
    if (decision.handled) {
        for (char16_t posted : decision.posts)
            text->postChar(posted);
    }
    playKeySound();
    if (!decision.handled)
        text->postChar(ch);
    text->focusTextArea();
    if (record.shiftOn == 1)
        onShift();
    if (record.fnOn == 1)
        onFn();
}

void KeyboardDialog::relabelKeys()
{
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        keys[i]->setCaption(keyCaption(table[i], upperCaseLabels, record.shiftOn == 1, record.fnOn == 1));
    }
}

void KeyboardDialog::showLowerCaseLabels()
{
    upperCaseLabels = false;
    relabelKeys();
}

void KeyboardDialog::showUpperCaseLabels()
{
    upperCaseLabels = true;
    relabelKeys();
}

void KeyboardDialog::onShift()
{
    record.shiftOn = record.shiftOn == 0 ? 1 : 0;
    // Letters read capitals when exactly one of Shift and Caps is on; relabelling also gives
    // the twenty Shift keys their captions for the new state.
    if (record.shiftOn == record.capsOn)
        showLowerCaseLabels();
    else
        showUpperCaseLabels();
    afterTap(keyIndexByRole(KeyRole::Shift));
}

void KeyboardDialog::onCaps()
{
    record.capsOn = record.capsOn == 0 ? 1 : 0;
    if (record.capsOn == 1)
        showUpperCaseLabels();
    else
        showLowerCaseLabels();
    afterTap(keyIndexByRole(KeyRole::Caps));
}

void KeyboardDialog::onFn()
{
    record.fnOn = record.fnOn == 0 ? 1 : 0;
    relabelKeys(); // "Save"/"Load" read "Copy"/"Paste" in Fn mode
    text->focusTextArea();
    afterTap(keyIndexByRole(KeyRole::Fn));
}

void KeyboardDialog::clearDefaultStyle(int keyIndex)
{
    keys[size_t(keyIndex)]->setDefaultLook(false);
    keys[size_t(keyIndex)]->update();
}

void KeyboardDialog::afterTap(int keyIndex)
{
    clearDefaultStyle(keyIndex);
    if (record.lightFlag == 1 && keyTable()[size_t(keyIndex)].lights)
        record.litFlags[size_t(keyIndex)] = 1;
}

} // namespace wendrel
