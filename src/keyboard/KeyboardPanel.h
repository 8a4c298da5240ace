#pragma once
// Keyboard mode's window: the candidate strip and the 66 keys, drawn by the same KeyboardView
// as the note pad, without a text area, in a panel along the bottom of the screen (see
// PanelGeometry). The typing session types into the program that has the focus through a
// KeyOutput; the panel itself never takes the focus (PanelDesktop makes it a dock that accepts
// none). Options and Help are answered as in the note pad; their dialogs take the focus, and it
// goes back to the window that had it when they close. Exit closes the panel at once.
#include "KeyboardFrame.h"
#include "PanelGeometry.h"
#include "Platform.h"
#include "SessionClock.h"
#include "SystemClipboard.h"

#include <QFont>
#include <QWidget>
#include <memory>

namespace wendrel {

class KeyOutput;
class KeyboardView;
class PanelDesktop;
class PopupView;
class SettingsCommands;
class ShortcutCommands;
class TypingSession;
class WordCompletion;
struct SessionCommand;

class KeyboardPanel : public QWidget, public KeyboardFrame {
    Q_OBJECT
public:
    KeyboardPanel(Platform platform, PanelDesktop &desktop, KeyOutput &output, QWidget *parent = nullptr);
    ~KeyboardPanel() override;

    // Places the panel on the primary screen, makes it a dock and shows it.
    void open();

    TypingSession &session() const { return *typing; }
    KeyboardView &keyboardView() const { return *view; }
    WordCompletion &wordCompletion() const { return *completion; }
    SettingsCommands &settings() const { return *settingsCommands; }
    const PanelGeometry &geometryOnScreen() const { return placed; }

    // KeyboardFrame: around a dialog, the focus is remembered and given back.
    void showControls(bool) override {}
    void enterFullScreen() override;
    void leaveFullScreen() override;
    void focusTextArea() override {}
    QWidget *dialogParent() override { return this; }

signals:
    // Exit was tapped: the panel is closed.
    void exitRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void place();
    void onCommand(const SessionCommand &command);

    Platform platform;
    PanelDesktop &desktop;
    QtClock clock;
    SystemClipboard clipboard;
    std::unique_ptr<TypingSession> typing;
    KeyboardView *view = nullptr;
    PopupView *popup = nullptr;
    QFont keyFont;
    PanelGeometry placed;
    quintptr focusBeforeDialog = 0;
    std::unique_ptr<SettingsCommands> settingsCommands;
    std::unique_ptr<ShortcutCommands> shortcutCommands;
    std::unique_ptr<WordCompletion> completion;
};

} // namespace wendrel
