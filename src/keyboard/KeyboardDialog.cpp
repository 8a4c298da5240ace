#include "KeyboardDialog.h"

#include "DocumentCommands.h"
#include "FileLocations.h"
#include "Fonts.h"
#include "KeyboardView.h"
#include "PopupView.h"
#include "SettingsCommands.h"
#include "ShortcutCommands.h"
#include "StrokeTrail.h"
#include "TextArea.h"
#include "TypingSession.h"
#include "WordCompletion.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

namespace wendrel {

namespace {

// Saves the learned words, and only then passes the end on: the end gives the program a
// deadline, which a save waiting for another copy of the program must not run into.
class SaveLearnedFirst final : public ProgramEnd {
public:
    SaveLearnedFirst(ProgramEnd &next, std::function<void()> save) : next(next), save(std::move(save)) {}
    void keepOnClipboard(const QString &text) override { next.keepOnClipboard(text); }
    void exit(int status) override
    {
        save();
        next.exit(status);
    }

private:
    ProgramEnd &next;
    std::function<void()> save;
};

Platform endingThrough(const Platform &platform, ProgramEnd &end)
{
    return Platform{platform.executable, platform.messages, platform.sound, end,
                    platform.fileDialogs, platform.shell, platform.startMenu};
}

} // namespace

KeyboardDialog::KeyboardDialog(Platform services, QWidget *parent)
    : QWidget(parent), saveFirst(std::make_unique<SaveLearnedFirst>(services.programEnd, [this] {
          if (completion)
              completion->saveNow();
      })),
      platform(endingThrough(services, *saveFirst)), typing(std::make_unique<TypingSession>(clock, clipboard))
{
    setWindowTitle(QStringLiteral("Wendrel"));
    chooseScaleAndFonts();
    createControls();
    settingsCommands = std::make_unique<SettingsCommands>(*this, *typing, platform);
    documentCommands = std::make_unique<DocumentCommands>(*this, *typing, platform);
    shortcutCommands = std::make_unique<ShortcutCommands>(*this, *typing, platform,
                                                          [this] { settingsCommands->playKeySound(); });
    completion = std::make_unique<WordCompletion>(*this, *text, *typing);
    connect(settingsCommands.get(), &SettingsCommands::completionChanged, completion.get(), &WordCompletion::setOn);
    connect(settingsCommands.get(), &SettingsCommands::correctionChanged, completion.get(), &WordCompletion::setCorrectionOn);
    connect(settingsCommands.get(), &SettingsCommands::swipeChanged, completion.get(), &WordCompletion::setSwipeOn);
    connectSession();
}

KeyboardDialog::~KeyboardDialog()
{
    qApp->removeEventFilter(this);
    completion.reset(); // keeps what was learned, while the session still knows its engine
    // The text area shows the session's document: it goes before the session does.
    delete edit;
    edit = nullptr;
}

void KeyboardDialog::createControls()
{
    edit = new QPlainTextEdit(this);
    edit->setObjectName(QStringLiteral("textArea"));
    edit->setAccessibleName(QStringLiteral("Text"));
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The text area shows and edits the session's own document.
    QTextDocument *document = typing->document();
    document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    edit->setDocument(document);
    edit->hide();
    text = new TextArea(edit, this);

    // The 66 keys, drawn by one widget below the text area.
    view = new KeyboardView(this);
    view->setObjectName(QStringLiteral("keys"));
    view->hide();
    // The colour rule runs at paint time (a lit key restarts the lit timer); screen readers
    // read the captions only.
    view->setLookSource([this](int key) {
        return KeyLook{typing->caption(key), typing->onControlColour(key), typing->hasDefaultLook(key)};
    });
    view->setCaptionSource([this](int key) { return typing->caption(key); });
    // A long press's popup: a widget of its own over the view and the text area.
    popup = new PopupView(*typing, this);
}

void KeyboardDialog::connectSession()
{
    connect(view, &KeyboardView::pressed, typing.get(), &TypingSession::press);
    connect(view, &KeyboardView::moved, typing.get(), &TypingSession::move);
    connect(view, &KeyboardView::released, typing.get(), &TypingSession::release);
    connect(view, &KeyboardView::cancelled, typing.get(), &TypingSession::cancelTouch);
    connect(view, &KeyboardView::keyTapped, typing.get(), &TypingSession::tapKey);
    connect(typing.get(), &TypingSession::keysChanged, view, &KeyboardView::updateKeys);
    // A stroke's trail follows the finger while the touch is a word gesture, and fades out
    // after it.
    followStrokes(*view, *typing, clock);
    // The popup (PopupView) follows the session by itself: it may reach over the text area,
    // where the view does not.
    connect(typing.get(), &TypingSession::focusRequested, this, &KeyboardDialog::focusTextArea);
    // The session's cursor and the text area's stay one: a key types where the user put the
    // caret (a tap in the text, a physical keyboard), and the area shows what a key typed.
    connect(typing.get(), &TypingSession::caretChanged, this, &KeyboardDialog::followSession);
    connect(edit, &QPlainTextEdit::cursorPositionChanged, this, &KeyboardDialog::followTextArea);
    connect(edit, &QPlainTextEdit::selectionChanged, this, &KeyboardDialog::followTextArea);
}

void KeyboardDialog::followTextArea()
{
    if (typing->isBusy())
        return; // the session's own edit: it brings the area in step when it is done
    const QTextCursor cursor = edit->textCursor();
    if (cursor.anchor() != typing->anchor() || cursor.position() != typing->caret())
        typing->setSelection(cursor.anchor(), cursor.position());
}

void KeyboardDialog::followSession()
{
    QTextCursor cursor = edit->textCursor();
    if (cursor.anchor() != typing->anchor() || cursor.position() != typing->caret()) {
        cursor.setPosition(typing->anchor());
        cursor.setPosition(typing->caret(), QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
    }
    edit->ensureCursorVisible();
}

QPoint KeyboardDialog::keyCentre(int id) const
{
    const int index = keyIndexById(id);
    return index < 0 ? QPoint(-1, -1) : view->mapTo(this, view->keyRect(index).center());
}

// The fonts are chosen before the controls are made: making the text area wakes the toolkit's
// bridge to screen readers, which may wait for the session bus (reached meanwhile on a thread of
// its own when the program starts), and the fonts are the longest work of the window before it.
void KeyboardDialog::chooseScaleAndFonts()
{
    qreal scale = 1;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        scale = scaleFor(screen->availableSize(), usesRealFullScreen());
    layout = ScaledLayout(scale, QPoint());
    textFont = sansSerifWithCellHeight(layout.length(15), font());
    keyFont = captionFont(layout, textFont);
}

bool KeyboardDialog::OnInitDialog()
{
    // On a desktop the window keeps the layout's size; in full-screen mode it takes the whole
    // screen and the scaled layout is centred on it (placeControls).
    if (!usesRealFullScreen())
        setFixedSize(layout.size());
    enterFullScreen();
    edit->setFont(textFont);

    const QString appFolder = appFolderOf(platform.executable.path());
    settingsCommands->setFolders(appFolder);
    shortcutCommands->loadShortcuts(settingsCommands->settingsFolder());

    raise();
    activateWindow();
    startWindowTimer(watchdogTimer, 200);
    settingsCommands->loadSettings();
    completion->setOn(settingsCommands->completionFlag() == 1);
    completion->setCorrectionOn(settingsCommands->correctionFlag() == 1);
    completion->setSwipeOn(settingsCommands->swipeFlag() == 1);
    placeControls();
    showControls(true);
    // Only now is the window shown, with its controls placed: its first picture is the keyboard.
    windowOpened = true;
    enterFullScreen();
    focusTextArea();
    qApp->installEventFilter(this);
    return true;
}

qreal KeyboardDialog::scaleFor(const QSize &screen, bool fullScreen)
{
    return layoutScaleFor(screen, fullScreen);
}

bool KeyboardDialog::usesRealFullScreen() const
{
    const QString platformName = QGuiApplication::platformName();
    if (platformName == QLatin1String("linuxfb") || platformName == QLatin1String("eglfs")
        || platformName == QLatin1String("vkkhrdisplay"))
        return true;
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen && screen->size().width() <= layoutWidth && screen->size().height() <= layoutHeight;
}

void KeyboardDialog::placeControls()
{
    // On a full-screen device larger than the layout, the scaled layout is centred.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (usesRealFullScreen() && screen)
        layout = ScaledLayout::centredOn(screen->size(), layout.scale());
    edit->setGeometry(layout.rect(textAreaRect));
    completion->place();
    // The view takes the window below the text area. The window itself still paints the strip
    // around the text area, so its first paint is seen (the work after the first frame, the
    // draft keeper's claim) although the view paints every pixel of the rest.
    const QSize window = usesRealFullScreen() && screen ? screen->size() : layout.size();
    const int viewTop = layout.rect(KeyRect{0, textAreaRect.y + textAreaRect.height, layoutWidth, 1}).top();
    view->setFont(keyFont);
    view->setGeometry(QRect(0, viewTop, window.width(), window.height() - viewTop));
    view->setScaledLayout(ScaledLayout(layout.scale(), layout.origin() - QPoint(0, viewTop)));
    popup->place(layout, keyFont);
}

QColor KeyboardDialog::windowColour() const
{
    return QColor(backgroundColour.red, backgroundColour.green, backgroundColour.blue);
}

void KeyboardDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), windowColour());
    // Work that the first taps need but the first picture does not waits until that picture
    // is on the screen. Platforms such as linuxfb put the painted window on the screen from
    // an event posted after this paint, so the work is posted behind that event.
    if (!afterFirstPaintScheduled) {
        afterFirstPaintScheduled = true;
        QMetaObject::invokeMethod(this, [this] {
            QMetaObject::invokeMethod(this, &KeyboardDialog::afterFirstFrame, Qt::QueuedConnection);
        }, Qt::QueuedConnection);
    }
}

void KeyboardDialog::afterFirstFrame()
{
    // Reading the icon's picture loads the toolkit's image format modules: the window system
    // shows the icon a moment after the window, not at the price of the window's first picture.
    setWindowIcon(QIcon(QStringLiteral(":/wendrel/wendrel.png")));
    shortcutCommands->discoverPrograms();
    settingsCommands->loadChosenSound();
}

// A close request (the close box, the window manager, the session's end) ends the program as
// Exit does, without its message.
void KeyboardDialog::closeEvent(QCloseEvent *event)
{
    documentCommands->onCloseRequest();
    event->accept();
}

// --- Timers -----------------------------------------------------------------------------

void KeyboardDialog::startWindowTimer(int id, int periodMs)
{
    QTimer *&timer = timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { onTimer(id); });
    }
    timer->start(periodMs); // restarts a running timer
}

void KeyboardDialog::stopWindowTimer(int id)
{
    if (QTimer *timer = timers.value(id))
        timer->stop();
}

bool KeyboardDialog::isTimerRunning(int id) const
{
    if (id == litTimer)
        return typing->isLitTimerRunning();
    const QTimer *timer = timers.value(id);
    return timer && timer->isActive();
}

void KeyboardDialog::onTimer(int id)
{
    if (id == focusTimer) {
        // While the stylus is held on a key, the focus goes back to the text area and the
        // held key loses its default-button look ("Exit" keeps it).
        if (QApplication::focusWidget() != edit)
            focusTextArea();
        const int held = typing->pressedKey();
        if (held >= 0 && keyTable()[size_t(held)].role != KeyRole::Exit)
            typing->clearDefaultStyle(held);
    } else if (id == watchdogTimer) {
        const bool inFront = QApplication::activeWindow() == this;
        if (inFront)
            restoreFullScreen();
    }
}

// The window has lost its full-screen state (controls hidden after Help or a launch) and is
// back in front with no dialog open: full-screen mode and the controls come back.
void KeyboardDialog::restoreFullScreen()
{
    const bool lost = !fullScreenMode || !controlsVisible;
    if (!lost || QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    enterFullScreen();
    showControls(true);
}

// --- Full-screen mode and focus keeping ---------------------------------------------------

void KeyboardDialog::enterFullScreen()
{
    fullScreenMode = true;
    if (!windowOpened) {
        // While the window opens it is not shown yet (OnInitDialog shows it once its controls
        // are placed); only its state is set.
        if (usesRealFullScreen())
            setWindowState(windowState() | Qt::WindowFullScreen);
        return;
    }
    if (usesRealFullScreen()) {
        // A window manager sizes a full-screen window; a bare X server leaves the window as
        // it is first shown, so it is shown at the screen's size.
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (!isVisible() && screen)
            setGeometry(screen->geometry());
        showFullScreen();
    } else if (!isVisible()) {
        show(); // an ordinary window on a desktop: never take over the user's monitor
    }
    raise();
    activateWindow();
    update();
}

void KeyboardDialog::leaveFullScreen()
{
    if (usesRealFullScreen())
        showNormal();
    fullScreenMode = false;
    raise();
    update();
}

void KeyboardDialog::showControls(bool show)
{
    edit->setVisible(show);
    view->setVisible(show);
    controlsVisible = show;
}

void KeyboardDialog::focusTextArea()
{
    text->focusTextArea();
}

bool KeyboardDialog::eventFilter(QObject *watched, QEvent *event)
{
    FilterMessage(watched, event);
    return QWidget::eventFilter(watched, event);
}

bool KeyboardDialog::FilterMessage(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // A tap on the blank window brings the keys back at once, whatever the window
        // system says about which window is in front.
        if (widget == this)
            restoreFullScreen();
        startWindowTimer(focusTimer, 100);
        break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
        stopWindowTimer(focusTimer);
        break;
    case QEvent::WindowActivate:
        // Back in front: the watchdog's restore without waiting for its next tick.
        if (widget == this)
            restoreFullScreen();
        break;
    case QEvent::WindowDeactivate:
        // Another window in front during a press takes its release away.
        if (widget == this)
            typing->cancelTouch();
        break;
    default:
        break;
    }
    return false;
}

} // namespace wendrel
