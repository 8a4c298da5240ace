#include "DocumentCommands.h"

#include "KeyTable.h"
#include "KeyboardFrame.h"
#include "TextFile.h"
#include "TypingSession.h"

namespace wendrel {

namespace {
const QString textFilter = QStringLiteral("Text Files (*.txt)");
const QString caption = QStringLiteral("Wendrel");
} // namespace

DocumentCommands::DocumentCommands(KeyboardFrame &frame, TypingSession &session, Platform platform)
    : frame(frame), session(session), platform(platform)
{
    connect(&session, &TypingSession::commandRequested, this, &DocumentCommands::onCommand);
}

void DocumentCommands::onCommand(const SessionCommand &command)
{
    switch (command.kind) {
    case SessionCommand::Kind::Load: onLoadButton(); break;
    case SessionCommand::Kind::Save: onSaveButton(); break;
    case SessionCommand::Kind::Exit: onExitButton(); break;
    default: break;
    }
}

// A cancelled file dialog changes nothing: the keyboard comes back as it was.
void DocumentCommands::afterCancelledFileDialog(int keyIndex)
{
    frame.enterFullScreen();
    session.clearDefaultStyle(keyIndex);
    frame.showControls(true);
    frame.focusTextArea();
}

void DocumentCommands::onLoadButton()
{
    const int loadKey = keyIndexByRole(KeyRole::Load);
    frame.showControls(false);
    frame.leaveFullScreen();
    const std::optional<QString> path = platform.fileDialogs.openFile(frame.dialogParent(), textFilter);
    if (!path) {
        afterCancelledFileDialog(loadKey);
        return;
    }
    if (const std::optional<QString> loaded = readTextFile(*path)) {
        session.replaceAll(*loaded); // one undoable edit
    } else {
        frame.enterFullScreen();
        platform.messages.show(frame.dialogParent(), QStringLiteral("Cannot read file!"), caption, MessageType::Plain);
    }
    frame.enterFullScreen();
    frame.showControls(true);
    frame.focusTextArea();
    session.clearDefaultStyle(loadKey);
}

void DocumentCommands::onSaveButton()
{
    const int saveKey = keyIndexByRole(KeyRole::Save);
    frame.showControls(false);
    const std::optional<QString> path = platform.fileDialogs.saveFile(frame.dialogParent(), textFilter);
    if (!path) {
        afterCancelledFileDialog(saveKey);
        return;
    }
    frame.enterFullScreen();
    frame.showControls(true);
    // Files keep a line break as 13, 10.
    QString text = session.plainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    if (!writeTextFile(*path, text)) {
        frame.enterFullScreen();
        platform.messages.show(frame.dialogParent(), QStringLiteral("Cannot save file!"), caption, MessageType::Plain);
    }
    frame.focusTextArea();
    session.afterTap(saveKey);
}

void DocumentCommands::onExitButton()
{
    keepTextAndEnd(true);
}

void DocumentCommands::onCloseRequest()
{
    if (!ending)
        keepTextAndEnd(false);
}

// The whole text goes to the clipboard and stays there after the end (line breaks as line feeds).
void DocumentCommands::keepTextAndEnd(bool tellUser)
{
    session.copyAllText();
    const QString text = session.plainText();
    platform.programEnd.keepOnClipboard(text);
    if (tellUser && !text.isEmpty()) {
        platform.messages.show(frame.dialogParent(), QStringLiteral("The text is copied to clipboard."), caption,
                               MessageType::Foreground);
    }
    ending = true;
    platform.programEnd.exit(0);
}

} // namespace wendrel
