#include "WaylandConnection.h"

#include "input-method-unstable-v2-client.h"
#include "virtual-keyboard-unstable-v1-client.h"
#include "LayerShellProtocol.h"
#include "wlr-virtual-pointer-unstable-v1-client.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

namespace wendrel {

int OutputInfo::logicalWidth() const
{
    const bool turned = transform % 2 == 1; // 90 and 270 degrees, flipped or not
    return (turned ? modeHeight : modeWidth) / std::max(1, scale);
}

int OutputInfo::logicalHeight() const
{
    const bool turned = transform % 2 == 1;
    return (turned ? modeWidth : modeHeight) / std::max(1, scale);
}

namespace {

WaylandConnection *self(void *data) { return static_cast<WaylandConnection *>(data); }

const wl_registry_listener registryListener = {
    [](void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version) {
        self(data)->announce(registry, name, interface, version);
    },
    [](void *, wl_registry *, uint32_t) {},
};

const wl_output_listener outputListener = {
    [](void *data, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t, const char *, const char *,
       int32_t transform) { self(data)->outputGeometry(transform); },
    [](void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if (flags & WL_OUTPUT_MODE_CURRENT)
            self(data)->outputMode(width, height);
    },
    [](void *data, wl_output *) { self(data)->outputDone(); },
    [](void *data, wl_output *, int32_t factor) { self(data)->outputScale(factor); },
#ifdef WL_OUTPUT_NAME_SINCE_VERSION
    [](void *, wl_output *, const char *) {},
    [](void *, wl_output *, const char *) {},
#endif
};

const wl_seat_listener seatListener = {
    [](void *data, wl_seat *, uint32_t capabilities) { self(data)->seatAnnounced(capabilities); },
    [](void *, wl_seat *, const char *) {},
};

template <typename T>
T *bind(wl_registry *registry, uint32_t name, const wl_interface *interface, uint32_t offered, uint32_t wanted)
{
    return static_cast<T *>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

} // namespace

WaylandConnection::WaylandConnection(QObject *parent) : QObject(parent)
{
    display = wl_display_connect(nullptr);
    if (!display)
        return;
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, this);
    wl_display_roundtrip(display); // the globals
    wl_display_roundtrip(display); // the output's mode and scale
    // Read from Qt's event loop; a connection made before the application object (a check of
    // what the compositor offers) is never read.
    if (!QCoreApplication::instance())
        return;
    notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    // Requests made while handling Qt's events are sent before the loop sleeps again.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &WaylandConnection::flush);
}

WaylandConnection::~WaylandConnection()
{
    notifier.reset();
    if (!display)
        return;
    if (globals.virtualPointerManager)
        zwlr_virtual_pointer_manager_v1_destroy(globals.virtualPointerManager);
    if (globals.virtualKeyboardManager)
        zwp_virtual_keyboard_manager_v1_destroy(globals.virtualKeyboardManager);
    if (globals.inputMethodManager)
        zwp_input_method_manager_v2_destroy(globals.inputMethodManager);
    if (globals.layerShell)
        zwlr_layer_shell_v1_destroy(globals.layerShell);
    if (globals.output)
        wl_output_destroy(globals.output);
    if (globals.shm)
        wl_shm_destroy(globals.shm);
    if (globals.seat)
        wl_seat_destroy(globals.seat);
    if (globals.compositor)
        wl_compositor_destroy(globals.compositor);
    wl_registry_destroy(registry);
    wl_display_flush(display);
    wl_display_disconnect(display);
}

void WaylandConnection::announce(wl_registry *reg, uint32_t name, const char *interface, uint32_t version)
{
    const auto is = [&](const wl_interface &i) { return std::strcmp(interface, i.name) == 0; };
    if (is(wl_compositor_interface) && !globals.compositor)
        globals.compositor = bind<wl_compositor>(reg, name, &wl_compositor_interface, version, 4);
    else if (is(wl_seat_interface) && !globals.seat)
    {
        globals.seat = bind<wl_seat>(reg, name, &wl_seat_interface, version, 5);
        // Its devices are announced once now and again when they change.
        wl_seat_add_listener(globals.seat, &seatListener, this);
    }
    else if (is(wl_shm_interface) && !globals.shm)
        globals.shm = bind<wl_shm>(reg, name, &wl_shm_interface, version, 1);
    else if (is(wl_output_interface) && !globals.output) {
        globals.output = bind<wl_output>(reg, name, &wl_output_interface, version, 2);
        wl_output_add_listener(globals.output, &outputListener, this);
    } else if (is(zwlr_layer_shell_v1_interface) && !globals.layerShell)
        globals.layerShell = bind<zwlr_layer_shell_v1>(reg, name, &zwlr_layer_shell_v1_interface, version, 2);
    else if (is(zwp_input_method_manager_v2_interface) && !globals.inputMethodManager)
        globals.inputMethodManager = bind<zwp_input_method_manager_v2>(reg, name,
                                                                       &zwp_input_method_manager_v2_interface, version, 1);
    else if (is(zwp_virtual_keyboard_manager_v1_interface) && !globals.virtualKeyboardManager)
        globals.virtualKeyboardManager = bind<zwp_virtual_keyboard_manager_v1>(
            reg, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
    else if (is(zwlr_virtual_pointer_manager_v1_interface) && !globals.virtualPointerManager)
        globals.virtualPointerManager = bind<zwlr_virtual_pointer_manager_v1>(
            reg, name, &zwlr_virtual_pointer_manager_v1_interface, version, 1);
}

void WaylandConnection::seatAnnounced(uint32_t seatCapabilities)
{
    capabilities = seatCapabilities;
    emit seatCapabilitiesChanged(capabilities);
}

void WaylandConnection::outputGeometry(int transform) { outputState.transform = transform; }
void WaylandConnection::outputMode(int width, int height)
{
    outputState.modeWidth = width;
    outputState.modeHeight = height;
}
void WaylandConnection::outputScale(int scale) { outputState.scale = std::max(1, scale); }
void WaylandConnection::outputDone()
{
    const bool first = !outputState.done;
    outputState.done = true;
    if (!first)
        emit outputChanged();
}

QStringList WaylandConnection::missingProtocols() const
{
    if (!display)
        return {QString::fromLocal8Bit(qgetenv("WAYLAND_DISPLAY"))};
    QStringList missing;
    if (!globals.layerShell)
        missing << QStringLiteral("zwlr_layer_shell_v1");
    if (!globals.inputMethodManager)
        missing << QStringLiteral("zwp_input_method_manager_v2");
    if (!globals.virtualKeyboardManager)
        missing << QStringLiteral("zwp_virtual_keyboard_manager_v1");
    if (!globals.compositor)
        missing << QStringLiteral("wl_compositor");
    if (!globals.shm)
        missing << QStringLiteral("wl_shm");
    if (!globals.seat)
        missing << QStringLiteral("wl_seat");
    if (!globals.output)
        missing << QStringLiteral("wl_output");
    return missing;
}

void WaylandConnection::flush()
{
    if (!display)
        return;
    // A full socket is written later; a broken one ends the connection.
    if (wl_display_flush(display) < 0 && errno != EAGAIN)
        fail();
}

bool WaylandConnection::roundTrip()
{
    if (!display)
        return false;
    if (wl_display_roundtrip(display) < 0) {
        fail();
        return false;
    }
    return true;
}

void WaylandConnection::readEvents()
{
    if (!display)
        return;
    // The events already queued are handled first; then what the socket holds is read once
    // (the socket notifier woke us, so the read does not block) and handled.
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0)
            return fail();
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return fail();
    }
    pollfd fd{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
        if (wl_display_read_events(display) < 0)
            return fail();
    } else {
        wl_display_cancel_read(display);
        if (fd.revents & (POLLHUP | POLLERR))
            return fail();
    }
    if (wl_display_dispatch_pending(display) < 0)
        return fail();
    flush();
}

void WaylandConnection::fail()
{
    if (!notifier || !notifier->isEnabled())
        return;
    notifier->setEnabled(false);
    qWarning("wendrel: the connection to the Wayland compositor was lost (%s)",
             std::strerror(wl_display_get_error(display)));
    emit lost();
}

} // namespace wendrel
