#include "QtPlatform.h"
#include "Files.h"

#include "LnkFormat.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibrary>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QUrl>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace wendrel {

QString QtExecutablePath::path() const
{
    return QCoreApplication::applicationFilePath();
}

void QtMessageBoxes::show(QWidget *parent, const QString &text, const QString &caption, MessageType type)
{
    QMessageBox box(QMessageBox::NoIcon,
                    caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption, text,
                    QMessageBox::Ok, parent);
    if (type == MessageType::Foreground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.show();
        box.raise();
        box.activateWindow();
    }
    box.exec();
}

QFunctionPointer moduleFunction(const QString &moduleFileName, const char *function)
{
    const QString programs = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        programs + u'/' + moduleFileName, // the build tree, a portable copy
        QDir::cleanPath(programs + QStringLiteral("/" WENDREL_MODULES_FROM_BIN "/") + moduleFileName), // installed
        QStringLiteral(WENDREL_MODULE_DIR "/") + moduleFileName,
    };
    for (const QString &candidate : candidates) {
        QLibrary module(candidate);
        if (QFunctionPointer found = module.resolve(function))
            return found;
    }
    return nullptr;
}

// The key sounds' player lives in a module of its own (wendrel-sound), so that ALSA and the
// sound server's plugin under it are loaded only when a sound is chosen, after the keyboard is
// on the screen, and not at every start.
SoundPlayer *LazySoundPlayer::player()
{
    if (triedLoading)
        return loaded.get();
    triedLoading = true;
    using Create = SoundPlayer *(*)();
    if (auto create = reinterpret_cast<Create>(
            moduleFunction(QStringLiteral("libwendrel-sound.so"), "wendrel_create_sound_player")))
        loaded.reset(create());
    else
        qWarning("wendrel: libwendrel-sound.so could not be loaded; the keys stay silent");
    return loaded.get(); // none: the keys stay silent, as without an audio device
}

void LazySoundPlayer::play(const QString &path)
{
    if (SoundPlayer *sound = player())
        sound->play(path);
}

void LazySoundPlayer::preload(const QStringList &paths)
{
    if (SoundPlayer *sound = player())
        sound->preload(paths);
}

namespace {

// On X11 and Wayland the clipboard's text dies with the program that owns it unless a
// clipboard manager takes it over. The desktop's own clipboard tools keep serving a text
// after they return, so hand it to them.
void handToClipboardTool(const QString &text)
{
    QString tool;
    QStringList arguments;
    const QString platformName = QGuiApplication::platformName();
    if (platformName == QLatin1String("xcb")) {
        tool = QStandardPaths::findExecutable(QStringLiteral("xclip"));
        arguments = {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-in")};
    } else if (platformName.startsWith(QLatin1String("wayland"))) {
        tool = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
    }
    if (tool.isEmpty())
        return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(tool, arguments);
    if (!process.waitForStarted(2000))
        return;
    process.write(text.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(3000); // the tool forks and serves the text from the background
}

QStringList &variablesKeptFromPrograms()
{
    static QStringList names;
    return names;
}

// Starts a program on its own, in the environment Wendrel was given.
bool startProgram(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    if (!variablesKeptFromPrograms().isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : variablesKeptFromPrograms())
            environment.remove(name);
        process.setProcessEnvironment(environment);
    }
    return process.startDetached();
}

// The last resort of an end that was asked for: whatever still runs after this long (Qt 6.4's
// Wayland teardown has been seen to wait forever on its own event thread) is not the user's.
constexpr auto endDeadline = std::chrono::milliseconds(2000);

} // namespace

void QtProgramEnd::keepOnClipboard(const QString &text)
{
    keptText = text;
}

void QtProgramEnd::exit(int status)
{
    // Without an explicit text, a text this program still holds on the clipboard (an earlier
    // Copy) is kept as well.
    QString text = keptText;
    if (text.isEmpty()) {
        const QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard && clipboard->ownsClipboard())
            text = clipboard->text();
    }
    if (!text.isEmpty())
        handToClipboardTool(text);
    std::thread([status] {
        std::this_thread::sleep_for(endDeadline);
        endProcess(status);
    }).detach();
    // Through the event loop, so that the windows and their owners are destroyed (locks
    // released, files closed); KeyboardApp then ends the process before the toolkit's teardown.
    QCoreApplication::exit(status);
}

void endProcess(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

std::optional<QString> QtFileDialogs::openFile(QWidget *parent, const QString &filter)
{
    const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtFileDialogs::saveFile(QWidget *parent, const QString &filter)
{
    const QString path = QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

namespace {

bool startShortcut(const QString &file, const QString &workingFolder)
{
    QFile lnk(file);
    if (!openRegularFile(lnk))
        return false;
    // Shortcut files are small; anything large is not one.
    const QByteArray bytes = lnk.read(64 * 1024);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const auto commandLine = parseLnk(decoder.decode(bytes));
    if (!commandLine)
        return false;
    const auto command = splitCommandLine(*commandLine);
    if (!command)
        return false;
    const QString folder = QFileInfo(workingFolder).isDir() ? workingFolder : QString();
    return startProgram(command->program, command->arguments, folder);
}

// The desktop's opener answers success even for a missing file, so check what we can first:
// the file must be readable and some program must be registered for its type.
bool openDocument(const QString &file, const QString &workingFolder)
{
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable())
        return false;
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    const QString mimeType = QMimeDatabase().mimeTypeForFile(info).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    const bool noHandler = query.waitForFinished(3000) && query.exitStatus() == QProcess::NormalExit
        && query.readAllStandardOutput().trimmed().isEmpty();
    // A web page can still open in $BROWSER when no desktop entry claims it.
    if (noHandler && (qEnvironmentVariableIsEmpty("BROWSER") || !mimeType.contains(QLatin1String("html"))))
        return false;
    const QString folder = QFileInfo(workingFolder).isDir() ? workingFolder : QString();
    return startProgram(xdgOpen, {info.absoluteFilePath()}, folder);
}

} // namespace

bool QtShell::execute(const QString &verb, const QString &file, const QString &workingFolder)
{
    if (verb != QLatin1String("open"))
        return false;
    if (file.endsWith(QLatin1String(".lnk")))
        return startShortcut(file, workingFolder);
    return openDocument(file, workingFolder);
}

QString QtStartMenu::folder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/wendrel/Start Menu");
    if (!tried && !QFileInfo::exists(folder)) {
        tried = true;
        create(folder);
    }
    return folder;
}

void QtStartMenu::create(const QString &folder)
{
    if (!fill) {
        QDir().mkpath(folder);
        return;
    }
    // Filled beside its place and renamed into it: a fill that fails (or a crash in the middle)
    // never leaves a folder that looks done.
    const QString partial = folder + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid());
    QDir(partial).removeRecursively(); // a leftover of a process that had this number
    if (QDir().mkpath(partial) && fill(partial) && QDir().rename(partial, folder))
        return;
    QDir(partial).removeRecursively();
}

QtPlatform::QtPlatform(QtStartMenu::FillHook fillNewStartMenu) : startMenu(fillNewStartMenu) {}

Platform QtPlatform::services()
{
    return Platform{executable, messages, sound, programEnd, fileDialogs, shell, startMenu};
}

void keepFromStartedPrograms(const QString &name)
{
    if (!variablesKeptFromPrograms().contains(name))
        variablesKeptFromPrograms() << name;
}

} // namespace wendrel
