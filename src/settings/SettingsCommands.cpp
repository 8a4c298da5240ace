#include "SettingsCommands.h"

#include "FileLocations.h"
#include "KeyTable.h"
#include "KeyboardFrame.h"
#include "OptionsDialog.h"
#include "SettingsFile.h"
#include "TypingSession.h"

#include <QCheckBox>

namespace wendrel {

namespace {
QString configPath(const QString &folder)
{
    return folder + QStringLiteral("/config.dat");
}
} // namespace

SettingsCommands::SettingsCommands(KeyboardFrame &frame, TypingSession &session, Platform platform)
    : frame(frame), session(session), platform(platform)
{
    connect(&session, &TypingSession::soundRequested, this, &SettingsCommands::playKeySound);
    connect(&session, &TypingSession::commandRequested, this, &SettingsCommands::onCommand);
}

void SettingsCommands::onCommand(const SessionCommand &command)
{
    if (command.kind == SessionCommand::Kind::Options)
        onOptionsButton();
    else if (command.kind == SessionCommand::Kind::Help)
        onHelpButton();
}

void SettingsCommands::setFolders(const QString &appFolder)
{
    const QString resources = resourceFolder(appFolder, QStringLiteral(WENDREL_DATA_FROM_BIN));
    for (int n = 1; n <= 5; ++n)
        soundPaths[size_t(n - 1)] = wendrel::soundPath(resources, n);
    help = wendrel::helpPath(resources);
    folder = wendrel::settingsFolder(appFolder, defaultUserConfigFolder(), resources != appFolder);
}

quint8 SettingsCommands::lightFlag() const
{
    return session.lightFlag() ? 1 : 0;
}

void SettingsCommands::loadSettings()
{
    const Settings settings = readSettingsFile(configPath(folder));
    sound = settings.soundIndex;
    session.setLightFlag(settings.lightFlag == 1);
    completion = quint8(settings.completionFlag);
    correction = quint8(settings.correctionFlag);
    swipe = quint8(settings.swipeFlag);
}

void SettingsCommands::saveSettings()
{
    writeSettingsFile(configPath(folder), Settings{sound, lightFlag(), completion, correction, swipe});
}

// A device without audio is not asked for it at every start.
void SettingsCommands::loadChosenSound()
{
    if (sound >= 1 && sound <= 5)
        platform.sound.preload({soundPaths[size_t(sound - 1)]});
}

void SettingsCommands::playKeySound()
{
    if (sound >= 1 && sound <= 5)
        platform.sound.play(soundPaths[size_t(sound - 1)]);
}

void SettingsCommands::offerKeepShown(std::function<bool()> current, std::function<void(bool)> chosen)
{
    keepShownNow = std::move(current);
    keepShownChosen = std::move(chosen);
}

void SettingsCommands::onOptionsButton()
{
    frame.showControls(false);
    frame.leaveFullScreen();
    {
        OptionsDialog dialog(sound, lightFlag(), frame.dialogParent(), completion, correction, swipe);
        if (keepShownNow)
            dialog.addKeepShownBox(keepShownNow());
        dialog.exec();
        if (keepShownChosen && dialog.keepShownCheck())
            keepShownChosen(dialog.keepShownCheck()->isChecked());
        frame.focusTextArea();
        session.clearDefaultStyle(keyIndexByRole(KeyRole::Options));
        frame.enterFullScreen();
        frame.showControls(true);
        session.setLightFlag(dialog.lightChoice == 1);
        sound = dialog.soundChoice;
        completion = quint8(dialog.completionChoice);
        correction = quint8(dialog.correctionChoice);
        swipe = quint8(dialog.swipeChoice);
        emit completionChanged(completion == 1);
        emit correctionChanged(correction == 1);
        emit swipeChanged(swipe == 1);
    }
    loadChosenSound();
    saveSettings();
}

// The page opens in the desktop's viewer, which chooses its own working folder. The keys stay
// hidden until the window is back in front (its watchdog restores them).
void SettingsCommands::onHelpButton()
{
    frame.showControls(false);
    if (!platform.shell.execute(QStringLiteral("open"), help, QString()))
        platform.messages.show(frame.dialogParent(), QStringLiteral("Execute Failed!"), QStringLiteral("Wendrel"),
                               MessageType::Foreground);
    frame.focusTextArea();
}

} // namespace wendrel
