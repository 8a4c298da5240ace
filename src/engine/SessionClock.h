#pragma once
// The typing session's time. Its timers (the lit key's 65 ms, holds, repeats) run on a clock
// it is given: the window gives real time (QtClock), the command line and the tests a clock
// that moves only when told (ManualClock), so a run takes no real time and is the same every
// time.
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <functional>
#include <map>

namespace wendrel {

class SessionClock {
public:
    virtual ~SessionClock() = default;
    // Milliseconds since the clock started.
    virtual qint64 now() const = 0;
    // Calls callback once, ms milliseconds from now; returns an id for cancel().
    virtual int callAfter(int ms, std::function<void()> callback) = 0;
    // Forgets a call that has not happened yet; an unknown or spent id is ignored.
    virtual void cancel(int id) = 0;
};

// Time moves only by advance(). What falls due runs in the order of its due time (calls due at
// the same time in the order they were asked for), each seeing now() equal to its due time.
class ManualClock : public SessionClock {
public:
    qint64 now() const override { return current; }
    int callAfter(int ms, std::function<void()> callback) override;
    void cancel(int id) override;

    void advance(qint64 ms);
    // Calls not yet due.
    qsizetype pending() const { return qsizetype(calls.size()); }

private:
    struct Due {
        qint64 time;
        int id; // ids grow, so they keep the order of asking among equal times
        bool operator<(const Due &other) const { return time != other.time ? time < other.time : id < other.id; }
    };
    qint64 current = 0;
    int nextId = 1;
    std::map<Due, std::function<void()>> calls;
    QHash<int, qint64> dueTimes; // id -> due time, for cancel
};

// Real time for the window: an elapsed timer and single-shot QTimers (Qt Core only).
class QtClock : public QObject, public SessionClock {
    Q_OBJECT
public:
    explicit QtClock(QObject *parent = nullptr);
    ~QtClock() override;

    qint64 now() const override { return elapsed.elapsed(); }
    int callAfter(int ms, std::function<void()> callback) override;
    void cancel(int id) override;
    bool isPending(int id) const { return timers.contains(id); }

private:
    QElapsedTimer elapsed;
    int nextId = 1;
    QHash<int, QObject *> timers;
};

} // namespace wendrel
