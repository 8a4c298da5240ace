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
// Before the application object exists: whether the compositor offers what keyboard mode needs.
// Run: it does, and Qt's own windows (Options, Help) will go to it. UseX11: no Wayland display
// answers, but an X11 display is there. Fail: the reason has been printed (no display at all, or
// a compositor without the protocols, such as GNOME's or KDE's); the exit status is 1.
enum class WaylandKeyboardStart { Run, UseX11, Fail };
WaylandKeyboardStart prepareWaylandKeyboardDisplay();

// Runs keyboard mode until it ends; returns the exit status. Without a compositor that offers
// the protocols it needs, says which are missing and returns 1.
int runWaylandKeyboard(const WaylandKeyboardOptions &options, QtStartMenu::FillHook fillNewStartMenu);

} // namespace wendrel
