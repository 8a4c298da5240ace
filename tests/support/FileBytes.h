#pragma once
// A file's whole content for comparisons in tests.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace wendrel::test {

// "<missing>" when the file cannot be read, so that a missing file never passes for an empty one.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace wendrel::test
