#include "KeyGestures.h"

#include <cmath>

namespace wendrel {

namespace {

QRectF keyRectF(int key)
{
    const KeyRect &r = keyTable()[size_t(key)].rect;
    return QRectF(r.x, r.y, r.width, r.height);
}

} // namespace

KeyGestures::KeyGestures(SessionClock &clock, KeyGestureHost &host, GestureTimings timings)
    : clock(clock), host(host), times(timings)
{
}

KeyGestures::~KeyGestures()
{
    stopTimer();
}

void KeyGestures::press(QPointF point)
{
    abandon();
    key = host.keyAt(point);
    pressPoint = lastPoint = point;
    const TouchKind kind = key < 0 ? TouchKind::Plain : host.touchKind(key);
    switch (kind) {
    case TouchKind::Repeating:
        phase = Phase::Deleting;
        deletions = 1;
        if (host.deleteBackward(DeleteStep::First) && phase == Phase::Deleting)
            schedule(times.holdMs, &KeyGestures::repeatDeletion);
        break;
    case TouchKind::Alternates:
        phase = Phase::Holding;
        schedule(times.holdMs, &KeyGestures::openPopup);
        break;
    case TouchKind::CaretSlide:
        phase = Phase::SpaceDown;
        slideSteps = 0;
        break;
    case TouchKind::Plain:
        phase = Phase::Tapping;
        break;
    }
}

void KeyGestures::move(QPointF point)
{
    lastPoint = point;
    switch (phase) {
    case Phase::Holding:
        // Moving off the key before the popup opens makes the touch an ordinary one.
        if (host.keyAt(point) != key) {
            stopTimer();
            phase = Phase::Tapping;
        }
        break;
    case Phase::PopupOpen: {
        const int under = popupCellAt(cells, point);
        if (under != chosen) {
            chosen = under;
            host.popupChanged();
        }
        break;
    }
    case Phase::SpaceDown:
    case Phase::Sliding:
        slideTo(point);
        break;
    default:
        break;
    }
}

void KeyGestures::release(QPointF point)
{
    if (phase == Phase::Idle)
        return;
    lastPoint = point;
    finish(point);
}

void KeyGestures::cancel()
{
    stopTimer();
    const bool hadPopup = !cells.isEmpty();
    cells.clear();
    chosen = -1;
    phase = Phase::Idle;
    if (hadPopup)
        host.popupChanged();
}

void KeyGestures::abandon()
{
    if (phase == Phase::Idle)
        return;
    stopTimer();
    const Phase ended = phase;
    phase = Phase::Idle;
    if (!cells.isEmpty())
        closePopup();
    if (ended == Phase::Deleting)
        host.deletionEnded();
    else if (ended == Phase::Sliding)
        host.caretSlideEnded();
}

void KeyGestures::finish(QPointF point)
{
    stopTimer();
    const Phase ended = phase;
    phase = Phase::Idle;
    switch (ended) {
    case Phase::Idle:
        break;
    case Phase::Tapping:
    case Phase::Holding:
    case Phase::SpaceDown:
        host.tap(pressPoint, point);
        break;
    case Phase::Deleting:
        host.deletionEnded();
        break;
    case Phase::PopupOpen: {
        const int under = popupCellAt(cells, point);
        const QString text = under >= 0 ? cells[under].text : QString();
        closePopup();
        if (under >= 0)
            host.typeAlternate(key, text);
        else
            host.tapKey(key);
        break;
    }
    case Phase::Sliding:
        host.caretSlideEnded();
        break;
    }
}

void KeyGestures::schedule(int ms, void (KeyGestures::*step)())
{
    stopTimer();
    timer = clock.callAfter(ms, [this, step] {
        timer = -1;
        (this->*step)();
    });
}

void KeyGestures::stopTimer()
{
    if (timer >= 0)
        clock.cancel(timer);
    timer = -1;
}

void KeyGestures::repeatDeletion()
{
    if (phase != Phase::Deleting)
        return;
    const bool words = deletions >= times.charactersBeforeWords;
    ++deletions;
    const bool deleted = host.deleteBackward(words ? DeleteStep::Word : DeleteStep::Character);
    if (deleted && phase == Phase::Deleting)
        schedule(words ? times.wordRepeatMs : times.repeatMs, &KeyGestures::repeatDeletion);
}

void KeyGestures::openPopup()
{
    if (phase != Phase::Holding)
        return;
    const QStringList texts = host.alternates(key);
    if (texts.isEmpty()) {
        phase = Phase::Tapping;
        return;
    }
    const QList<QRectF> rects = popupCellRects(keyRectF(key), int(texts.size()), popupBounds);
    cells.clear();
    for (qsizetype i = 0; i < texts.size(); ++i)
        cells.append({texts[i], rects[i]});
    chosen = popupCellAt(cells, lastPoint);
    phase = Phase::PopupOpen;
    host.popupChanged();
}

void KeyGestures::closePopup()
{
    cells.clear();
    chosen = -1;
    host.popupChanged();
}

void KeyGestures::slideTo(QPointF point)
{
    // Whole steps from the press point, rounded towards it, so that a finger trembling near it
    // moves nothing, and a finger back where it began puts the caret back where it was.
    const int steps = int(std::trunc((point.x() - pressPoint.x()) / times.slideStep));
    if (phase == Phase::SpaceDown && steps == 0)
        return;
    phase = Phase::Sliding;
    if (steps != slideSteps) {
        slideSteps = steps;
        host.slideCaret(steps);
    }
}

} // namespace wendrel
