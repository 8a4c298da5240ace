#include "ShortcutTable.h"

#include "Files.h"

#include <QFile>

namespace wendrel {

qsizetype ShortcutTable::findBinding(const QString &key) const
{
    for (qsizetype i = 0; i < bindings.size(); ++i) {
        if (bindings[i].key == key)
            return i;
    }
    return -1;
}

qsizetype ShortcutTable::findProgram(const QString &name) const
{
    for (qsizetype i = 0; i < programs.size(); ++i) {
        if (programs[i].name == name)
            return i;
    }
    return -1;
}

namespace {

// Reads 16-bit units up to and including the next line feed.
class LineReader {
public:
    explicit LineReader(const QByteArray &bytes) : bytes(bytes) {}
    bool atEnd() const { return pos + 1 >= bytes.size(); }
    QString readLine()
    {
        QString line;
        while (!atEnd()) {
            const char16_t unit = char16_t(uchar(bytes[pos]) | uchar(bytes[pos + 1]) << 8);
            pos += 2;
            line.append(QChar(unit));
            if (unit == u'\n')
                break;
        }
        const qsizetype cr = line.lastIndexOf(u'\r');
        if (cr >= 0)
            line.truncate(cr);
        else if (line.endsWith(u'\n'))
            line.chop(1);
        return line;
    }
    void skipUnit() { pos += 2; }

private:
    const QByteArray &bytes;
    qsizetype pos = 0;
};

} // namespace

QByteArray formatShortcutFile(const QList<Binding> &bindings)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const Binding &binding : bindings) {
        appendUtf16le(bytes, QString(binding.key + QStringLiteral("\r\n") + binding.program + QStringLiteral("\r\n")));
    }
    return bytes;
}

QList<Binding> parseShortcutFile(const QByteArray &bytes)
{
    QList<Binding> bindings;
    LineReader reader(bytes);
    reader.skipUnit();
    while (!reader.atEnd()) {
        Binding binding;
        binding.key = reader.readLine();
        binding.program = reader.readLine();
        bindings.append(binding);
    }
    return bindings;
}

QList<Binding> readShortcutFile(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return {};
    return parseShortcutFile(file.readAll());
}

bool writeShortcutFile(const QString &path, const QList<Binding> &bindings)
{
    return replaceFile(path, formatShortcutFile(bindings));
}

QString keyDisplayName(const QString &key)
{
    const QString modifiers = key.startsWith(u'0') ? QStringLiteral("Fn") : QStringLiteral("Fn + Shift");
    return modifiers + QStringLiteral(" + ") + key.mid(1, 1);
}

} // namespace wendrel
