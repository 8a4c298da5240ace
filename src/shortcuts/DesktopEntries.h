#pragma once
// Fills a new Start Menu folder with one shortcut file per application of the desktop's
// menu, so that the desktop's programs can be bound to Fn keys. Which applications the menu
// shows is the desktop's business (DesktopMenu.h reads it through GLib); this part needs only
// Qt Core.
#include <QList>
#include <QString>
#include <QStringList>

namespace wendrel {

struct MenuApplication {
    QString name;       // as the menu shows it, in the user's language
    QStringList categories;
    QString entryPath;  // the desktop entry file
    QString busName;    // a D-Bus activated application's well-known name, else empty
};

// The main category of an application (the sub-folder of the Start Menu it goes into), or
// "Other" when it names none.
QString mainCategory(const QStringList &categories);
// The command line of a shortcut that starts the application as the desktop's menu does:
// GLib's own launcher reads the entry (its Exec quoting, its working folder, a terminal for a
// console program); a D-Bus activated application is activated over the session bus.
QString launchCommandLine(const MenuApplication &application);
// A name that can stand as a file name: no "/" and no NUL, not "." or "..".
QString safeFileName(const QString &name);

// Writes a shortcut file for each application into startMenuFolder/<main category>/.
// Existing files are never overwritten: a second entry of the same name gets " (2)" and so
// on. Returns the number of files written.
int fillStartMenu(const QString &startMenuFolder, QList<MenuApplication> applications);

} // namespace wendrel
