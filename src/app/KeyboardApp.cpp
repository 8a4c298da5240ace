#include "KeyboardApp.h"

#include "DesktopEntries.h"
#include "DraftKeeper.h"
#include "EndSignals.h"
#include "KeyboardDialog.h"
#include "KeyboardMode.h"
#include "QtPlatform.h"
#include "TextArea.h"

#include <QStyleFactory>
#include <csignal>

namespace wendrel {

namespace {
// The desktop's menu is read by the wendrel-menu module (GLib's gio), loaded only here, at the
// start that creates the Start Menu folder. Without the module there is no folder this time,
// and the next start tries again.
bool fillNewStartMenu(const QString &folder)
{
    using Read = void (*)(QList<MenuApplication> *);
    const auto read = reinterpret_cast<Read>(
        moduleFunction(QStringLiteral("libwendrel-menu.so"), "wendrel_menu_applications"));
    if (!read) {
        qWarning("wendrel: libwendrel-menu.so could not be loaded; the Start Menu folder is made at a later start");
        return false;
    }
    QList<MenuApplication> applications;
    read(&applications);
    return fillStartMenu(folder, applications) == applications.size();
}
} // namespace

KeyboardApp::KeyboardApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("wendrel"));
    setApplicationDisplayName(QStringLiteral("Wendrel"));
    setDesktopFileName(QStringLiteral("org.wendrel.Wendrel")); // the desktop entry and the AppStream id
    // Fusion draws every widget from the palette, the same on every platform.
    setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

int KeyboardApp::InitInstance()
{
    int status = 0;
    {
        QtPlatform platform(fillNewStartMenu);
        const Platform real = platform.services();
        // The window's end passes the draft keeper first (Exit and a close request end the draft).
        DraftKeeper draft(defaultDraftFolder(), real.programEnd);
        KeyboardDialog dialog(Platform{real.executable, real.messages, real.sound, draft, real.fileDialogs,
                                       real.shell, real.startMenu});
        draft.watch(dialog.textArea());
        connect(&draft, &DraftKeeper::notKept, &dialog,
                [&] { dialog.setWindowTitle(QStringLiteral("Text not kept on disk \u2014 Wendrel")); });
        dialog.OnInitDialog();
        draft.restore(); // before the first paint

        // A shutdown, a closed terminal or Ctrl+C ends the program as a close request does,
        // but the draft stays, so the next start shows the text again.
        EndSignals endSignals({SIGTERM, SIGHUP, SIGINT});
        connect(&endSignals, &EndSignals::received, &dialog, [&] {
            draft.keepDraftAtEnd();
            dialog.close();
        });
        // The desktop session is about to end: the text goes to disk now.
        connect(this, &QGuiApplication::commitDataRequest, &draft, [&] { draft.writeNow(); });
        status = exec();
    }
    // The window and the platform's objects are gone and the text is handed over; the
    // application object's own teardown is skipped, since Qt 6.4 can hang in it on Wayland.
    endProcess(status);
}

} // namespace wendrel

namespace wendrel {

int KeyboardApp::runKeyboardPanel()
{
    setDesktopFileName(QStringLiteral("org.wendrel.WendrelKeyboard"));
    const int status = runKeyboardMode(fillNewStartMenu);
    endProcess(status);
}

int KeyboardApp::runWaylandKeyboardPanel(const WaylandKeyboardOptions &options)
{
    setDesktopFileName(QStringLiteral("org.wendrel.WendrelKeyboard"));
    const int status = runWaylandKeyboard(options, fillNewStartMenu);
    endProcess(status);
}

} // namespace wendrel
