#include "KeyboardDialog.h"

#include "FileLocations.h"
#include "Fonts.h"
#include "KeyButton.h"
#include "ShortcutDialog.h"
#include "TextArea.h"
#include "WordCompletion.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

namespace wendrel {

namespace {

QColor toColor(Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace

KeyboardDialog::KeyboardDialog(Platform platform, QWidget *parent)
    : QWidget(parent), platform(platform)
{
    setWindowTitle(QStringLiteral("Wendrel"));
    appIcon = QIcon(QStringLiteral(":/wendrel/wendrel.png"));
    createControls();
}

KeyboardDialog::~KeyboardDialog()
{
    qApp->removeEventFilter(this);
}

void KeyboardDialog::createControls()
{
    edit = new QPlainTextEdit(this);
    edit->setObjectName(QStringLiteral("textArea"));
    edit->setAccessibleName(QStringLiteral("Text"));
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->hide();
    text = new TextArea(edit, this);
    text->onCharacterHandled = [this] { stopWindowTimer(focusTimer); };
    completion = std::make_unique<WordCompletion>(*this, *text);

    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        auto *button = new KeyButton(int(i), this);
        button->setObjectName(QStringLiteral("key%1").arg(table[i].id));
        button->setCaption(QString::fromUtf16(table[i].caption));
        button->faceColour = [this](int index) { return onControlColour(index); };
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, i] { onKeyTapped(int(i)); });
        keys[i] = button;
    }
}

KeyButton *KeyboardDialog::key(int id) const
{
    const int index = keyIndexById(id);
    return index < 0 ? nullptr : keys[size_t(index)];
}

bool KeyboardDialog::OnInitDialog()
{
    setWindowIcon(appIcon);
    qreal scale = 1;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        scale = scaleFor(screen->availableSize(), usesRealFullScreen());
    layout = ScaledLayout(scale, QPoint());
    // On a desktop the window keeps the layout's size; in full-screen mode it takes the whole
    // screen and the scaled layout is centred on it (placeControls).
    if (!usesRealFullScreen())
        setFixedSize(layout.size());
    enterFullScreen();

    textFont = sansSerifWithCellHeight(layout.length(15), font());
    edit->setFont(textFont);

    record.typing = TypingState{};
    record.fnOn = 0;

    record.appFolder = appFolderOf(platform.executable.path());
    const QString resources = resourceFolder(record.appFolder, QStringLiteral(WENDREL_DATA_FROM_BIN));
    for (int n = 1; n <= 5; ++n)
        record.soundPaths[size_t(n - 1)] = soundPath(resources, n);
    record.helpPath = helpPath(resources);
    record.settingsFolder = settingsFolder(record.appFolder, defaultUserConfigFolder(), resources != record.appFolder);
    loadShortcuts();

    raise();
    activateWindow();
    startWindowTimer(watchdogTimer, 200);
    loadSettings();
    completion->setOn(record.completionFlag == 1);
    placeControls();
    showControls(true);
    record.shiftOn = 0;
    record.capsOn = 0;
    showLowerCaseLabels();
    // Only now is the window shown, with its controls placed: its first picture is the keyboard.
    windowOpened = true;
    enterFullScreen();
    text->focusTextArea();
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
    const QFont keyFont = captionFont(layout, textFont);
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        keys[i]->setFont(keyFont);
        keys[i]->setGeometry(layout.rect(table[i].rect));
    }
}

// --- Colours and visual response -------------------------------------------------------

QColor KeyboardDialog::onControlColour(int keyIndex)
{
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    if (record.litFlags[size_t(keyIndex)] == 1) {
        startWindowTimer(litTimer, 65);
        return toColor(litColour);
    }
    const bool modeOn = (key.role == KeyRole::Fn && record.fnOn == 1)
        || (key.role == KeyRole::Caps && record.capsOn == 1)
        || (key.role == KeyRole::Shift && record.shiftOn == 1);
    return toColor(modeOn ? modeColour : key.face);
}

QColor KeyboardDialog::windowColour() const
{
    return toColor(backgroundColour);
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
    discoverPrograms();
    loadChosenSound();
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
    const QTimer *timer = timers.value(id);
    return timer && timer->isActive();
}

void KeyboardDialog::onTimer(int id)
{
    if (id == litTimer) {
        stopWindowTimer(litTimer);
        for (size_t i = 0; i < keys.size(); ++i) {
            if (record.litFlags[i] == 1) {
                clearDefaultStyle(int(i));
                record.litFlags[i] = 0;
                keys[i]->update();
            }
        }
    } else if (id == focusTimer) {
        // While the stylus is held on a key, the focus goes back to the text area and the
        // held key loses its default-button look ("Exit" keeps it).
        if (QApplication::focusWidget() != edit)
            text->focusTextArea();
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i]->isDown() && keyTable()[i].role != KeyRole::Exit)
                clearDefaultStyle(int(i));
        }
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
    for (KeyButton *button : keys)
        button->setVisible(show);
    controlsVisible = show;
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
    default:
        break;
    }
    return false;
}

} // namespace wendrel
