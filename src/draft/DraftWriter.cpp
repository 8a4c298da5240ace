#include "DraftWriter.h"

#include "Files.h"
#include "TextFile.h"

#include <QDebug>

#include <unistd.h>
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
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

void DraftWriter::submit(const QStringList &pieces)
{
    {
        std::lock_guard guard(mutex);
        pendingWhole = pieces;
        pendingEdits.clear();
    }
    wake.notify_one();
}

void DraftWriter::submitEdits(const QList<DraftEdit> &edits)
{
    if (edits.isEmpty())
        return;
    {
        std::lock_guard guard(mutex);
        pendingEdits += edits;
    }
    wake.notify_one();
}

bool DraftWriter::needsWhole() const
{
    std::lock_guard guard(mutex);
    return !pendingWhole && !writingWhole && !journalBaseValid;
}

bool DraftWriter::flush()
{
    std::unique_lock guard(mutex);
    done.wait(guard, [this] { return !pendingWhole && pendingEdits.isEmpty() && !writing; });
    return lastWriteOk;
}

int DraftWriter::writes() const
{
    std::lock_guard guard(mutex);
    return written;
}

int DraftWriter::wholeWrites() const
{
    std::lock_guard guard(mutex);
    return wholeWritten;
}

qint64 DraftWriter::bytesWritten() const
{
    std::lock_guard guard(mutex);
    return bytes;
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
        wake.wait(guard, [this] { return pendingWhole || !pendingEdits.isEmpty() || stopping; });
        if (!pendingWhole && pendingEdits.isEmpty())
            return; // stopping with nothing left to write
        const std::optional<QStringList> whole = std::move(pendingWhole);
        pendingWhole.reset();
        const QList<DraftEdit> edits = std::move(pendingEdits);
        pendingEdits.clear();
        writing = true;
        writingWhole = whole.has_value();
        guard.unlock();

        bool ok = true;
        if (whole)
            ok = writeWhole(*whole);
        if (ok && !edits.isEmpty())
            ok = appendEdits(edits);
        if (!ok && lastWriteOk) { // once, not at every change of a full disk
            if (failed)
                failed();
            else
                qWarning("wendrel: cannot write the draft %s", qPrintable(path));
        }

        guard.lock();
        writing = false;
        writingWhole = false;
        lastWriteOk = ok;
        ++written;
        done.notify_all();
    }
}

bool DraftWriter::writeWhole(const QStringList &pieces)
{
    QString text = pieces.join(QString());
    if (prepare)
        text = prepare(std::move(text));
    const QByteArray encoded = encodeTextFile(text);
    journal.close();
    const bool ok = replaceFile(path, encoded);
    if (ok) {
        base = JournalBase::of(encoded);
        // The new draft holds every edit; its old journal no longer names it and would be
        // ignored, but it is of no more use.
        QFile::remove(journalPathFor(path));
    }
    std::lock_guard guard(mutex);
    journalBaseValid = ok;
    bytes += encoded.size();
    ++wholeWritten;
    return ok;
}

bool DraftWriter::appendEdits(const QList<DraftEdit> &edits)
{
    {
        std::lock_guard guard(mutex);
        if (!journalBaseValid)
            return false; // not written: the next hand-over is the whole text (needsWhole)
    }
    QByteArray records;
    const bool starting = !journal.isOpen();
    if (starting) {
        journal.setFileName(journalPathFor(path));
        if (!journal.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        records = journalHeader(base);
    }
    for (const DraftEdit &edit : edits)
        records += journalRecord(edit);
    // On disk before the next change is typed: the data, and for a new journal its name too.
    bool ok = journal.write(records) == records.size() && journal.flush() && ::fdatasync(journal.handle()) == 0;
    if (ok && starting)
        ok = syncFolderOf(journal.fileName());
    std::lock_guard guard(mutex);
    bytes += records.size();
    if (!ok) {
        // What follows cannot be appended after a record that may be cut off.
        journal.close();
        journalBaseValid = false;
    }
    return ok;
}

} // namespace wendrel
