#pragma once
// Finds the programs that a key can be bound to: every file under the Start Menu folder
// whose name contains ".lnk".
#include "ShortcutTable.h"

#include <QSet>

namespace wendrel {

class ProgramScanner {
public:
    // Empties the program list.
    explicit ProgramScanner(QList<Program> &programs);
    virtual ~ProgramScanner() = default;

    // Walks folderPath depth first, in the order the file system lists each folder, and appends
    // a program for each file whose name contains ".lnk" (letter case as written; the name ends
    // at its first ".lnk"). relativeFolder is folderPath relative to the Start Menu folder.
    // A folder reached twice (through a symbolic link) is walked once; an unreadable one adds
    // nothing.
    void scanFolder(const QString &folderPath, const QString &relativeFolder = QString());

private:
    QList<Program> &programs;
    QSet<QString> visited;
};

} // namespace wendrel
