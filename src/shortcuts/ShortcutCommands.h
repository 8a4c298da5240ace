#pragma once
// The Fn-key bindings at run time: the bindings file, the discovery of the Start Menu's
// programs, the launch that a Fn + letter asks for, and the Shortcut key's dialog.
#include "Platform.h"
#include "ShortcutTable.h"

#include <QObject>
#include <functional>
#include <memory>

namespace wendrel {

class KeyboardFrame;
class ShortcutDialog;
class TypingSession;
struct SessionCommand;

class ShortcutCommands : public QObject {
    Q_OBJECT
public:
    ShortcutCommands(KeyboardFrame &frame, TypingSession &session, Platform platform,
                     std::function<void()> playKeySound);
    ~ShortcutCommands() override;

    ShortcutTable &table() { return shortcutTable; }
    // Reads shortcut.dat from the settings folder.
    void loadShortcuts(const QString &settingsFolder);
    void discoverPrograms(); // once per start
    bool saveShortcuts(QWidget *messageParent);
    void launchShortcut(const QString &keyName);
    void onShortcutButton();
    QString shortcutFilePath() const;

private:
    void onCommand(const SessionCommand &command);

    KeyboardFrame &frame;
    TypingSession &session;
    Platform platform;
    std::function<void()> playKeySound;
    QString folder;
    ShortcutTable shortcutTable;
    std::unique_ptr<ShortcutDialog> shortcutDialog;
    bool programsDiscovered = false;
};

} // namespace wendrel
