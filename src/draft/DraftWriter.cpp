#include "DraftWriter.h"

#include "TextFile.h"

#include <QDebug>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace wendrel {

DraftWriter::DraftWriter(QString path, std::function<QString(QString)> prepare, std::function<void()> failed)
    : path(std::move(path)), prepare(std::move(prepare)), failed(std::move(failed)), thread([this] { run(); })
{
}

DraftWriter::~DraftWriter()
{
    {
        std::lock_guard guard(mutex);
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

void DraftWriter::submit(const QString &text)
{
    {
        std::lock_guard guard(mutex);
        pending = text;
    }
    wake.notify_one();
}

bool DraftWriter::flush()
{
    std::unique_lock guard(mutex);
    done.wait(guard, [this] { return !pending && !writing; });
    return lastWriteOk;
}

int DraftWriter::writes() const
{
    std::lock_guard guard(mutex);
    return written;
}

void DraftWriter::run()
{
#ifdef __linux__
    // On a busy machine the window's thread goes first: a tap matters more than a draft
    // being on disk a few milliseconds sooner (Linux gives each thread its own nice value).
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
#endif
    std::unique_lock guard(mutex);
    for (;;) {
        wake.wait(guard, [this] { return pending || stopping; });
        if (!pending)
            return; // stopping with nothing left to write
        QString text = std::move(*pending);
        pending.reset();
        writing = true;
        guard.unlock();
        if (prepare)
            text = prepare(std::move(text));
        const bool ok = writeTextFile(path, text);
        if (!ok && lastWriteOk) { // once, not at every change of a full disk
            if (failed)
                failed();
            else
                qWarning("wendrel: cannot write the draft %s", qPrintable(path));
        }
        guard.lock();
        writing = false;
        lastWriteOk = ok;
        ++written;
        done.notify_all();
    }
}

} // namespace wendrel
