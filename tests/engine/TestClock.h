#pragma once
// A clock the test moves by hand: advance() fires what falls due, in time order, each callback
// seeing now() at its own due time.
#include "SessionClock.h"

#include <map>
#include <utility>

namespace wendrel {

class TestClock : public SessionClock {
public:
    qint64 now() const override { return time; }
    int callAfter(int ms, std::function<void()> callback) override
    {
        const int id = nextId++;
        due.emplace(std::pair(time + ms, id), std::move(callback));
        return id;
    }
    void cancel(int id) override
    {
        for (auto it = due.begin(); it != due.end(); ++it) {
            if (it->first.second == id) {
                due.erase(it);
                return;
            }
        }
    }
    void advance(qint64 ms)
    {
        const qint64 end = time + ms;
        while (!due.empty() && due.begin()->first.first <= end) {
            auto first = due.begin();
            time = first->first.first;
            auto callback = std::move(first->second);
            due.erase(first);
            callback();
        }
        time = end;
    }
    size_t pending() const { return due.size(); }

private:
    qint64 time = 0;
    int nextId = 1;
    std::map<std::pair<qint64, int>, std::function<void()>> due;
};

} // namespace wendrel
