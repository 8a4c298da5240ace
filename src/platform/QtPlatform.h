#pragma once
// The real platform services on Qt.
#include "Platform.h"

#include <QHash>
#include <memory>

namespace wendrel {

// A function of one of the program's modules (libwendrel-sound.so, libwendrel-menu.so), found
// beside the executable (the build tree, a portable copy) or in <libdir>/wendrel seen from the
// executable's folder (installed under any prefix, or moved), else in the configured
// <libdir>/wendrel. The module stays loaded. nullptr when no place has a module that loads
// and has it.
QFunctionPointer moduleFunction(const QString &moduleFileName, const char *function);

// An environment variable that Wendrel set for itself only (a choice of the toolkit's): the
// programs it starts (Fn keys, documents) do not inherit it.
void keepFromStartedPrograms(const QString &name);

class QtExecutablePath final : public ExecutablePath {
public:
    QString path() const override;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void show(QWidget *parent, const QString &text, const QString &caption, MessageType type) override;
};

// The key sounds, played by the wendrel-sound module (each file read into memory once, played
// through ALSA on a thread of its own), which is loaded on first use. Without the module or a
// sound device (each said once on standard error) the keys stay silent.
class LazySoundPlayer final : public SoundPlayer {
public:
    void play(const QString &path) override;
    void preload(const QStringList &paths) override;

private:
    SoundPlayer *player();

    std::unique_ptr<SoundPlayer> loaded;
    bool triedLoading = false;
};

class QtProgramEnd final : public ProgramEnd {
public:
    void keepOnClipboard(const QString &text) override;
    // Hands the text to xclip (X11) or wl-copy (Wayland), leaves the event loop, and ends the
    // process with status at the latest two seconds later.
    void exit(int status) override;

private:
    QString keptText;
};

// Ends the process at once with status, without the toolkit's teardown of the window-system
// connection (which can hang on Wayland with Qt 6.4). Call it when everything is written and
// the windows are gone.
[[noreturn]] void endProcess(int status);

class QtFileDialogs final : public FileDialogs {
public:
    std::optional<QString> openFile(QWidget *parent, const QString &filter) override;
    std::optional<QString> saveFile(QWidget *parent, const QString &filter) override;
};

class QtShell final : public Shell {
public:
    bool execute(const QString &verb, const QString &file, const QString &workingFolder) override;
};

// $XDG_DATA_HOME/wendrel/Start Menu (usually ~/.local/share/wendrel/Start Menu), created when
// missing. A fill hook fills a new folder beside it, which is put in place only when the hook
// succeeds; otherwise nothing is in place and the next start tries again (once a run).
class QtStartMenu final : public StartMenu {
public:
    using FillHook = bool (*)(const QString &folder);
    explicit QtStartMenu(FillHook fill = nullptr) : fill(fill) {}
    QString folder() override;

private:
    void create(const QString &folder);

    FillHook fill;
    bool tried = false;
};

// All real services in one object.
class QtPlatform {
public:
    explicit QtPlatform(QtStartMenu::FillHook fillNewStartMenu = nullptr);
    Platform services();

private:
    QtExecutablePath executable;
    QtMessageBoxes messages;
    LazySoundPlayer sound;
    QtProgramEnd programEnd;
    QtFileDialogs fileDialogs;
    QtShell shell;
    QtStartMenu startMenu;
};

} // namespace wendrel
