#pragma once
// The keyboard window: the text area on top, the candidate strip, and the 66 keys below, drawn
// by one KeyboardView. It composes them around one typing session (src/engine), which does the
// typing; the command
// keys are answered by the handlers of their own folders (files, shortcuts, settings). The
// window itself keeps only what is a window's: full-screen mode, the controls shown or hidden,
// the focus kept in the text area, and its timers 2 and 10.
#include "KeyboardFrame.h"
#include "Platform.h"
#include "ScaledLayout.h"
#include "SessionClock.h"
#include "SystemClipboard.h"

#include <QFont>
#include <QHash>
#include <QWidget>
#include <memory>

class QPlainTextEdit;
class QTimer;

namespace wendrel {

class DocumentCommands;
class KeyboardView;
class PopupView;
class SettingsCommands;
class ShortcutCommands;
class TextArea;
class TypingSession;
class WordCompletion;

class KeyboardDialog : public QWidget, public KeyboardFrame {
    Q_OBJECT
public:
    // Timer ids of the window (timer 1, the lit keys', is the typing session's).
    static constexpr int litTimer = 1;
    static constexpr int focusTimer = 2;
    static constexpr int watchdogTimer = 10;

    explicit KeyboardDialog(Platform platform, QWidget *parent = nullptr);
    ~KeyboardDialog() override;

    // Opens the window and initialises it; always true.
    bool OnInitDialog();

    TypingSession &session() const { return *typing; }
    TextArea &textArea() const { return *text; }
    KeyboardView &keyboardView() const { return *view; }
    WordCompletion &wordCompletion() const { return *completion; }
    // The centre of the key with this ID, in the window's coordinates.
    QPoint keyCentre(int id) const;
    PopupView *popupView() const { return popup; }
    SettingsCommands &settings() const { return *settingsCommands; }
    ShortcutCommands &shortcuts() const { return *shortcutCommands; }
    DocumentCommands &document() const { return *documentCommands; }
    qreal layoutScale() const { return layout.scale(); }
    // Where the 240 x 320 layout lies in the window: every control is placed through it.
    const ScaledLayout &scaledLayout() const { return layout; }
    bool isTimerRunning(int id) const;
    bool controlsShown() const { return controlsVisible; }
    QColor windowColour() const;

    // Timer handler for ids 2 and 10.
    void onTimer(int id);

    // KeyboardFrame: full-screen mode, key visibility, focus.
    void enterFullScreen() override;
    void leaveFullScreen() override;
    void showControls(bool show) override;
    void focusTextArea() override;
    QWidget *dialogParent() override { return this; }
    void restoreFullScreen();

    // The scale of the 240 x 320 layout for a screen's size in logical pixels, in quarter
    // steps (Qt's device pixel ratio already accounts for the screen's density).
    static qreal scaleFor(const QSize &screen, bool fullScreen);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseScaleAndFonts();
    void createControls();
    void connectSession();
    void placeControls();
    void startWindowTimer(int id, int periodMs);
    void stopWindowTimer(int id);
    bool FilterMessage(QObject *watched, QEvent *event);
    bool usesRealFullScreen() const;
    void afterFirstFrame();
    void followTextArea();
    void followSession();

    // The program's end passes here first: what was learned is saved before the end begins.
    std::unique_ptr<ProgramEnd> saveFirst;
    Platform platform;
    QtClock clock;
    SystemClipboard clipboard;
    std::unique_ptr<TypingSession> typing;
    QFont textFont;
    QFont keyFont; // the key captions' (and the popup's)
    QPlainTextEdit *edit = nullptr;
    TextArea *text = nullptr;
    KeyboardView *view = nullptr;
    PopupView *popup = nullptr; // a long press's alternates, over everything
    QHash<int, QTimer *> timers;
    ScaledLayout layout;
    bool fullScreenMode = false;
    bool controlsVisible = false;
    bool windowOpened = false; // shown once, at the end of OnInitDialog
    bool afterFirstPaintScheduled = false;
    std::unique_ptr<SettingsCommands> settingsCommands;
    std::unique_ptr<DocumentCommands> documentCommands;
    std::unique_ptr<ShortcutCommands> shortcutCommands;
    std::unique_ptr<WordCompletion> completion;
};

} // namespace wendrel
