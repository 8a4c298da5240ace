// Load and Save of text files, Copy and Paste in Fn mode, and Exit.
#include "KeyButton.h"
#include "KeyboardDialog.h"
#include "TextArea.h"
#include "TextFile.h"

#include <QCloseEvent>

namespace wendrel {

namespace {
const QString textFilter = QStringLiteral("Text Files (*.txt)");
const QString caption = QStringLiteral("Wendrel");

// The text that stays on the clipboard after the end: the whole text, line breaks as line feeds.
QString clipboardText(QString editText)
{
    return editText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace

// A cancelled file dialog changes nothing: the keyboard comes back as it was.
void KeyboardDialog::afterCancelledFileDialog(int keyIndex)
{
    enterFullScreen();
    clearDefaultStyle(keyIndex);
    showControls(true);
    text->focusTextArea();
}

void KeyboardDialog::onLoadButton()
{
    const int loadKey = keyIndexByRole(KeyRole::Load);
    if (record.fnOn == 1) { // Paste
        text->pasteClipboard();
        playKeySound();
        onFn();
    } else {
        showControls(false);
        leaveFullScreen();
        const std::optional<QString> path = platform.fileDialogs.openFile(this, textFilter);
        if (!path) {
            afterCancelledFileDialog(loadKey);
            return;
        }
        if (const std::optional<QString> loaded = readTextFile(*path)) {
            record.editText = *loaded;
            text->pushText(record.editText);
        } else {
            enterFullScreen();
            platform.messages.show(this, QStringLiteral("Cannot read file!"), caption, MessageType::Plain);
        }
        enterFullScreen();
        showControls(true);
    }
    text->focusTextArea();
    clearDefaultStyle(loadKey);
}

void KeyboardDialog::onSaveButton()
{
    const int saveKey = keyIndexByRole(KeyRole::Save);
    if (record.fnOn == 1) { // Copy
        copyAllText();
        playKeySound();
        onFn();
    } else {
        showControls(false);
        const std::optional<QString> path = platform.fileDialogs.saveFile(this, textFilter);
        if (!path) {
            afterCancelledFileDialog(saveKey);
            return;
        }
        enterFullScreen();
        showControls(true);
        record.editText = text->pullText();
        if (!writeTextFile(*path, record.editText)) {
            enterFullScreen();
            platform.messages.show(this, QStringLiteral("Cannot save file!"), caption, MessageType::Plain);
        }
    }
    text->focusTextArea();
    afterTap(saveKey);
}

void KeyboardDialog::copyAllText()
{
    record.editText = text->pullText();
    if (record.editText.isEmpty())
        return;
    const qsizetype start = text->readSelection().first;
    text->setSelection(0, -1);
    text->scrollCaret();
    text->copySelection();
    text->setSelection(start, start);
    text->scrollCaret();
}

void KeyboardDialog::onExitButton()
{
    copyAllText();
    platform.programEnd.keepOnClipboard(clipboardText(record.editText));
    if (!record.editText.isEmpty()) {
        platform.messages.show(this, QStringLiteral("The text is copied to clipboard."), caption,
                               MessageType::Foreground);
    }
    ending = true;
    platform.programEnd.exit(0);
}

// A close request (the close box, the window manager, the session's end) keeps the text as
// Exit does: it goes to the clipboard and outlives the program. No message here, so that a
// session's end is not held up.
void KeyboardDialog::closeEvent(QCloseEvent *event)
{
    if (!ending) {
        copyAllText();
        platform.programEnd.keepOnClipboard(clipboardText(record.editText));
        ending = true;
        platform.programEnd.exit(0);
    }
    event->accept();
}

} // namespace wendrel
