#include "KeyboardApp.h"

#include "DesktopMenu.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"

#include <QStyleFactory>

namespace wendrel {

namespace {
void fillNewStartMenu(const QString &folder)
{
    fillStartMenu(folder, menuApplications());
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
        KeyboardDialog dialog(platform.services());
        dialog.OnInitDialog();
        status = exec();
    }
    // The window and the platform's objects are gone and the text is handed over; the
    // application object's own teardown is skipped, since Qt 6.4 can hang in it on Wayland.
    endProcess(status);
}

} // namespace wendrel
