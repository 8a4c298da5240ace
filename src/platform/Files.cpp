#include "Files.h"

#include <QSaveFile>
#include <QSysInfo>

namespace wendrel {

bool replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit(); // the last flush and the rename can fail too (a full disk)
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
