#pragma once
// Writes the draft on a thread of its own, so that encoding and syncing a long text never
// holds up a tap. A whole text replaces the draft file; edits made since then are appended to
// the draft's journal (DraftJournal.h), so a long text need not be rewritten at every change.
// Whole texts handed in while a write runs replace each other: only the latest one is written.
#include "DraftJournal.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
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

    // The whole text, in pieces joined on the writer's thread (the pieces are shared, not
    // copied). Edits handed in before and not written yet are dropped: the text holds them.
    // Returns at once.
    void submit(const QStringList &pieces);
    void submit(const QString &text) { submit(QStringList{text}); }
    // Edits of the text last handed in whole, in order; appended to the journal. Returns at once.
    void submitEdits(const QList<DraftEdit> &edits);
    // True when edits cannot be appended (no whole text is written or on its way, or the last
    // write failed): the next hand-over must be the whole text.
    bool needsWhole() const;
    // Waits until everything handed in is written; false when the last write failed.
    bool flush();
    // For tests and the benchmark: writes done (whole texts and journal appends), whole texts
    // written, and the bytes written.
    int writes() const;
    int wholeWrites() const;
    qint64 bytesWritten() const;

private:
    void run();
    bool writeWhole(const QStringList &pieces);
    bool appendEdits(const QList<DraftEdit> &edits);

    const QString path;
    const std::function<QString(QString)> prepare;
    const std::function<void()> failed;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::optional<QStringList> pendingWhole;
    QList<DraftEdit> pendingEdits;
    bool writing = false;
    bool writingWhole = false;
    bool stopping = false;
    bool lastWriteOk = true;
    bool journalBaseValid = false; // the draft on disk is the base of what is appended
    int written = 0;
    int wholeWritten = 0;
    qint64 bytes = 0;
    // The writer's thread only.
    JournalBase base;
    QFile journal;
    std::thread thread;
};

} // namespace wendrel
