// The desktop's menu read through GLib, built as the module wendrel-menu: GLib's gio and the
// libraries under it are loaded only when a new Start Menu folder is filled (a first start),
// not at every start of the program.
#include "DesktopMenu.h"

extern "C" Q_DECL_EXPORT void wendrel_menu_applications(QList<wendrel::MenuApplication> *applications)
{
    *applications = wendrel::menuApplications();
}
