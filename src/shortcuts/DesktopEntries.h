#pragma once
// Fills a new Start Menu folder with one shortcut file per application of the desktop's
// menu, so that the desktop's programs can be bound to Fn keys.
#include <QString>
#include <QStringList>
#include <optional>

namespace wendrel {

struct DesktopEntry {
    QString name;        // Name
    QString commandLine; // Exec without its field codes
    QString workingFolder; // Path
    QString category;    // main category, the sub-folder of the Start Menu
};

// The entry of a .desktop file's text, or nothing when it is not an application shown in
// menus (NoDisplay, Hidden, another Type, no Exec).
std::optional<DesktopEntry> parseDesktopEntry(const QString &content);
// Removes the field codes (%f, %U, ...) of an Exec line; "%%" becomes "%".
QString removeFieldCodes(const QString &exec);
// A name that can stand as a file name: no "/" and no NUL, not "." or "..".
QString safeFileName(const QString &name);

// Writes the shortcut files for the .desktop files found in applicationFolders (earlier
// folders win for the same desktop file id). Existing files are never overwritten: a second
// entry of the same name gets " (2)" and so on. Returns the number of files written.
int fillStartMenu(const QString &startMenuFolder, const QStringList &applicationFolders);
// $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS/applications.
QStringList defaultApplicationFolders();

} // namespace wendrel
