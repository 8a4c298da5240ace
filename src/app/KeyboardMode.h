#pragma once
// `wendrel --keyboard`: the keyboard panel typing into other programs, with the window
// system's sender, the focus watcher and the field kinds from the accessibility bus around one
// typing session. The note pad stays the program's default.
#include "QtPlatform.h"

namespace wendrel {

// Before the application object exists: whether keyboard mode can run on this desktop. On
// X11 the toolkit is told to use it; without an X display (a Wayland session without X11,
// a console) a message is printed and false is returned. The Wayland panel takes this
// place later.
bool prepareKeyboardModeDisplay();

// Opens the panel and runs the event loop until Exit or an end signal; the exit status.
// fillNewStartMenu: as for the note pad (the Fn keys start the same programs).
int runKeyboardMode(QtStartMenu::FillHook fillNewStartMenu);

} // namespace wendrel
