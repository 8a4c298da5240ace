#pragma once
// Keyboard mode's panel on a wlroots compositor: a layer surface anchored to the bottom of the
// output, as wide as it, with an exclusive zone of its height and no keyboard interactivity, so
// it never takes the focus. It shows a widget that Qt never maps (the panel's keys and strip),
// painted into shared-memory buffers at the output's scale, and hands the pointer's and touch
// input on that surface to the widget as mouse presses, moves and releases.
#include "PanelGeometry.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>

struct wl_buffer;
struct wl_callback;
struct wl_pointer;
struct wl_surface;
struct wl_touch;
struct zwlr_layer_surface_v1;

namespace wendrel {

class WaylandConnection;

class LayerPanel : public QObject {
    Q_OBJECT
public:
    // content: the widget shown on the panel; it is resized to the panel and given
    // Qt::WA_DontShowOnScreen, so that Qt lays it out and sends it events without a window.
    LayerPanel(WaylandConnection &connection, QWidget *content, QObject *parent = nullptr);
    ~LayerPanel() override;

    // The panel's size for the output as it is now.
    PanelGeometry geometry() const { return panelGeometry; }
    // Maps or unmaps the layer surface.
    void show();
    void hide();
    bool isShown() const { return layerSurface != nullptr; }
    // The panel's surface has been mapped with its first picture (for tests and benchmarks).
    bool isPainted() const { return paintedOnce; }

    // Paints the widget again at the next chance (its keys or strip changed).
    void scheduleRepaint();

signals:
    // The compositor took the panel away (closed the layer surface).
    void closed();
    // The first picture after show() was handed to the compositor.
    void painted();

public:
    // Called by the C listeners.
    void configure(zwlr_layer_surface_v1 *surface, uint32_t serial, uint32_t width, uint32_t height);
    void surfaceClosed();
    void bufferReleased(wl_buffer *buffer);
    void seatCapabilities(uint32_t capabilities);
    void pointerEnter(wl_surface *surface, double x, double y);
    void pointerLeave();
    void pointerMotion(double x, double y);
    void pointerButton(uint32_t button, uint32_t state);
    void touchDown(wl_surface *surface, int id, double x, double y);
    void touchUp(int id);
    void touchMotion(int id, double x, double y);
    void touchCancel();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Buffer {
        wl_buffer *buffer = nullptr;
        void *memory = nullptr;
        size_t size = 0;
        int width = 0, height = 0; // pixels
        bool busy = false;
    };
    void updateGeometry();
    void repaint();
    Buffer *freeBuffer(int width, int height);
    void destroyBuffer(Buffer &buffer);
    void sendMouse(QEvent::Type type, QPointF point);
    void watchTree(QObject *object);

    WaylandConnection &connection;
    QPointer<QWidget> content;
    PanelGeometry panelGeometry;
    wl_surface *surface = nullptr;
    zwlr_layer_surface_v1 *layerSurface = nullptr;
    bool configured = false;
    bool paintedOnce = false;
    int surfaceWidth = 0, surfaceHeight = 0; // logical
    std::array<Buffer, 2> buffers{};
    QTimer repaintTimer;
    bool repaintPending = false;
    bool rendering = false; // the widget's own paint events during render() ask for nothing
    // Input.
    wl_pointer *pointer = nullptr;
    wl_touch *touch = nullptr;
    bool pointerInside = false;
    bool buttonDown = false;
    QPointF pointerAt;
    int touchId = -1;
    QPointer<QWidget> grabbed; // the widget that got the press gets the moves and the release
};

} // namespace wendrel
