#pragma once
// The draft: the text of a running copy kept on disk, so that an end other than Exit (a kill,
// a crash, a logout, a power cut) loses nothing. Each running copy owns one draft file in the
// draft folder, held by a lock file: the first copy "draft.txt", a second one at the same time
// "draft-2.txt", and so on. Drafts are in the program's own text-file format.
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

namespace wendrel {

// $XDG_STATE_HOME/wendrel, usually ~/.local/state/wendrel.
QString defaultDraftFolder();

// What a draft file on disk holds.
struct DraftRead {
    enum class State { Missing, Readable, Damaged } state = State::Missing;
    QString text;
};
// Damaged: not a regular file, unreadable, or not 0xFF 0xFE followed by whole 16-bit units.
// Every unit is kept, a zero unit too (it does not end the text as it does for Load).
DraftRead readDraft(const QString &path);
// The same for a draft's bytes already read: Readable or Damaged.
DraftRead parseDraft(const QByteArray &bytes);
// Renames a damaged draft to "<name>.bad" (or "<name>.bad.2", ... when that is taken, so an
// earlier one is never overwritten); the new path, or nothing when it could not be renamed.
std::optional<QString> moveAside(const QString &path);

class DraftStore {
public:
    explicit DraftStore(QString folder);
    ~DraftStore(); // releases this copy's draft for the next start

    DraftStore(const DraftStore &) = delete;
    DraftStore &operator=(const DraftStore &) = delete;

    const QString &folder() const { return draftFolder; }
    // One look at the folder: whether any copy's draft is on disk (draft.txt, draft-2.txt, ...).
    // Without one a start has nothing to restore and can claim its draft later.
    bool anyDraftExists() const;

    // Takes the first draft file that no running copy holds and returns the text to restore:
    // this file's own text followed by the drafts left behind by copies that are gone (each
    // after an empty line), which are then merged into this copy's draft. Damaged drafts are
    // moved aside; a damaged draft that cannot be moved aside is left alone and its number
    // skipped. Nothing when the folder cannot be made or every number is held.
    std::optional<QString> claim();
    bool claimed() const { return lock != nullptr; }
    // This copy's draft file (after claim), and the files that keep the texts of the last
    // exits: last-exit.txt the newest (age 0), then last-exit.1.txt, ... up to keptExits files.
    QString draftPath() const;
    QString lastExitPath(int age = 0) const;
    static constexpr int keptExits = 10;
    // Damaged drafts moved aside by claim, by their new paths.
    const QStringList &movedAside() const { return damaged; }

    // The deliberate end: a text that is not empty is kept in last-exit.txt (the earlier exits
    // move one age on), then this copy's draft is removed and released. False, with the draft
    // left as it is, when the text could not be kept.
    bool endDraft(const QString &text);

    static constexpr int maxCopies = 64;
    QString draftPathFor(int number) const;

private:
    std::unique_ptr<QLockFile> tryLock(int number) const;
    QString gatherLeftBehind(QString text);
    void removeUnfinishedWrites(int number) const;
    bool keepLastExit(const QString &text) const;
    bool shiftLastExits() const;

    QString draftFolder;
    int number = 0;
    std::unique_ptr<QLockFile> lock;
    QStringList damaged;
};

} // namespace wendrel
