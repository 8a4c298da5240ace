#include "ProgramScanner.h"

#include <QDirIterator>
#include <QFileInfo>

namespace wendrel {

ProgramScanner::ProgramScanner(QList<Program> &programs) : programs(programs)
{
    programs.clear();
}

void ProgramScanner::scanFolder(const QString &folderPath, const QString &relativeFolder)
{
    const QString canonical = QFileInfo(folderPath).canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical))
        return;
    visited.insert(canonical);

    QDirIterator entries(folderPath, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        const QFileInfo entry = entries.fileInfo();
        const QString name = entry.fileName();
        if (entry.isDir()) {
            scanFolder(entry.filePath(), relativeFolder.isEmpty() ? name : relativeFolder + u'/' + name);
            continue;
        }
        const qsizetype lnk = name.indexOf(QLatin1String(".lnk"));
        if (lnk >= 0)
            programs.append({name.left(lnk), relativeFolder});
    }
}

} // namespace wendrel
