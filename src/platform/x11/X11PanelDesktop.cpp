#include "X11PanelDesktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace wendrel {

namespace {

Atom atom(Display *display, const char *name)
{
    return XInternAtom(display, name, False);
}

// One window-valued property of the root window; nullopt when it is not set.
bool rootWindowProperty(Display *display, Atom property, Window &value)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1, False, XA_WINDOW,
                                          &type, &format, &count, &after, &data);
    const bool found = status == Success && type == XA_WINDOW && format == 32 && count == 1 && data;
    if (found)
        value = Window(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return found;
}

} // namespace

X11PanelDesktop::X11PanelDesktop(Display *display) : display(display) {}

void X11PanelDesktop::makeDock(QWidget *panel, int height)
{
    if (!display)
        return;
    const Window window = Window(panel->winId()); // creates the native window, not mapped yet
    const Atom dock = atom(display, "_NET_WM_WINDOW_TYPE_DOCK");
    XChangeProperty(display, window, atom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&dock), 1);

    // The strut counts from the root window's bottom edge; the panel lies along the bottom of
    // its own screen.
    QRect screen = panel->screen() ? panel->screen()->geometry() : QRect();
    const int rootHeight = DisplayHeight(display, DefaultScreen(display));
    if (screen.isNull())
        screen = QRect(0, 0, DisplayWidth(display, DefaultScreen(display)), rootHeight);
    const long bottom = rootHeight - (screen.y() + screen.height()) + height;
    const long partial[12] = {0, 0, 0, bottom, 0, 0, 0, 0, 0, 0, screen.x(), screen.x() + screen.width() - 1};
    XChangeProperty(display, window, atom(display, "_NET_WM_STRUT_PARTIAL"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(partial), 12);
    const long strut[4] = {0, 0, 0, bottom};
    XChangeProperty(display, window, atom(display, "_NET_WM_STRUT"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(strut), 4);
    // A window that takes no input says so in its hints alone: without WM_TAKE_FOCUS among its
    // protocols (which the toolkit offers on every window), the window manager never offers it
    // the focus either.
    Atom protocols[2] = {atom(display, "WM_DELETE_WINDOW"), atom(display, "_NET_WM_PING")};
    XSetWMProtocols(display, window, protocols, 2);
    XFlush(display);
}

quintptr X11PanelDesktop::activeWindow()
{
    if (!display)
        return 0;
    Window window = None;
    if (rootWindowProperty(display, atom(display, "_NET_ACTIVE_WINDOW"), window))
        return window;
    int revert = 0;
    XGetInputFocus(display, &window, &revert);
    return window == PointerRoot ? 0 : window;
}

void X11PanelDesktop::activate(quintptr target)
{
    if (!display || !target)
        return;
    Window wm = None;
    if (rootWindowProperty(display, atom(display, "_NET_SUPPORTING_WM_CHECK"), wm) && wm != None) {
        // A window manager: asked as a pager would (source 2), so that it does not refuse.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = Window(target);
        event.xclient.message_type = atom(display, "_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    } else {
        XSetInputFocus(display, Window(target), RevertToPointerRoot, CurrentTime);
    }
    XFlush(display);
}

} // namespace wendrel
