#include "ShortcutCommands.h"

#include "KeyTable.h"
#include "KeyboardFrame.h"
#include "ProgramScanner.h"
#include "ShortcutDialog.h"
#include "TypingSession.h"

namespace wendrel {

ShortcutCommands::ShortcutCommands(KeyboardFrame &frame, TypingSession &session, Platform platform,
                                   std::function<void()> playKeySound)
    : frame(frame), session(session), platform(platform), playKeySound(std::move(playKeySound))
{
    connect(&session, &TypingSession::commandRequested, this, &ShortcutCommands::onCommand);
}

ShortcutCommands::~ShortcutCommands() = default;

void ShortcutCommands::onCommand(const SessionCommand &command)
{
    if (command.kind == SessionCommand::Kind::Program)
        launchShortcut(command.keyName);
    else if (command.kind == SessionCommand::Kind::Shortcut)
        onShortcutButton();
}

QString ShortcutCommands::shortcutFilePath() const
{
    return folder + QStringLiteral("/shortcut.dat");
}

void ShortcutCommands::loadShortcuts(const QString &settingsFolder)
{
    folder = settingsFolder;
    shortcutTable.bindings = readShortcutFile(shortcutFilePath());
    // The walk of a large Start Menu must not hold up the keyboard's first appearance: it runs
    // after the first paint, or at once when a launch or the dialog needs it.
}

void ShortcutCommands::discoverPrograms()
{
    if (programsDiscovered)
        return;
    programsDiscovered = true;
    ProgramScanner scanner(shortcutTable.programs);
    scanner.scanFolder(platform.startMenu.folder());
}

bool ShortcutCommands::saveShortcuts(QWidget *messageParent)
{
    if (writeShortcutFile(shortcutFilePath(), shortcutTable.bindings))
        return true;
    platform.messages.show(messageParent, QStringLiteral("Failed to add shortcut!"), QString(), MessageType::Plain);
    return false;
}

void ShortcutCommands::launchShortcut(const QString &keyName)
{
    discoverPrograms();
    const qsizetype binding = shortcutTable.findBinding(keyName);
    if (binding < 0)
        return;
    const QString programName = shortcutTable.bindings[binding].program;
    const qsizetype program = shortcutTable.findProgram(programName);
    if (program < 0)
        return;
    playKeySound();
    const QString startMenu = platform.startMenu.folder();
    const QString &programFolder = shortcutTable.programs[program].folder;
    const QString shortcutFolder = programFolder.isEmpty() ? startMenu : startMenu + u'/' + programFolder;
    const QString shortcutFile = shortcutFolder + u'/' + programName + QStringLiteral(".lnk");
    frame.showControls(false);
    if (!platform.shell.execute(QStringLiteral("open"), shortcutFile, shortcutFolder))
        platform.messages.show(frame.dialogParent(), QStringLiteral("Execute Failed!"), QStringLiteral("Wendrel"),
                               MessageType::Foreground);
    frame.focusTextArea();
}

void ShortcutCommands::onShortcutButton()
{
    discoverPrograms();
    frame.showControls(false);
    frame.leaveFullScreen();
    if (!shortcutDialog) {
        // Made on first use and kept for the window's life: building it at start-up would
        // slow down the keyboard's first appearance for a dialog that is seldom opened.
        shortcutDialog = std::make_unique<ShortcutDialog>(shortcutTable, frame.dialogParent());
        shortcutDialog->setWindowFlag(Qt::Dialog);
    }
    shortcutDialog->messages = &platform.messages;
    shortcutDialog->saveShortcuts = [this](QWidget *parent) { return saveShortcuts(parent); };
    shortcutDialog->prepare();
    shortcutDialog->exec();
    frame.focusTextArea();
    session.clearDefaultStyle(keyIndexByRole(KeyRole::Shortcut));
    frame.enterFullScreen();
    frame.showControls(true);
}

} // namespace wendrel
