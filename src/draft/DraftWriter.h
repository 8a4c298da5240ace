#pragma once
// Writes the draft on a thread of its own, so that encoding and syncing a long text never
// holds up a tap. Texts handed in while a write runs replace each other: only the latest
// one is written next.
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace wendrel {

class DraftWriter {
public:
    // prepare turns a handed-in text into the text to write, on the writer's thread (work
    // that would otherwise hold up the caller). failed runs on the writer's thread when a write
    // fails after one that did not (once, not at every change of a full disk).
    explicit DraftWriter(QString path, std::function<QString(QString)> prepare = {},
                         std::function<void()> failed = {});
    ~DraftWriter(); // writes what is pending, then stops

    DraftWriter(const DraftWriter &) = delete;
    DraftWriter &operator=(const DraftWriter &) = delete;

    // Returns at once.
    void submit(const QString &text);
    // Waits until every text handed in is written; false when the last write failed.
    bool flush();
    // Texts written so far (for tests and the benchmark).
    int writes() const;

private:
    void run();

    const QString path;
    const std::function<QString(QString)> prepare;
    const std::function<void()> failed;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::optional<QString> pending;
    bool writing = false;
    bool stopping = false;
    bool lastWriteOk = true;
    int written = 0;
    std::thread thread;
};

} // namespace wendrel
