#pragma once
// The 66 keys drawn by one widget. It paints every key from the key table and from what a look
// source answers when the key is painted (caption, face colour, the default-button look), repaints
// only the keys it is told have changed, and reports mouse and touch input as presses, moves and
// releases at points of the 240 x 320 layout. What a key does is decided elsewhere.
#include "KeyTable.h"
#include "ScaledLayout.h"
#include "SessionClock.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QTimer;
class QTouchEvent;

namespace wendrel {

// How one key looks at this moment.
struct KeyLook {
    QString caption;
    Rgb face;                 // the colour rule's answer: face, mode or lit colour
    bool defaultLook = false; // the frame that a tap gives a key, as the handheld's dialogs did
};

// A cell drawn over the keys, such as an alternate character offered by a long press.
struct ViewCell {
    QString text;
    QRectF layoutRect; // in layout coordinates
    Rgb face;
    bool defaultLook = false;
};

// A point of a stroke's trail: where the finger was, and when (milliseconds, any clock).
struct TrailPoint {
    QPointF layoutPoint;
    qint64 time = 0;
};

class KeyboardView : public QWidget {
    Q_OBJECT
public:
    using LookSource = std::function<KeyLook(int keyIndex)>;

    explicit KeyboardView(QWidget *parent = nullptr);
    ~KeyboardView() override;

    // Asked for a key's look whenever the key is painted (so a colour rule runs at paint time,
    // as it always has) and for its caption when a screen reader reads it. Without a source the
    // keys show the key table's first captions and face colours.
    void setLookSource(LookSource source);
    KeyLook look(int keyIndex) const;
    // Where screen readers' names come from, when the look source should be asked only at
    // paint time (its colour rule starts a timer); without it the look source's caption.
    void setCaptionSource(std::function<QString(int keyIndex)> source);

    // Where the 240 x 320 layout lies in this widget's own coordinates. The keys' captions are
    // drawn in the widget's font (see captionFont).
    void setScaledLayout(const ScaledLayout &layout);
    const ScaledLayout &scaledLayout() const { return layout; }

    // Repaints these keys (indexes into keyTable()) and nothing else; captions that changed
    // are announced to screen readers.
    void updateKeys(const QList<int> &keyIndexes);

    // Cells over the keys; an empty list takes them away.
    void setCells(const QList<ViewCell> &cells);
    const QList<ViewCell> &cells() const { return overCells; }

    // The trail of a stroke drawn over the keys: a thin line whose pieces fade as they age, so
    // that what the finger drew trailFadeMs ago is gone even while the finger rests. endTrail()
    // (the finger lifted) fades the whole trail out within trailEndMs; an empty list takes it
    // away at once. While a trail shows, the view repaints it every frame; then no timer runs.
    // The points' times are on the trail clock (the typing session's); without one the trail
    // fades only along its length, from its newest point, and goes at once when it ends.
    static constexpr int trailFadeMs = 400;
    static constexpr int trailEndMs = 250;
    static constexpr int trailFrameMs = 16;
    void setTrailClock(const SessionClock *clock) { trailClock = clock; }
    void setTrail(const QList<TrailPoint> &points);
    void endTrail();
    // The points of the trail still drawn (possibly faded out since the last frame).
    const QList<TrailPoint> &trail() const { return trailPoints; }
    // Whether the frames that fade the trail are running.
    bool isTrailFading() const;

    QRect keyRect(int keyIndex) const;
    // The key drawn at a point of this widget, or -1.
    int keyAt(QPoint point) const;
    QPointF toLayout(QPointF point) const;
    QPointF fromLayout(QPointF layoutPoint) const;
    // The key drawn pressed: the pressed key while the pointer stays on it, else -1.
    int downKey() const { return down; }

    // A tap that comes without a pointer (a screen reader's press action): keyTapped is emitted
    // from the event loop, so the caller (over D-Bus) is answered before the key acts.
    void requestTap(int keyIndex);
    // A key's name for screen readers: its caption now.
    QString accessibleCaption(int keyIndex) const;

    QSize sizeHint() const override;

signals:
    // The pointer (a mouse button or the first finger) at points of the 240 x 320 layout.
    void pressed(QPointF layoutPoint);
    void moved(QPointF layoutPoint);
    void released(QPointF layoutPoint);
    // The window system took the touch away, or the view was hidden during a press: no release follows.
    void cancelled();
    void keyTapped(int keyIndex);
    // The trail changed or faded a step (for a panel that paints the view itself).
    void trailChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void touchEvent(QTouchEvent *event);
    bool ignoresMouse(const QMouseEvent *event) const;
    void pointerPressed(QPointF point);
    void pointerMoved(QPointF point);
    void pointerReleased(QPointF point);
    void setDown(int keyIndex);
    void paintFace(QPainter &painter, const QRect &rect, const QString &text, Rgb face, bool defaultLook,
                   bool isDown) const;
    void paintKeyFromCache(QPainter &painter, int keyIndex, const KeyLook &look, bool isDown);
    void announceCaptions(const QList<int> &keyIndexes);
    QString currentCaption(int keyIndex) const;
    QRect cellRect(const ViewCell &cell) const;
    QRect cellsBounds() const;
    QRect trailBounds() const;
    void paintTrail(QPainter &painter) const;
    qint64 trailNow() const;
    // The trail's strength now, from 1 to 0 (gone) as the stroke's end recedes.
    double trailStrength(qint64 now) const;
    // Drops the pieces faded out by now; true while something is left to draw.
    bool pruneTrail(qint64 now);
    void trailFrame();
    void runTrailFrames(bool run);

    LookSource lookSource;
    std::function<QString(int keyIndex)> captionSource;
    ScaledLayout layout;
    std::array<QRect, 66> rects{};
    QList<ViewCell> overCells;
    QList<TrailPoint> trailPoints;
    const SessionClock *trailClock = nullptr;
    std::optional<qint64> trailEnded; // when the finger lifted
    QTimer *trailTimer = nullptr;
    // Faces of keys as last drawn, so that a key repainted on its own (a tap, the lit colour
    // going) is one copy of pixels instead of a caption laid out again. A few dozen at most.
    struct CachedFace {
        int key;
        KeyLook look;
        bool isDown;
        QImage image;
        quint64 lastUse;
    };
    QList<CachedFace> faceCache;
    quint64 paintCount = 0;
    // The pointer: the key it went down on, the key drawn pressed, and the touch point followed.
    bool pointerDown = false;
    int pressedKey = -1;
    int down = -1;
    int touchId = -1;
    bool touchSeen = false;
    // Captions as screen readers last read them, to tell them of changes.
    mutable std::array<std::optional<QString>, 66> spokenCaptions;
};

} // namespace wendrel
