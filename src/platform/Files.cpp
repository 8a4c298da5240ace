#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace wendrel {

bool syncFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A file system that cannot sync a folder says EINVAL; there is nothing more to do then.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

bool replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    // The last flush and the rename can fail too (a full disk). QSaveFile syncs the file before
    // the rename but not the folder, whose entry the rename changed.
    return file.commit() && syncFolderOf(path);
}

bool openRegularFile(QFile &file)
{
    return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly) && !file.isSequential();
}

void appendUtf16le(QByteArray &bytes, QStringView text)
{
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // Already in that order: one copy (a long text's draft is encoded at every change).
        bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        return;
    }
    bytes.reserve(bytes.size() + text.size() * 2);
    for (QChar ch : text) {
        bytes.append(char(ch.unicode() & 0xFF));
        bytes.append(char(ch.unicode() >> 8));
    }
}

} // namespace wendrel
