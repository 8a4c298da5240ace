#pragma once
// The typing session's clock: holds, repeats and the lit key run on it, so that tests and
// wendrel-type move time by hand while the window uses real time.
#include <QtGlobal>
#include <functional>

namespace wendrel {

class SessionClock {
public:
    virtual ~SessionClock() = default;
    virtual qint64 now() const = 0; // milliseconds
    // Calls back once, ms from now; the id cancels it.
    virtual int callAfter(int ms, std::function<void()> callback) = 0;
    virtual void cancel(int id) = 0;
};

} // namespace wendrel
