#pragma once
// Wendrel's own connection to the Wayland compositor, beside the one Qt keeps for its windows.
// Qt 6.4 cannot make a layer-shell surface or speak the input-method protocol, so keyboard mode
// talks to the compositor here: the connection binds the globals it needs and is read from
// Qt's event loop.
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <memory>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_seat;
struct wl_shm;
struct wl_output;
struct zwlr_layer_shell_v1;
struct zwp_input_method_manager_v2;
struct zwp_virtual_keyboard_manager_v1;
struct zwlr_virtual_pointer_manager_v1;

namespace wendrel {

// What Wendrel knows of one output (the first one the compositor announces).
struct OutputInfo {
    int modeWidth = 0, modeHeight = 0; // in the output's pixels
    int scale = 1;
    int transform = 0;
    bool done = false;
    // The output's size in logical pixels (the mode divided by the scale, turned as it is).
    int logicalWidth() const;
    int logicalHeight() const;
};

class WaylandConnection : public QObject {
    Q_OBJECT
public:
    // Connects to $WAYLAND_DISPLAY and learns the globals (two round trips).
    WaylandConnection(QObject *parent = nullptr);
    ~WaylandConnection() override;

    bool isConnected() const { return display != nullptr; }
    // The protocols keyboard mode needs that the compositor does not offer, by name; empty when
    // everything is there. Without a connection: the display's name.
    QStringList missingProtocols() const;

    wl_display *wlDisplay() const { return display; }
    wl_compositor *compositor() const { return globals.compositor; }
    wl_seat *seat() const { return globals.seat; }
    wl_shm *shm() const { return globals.shm; }
    wl_output *output() const { return globals.output; }
    const OutputInfo &outputInfo() const { return outputState; }
    // The seat's devices (WL_SEAT_CAPABILITY_POINTER, _KEYBOARD, _TOUCH), as last announced.
    uint32_t seatCapabilities() const { return capabilities; }
    zwlr_layer_shell_v1 *layerShell() const { return globals.layerShell; }
    zwp_input_method_manager_v2 *inputMethodManager() const { return globals.inputMethodManager; }
    zwp_virtual_keyboard_manager_v1 *virtualKeyboardManager() const { return globals.virtualKeyboardManager; }
    zwlr_virtual_pointer_manager_v1 *virtualPointerManager() const { return globals.virtualPointerManager; }

    // Sends what is queued; requests made outside an event's handling call it.
    void flush();
    // Waits until the compositor has handled everything sent so far.
    bool roundTrip();

signals:
    // The output's size or scale changed.
    void outputChanged();
    // The seat gained or lost a pointer, a keyboard or a touch screen.
    void seatCapabilitiesChanged(uint32_t capabilities);
    // The connection broke (the compositor ended): nothing more can be sent.
    void lost();

public:
    // The registry's and output's listeners (plain C callbacks) reach these.
    struct Globals {
        wl_compositor *compositor = nullptr;
        wl_seat *seat = nullptr;
        wl_shm *shm = nullptr;
        wl_output *output = nullptr;
        zwlr_layer_shell_v1 *layerShell = nullptr;
        zwp_input_method_manager_v2 *inputMethodManager = nullptr;
        zwp_virtual_keyboard_manager_v1 *virtualKeyboardManager = nullptr;
        zwlr_virtual_pointer_manager_v1 *virtualPointerManager = nullptr;
    };
    void announce(wl_registry *registry, uint32_t name, const char *interface, uint32_t version);
    void outputGeometry(int transform);
    void outputMode(int width, int height);
    void outputScale(int scale);
    void outputDone();
    void seatAnnounced(uint32_t seatCapabilities);

private:
    void readEvents();
    void fail();

    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    Globals globals;
    OutputInfo outputState;
    uint32_t capabilities = 0;
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace wendrel
