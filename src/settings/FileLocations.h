#pragma once
// Where the program finds its files. Sounds and the help page lie beside the executable;
// "config.dat" and "shortcut.dat" lie there too when that folder is writable (the build
// tree, a portable copy), and otherwise in the user's configuration folder for Wendrel.
#include <QString>

namespace wendrel {

// The executable's folder without a trailing "/": "/usr/bin/wendrel" gives "/usr/bin",
// "/wendrel" gives "" (the root folder), and a path without "/" stays whole.
QString appFolderOf(const QString &executablePath);

// The folder of the sounds and the help page: appFolder itself when they lie there (the build
// tree, a portable copy), else the installed data folder that relativeDataFolder names from
// appFolder (for an installed /usr/bin/wendrel: /usr/share/wendrel).
QString resourceFolder(const QString &appFolder, const QString &relativeDataFolder);

// appFolder + "/soundN.wav" for N from 1 to 5.
QString soundPath(const QString &appFolder, int number);
QString helpPath(const QString &appFolder);

// The folder of config.dat and shortcut.dat: appFolder when files can be created there and
// the program is not an installed copy (one whose sounds and help page lie in the installed
// data folder), else userConfigFolder (created when missing). So an installed copy keeps each
// user's settings apart and never writes into the system's folders, even when run as root.
QString settingsFolder(const QString &appFolder, const QString &userConfigFolder, bool installed = false);
// $XDG_CONFIG_HOME/wendrel, usually ~/.config/wendrel.
QString defaultUserConfigFolder();

} // namespace wendrel
