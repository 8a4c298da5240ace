#include "KeyboardPanel.h"

#include "CandidateStrip.h"
#include "FileLocations.h"
#include "Fonts.h"
#include "KeyboardView.h"
#include "PanelDesktop.h"
#include "PopupView.h"
#include "SettingsCommands.h"
#include "ShortcutCommands.h"
#include "StrokeTrail.h"
#include "TypingSession.h"
#include "WordCompletion.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>

namespace wendrel {

KeyboardPanel::KeyboardPanel(Platform platform, PanelDesktop &desktop, KeyOutput &output, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      platform(platform), desktop(desktop), typing(std::make_unique<TypingSession>(clock, clipboard))
{
    setWindowTitle(QStringLiteral("Wendrel Keyboard"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    typing->typeInto(&output);

    view = new KeyboardView(this);
    view->setObjectName(QStringLiteral("keys"));
    view->setFocusPolicy(Qt::NoFocus);
    view->setLookSource([this](int key) {
        return KeyLook{typing->caption(key), typing->onControlColour(key), typing->hasDefaultLook(key)};
    });
    view->setCaptionSource([this](int key) { return typing->caption(key); });
    popup = new PopupView(*typing, this);

    settingsCommands = std::make_unique<SettingsCommands>(*this, *typing, platform);
    shortcutCommands = std::make_unique<ShortcutCommands>(*this, *typing, platform,
                                                          [this] { settingsCommands->playKeySound(); });
    completion = std::make_unique<WordCompletion>(*this, *typing);
    connect(settingsCommands.get(), &SettingsCommands::completionChanged, completion.get(), &WordCompletion::setOn);
    connect(settingsCommands.get(), &SettingsCommands::correctionChanged, completion.get(),
            &WordCompletion::setCorrectionOn);
    connect(settingsCommands.get(), &SettingsCommands::swipeChanged, completion.get(), &WordCompletion::setSwipeOn);

    connect(view, &KeyboardView::pressed, typing.get(), &TypingSession::press);
    connect(view, &KeyboardView::moved, typing.get(), &TypingSession::move);
    connect(view, &KeyboardView::released, typing.get(), &TypingSession::release);
    connect(view, &KeyboardView::cancelled, typing.get(), &TypingSession::cancelTouch);
    connect(view, &KeyboardView::keyTapped, typing.get(), &TypingSession::tapKey);
    connect(typing.get(), &TypingSession::keysChanged, view, &KeyboardView::updateKeys);
    // A stroke's trail over the keys, as in the window.
    followStrokes(*view, *typing, clock);
    connect(typing.get(), &TypingSession::commandRequested, this, &KeyboardPanel::onCommand);
}

KeyboardPanel::~KeyboardPanel()
{
    completion.reset(); // keeps what was learned, while the session still knows its engine
}

void KeyboardPanel::place()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    placed = PanelGeometry::forScreen(screen ? screen->geometry() : QRect(0, 0, 240 * 2, 263 * 2));
    const ScaledLayout &layout = placed.layout;
    setGeometry(placed.window);
    setFixedSize(placed.window.size());

    const QFont textFont = sansSerifWithCellHeight(layout.length(15), font());
    keyFont = captionFont(layout, textFont);
    setFont(textFont);
    // The strip: the bottom 20 pixels of the note pad's text area.
    completion->placeStrip(layout.rect(KeyRect{textAreaRect.x, panelLayoutTop, textAreaRect.width,
                                               CandidateStrip::layoutHeight}));
    const int viewTop = layout.rect(KeyRect{0, textAreaRect.y + textAreaRect.height, layoutWidth, 1}).top();
    view->setFont(keyFont);
    view->setGeometry(QRect(0, viewTop, width(), height() - viewTop));
    view->setScaledLayout(ScaledLayout(layout.scale(), layout.origin() - QPoint(0, viewTop)));
    popup->place(layout, keyFont);
}

void KeyboardPanel::open()
{
    place();
    const QString appFolder = appFolderOf(platform.executable.path());
    settingsCommands->setFolders(appFolder);
    shortcutCommands->loadShortcuts(settingsCommands->settingsFolder());
    settingsCommands->loadSettings();
    completion->setOn(settingsCommands->completionFlag() == 1);
    completion->setCorrectionOn(settingsCommands->correctionFlag() == 1);
    completion->setSwipeOn(settingsCommands->swipeFlag() == 1);
    // The window type and the strut go on the window before it is mapped.
    desktop.makeDock(this, placed.window.height());
    show();
    QMetaObject::invokeMethod(this, [this] {
        setWindowIcon(QIcon(QStringLiteral(":/wendrel/wendrel.png")));
        shortcutCommands->discoverPrograms();
        settingsCommands->loadChosenSound();
    }, Qt::QueuedConnection);
}

void KeyboardPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(backgroundColour.red, backgroundColour.green, backgroundColour.blue));
}

void KeyboardPanel::onCommand(const SessionCommand &command)
{
    if (command.kind == SessionCommand::Kind::Exit) {
        hide();
        emit exitRequested();
    }
}

// Before a dialog of the panel's own: the window that has the focus is remembered.
void KeyboardPanel::leaveFullScreen()
{
    const quintptr active = desktop.activeWindow();
    focusBeforeDialog = active == quintptr(winId()) ? 0 : active;
}

// The dialog has closed: the focus goes back where it was.
void KeyboardPanel::enterFullScreen()
{
    if (focusBeforeDialog)
        desktop.activate(focusBeforeDialog);
    focusBeforeDialog = 0;
}

} // namespace wendrel
