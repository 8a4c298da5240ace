#pragma once
// What the keyboard panel asks of the desktop: to be a window that never takes the input focus,
// stays above the others along the screen's bottom edge and keeps maximised windows above it;
// and, around a dialog of its own (which does take the focus), which window had the focus and
// to give it back. The X11 implementation is X11PanelDesktop (src/platform/x11).
#include <QtGlobal>

class QWidget;

namespace wendrel {

class PanelDesktop {
public:
    virtual ~PanelDesktop() = default;
    // Before the panel is first shown: its window becomes a dock that takes no focus, with a
    // strut of `height` pixels along the bottom of the screen it is on.
    virtual void makeDock(QWidget *panel, int height) = 0;
    // The window that has the focus now (0: none or unknown).
    virtual quintptr activeWindow() = 0;
    // Gives the focus back to a window that activeWindow() named; nothing if it is gone.
    virtual void activate(quintptr window) = 0;
};

} // namespace wendrel
