#pragma once
// The keyboard window: the text area on top and the 66 keys below. It owns the state record
// of the running program and routes every tap to its handler; the handlers of each subsystem
// live in that subsystem's folder.
#include "KeyTable.h"
#include "Platform.h"
#include "ScaledLayout.h"
#include "ShortcutTable.h"
#include "TypingAssistant.h"

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QWidget>
#include <array>
#include <memory>

class QPlainTextEdit;
class QTimer;

namespace wendrel {

class KeyButton;
class TextArea;
class ShortcutDialog;
class WordCompletion;

// The state that the handlers share.
struct KeyboardState {
    QString helpPath;
    TypingState typing;          // lastChar, secondLastChar, corrected, iRestored
    QString appFolder;           // folder of the executable, no trailing "/"
    QString settingsFolder;      // where config.dat and shortcut.dat live
    std::array<QString, 5> soundPaths;
    quint8 lightFlag = 1;        // 1 = visual response on
    std::array<quint8, 66> litFlags{}; // per key of the key table
    int soundIndex = 1;          // 0 = no sound, 1 to 5
    quint8 completionFlag = 0;   // 1 = word completion on
    quint8 correctionFlag = 0;   // 1 = typing errors corrected from the taps
    quint8 fnOn = 0;
    quint8 capsOn = 0;
    quint8 shiftOn = 0;
    QString editText;            // mirror of the text area's whole text
};

class KeyboardDialog : public QWidget {
    Q_OBJECT
public:
    // Timer ids of the window.
    static constexpr int litTimer = 1;
    static constexpr int focusTimer = 2;
    static constexpr int watchdogTimer = 10;

    explicit KeyboardDialog(Platform platform, QWidget *parent = nullptr);
    ~KeyboardDialog() override;

    // Opens the window and initialises it; always true.
    bool OnInitDialog();

    const KeyboardState &state() const { return record; }
    TextArea &textArea() const { return *text; }
    KeyButton *key(int id) const;
    ShortcutTable &shortcuts() { return shortcutTable; }
    qreal layoutScale() const { return layout.scale(); }
    // Where the 240 x 320 layout lies in the window: every control is placed through it.
    const ScaledLayout &scaledLayout() const { return layout; }
    bool isTimerRunning(int id) const;
    bool controlsShown() const { return controlsVisible; }

    // The tap on a key of the key table, by index: what a click on the key does.
    void onKeyTapped(int keyIndex);

    // Colour rule: the face colour of a key at paint time (starts timer 1 for a lit key).
    QColor onControlColour(int keyIndex);
    QColor windowColour() const;

    // Timer handler for ids 1, 2 and 10.
    void onTimer(int id);

    // Full-screen mode and key visibility.
    void enterFullScreen();
    void leaveFullScreen();
    void showControls(bool show);
    void restoreFullScreen();

    // Typing (the keys' handlers, modifiers and the typing assistant).
    void typeChar(char16_t ch);
    void onShift();
    void onCaps();
    void onFn();
    void showLowerCaseLabels();
    void showUpperCaseLabels();
    void clearDefaultStyle(int keyIndex);
    void afterTap(int keyIndex);

    // The formula key.
    void onEqualsKey();

    // Text files, clipboard and exit.
    void onLoadButton();
    void onSaveButton();
    void copyAllText();
    void onExitButton();

    // Program shortcuts.
    void loadShortcuts();
    void discoverPrograms(); // once per start
    bool saveShortcuts(QWidget *messageParent);
    void launchShortcut(const QString &keyName);
    void onShortcutButton();
    QString shortcutFilePath() const;

    // Settings, sounds and help.
    void loadSettings();
    void saveSettings();
    void playKeySound();
    void onOptionsButton();
    void onHelpButton();

    // The scale of the 240 x 320 layout for a screen's size in logical pixels, in quarter
    // steps (Qt's device pixel ratio already accounts for the screen's density).
    static qreal scaleFor(const QSize &screen, bool fullScreen);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void placeControls();
    void startWindowTimer(int id, int periodMs);
    void stopWindowTimer(int id);
    bool FilterMessage(QObject *watched, QEvent *event);
    bool usesRealFullScreen() const;
    void relabelKeys();
    void letterKey(const KeyDef &key);
    void characterKey(const KeyDef &key);
    void afterCancelledFileDialog(int keyIndex);
    void afterFirstFrame();
    void loadChosenSound();

    Platform platform;
    KeyboardState record;
    ShortcutTable shortcutTable;
    std::unique_ptr<ShortcutDialog> shortcutDialog;
    QFont textFont;
    QPlainTextEdit *edit = nullptr;
    TextArea *text = nullptr;
    std::array<KeyButton *, 66> keys{};
    QHash<int, QTimer *> timers;
    QIcon appIcon;
    ScaledLayout layout;
    bool fullScreenMode = false;
    bool controlsVisible = false;
    bool upperCaseLabels = false;
    bool ending = false;
    bool programsDiscovered = false;
    bool windowOpened = false; // shown once, at the end of OnInitDialog
    bool afterFirstPaintScheduled = false;
    // Word completion types whole words, so it keeps the typing assistant's state in step.
    std::unique_ptr<WordCompletion> completion;
    friend class WordCompletion;
};

} // namespace wendrel
