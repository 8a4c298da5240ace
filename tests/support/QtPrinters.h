#pragma once
// Readable Qt values in GoogleTest's failure messages.
#include <QByteArray>
#include <QList>
#include <QString>
#include <ostream>

inline void PrintTo(const QString &value, std::ostream *out)
{
    *out << '"' << value.toStdString() << '"';
}

inline void PrintTo(const QByteArray &value, std::ostream *out)
{
    *out << "bytes " << value.toHex(' ').toStdString();
}
