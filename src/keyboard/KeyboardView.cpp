#include "KeyboardView.h"

#include "KeyboardViewAccessible.h"

#include <QAccessible>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointingDevice>
#include <QTimer>
#include <QTouchEvent>
#include <algorithm>
#include <cmath>

namespace wendrel {

namespace {

QColor toColor(Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace

KeyboardView::KeyboardView(QWidget *parent) : QWidget(parent)
{
    Q_ASSERT(keyTable().size() == rects.size());
    installKeyboardViewAccessibility();
    // The text area keeps the focus: a key never takes it.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);
    // Every pixel is painted here (keys and the window's background between them).
    setAttribute(Qt::WA_OpaquePaintEvent);
    setScaledLayout(ScaledLayout());
}

KeyboardView::~KeyboardView() = default;

void KeyboardView::setLookSource(LookSource source)
{
    lookSource = std::move(source);
    update();
}

KeyLook KeyboardView::look(int keyIndex) const
{
    if (lookSource)
        return lookSource(keyIndex);
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    return KeyLook{keyCaption(key, false, false, false), key.face, false};
}

void KeyboardView::setScaledLayout(const ScaledLayout &scaledLayout)
{
    layout = scaledLayout;
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i)
        rects[i] = layout.rect(table[i].rect);
    faceCache.clear();
    updateGeometry();
    update();
}

QSize KeyboardView::sizeHint() const
{
    return layout.size() + QSize(layout.origin().x(), layout.origin().y());
}

QRect KeyboardView::keyRect(int keyIndex) const
{
    return rects[size_t(keyIndex)];
}

int KeyboardView::keyAt(QPoint point) const
{
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].contains(point))
            return int(i);
    }
    return -1;
}

QPointF KeyboardView::toLayout(QPointF point) const
{
    return (point - QPointF(layout.origin())) / layout.scale();
}

QPointF KeyboardView::fromLayout(QPointF layoutPoint) const
{
    return layoutPoint * layout.scale() + QPointF(layout.origin());
}

// --- Painting -------------------------------------------------------------------------------

void KeyboardView::updateKeys(const QList<int> &keyIndexes)
{
    for (int index : keyIndexes) {
        if (index >= 0 && size_t(index) < rects.size())
            update(rects[size_t(index)]);
    }
    announceCaptions(keyIndexes);
}

namespace {
// A repaint of this many keys or fewer draws them from the cache of faces; a larger one (the
// first picture, a relabelling) draws them directly.
constexpr int cachedRepaintKeys = 4;
constexpr qsizetype faceCacheSize = 48;
} // namespace

void KeyboardView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRegion &region = event->region();
    std::array<int, 66> keys;
    int count = 0;
    for (size_t i = 0; i < rects.size(); ++i) {
        if (region.intersects(rects[i]))
            keys[size_t(count++)] = int(i);
    }
    // The window's background between the keys (not under a key repainted on its own).
    if (count != 1 || !rects[size_t(keys[0])].contains(event->rect()))
        painter.fillRect(event->rect(), toColor(backgroundColour));
    painter.setFont(font());
    // Faces are kept in whole device pixels only.
    const qreal ratio = devicePixelRatioF();
    const bool fromCache = count <= cachedRepaintKeys && ratio == std::floor(ratio);
    for (int n = 0; n < count; ++n) {
        const int key = keys[size_t(n)];
        const KeyLook current = look(key);
        if (fromCache)
            paintKeyFromCache(painter, key, current, key == down);
        else
            paintFace(painter, rects[size_t(key)], current.caption, current.face, current.defaultLook, key == down);
    }
    for (const ViewCell &cell : std::as_const(overCells)) {
        const QRect rect = cellRect(cell);
        if (region.intersects(rect))
            paintFace(painter, rect, cell.text, cell.face, cell.defaultLook, false);
    }
    if (trailPoints.size() >= 2 && region.intersects(trailBounds()))
        paintTrail(painter);
}

// --- The trail of a stroke ------------------------------------------------------------------

qint64 KeyboardView::trailNow() const
{
    if (trailClock)
        return trailClock->now();
    return trailPoints.isEmpty() ? 0 : trailPoints.back().time;
}

double KeyboardView::trailStrength(qint64 now) const
{
    if (!trailEnded)
        return 1.0;
    return std::clamp(1.0 - double(now - *trailEnded) / trailEndMs, 0.0, 1.0);
}

bool KeyboardView::pruneTrail(qint64 now)
{
    // A piece is as old as its newer end; what has faded out goes, from the older end.
    qsizetype first = 0;
    while (first + 1 < trailPoints.size() && now - trailPoints[first + 1].time >= trailFadeMs)
        ++first;
    trailPoints.remove(0, first);
    if (trailPoints.size() < 2 || trailStrength(now) <= 0.0) {
        trailPoints.clear();
        trailEnded.reset();
        return false;
    }
    return true;
}

void KeyboardView::setTrail(const QList<TrailPoint> &points)
{
    const QRect before = trailBounds();
    trailPoints = points;
    trailEnded.reset();
    const bool shown = pruneTrail(trailNow());
    update(before.united(trailBounds()));
    emit trailChanged();
    runTrailFrames(shown && trailClock);
}

void KeyboardView::runTrailFrames(bool run)
{
    if (run && !trailTimer) {
        trailTimer = new QTimer(this);
        trailTimer->setInterval(trailFrameMs);
        connect(trailTimer, &QTimer::timeout, this, &KeyboardView::trailFrame);
    }
    if (run && !trailTimer->isActive())
        trailTimer->start();
    else if (!run && trailTimer)
        trailTimer->stop();
}

void KeyboardView::endTrail()
{
    if (trailPoints.isEmpty() || trailEnded)
        return;
    if (!trailClock) {
        setTrail({});
        return;
    }
    trailEnded = trailClock->now();
    trailFrame();
}

void KeyboardView::trailFrame()
{
    const QRect before = trailBounds();
    const bool shown = pruneTrail(trailNow());
    update(before);
    emit trailChanged();
    runTrailFrames(shown && trailClock);
}

bool KeyboardView::isTrailFading() const
{
    return trailTimer && trailTimer->isActive();
}

QRect KeyboardView::trailBounds() const
{
    if (trailPoints.size() < 2)
        return {};
    QRectF bounds(fromLayout(trailPoints.front().layoutPoint), QSizeF(0, 0));
    for (const TrailPoint &p : trailPoints)
        bounds = bounds.united(QRectF(fromLayout(p.layoutPoint), QSizeF(0.01, 0.01)));
    const int margin = int(std::ceil(3 * layout.scale())) + 2;
    return bounds.toAlignedRect().adjusted(-margin, -margin, margin, margin);
}

// A line of the lit colour, two layout pixels wide so that the captions under it stay readable,
// each piece the fainter the older it is.
void KeyboardView::paintTrail(QPainter &painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qint64 now = trailNow();
    const double strength = trailStrength(now);
    if (strength <= 0.0) {
        painter.restore();
        return;
    }
    QColor colour = toColor(litColour);
    for (qsizetype i = 1; i < trailPoints.size(); ++i) {
        const double age = double(now - trailPoints[i].time) / trailFadeMs;
        if (age >= 1)
            continue;
        colour.setAlphaF(float(strength * (0.9 * (1 - std::max(age, 0.0)) + 0.05)));
        painter.setPen(QPen(colour, std::max(1.5, 2 * layout.scale()), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(fromLayout(trailPoints[i - 1].layoutPoint), fromLayout(trailPoints[i].layoutPoint));
    }
    painter.restore();
}

// A key as a push button of the Fusion style's palette looks here: its face (darker while
// pressed), a frame a shade darker than the face, the default-button frame inside it, and the
// caption centred (clipped to the key). It is drawn in the key's own coordinates and, where a
// logical pixel is not one device pixel, clipped to the key, as a button draws itself, so that
// every line falls on the same device pixels.
void KeyboardView::paintFace(QPainter &painter, const QRect &rect, const QString &text, Rgb rgb, bool defaultLook,
                             bool isDown) const
{
    const QColor face = toColor(rgb);
    const QRect area(QPoint(), rect.size());
    const bool clip = painter.device()->devicePixelRatioF() != 1;
    if (clip) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    painter.translate(rect.topLeft());
    painter.fillRect(area, isDown ? face.darker(115) : face);
    painter.setPen(face.darker(170));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    if (defaultLook) {
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(1, 1, -2, -2));
    }
    painter.setPen(palette().buttonText().color());
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text);
    if (clip)
        painter.restore();
    else
        painter.translate(-rect.topLeft());
}

void KeyboardView::paintKeyFromCache(QPainter &painter, int keyIndex, const KeyLook &current, bool isDown)
{
    const QRect &rect = rects[size_t(keyIndex)];
    const qreal ratio = devicePixelRatioF();
    ++paintCount;
    auto same = [&](const CachedFace &face) {
        return face.key == keyIndex && face.isDown == isDown && face.image.devicePixelRatio() == ratio
            && face.look.face == current.face
            && face.look.defaultLook == current.defaultLook && face.look.caption == current.caption;
    };
    auto found = std::find_if(faceCache.begin(), faceCache.end(), same);
    if (found == faceCache.end()) {
        // Drawn as on the widget: an opaque image of the key's size in device pixels.
        QImage image(rect.size() * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        QPainter facePainter(&image);
        facePainter.setFont(font());
        paintFace(facePainter, QRect(QPoint(), rect.size()), current.caption, current.face, current.defaultLook,
                  isDown);
        facePainter.end();
        if (faceCache.size() >= faceCacheSize) {
            faceCache.erase(std::min_element(faceCache.begin(), faceCache.end(),
                                             [](const CachedFace &a, const CachedFace &b) { return a.lastUse < b.lastUse; }));
        }
        faceCache.append(CachedFace{keyIndex, current, isDown, std::move(image), 0});
        found = faceCache.end() - 1;
    }
    found->lastUse = paintCount;
    painter.drawImage(rect.topLeft(), found->image);
}

void KeyboardView::changeEvent(QEvent *event)
{
    // Faces drawn with another font or palette are stale (the pixel ratio is part of each face).
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange
        || event->type() == QEvent::StyleChange)
        faceCache.clear();
    QWidget::changeEvent(event);
}

void KeyboardView::setCells(const QList<ViewCell> &cells)
{
    update(cellsBounds());
    overCells = cells;
    update(cellsBounds());
}

QRect KeyboardView::cellRect(const ViewCell &cell) const
{
    const QRectF &r = cell.layoutRect;
    const QPointF topLeft = fromLayout(r.topLeft()), bottomRight = fromLayout(r.bottomRight());
    return QRect(QPoint(qRound(topLeft.x()), qRound(topLeft.y())),
                 QPoint(qRound(bottomRight.x()) - 1, qRound(bottomRight.y()) - 1));
}

QRect KeyboardView::cellsBounds() const
{
    QRect bounds;
    for (const ViewCell &cell : overCells)
        bounds |= cellRect(cell);
    return bounds;
}

// --- Input ----------------------------------------------------------------------------------

bool KeyboardView::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        touchEvent(static_cast<QTouchEvent *>(event));
        return true;
    default:
        return QWidget::event(event);
    }
}

// One finger at a time types, as with a mouse: the first finger down is followed until it
// lifts; other fingers are ignored.
void KeyboardView::touchEvent(QTouchEvent *event)
{
    touchSeen = true;
    event->accept();
    if (event->type() == QEvent::TouchCancel) {
        if (touchId >= 0) {
            touchId = -1;
            pointerDown = false;
            pressedKey = -1;
            setDown(-1);
            emit cancelled();
        }
        return;
    }
    for (const QEventPoint &point : event->points()) {
        if (touchId < 0 && point.state() == QEventPoint::Pressed && !pointerDown) {
            touchId = point.id();
            pointerPressed(point.position());
        } else if (point.id() == touchId) {
            if (point.state() == QEventPoint::Released) {
                touchId = -1;
                pointerReleased(point.position());
            } else if (point.state() == QEventPoint::Updated) {
                pointerMoved(point.position());
            }
        }
    }
}

// A mouse event that the system or Qt made from a touch this view has already handled
// would count the touch twice. Before any touch arrives such events are all there is, and
// they are used.
bool KeyboardView::ignoresMouse(const QMouseEvent *event) const
{
    if (event->button() != Qt::LeftButton && event->type() != QEvent::MouseMove)
        return true;
    const bool fromTouch = event->source() != Qt::MouseEventNotSynthesized
        || (event->pointingDevice() && event->pointingDevice()->type() == QInputDevice::DeviceType::TouchScreen);
    return (fromTouch && touchSeen) || touchId >= 0;
}

void KeyboardView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (ignoresMouse(event) || pointerDown)
        return;
    pointerPressed(event->position());
}

void KeyboardView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (ignoresMouse(event) || !pointerDown || touchId >= 0)
        return;
    pointerMoved(event->position());
}

void KeyboardView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (ignoresMouse(event) || !pointerDown || touchId >= 0)
        return;
    pointerReleased(event->position());
}

void KeyboardView::pointerPressed(QPointF point)
{
    pointerDown = true;
    pressedKey = keyAt(point.toPoint());
    setDown(pressedKey);
    emit pressed(toLayout(point));
}

void KeyboardView::pointerMoved(QPointF point)
{
    // As a push button does: the pressed key looks pressed while the pointer is on it.
    setDown(pressedKey >= 0 && rects[size_t(pressedKey)].contains(point.toPoint()) ? pressedKey : -1);
    emit moved(toLayout(point));
}

void KeyboardView::pointerReleased(QPointF point)
{
    pointerDown = false;
    pressedKey = -1;
    setDown(-1);
    emit released(toLayout(point));
}

void KeyboardView::hideEvent(QHideEvent *event)
{
    // A hidden widget gets no release: the press ends here.
    if (pointerDown) {
        pointerDown = false;
        touchId = -1;
        pressedKey = -1;
        down = -1;
        emit cancelled();
    }
    QWidget::hideEvent(event);
}

void KeyboardView::setDown(int keyIndex)
{
    if (keyIndex == down)
        return;
    const int before = down;
    down = keyIndex;
    updateKeys({before, keyIndex});
}

void KeyboardView::requestTap(int keyIndex)
{
    if (keyIndex < 0 || size_t(keyIndex) >= rects.size())
        return;
    QMetaObject::invokeMethod(this, [this, keyIndex] { emit keyTapped(keyIndex); }, Qt::QueuedConnection);
}

// --- Accessibility --------------------------------------------------------------------------

void KeyboardView::setCaptionSource(std::function<QString(int keyIndex)> source)
{
    captionSource = std::move(source);
}

QString KeyboardView::currentCaption(int keyIndex) const
{
    return captionSource ? captionSource(keyIndex) : look(keyIndex).caption;
}

QString KeyboardView::accessibleCaption(int keyIndex) const
{
    QString caption = currentCaption(keyIndex);
    spokenCaptions[size_t(keyIndex)] = caption;
    return caption;
}

// Screen readers hear of a caption that changed since they last read it; a key they have
// not read yet is read with its current caption when they come to it.
void KeyboardView::announceCaptions(const QList<int> &keyIndexes)
{
    for (int index : keyIndexes) {
        if (index < 0 || size_t(index) >= rects.size() || !spokenCaptions[size_t(index)])
            continue;
        const QString caption = currentCaption(index);
        if (caption == *spokenCaptions[size_t(index)])
            continue;
        spokenCaptions[size_t(index)] = caption;
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(this);
        if (QAccessibleInterface *key = view ? view->child(index) : nullptr) {
            QAccessibleEvent changed(key, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&changed);
        }
    }
}

} // namespace wendrel
