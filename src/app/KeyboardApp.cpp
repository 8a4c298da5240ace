#include "KeyboardApp.h"

#include "DesktopEntries.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"

#include <QStyleFactory>

namespace wendrel {

namespace {
void fillNewStartMenu(const QString &folder)
{
    fillStartMenu(folder, defaultApplicationFolders());
}
} // namespace

KeyboardApp::KeyboardApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("wendrel"));
    setApplicationDisplayName(QStringLiteral("Wendrel"));
    setDesktopFileName(QStringLiteral("wendrel"));
    // Fusion draws every widget from the palette, the same on every platform.
    setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

int KeyboardApp::InitInstance()
{
    QtPlatform platform(fillNewStartMenu);
    KeyboardDialog dialog(platform.services());
    dialog.OnInitDialog();
    return exec();
}

} // namespace wendrel
