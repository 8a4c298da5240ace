#pragma once
// On X11 and Wayland the toolkit's bridge to screen readers connects to the session bus as the
// window's first widget is made, and waits for it: with no bus address in the environment that
// is a dbus-launch attempt in a child process. This connects on a thread of its own as soon as
// the application object exists, so that the window is built meanwhile; the bridge then finds
// the connection made (the toolkit keeps one session bus connection for the whole program).
#include <thread>

namespace wendrel {

class SessionBusWarmUp {
public:
    // Needs the application object (its platform tells whether a bridge will ask for the bus).
    SessionBusWarmUp();
    ~SessionBusWarmUp();

    SessionBusWarmUp(const SessionBusWarmUp &) = delete;
    SessionBusWarmUp &operator=(const SessionBusWarmUp &) = delete;

private:
    std::thread connector;
};

} // namespace wendrel
