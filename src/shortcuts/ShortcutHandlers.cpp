// The bindings file, program discovery, the launch by Fn key and the Shortcut key.
#include "KeyboardDialog.h"
#include "ProgramScanner.h"
#include "ShortcutDialog.h"
#include "TextArea.h"

namespace wendrel {

QString KeyboardDialog::shortcutFilePath() const
{
    return record.settingsFolder + QStringLiteral("/shortcut.dat");
}

void KeyboardDialog::loadShortcuts()
{
    shortcutTable.bindings = readShortcutFile(shortcutFilePath());
    // The walk of a large Start Menu must not hold up the keyboard's first appearance: it runs
    // after the first paint (KeyboardDialog::paintEvent), or at once when a launch or the dialog needs it.
}

void KeyboardDialog::discoverPrograms()
{
    if (programsDiscovered)
        return;
    programsDiscovered = true;
    ProgramScanner scanner(shortcutTable.programs);
    scanner.scanFolder(platform.startMenu.folder());
}

bool KeyboardDialog::saveShortcuts(QWidget *messageParent)
{
    if (writeShortcutFile(shortcutFilePath(), shortcutTable.bindings))
        return true;
    platform.messages.show(messageParent, QStringLiteral("Failed to add shortcut!"), QString(), MessageType::Plain);
    return false;
}

void KeyboardDialog::launchShortcut(const QString &keyName)
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
    const QString &folder = shortcutTable.programs[program].folder;
    const QString shortcutFolder = folder.isEmpty() ? startMenu : startMenu + u'/' + folder;
    const QString shortcutFile = shortcutFolder + u'/' + programName + QStringLiteral(".lnk");
    showControls(false);
    if (!platform.shell.execute(QStringLiteral("open"), shortcutFile, shortcutFolder))
        platform.messages.show(this, QStringLiteral("Execute Failed!"), QStringLiteral("Wendrel"),
                               MessageType::Foreground);
    text->focusTextArea();
}

void KeyboardDialog::onShortcutButton()
{
    discoverPrograms();
    showControls(false);
    leaveFullScreen();
    if (!shortcutDialog) {
        // Made on first use and kept for the window's life: building it at start-up would
        // slow down the keyboard's first appearance for a dialog that is seldom opened.
        shortcutDialog = std::make_unique<ShortcutDialog>(shortcutTable, this);
        shortcutDialog->setWindowFlag(Qt::Dialog);
    }
    shortcutDialog->messages = &platform.messages;
    shortcutDialog->saveShortcuts = [this](QWidget *parent) { return saveShortcuts(parent); };
    shortcutDialog->prepare();
    shortcutDialog->exec();
    text->focusTextArea();
    clearDefaultStyle(keyIndexByRole(KeyRole::Shortcut));
    enterFullScreen();
    showControls(true);
}

} // namespace wendrel
