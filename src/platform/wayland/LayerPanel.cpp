#include "LayerPanel.h"

#include "WaylandConnection.h"
#include "LayerShellProtocol.h"

#include <QApplication>
#include <QChildEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cerrno>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace wendrel {

namespace {

LayerPanel *self(void *data) { return static_cast<LayerPanel *>(data); }

const zwlr_layer_surface_v1_listener layerListener = {
    [](void *data, zwlr_layer_surface_v1 *surface, uint32_t serial, uint32_t width, uint32_t height) {
        self(data)->configure(surface, serial, width, height);
    },
    [](void *data, zwlr_layer_surface_v1 *) { self(data)->surfaceClosed(); },
};

const wl_buffer_listener bufferListener = {
    [](void *data, wl_buffer *buffer) { self(data)->bufferReleased(buffer); },
};

const wl_pointer_listener pointerListener = {
    [](void *data, wl_pointer *, uint32_t, wl_surface *surface, wl_fixed_t x, wl_fixed_t y) {
        self(data)->pointerEnter(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void *data, wl_pointer *, uint32_t, wl_surface *) { self(data)->pointerLeave(); },
    [](void *data, wl_pointer *, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        self(data)->pointerMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void *data, wl_pointer *, uint32_t, uint32_t, uint32_t button, uint32_t state) {
        self(data)->pointerButton(button, state);
    },
    [](void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {},
    [](void *, wl_pointer *) {},
    [](void *, wl_pointer *, uint32_t) {},
    [](void *, wl_pointer *, uint32_t, uint32_t) {},
    [](void *, wl_pointer *, uint32_t, int32_t) {},
#ifdef WL_POINTER_AXIS_VALUE120_SINCE_VERSION
    [](void *, wl_pointer *, uint32_t, int32_t) {},
#endif
};

const wl_touch_listener touchListener = {
    [](void *data, wl_touch *, uint32_t, uint32_t, wl_surface *surface, int32_t id, wl_fixed_t x, wl_fixed_t y) {
        self(data)->touchDown(surface, id, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void *data, wl_touch *, uint32_t, uint32_t, int32_t id) { self(data)->touchUp(id); },
    [](void *data, wl_touch *, uint32_t, int32_t id, wl_fixed_t x, wl_fixed_t y) {
        self(data)->touchMotion(id, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void *, wl_touch *) {},
    [](void *data, wl_touch *) { self(data)->touchCancel(); },
    [](void *, wl_touch *, int32_t, wl_fixed_t, wl_fixed_t) {},
    [](void *, wl_touch *, int32_t, wl_fixed_t) {},
};

} // namespace

LayerPanel::LayerPanel(WaylandConnection &connection, QWidget *content, QObject *parent)
    : QObject(parent), connection(connection), content(content)
{
    repaintTimer.setSingleShot(true);
    repaintTimer.setInterval(0);
    connect(&repaintTimer, &QTimer::timeout, this, &LayerPanel::repaint);
    connect(&connection, &WaylandConnection::outputChanged, this, [this] {
        updateGeometry();
        if (layerSurface) {
            zwlr_layer_surface_v1_set_size(layerSurface, 0, uint32_t(panelGeometry.window.height()));
            zwlr_layer_surface_v1_set_exclusive_zone(layerSurface, panelGeometry.window.height());
            wl_surface_commit(surface);
        }
    });
    updateGeometry();
    // Qt lays the widget out and sends it events, but never maps a window for it.
    content->setAttribute(Qt::WA_DontShowOnScreen);
    if (!content->isVisible()) {
        content->resize(panelGeometry.window.size());
        content->show();
    }
    watchTree(content);
    connect(&connection, &WaylandConnection::seatCapabilitiesChanged, this, &LayerPanel::seatCapabilities);
    seatCapabilities(connection.seatCapabilities());
}

LayerPanel::~LayerPanel()
{
    hide();
    for (Buffer &buffer : buffers)
        destroyBuffer(buffer);
    if (pointer)
        wl_pointer_release(pointer);
    if (touch)
        wl_touch_release(touch);
    connection.flush();
}

void LayerPanel::updateGeometry()
{
    const OutputInfo &output = connection.outputInfo();
    panelGeometry = PanelGeometry::forScreen(QRect(0, 0, output.logicalWidth(), output.logicalHeight()));
    if (content && panelGeometry.window.width() > 0 && !content->isVisible())
        content->resize(panelGeometry.window.size());
}

void LayerPanel::show()
{
    if (layerSurface || !connection.layerShell())
        return;
    surface = wl_compositor_create_surface(connection.compositor());
    layerSurface = zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface, connection.output(),
                                                          ZWLR_LAYER_SHELL_V1_LAYER_TOP, "wendrel-keyboard");
    zwlr_layer_surface_v1_add_listener(layerSurface, &layerListener, this);
    zwlr_layer_surface_v1_set_anchor(layerSurface, ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM
                                                       | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT
                                                       | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layerSurface, 0, uint32_t(panelGeometry.window.height()));
    zwlr_layer_surface_v1_set_exclusive_zone(layerSurface, panelGeometry.window.height());
    zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface, 0);
    wl_surface_commit(surface); // the first commit, without a buffer: the compositor configures
    configured = false;
    paintedOnce = false;
    connection.flush();
}

void LayerPanel::hide()
{
    if (!layerSurface)
        return;
    // A press on the panel ends without a tap.
    if (grabbed || buttonDown || touchId >= 0) {
        buttonDown = false;
        touchId = -1;
        if (content)
            content->hide(), content->show(); // the views cancel a press when hidden
        grabbed = nullptr;
    }
    zwlr_layer_surface_v1_destroy(layerSurface);
    wl_surface_destroy(surface);
    layerSurface = nullptr;
    surface = nullptr;
    configured = false;
    pointerInside = false;
    connection.flush();
}

void LayerPanel::configure(zwlr_layer_surface_v1 *which, uint32_t serial, uint32_t width, uint32_t height)
{
    if (which != layerSurface)
        return;
    zwlr_layer_surface_v1_ack_configure(layerSurface, serial);
    surfaceWidth = width ? int(width) : panelGeometry.window.width();
    surfaceHeight = height ? int(height) : panelGeometry.window.height();
    if (content && content->size() != QSize(surfaceWidth, surfaceHeight))
        content->resize(surfaceWidth, surfaceHeight);
    configured = true;
    repaint();
}

void LayerPanel::surfaceClosed()
{
    hide();
    emit closed();
}

void LayerPanel::scheduleRepaint()
{
    if (layerSurface && !rendering && !repaintTimer.isActive())
        repaintTimer.start();
}

void LayerPanel::repaint()
{
    if (!layerSurface || !configured || !content)
        return;
    const int scale = connection.outputInfo().scale;
    Buffer *buffer = freeBuffer(surfaceWidth * scale, surfaceHeight * scale);
    if (!buffer) {
        repaintPending = true; // painted when the compositor gives a buffer back
        return;
    }
    repaintPending = false;
    {
        QImage image(static_cast<uchar *>(buffer->memory), buffer->width, buffer->height, buffer->width * 4,
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.scale(scale, scale);
        rendering = true;
        content->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        rendering = false;
    }
    wl_surface_set_buffer_scale(surface, scale);
    wl_surface_attach(surface, buffer->buffer, 0, 0);
    wl_surface_damage_buffer(surface, 0, 0, buffer->width, buffer->height);
    wl_surface_commit(surface);
    buffer->busy = true;
    connection.flush();
    if (!paintedOnce) {
        paintedOnce = true;
        emit painted();
    }
}

LayerPanel::Buffer *LayerPanel::freeBuffer(int width, int height)
{
    for (Buffer &buffer : buffers) {
        if (buffer.busy)
            continue;
        if (buffer.buffer && (buffer.width != width || buffer.height != height))
            destroyBuffer(buffer);
        if (!buffer.buffer) {
            const size_t size = size_t(width) * size_t(height) * 4;
            const int fd = memfd_create("wendrel-panel", MFD_CLOEXEC);
            if (fd < 0)
                return nullptr;
            if (ftruncate(fd, off_t(size)) < 0) {
                close(fd);
                return nullptr;
            }
            void *memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (memory == MAP_FAILED) {
                close(fd);
                return nullptr;
            }
            wl_shm_pool *pool = wl_shm_create_pool(connection.shm(), fd, int(size));
            buffer.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_ARGB8888);
            wl_shm_pool_destroy(pool);
            close(fd);
            wl_buffer_add_listener(buffer.buffer, &bufferListener, this);
            buffer.memory = memory;
            buffer.size = size;
            buffer.width = width;
            buffer.height = height;
        }
        return &buffer;
    }
    return nullptr;
}

void LayerPanel::destroyBuffer(Buffer &buffer)
{
    if (buffer.buffer)
        wl_buffer_destroy(buffer.buffer);
    if (buffer.memory)
        munmap(buffer.memory, buffer.size);
    buffer = Buffer{};
}

void LayerPanel::bufferReleased(wl_buffer *released)
{
    for (Buffer &buffer : buffers) {
        if (buffer.buffer == released)
            buffer.busy = false;
    }
    if (repaintPending)
        scheduleRepaint();
}

// --- Input ---------------------------------------------------------------------------------

void LayerPanel::seatCapabilities(uint32_t capabilities)
{
    const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool hasTouch = capabilities & WL_SEAT_CAPABILITY_TOUCH;
    if (hasPointer && !pointer) {
        pointer = wl_seat_get_pointer(connection.seat());
        wl_pointer_add_listener(pointer, &pointerListener, this);
    } else if (!hasPointer && pointer) {
        wl_pointer_release(pointer);
        pointer = nullptr;
    }
    if (hasTouch && !touch) {
        touch = wl_seat_get_touch(connection.seat());
        wl_touch_add_listener(touch, &touchListener, this);
    } else if (!hasTouch && touch) {
        wl_touch_release(touch);
        touch = nullptr;
    }
}

void LayerPanel::pointerEnter(wl_surface *entered, double x, double y)
{
    pointerInside = surface && entered == surface;
    pointerAt = QPointF(x, y);
}

void LayerPanel::pointerLeave()
{
    pointerInside = false;
    // A button held while the pointer leaves: the press goes on until the release, which the
    // compositor still sends here (an implicit grab).
}

void LayerPanel::pointerMotion(double x, double y)
{
    if (!pointerInside && !buttonDown)
        return;
    pointerAt = QPointF(x, y);
    if (buttonDown)
        sendMouse(QEvent::MouseMove, pointerAt);
}

void LayerPanel::pointerButton(uint32_t button, uint32_t state)
{
    if (button != BTN_LEFT)
        return;
    if (state == WL_POINTER_BUTTON_STATE_PRESSED && pointerInside && !buttonDown && touchId < 0) {
        buttonDown = true;
        sendMouse(QEvent::MouseButtonPress, pointerAt);
    } else if (state == WL_POINTER_BUTTON_STATE_RELEASED && buttonDown) {
        buttonDown = false;
        sendMouse(QEvent::MouseButtonRelease, pointerAt);
    }
}

void LayerPanel::touchDown(wl_surface *touched, int id, double x, double y)
{
    if (!surface || touched != surface || touchId >= 0 || buttonDown)
        return; // the first finger only
    touchId = id;
    sendMouse(QEvent::MouseButtonPress, QPointF(x, y));
    pointerAt = QPointF(x, y);
}

void LayerPanel::touchMotion(int id, double x, double y)
{
    if (id != touchId)
        return;
    pointerAt = QPointF(x, y);
    sendMouse(QEvent::MouseMove, pointerAt);
}

void LayerPanel::touchUp(int id)
{
    if (id != touchId)
        return;
    touchId = -1;
    sendMouse(QEvent::MouseButtonRelease, pointerAt);
}

void LayerPanel::touchCancel()
{
    if (touchId < 0)
        return;
    touchId = -1;
    if (content)
        content->hide(), content->show(); // the views end the press without a tap
    grabbed = nullptr;
}

// The press goes to the widget under it, the moves and the release to the same widget, as Qt's
// own implicit grab does, in that widget's coordinates.
void LayerPanel::sendMouse(QEvent::Type type, QPointF point)
{
    if (!content)
        return;
    if (type == QEvent::MouseButtonPress) {
        QWidget *target = content->childAt(point.toPoint());
        grabbed = target ? target : content.data();
    }
    QWidget *target = grabbed;
    if (!target)
        return;
    const QPointF local = target->mapFrom(content, point);
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, local, point, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    if (type == QEvent::MouseButtonRelease)
        grabbed = nullptr;
    scheduleRepaint();
}

// The panel is painted again whenever Qt would have painted one of its widgets.
void LayerPanel::watchTree(QObject *object)
{
    object->installEventFilter(this);
    for (QObject *child : object->children())
        watchTree(child);
}

bool LayerPanel::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (QObject *child = static_cast<QChildEvent *>(event)->child(); child && child->isWidgetType())
            watchTree(child);
        break;
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
    case QEvent::Paint:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched->isWidgetType())
            scheduleRepaint();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace wendrel
