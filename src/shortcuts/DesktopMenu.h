#pragma once
// The desktop's application menu, read through GLib exactly as the desktop reads it.
#include "DesktopEntries.h"

namespace wendrel {

// The applications the desktop's menu shows, names in the user's language. Left out, as the
// menu leaves them out: hidden entries and entries not for menus (Hidden, NoDisplay), entries
// whose TryExec or Exec program is missing, entries for other desktops (OnlyShowIn, NotShowIn
// against $XDG_CURRENT_DESKTOP), and an entry shadowed by one of the same id in a folder that
// comes first ($XDG_DATA_HOME/applications, then $XDG_DATA_DIRS).
QList<MenuApplication> menuApplications();

} // namespace wendrel
