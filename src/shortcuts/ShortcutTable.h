#pragma once
// The Fn-key bindings and the programs that can be bound, shared by the launch and the
// Shortcut dialog. A key name is "0" (Fn) or "1" (Fn with Shift) and a capital letter.
#include <QByteArray>
#include <QList>
#include <QString>

namespace wendrel {

struct Program {
    QString name;   // the shortcut file's name up to ".lnk"
    QString folder; // relative to the Start Menu folder, "/" between folders; empty at its top
    friend bool operator==(const Program &, const Program &) = default;
};

struct Binding {
    QString key;     // "0A" to "0Z", "1A" to "1Z" (not checked when loaded)
    QString program; // a program's name
    friend bool operator==(const Binding &, const Binding &) = default;
};

struct ShortcutTable {
    QList<Program> programs;
    QList<Binding> bindings;

    // First index with exactly this key name or program name (letter case counts), or -1.
    qsizetype findBinding(const QString &key) const;
    qsizetype findProgram(const QString &name) const;
};

// "shortcut.dat": 0xFF 0xFE, then per binding the key name, CR LF, the program name, CR LF,
// all UTF-16 little-endian.
QByteArray formatShortcutFile(const QList<Binding> &bindings);
// The first 16-bit unit is skipped whatever it holds. Each line is cut at its last carriage
// return (a line ended by a line feed alone loses the line feed); the file's order is kept and
// key names are not checked. Lines of any length are kept whole. A key line at the very end,
// without its program line, gives a binding with an empty program name.
QList<Binding> parseShortcutFile(const QByteArray &bytes);

// Missing or unreadable file: no bindings.
QList<Binding> readShortcutFile(const QString &path);
// Replaces the file whole, or leaves the old one when it cannot be written.
bool writeShortcutFile(const QString &path, const QList<Binding> &bindings);

// The text a binding shows in the Shortcut dialog: "Fn + A", "Fn + Shift + A".
QString keyDisplayName(const QString &key);

} // namespace wendrel
