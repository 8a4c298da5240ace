#pragma once
// The keyboard panel's desktop on X11 (see PanelDesktop): the dock window type and the partial
// strut set on the panel's window before it is mapped, _NET_ACTIVE_WINDOW read from the root
// window and asked for through the window manager (the input focus set directly when no window
// manager answers for it).
#include "PanelDesktop.h"

typedef struct _XDisplay Display;

namespace wendrel {

class X11PanelDesktop : public PanelDesktop {
public:
    // display: the toolkit's connection, so that the properties reach the server before the
    // toolkit maps the window.
    explicit X11PanelDesktop(Display *display);

    void makeDock(QWidget *panel, int height) override;
    quintptr activeWindow() override;
    void activate(quintptr window) override;

private:
    Display *display;
};

} // namespace wendrel
