#include "FontConfigWarmUp.h"
#include "KeyboardApp.h"
#include "KeyboardMode.h"
#include "SessionBusWarmUp.h"
#include "WaylandKeyboard.h"
#include "KeyboardArguments.h"

#include <QStringList>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char **argv)
{
    namespace cli = wendrel::cli;
    const QString program = QStringLiteral("wendrel");
    // --help and --version are answered before Qt looks for a display.
    const cli::Verdict early = cli::checkBeforeToolkit(argumentsOf(argc, argv));
    if (early.action != cli::Verdict::Action::Run)
        return cli::actOn(program, early, cli::keyboardUsage());

    // Keyboard mode under a Wayland compositor has a panel of its own (a layer surface); on X11
    // the toolkit is told to use the X display.
    bool waylandPanel = false;
    if (early.keyboardMode && wendrel::isWaylandSession()) {
        switch (wendrel::prepareWaylandKeyboardDisplay()) {
        case wendrel::WaylandKeyboardStart::Run:
            waylandPanel = true;
            break;
        case wendrel::WaylandKeyboardStart::UseX11:
            break;
        case wendrel::WaylandKeyboardStart::Fail:
            return 1;
        }
    }
    if (early.keyboardMode && !waylandPanel && !wendrel::prepareKeyboardModeDisplay())
        return 1;

    // The font configuration is read while the application object connects to the display.
    wendrel::FontConfigWarmUp fonts;
    wendrel::KeyboardApp app(argc, argv);
    fonts.finish();
    const wendrel::SessionBusWarmUp bus;
    // The application object has taken out the toolkit options it understood.
    const cli::Verdict late = cli::checkAfterToolkit(app.arguments());
    if (late.action != cli::Verdict::Action::Run)
        return cli::actOn(program, late, cli::keyboardUsage());
    if (late.keyboardMode && waylandPanel)
        return app.runWaylandKeyboardPanel({late.keepShown});
    if (late.keyboardMode)
        return app.runKeyboardPanel();
    return app.InitInstance();
}
