#pragma once
// The services the program asks of the window system, the shells, files, sound and the
// run-time. Each is a small interface so that tests can observe or steer it; QtPlatform.h
// provides the real ones.
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace wendrel {

class ExecutablePath {
public:
    virtual ~ExecutablePath() = default;
    // Full path of the running program.
    virtual QString path() const = 0;
};

enum class MessageType { Plain = 0, Foreground = 0x10000 };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Modal; returns when the user confirms. An empty caption shows the application's name.
    virtual void show(QWidget *parent, const QString &text, const QString &caption, MessageType type) = 0;
};

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts the sound file and returns at once; a sound still playing is replaced.
    virtual void play(const QString &path) = 0;
    // Loads sound files ahead of their first use, so that the first tap is not the slow one.
    virtual void preload(const QStringList &paths) { Q_UNUSED(paths); }
};

class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    // The text that is to stay on the clipboard after the program has ended. The program's own
    // clipboard dies with it on X11 and Wayland, so exit() hands this text to the desktop's
    // clipboard tools, whether or not the program still owns the clipboard by then.
    virtual void keepOnClipboard(const QString &text) = 0;
    // Ends the program with status: leaves the event loop, so that the windows and the
    // platform's objects are destroyed, and ends the process soon after even if the window
    // system's teardown would hang. Everything that must be written is written before.
    virtual void exit(int status) = 0;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Return the chosen full path, or nothing when the user cancels.
    virtual std::optional<QString> openFile(QWidget *parent, const QString &filter) = 0;
    virtual std::optional<QString> saveFile(QWidget *parent, const QString &filter) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document or a shortcut file with the verb "open". A .lnk file starts its command
    // line detached in workingFolder. Returns false when nothing could be started.
    virtual bool execute(const QString &verb, const QString &file, const QString &workingFolder) = 0;
};

class StartMenu {
public:
    virtual ~StartMenu() = default;
    // The folder whose shortcut files are the programs a key can be bound to.
    virtual QString folder() = 0;
};

// The set of services one keyboard window uses.
struct Platform {
    ExecutablePath &executable;
    MessageBoxes &messages;
    SoundPlayer &sound;
    ProgramEnd &programEnd;
    FileDialogs &fileDialogs;
    Shell &shell;
    StartMenu &startMenu;
};

} // namespace wendrel
