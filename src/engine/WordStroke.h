#pragma once
// One touch as a word gesture: a press on a letter key whose path leaves the key and reaches
// another letter key is a stroke through a word's letters, not a tap. Taps, a finger that
// jitters on its key or across its edge (it moves less than half a key), a hold that opens the
// key's popup and touches that begin on other keys (the slide on Space, a held BackSpace) are
// not. Keeps the stroke's points with their times, for the decoder and for the trail a view
// draws over the keys. Layout coordinates; no widgets.
#include <QList>
#include <QPointF>

namespace wendrel {

class WordStroke {
public:
    struct Point {
        QPointF point;
        qint64 time = 0;
    };

    // How far (layout pixels) the finger must have gone from its press before another letter
    // key counts: half a letter key's width.
    static constexpr double minTravel = 12.0;

    // A touch began; it may become a stroke only when it began on a letter key (letterKey)
    // while strokes are wanted.
    void press(QPointF point, qint64 time, int key, bool letterKey);
    // The finger moved, onto key (-1: none; letterKey: whether it is a letter key). True when
    // the stroke's points changed in a way a view shows (the touch is a stroke).
    bool move(QPointF point, qint64 time, int key, bool letterKey);
    // The finger was lifted here: the last point of a stroke.
    void release(QPointF point, qint64 time);
    // The touch can no longer be a stroke (its key's popup opened, the touch was taken away).
    void cancel();
    void clear() { cancel(); }

    // The touch has become a word gesture.
    bool isStroke() const { return stroke; }
    // A touch that may still become a stroke, or is one.
    bool isTracking() const { return tracking; }
    const QList<Point> &points() const { return path; }
    QList<QPointF> pointsOnly() const;

private:
    bool tracking = false;
    bool stroke = false;
    int startKey = -1;
    QList<Point> path;
};

} // namespace wendrel
