#include "StrokeTrail.h"

#include "KeyboardView.h"
#include "TypingSession.h"

namespace wendrel {

void followStrokes(KeyboardView &view, const TypingSession &typing, const SessionClock &clock)
{
    view.setTrailClock(&clock);
    QObject::connect(&typing, &TypingSession::strokeChanged, &view, [&view, &typing] {
        const WordStroke &stroke = typing.wordStroke();
        if (!stroke.isStroke()) {
            view.endTrail();
            return;
        }
        QList<TrailPoint> trail;
        for (const WordStroke::Point &p : stroke.points())
            trail.append({p.point, p.time});
        view.setTrail(trail);
    });
}

} // namespace wendrel
