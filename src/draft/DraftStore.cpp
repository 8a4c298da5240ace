#include "DraftStore.h"

#include "DraftJournal.h"
#include "Files.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace wendrel {

namespace {
const QString lineGap = QStringLiteral("\r\n\r\n");
} // namespace

QString defaultDraftFolder()
{
    // Qt 6.4 has no standard location for user state; this is the XDG rule for it.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/wendrel");
}

namespace {
// Nothing when path is not a regular file (a named pipe or a device would block or never end;
// a folder cannot be a draft) or cannot be read.
std::optional<QByteArray> readRegularFile(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}
} // namespace

DraftRead readDraft(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    const std::optional<QByteArray> bytes = readRegularFile(path);
    if (!bytes)
        return {DraftRead::State::Damaged, {}};
    DraftRead read = parseDraft(*bytes);
    // The edits made since the draft was last written whole.
    if (read.state == DraftRead::State::Readable) {
        if (const std::optional<QByteArray> journal = readRegularFile(journalPathFor(path)))
            read.text = replayJournal(std::move(read.text), JournalBase::of(*bytes), *journal);
    }
    return read;
}

DraftRead parseDraft(const QByteArray &bytes)
{
    if (!bytes.startsWith("\xFF\xFE") || bytes.size() % 2 != 0)
        return {DraftRead::State::Damaged, {}};
    const qsizetype units = (bytes.size() - 2) / 2;
    QString text(units, Qt::Uninitialized);
    const char *data = bytes.constData() + 2;
    for (qsizetype i = 0; i < units; ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(data + 2 * i));
    return {DraftRead::State::Readable, text};
}

std::optional<QString> moveAside(const QString &path)
{
    QString target = path + QStringLiteral(".bad");
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n) {
        if (n > 1000)
            return std::nullopt;
        target = path + QStringLiteral(".bad.%1").arg(n);
    }
    // QFile::rename copies and removes when a plain rename fails; a folder needs QDir.
    const bool renamed = QFileInfo(path).isDir() ? QDir().rename(path, target) : QFile::rename(path, target);
    if (!renamed)
        return std::nullopt;
    // Its journal goes with it (it continues that draft and no other).
    if (QFileInfo::exists(journalPathFor(path)))
        QFile::rename(journalPathFor(path), journalPathFor(target));
    return target;
}

DraftStore::DraftStore(QString folder) : draftFolder(std::move(folder)) {}

DraftStore::~DraftStore() = default;

namespace {
// draft.txt, draft-2.txt, ...: the number, 1 for draft.txt, or 0 for any other name.
int draftNumberOf(const QString &name)
{
    static const QRegularExpression draftName(QStringLiteral("^draft(?:-(\\d+))?\\.txt$"));
    const QRegularExpressionMatch match = draftName.match(name);
    if (!match.hasMatch())
        return 0;
    return match.captured(1).isEmpty() ? 1 : match.captured(1).toInt();
}

QStringList draftLikeNames(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("draft*.txt")}, QDir::AllEntries | QDir::System | QDir::Hidden, QDir::Name);
}
} // namespace

bool DraftStore::anyDraftExists() const
{
    const QStringList names = draftLikeNames(draftFolder);
    return std::any_of(names.begin(), names.end(), [](const QString &name) { return draftNumberOf(name) >= 1; });
}

QString DraftStore::draftPathFor(int n) const
{
    if (n == 1)
        return draftFolder + QStringLiteral("/draft.txt");
    return draftFolder + QStringLiteral("/draft-%1.txt").arg(n);
}

QString DraftStore::draftPath() const
{
    return number > 0 ? draftPathFor(number) : QString();
}

QString DraftStore::lastExitPath(int age) const
{
    if (age == 0)
        return draftFolder + QStringLiteral("/last-exit.txt");
    return draftFolder + QStringLiteral("/last-exit.%1.txt").arg(age);
}

// last-exit.txt becomes last-exit.1.txt, that one last-exit.2.txt, ...; the oldest kept one is
// replaced. False when a kept text could not be moved on (it would be written over).
bool DraftStore::shiftLastExits() const
{
    for (int age = keptExits - 2; age >= 0; --age) {
        const QByteArray from = QFile::encodeName(lastExitPath(age));
        const QByteArray to = QFile::encodeName(lastExitPath(age + 1));
        if (::rename(from.constData(), to.constData()) != 0 && errno != ENOENT)
            return false;
    }
    return true;
}

std::unique_ptr<QLockFile> DraftStore::tryLock(int n) const
{
    auto file = std::make_unique<QLockFile>(draftPathFor(n) + QStringLiteral(".lock"));
    // A copy holds its lock as long as it runs: only a lock whose process is gone is stale,
    // never one that is merely old.
    file->setStaleLockTime(0);
    if (!file->tryLock(0))
        return nullptr;
    return file;
}

std::optional<QString> DraftStore::claim()
{
    if (claimed())
        return QString();
    if (!QDir().mkpath(draftFolder))
        return std::nullopt;
    for (int n = 1; n <= maxCopies; ++n) {
        std::unique_ptr<QLockFile> held = tryLock(n);
        if (!held)
            continue;
        DraftRead own = readDraft(draftPathFor(n));
        if (own.state == DraftRead::State::Damaged) {
            const std::optional<QString> aside = moveAside(draftPathFor(n));
            if (!aside)
                continue; // never write over a draft we could not keep
            damaged.append(*aside);
            own = {};
        }
        number = n;
        lock = std::move(held);
        removeUnfinishedWrites(n);
        return gatherLeftBehind(own.text);
    }
    return std::nullopt;
}

// Drafts of copies that ended without Exit and are not running now (their lock is free) join
// this copy's text, so the next start shows everything that was typed.
QString DraftStore::gatherLeftBehind(QString text)
{
    std::vector<std::unique_ptr<QLockFile>> heldLocks;
    QStringList adopted;
    std::vector<int> numbers;
    for (const QString &name : draftLikeNames(draftFolder)) {
        const int n = draftNumberOf(name);
        if (n != number && n >= 1)
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    for (int n : numbers) {
        std::unique_ptr<QLockFile> held = tryLock(n);
        if (!held)
            continue; // a running copy's draft
        removeUnfinishedWrites(n);
        const DraftRead other = readDraft(draftPathFor(n));
        if (other.state == DraftRead::State::Damaged) {
            if (const std::optional<QString> aside = moveAside(draftPathFor(n)))
                damaged.append(*aside);
            continue;
        }
        if (other.state == DraftRead::State::Readable) {
            if (!other.text.isEmpty())
                text += (text.isEmpty() ? QString() : lineGap) + other.text;
            adopted.append(draftPathFor(n));
        }
        heldLocks.push_back(std::move(held));
    }
    // The merged text is on disk before the drafts it came from are removed (their journals
    // first: a journal without its draft is of no use, a draft without its journal is).
    if (!adopted.isEmpty() && writeTextFile(draftPath(), text)) {
        QFile::remove(journalPathFor(draftPath()));
        for (const QString &path : adopted) {
            QFile::remove(journalPathFor(path));
            QFile::remove(path);
        }
    }
    return text;
}

bool DraftStore::keepLastExit(const QString &text) const
{
    if (!QDir().mkpath(draftFolder))
        return false;
    // Two copies that end at the same moment take turns; a lock that cannot be had within a
    // moment (a copy stuck while holding it) does not stop the exit.
    QLockFile turn(lastExitPath() + QStringLiteral(".lock"));
    turn.tryLock(2000);
    return shiftLastExits() && writeTextFile(lastExitPath(), text);
}

// A write cut off before its commit (a kill, a power cut) leaves its temporary file,
// "draft.txt.AbC123", beside the draft; only the copy holding that draft's lock may remove it.
void DraftStore::removeUnfinishedWrites(int n) const
{
    static const QRegularExpression temporarySuffix(QStringLiteral("^[A-Za-z0-9]{6}$"));
    const QString name = QFileInfo(draftPathFor(n)).fileName() + u'.';
    const QDir dir(draftFolder);
    for (const QString &entry : dir.entryList({name + QStringLiteral("??????")}, QDir::Files | QDir::Hidden)) {
        if (temporarySuffix.match(entry.sliced(name.size())).hasMatch())
            QFile::remove(dir.filePath(entry));
    }
}

bool DraftStore::endDraft(const QString &text)
{
    if (!text.isEmpty() && !keepLastExit(text))
        return false;
    if (claimed()) {
        QFile::remove(journalPathFor(draftPath()));
        QFile::remove(draftPath());
        lock.reset();
        number = 0;
    }
    return true;
}

} // namespace wendrel
