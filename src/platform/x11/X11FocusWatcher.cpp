#include "X11FocusWatcher.h"

#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace wendrel {

X11FocusWatcher::X11FocusWatcher(std::function<QRect()> panelRect, QObject *parent)
    : QObject(parent), panelRect(std::move(panelRect)), display(XOpenDisplay(nullptr))
{
    if (!display) {
        qWarning("wendrel: no X display for watching the focus");
        return;
    }
    const Window root = DefaultRootWindow(display);
    activeWindowAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XSelectInput(display, root, PropertyChangeMask);
    lastActive = currentActiveWindow();

    int event = 0, error = 0, major = 2, minor = 0;
    if (XQueryExtension(display, "XInputExtension", &xinputOpcode, &event, &error)
        && XIQueryVersion(display, &major, &minor) == Success) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawTouchBegin);
        XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
        XISelectEvents(display, root, &mask, 1);
    } else {
        xinputOpcode = -1;
        qWarning("wendrel: the X server has no XInput 2; clicks into other windows are not seen");
    }
    XFlush(display);
    notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &X11FocusWatcher::readEvents);
}

X11FocusWatcher::~X11FocusWatcher()
{
    delete notifier;
    if (display)
        XCloseDisplay(display);
}

unsigned long X11FocusWatcher::currentActiveWindow()
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    unsigned long window = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display), activeWindowAtom, 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success
        && data && count == 1 && format == 32)
        window = *reinterpret_cast<unsigned long *>(data);
    if (data)
        XFree(data);
    return window;
}

void X11FocusWatcher::readEvents()
{
    bool changed = false;
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == PropertyNotify && event.xproperty.atom == activeWindowAtom) {
            const unsigned long active = currentActiveWindow();
            changed = changed || active != lastActive;
            lastActive = active;
        } else if (event.type == GenericEvent && event.xcookie.extension == xinputOpcode) {
            // Where the pointer is tells whether the press was on the panel.
            Window root = 0, child = 0;
            int rootX = 0, rootY = 0, x = 0, y = 0;
            unsigned int mask = 0;
            if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask)
                && !panelRect().contains(rootX, rootY))
                changed = true;
        }
    }
    if (changed)
        emit focusChanged();
}

} // namespace wendrel
