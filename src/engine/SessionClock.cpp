#include "SessionClock.h"

#include <QTimer>

namespace wendrel {

int ManualClock::callAfter(int ms, std::function<void()> callback)
{
    const int id = nextId++;
    const qint64 due = current + std::max(ms, 0);
    calls.emplace(Due{due, id}, std::move(callback));
    dueTimes.insert(id, due);
    return id;
}

void ManualClock::cancel(int id)
{
    const auto found = dueTimes.constFind(id);
    if (found == dueTimes.constEnd())
        return;
    calls.erase(Due{*found, id});
    dueTimes.erase(found);
}

void ManualClock::advance(qint64 ms)
{
    const qint64 target = current + std::max<qint64>(ms, 0);
    // A callback may ask for new calls (or cancel others): take one due call at a time.
    while (!calls.empty() && calls.begin()->first.time <= target) {
        auto first = calls.begin();
        current = first->first.time;
        std::function<void()> callback = std::move(first->second);
        dueTimes.remove(first->first.id);
        calls.erase(first);
        callback();
    }
    current = target;
}

QtClock::QtClock(QObject *parent) : QObject(parent)
{
    elapsed.start();
}

QtClock::~QtClock()
{
    qDeleteAll(timers);
}

int QtClock::callAfter(int ms, std::function<void()> callback)
{
    const int id = nextId++;
    auto *timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, callback = std::move(callback)] {
        // The timer is spent: forget it before the callback, which may ask for the next call.
        if (QObject *spent = timers.take(id))
            spent->deleteLater();
        callback();
    });
    timers.insert(id, timer);
    timer->start(std::max(ms, 0));
    return id;
}

void QtClock::cancel(int id)
{
    if (QObject *timer = timers.take(id))
        delete timer;
}

} // namespace wendrel
