#include "KeyboardMode.h"

#include "AtspiFieldWatcher.h"
#include "EndSignals.h"
#include "KeyboardPanel.h"
#include "QtPlatform.h"
#include "TypingSession.h"
#include "X11FocusWatcher.h"
#include "X11KeyOutput.h"
#include "X11PanelDesktop.h"

#include <QGuiApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace wendrel {

bool prepareKeyboardModeDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs(qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                       ? "wendrel: keyboard mode needs an X11 display, and DISPLAY is not set\n"
                       : "wendrel: keyboard mode types into X11 programs only for now, and this Wayland "
                         "session offers no X11 display (DISPLAY is not set)\n",
                   stderr);
        return false;
    }
    // The panel's window, its dock type and the sender are X11's, under XWayland too.
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

int runKeyboardMode(QtStartMenu::FillHook fillNewStartMenu)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) {
        std::fputs("wendrel: keyboard mode needs an X11 display\n", stderr);
        return 1;
    }
    QtPlatform platform(fillNewStartMenu);
    const Platform real = platform.services();
    X11KeyOutput output; // a connection of its own: its keymap changes never wait for the toolkit's
    if (!output.isValid()) {
        std::fputs("wendrel: the X server cannot take keys from other programs (no XTest extension)\n", stderr);
        return 1;
    }
    X11PanelDesktop desktop(x11->display());
    KeyboardPanel panel(real, desktop, output);
    TypingSession &session = panel.session();

    X11FocusWatcher focus([&panel] { return panel.geometry(); });
    AtspiFieldWatcher fields;
    QObject::connect(&focus, &X11FocusWatcher::focusChanged, &panel, [&] {
        session.otherProgramFocusChanged();
        fields.recheck();
    });
    QObject::connect(&fields, &AtspiFieldWatcher::fieldKindChanged, &panel,
                     [&](FieldKind kind) { session.setFieldKind(kind); });
    QObject::connect(&panel, &KeyboardPanel::exitRequested, &panel, [&] { real.programEnd.exit(0); });
    EndSignals endSignals({SIGTERM, SIGHUP, SIGINT});
    QObject::connect(&endSignals, &EndSignals::received, &panel, [&] { real.programEnd.exit(0); });

    panel.open();
    // The accessibility bus is reached once the panel is on the screen.
    QTimer::singleShot(0, &fields, [&fields] {
        if (!fields.start())
            qInfo("wendrel: no accessibility bus; keyboard mode learns no words");
    });
    return qApp->exec();
}

} // namespace wendrel
