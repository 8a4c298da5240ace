#pragma once
// Keyboard mode on a Wayland compositor built on wlroots (sway, phoc): the panel on a layer
// surface, shown while a text field has the focus, typing through the input method where the
// field speaks text-input and through the virtual keyboard elsewhere.
#include "QtPlatform.h"

namespace wendrel {

struct WaylandKeyboardOptions {
    bool keepShown = false; // the panel stays shown when no text field has the focus
};

// Keyboard mode runs as a Wayland input method when the session is a Wayland session
// (WAYLAND_DISPLAY is set), also where X11 programs run beside it under Xwayland.
bool isWaylandSession();
// Before the application object exists: Qt's own windows (Options, Help) go to the compositor.
void prepareWaylandKeyboardDisplay();

// Runs keyboard mode until it ends; returns the exit status. Without a compositor that offers
// the protocols it needs, says which are missing and returns 1.
int runWaylandKeyboard(const WaylandKeyboardOptions &options, QtStartMenu::FillHook fillNewStartMenu);

} // namespace wendrel
