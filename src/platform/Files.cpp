#include "Files.h"

#include <QSaveFile>

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
    bytes.reserve(bytes.size() + text.size() * 2);
    for (QChar ch : text) {
        bytes.append(char(ch.unicode() & 0xFF));
        bytes.append(char(ch.unicode() >> 8));
    }
}

} // namespace wendrel
