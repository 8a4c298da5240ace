#include "WaylandKeyboard.h"

#include "EndSignals.h"
#include "InputMethod.h"
#include "KeyboardPanel.h"
#include "KeyboardView.h"
#include "LayerPanel.h"
#include "PanelDesktop.h"
#include "PopupView.h"
#include "SettingsCommands.h"
#include "TypingSession.h"
#include "VirtualKeyboard.h"
#include "WaylandConnection.h"
#include "WaylandKeyOutput.h"
#include "WordCompletion.h"

#include <QApplication>
#include <QSettings>
#include <csignal>
#include <cstdio>

namespace wendrel {

namespace {

// The field's kind from text-input's content purpose and hints. Digits, numbers, phone numbers,
// dates and times get the keys as they are, with nothing of the typing assistant's.
FieldKind fieldKindOf(const InputMethodState &state)
{
    if (state.hint & (ContentHint::HiddenText | ContentHint::SensitiveData))
        return FieldKind::Password;
    switch (state.purpose) {
    case ContentPurpose::Password:
    case ContentPurpose::Pin:
        return FieldKind::Password;
    case ContentPurpose::Terminal:
        return FieldKind::Terminal;
    case ContentPurpose::Email:
        return FieldKind::Email;
    case ContentPurpose::Url:
        return FieldKind::Url;
    case ContentPurpose::Digits:
    case ContentPurpose::Number:
    case ContentPurpose::Phone:
    case ContentPurpose::Date:
    case ContentPurpose::Time:
    case ContentPurpose::DateTime:
        return FieldKind::Number;
    default:
        return FieldKind::Text;
    }
}

// The panel's widget is never a window of Qt's: the layer surface shows it. Qt's own dialogs
// (Options, Help) are ordinary windows, and the compositor gives the focus back when they close.
class LayerPanelDesktop : public PanelDesktop {
public:
    void makeDock(QWidget *panel, int) override { panel->setAttribute(Qt::WA_DontShowOnScreen); }
    quintptr activeWindow() override { return 0; }
    void activate(quintptr) override {}
};

} // namespace

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

namespace {

// Says which protocols are missing, or that there is no compositor; false in either case.
bool compositorServes(const WaylandConnection &connection)
{
    const QStringList missing = connection.missingProtocols();
    if (!connection.isConnected()) {
        std::fprintf(stderr, "wendrel: keyboard mode cannot connect to the Wayland display '%s'\n",
                     qUtf8Printable(missing.value(0)));
        return false;
    }
    if (!missing.isEmpty()) {
        std::fprintf(stderr,
                     "wendrel: keyboard mode needs a Wayland compositor that offers %s, and this one does not "
                     "(sway and Phosh's phoc do)\n",
                     qUtf8Printable(missing.join(QStringLiteral(", "))));
        return false;
    }
    return true;
}

} // namespace

WaylandKeyboardStart prepareWaylandKeyboardDisplay()
{
    {
        const WaylandConnection probe;
        if (!probe.isConnected()) {
            if (!qEnvironmentVariableIsEmpty("DISPLAY"))
                return WaylandKeyboardStart::UseX11;
            std::fprintf(stderr,
                         "wendrel: keyboard mode finds neither the Wayland display '%s' nor an X11 display "
                         "(DISPLAY is not set)\n",
                         qgetenv("WAYLAND_DISPLAY").constData());
            return WaylandKeyboardStart::Fail;
        }
        if (!compositorServes(probe))
            return WaylandKeyboardStart::Fail;
    }
    // Qt's own windows (Options, Help) on the compositor, or under Xwayland where Qt's Wayland
    // plugin (qt6-wayland, recommended only) is missing.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "wayland;xcb");
    // The panel and the dialogs are painted in shared memory: without this, Qt's Wayland
    // plugin loads EGL and the Mesa drivers (some 50 MB resident) for nothing. The programs
    // the Fn keys start do not inherit the choice.
    if (!qEnvironmentVariableIsSet("QT_WAYLAND_CLIENT_BUFFER_INTEGRATION")) {
        qputenv("QT_WAYLAND_CLIENT_BUFFER_INTEGRATION", "none");
        keepFromStartedPrograms(QStringLiteral("QT_WAYLAND_CLIENT_BUFFER_INTEGRATION"));
    }
    return WaylandKeyboardStart::Run;
}

int runWaylandKeyboard(const WaylandKeyboardOptions &options, QtStartMenu::FillHook fillNewStartMenu)
{
    WaylandConnection connection;
    if (!compositorServes(connection))
        return 1;

    QtPlatform platform(fillNewStartMenu);
    const Platform real = platform.services();
    InputMethod inputMethod(connection);
    VirtualKeyboard keyboard(connection);
    WaylandKeyOutput output(inputMethod, keyboard);
    LayerPanelDesktop desktop;
    KeyboardPanel widget(real, desktop, output);
    TypingSession &session = widget.session();
    widget.open(); // laid out and "shown" to Qt, never mapped by it

    LayerPanel panel(connection, &widget);
    QObject::connect(&session, &TypingSession::keysChanged, &panel, &LayerPanel::scheduleRepaint);
    QObject::connect(&session, &TypingSession::candidatesChanged, &panel, &LayerPanel::scheduleRepaint);
    QObject::connect(&session, &TypingSession::popupChanged, &panel, &LayerPanel::scheduleRepaint);
    QObject::connect(&session, &TypingSession::candidatePicked, &panel, &LayerPanel::scheduleRepaint);
    QObject::connect(&widget.keyboardView(), &KeyboardView::trailChanged, &panel, &LayerPanel::scheduleRepaint);

    // The field with the focus: its kind, its hints and the text before its caret. A field that
    // states its hints and leaves out spell checking gets no correction (the user's choice in
    // Options comes back with the next field).
    bool correctionHeldBack = false;
    const auto holdBackCorrection = [&](bool holdBack) {
        if (holdBack == correctionHeldBack)
            return;
        correctionHeldBack = holdBack;
        widget.wordCompletion().setCorrectionOn(!holdBack && widget.settings().correctionFlag() == 1);
    };
    const auto followField = [&] {
        const InputMethodState &state = inputMethod.state();
        session.setFieldKind(fieldKindOf(state));
        holdBackCorrection(state.hint != 0 && !(state.hint & ContentHint::Spellcheck));
        // Likewise a field that states its hints without automatic capitals, or that prefers
        // lower case, gets its letters as typed.
        session.setNoAutoCapitals((state.hint != 0 && !(state.hint & ContentHint::AutoCapitalization))
                                  || (state.hint & ContentHint::Lowercase));
    };
    QObject::connect(&inputMethod, &InputMethod::activated, &panel, [&] {
        session.otherProgramFocusChanged();
        followField();
        panel.show();
    });
    QObject::connect(&inputMethod, &InputMethod::stateChanged, &panel, followField);
    // "Keep the keyboard shown": the command line's --keep-shown, or the box in Options, whose
    // choice is kept in keyboard-mode.ini beside config.dat.
    QSettings stored(widget.settings().settingsFolder() + QStringLiteral("/keyboard-mode.ini"), QSettings::IniFormat);
    bool keepShown = options.keepShown || stored.value(QStringLiteral("keepShown"), false).toBool();
    widget.settings().offerKeepShown([&] { return keepShown; }, [&](bool chosen) {
        keepShown = chosen;
        stored.setValue(QStringLiteral("keepShown"), chosen);
        stored.sync();
        if (stored.status() != QSettings::NoError)
            qWarning("wendrel: could not keep the choice in %s", qUtf8Printable(stored.fileName()));
        if (keepShown)
            panel.show();
        else if (!inputMethod.isActive())
            panel.hide();
    });
    QObject::connect(&inputMethod, &InputMethod::deactivated, &panel, [&] {
        session.otherProgramFocusChanged();
        session.setFieldKind(FieldKind::Unknown);
        holdBackCorrection(false);
        if (!keepShown)
            panel.hide();
    });
    QObject::connect(&output, &WaylandKeyOutput::fieldTextChanged, &panel, [&](const QString &text) {
        if (text.isNull())
            session.otherProgramCaretMoved();
        else
            session.setTextBeforeCaret(text);
    });

    QObject::connect(&widget, &KeyboardPanel::exitRequested, &panel, [&] { real.programEnd.exit(0); });
    QObject::connect(&connection, &WaylandConnection::lost, &panel, [&] { real.programEnd.exit(1); });
    // Another keyboard (squeekboard, wvkbd) already is the seat's input method.
    QObject::connect(&inputMethod, &InputMethod::unavailable, &panel, [&] {
        std::fputs("wendrel: another input method already serves this seat; end it (squeekboard, for "
                   "example) and start wendrel --keyboard again\n",
                   stderr);
        real.programEnd.exit(1);
    });
    QObject::connect(&panel, &LayerPanel::closed, &panel, [&] { real.programEnd.exit(0); });
    EndSignals endSignals({SIGTERM, SIGHUP, SIGINT});
    QObject::connect(&endSignals, &EndSignals::received, &panel, [&] { real.programEnd.exit(0); });

    if (keepShown)
        panel.show();
    return QCoreApplication::exec();
}

} // namespace wendrel
