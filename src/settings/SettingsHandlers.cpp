// The settings file, key sounds, the Options key and the Help key.
#include "KeyboardDialog.h"
#include "OptionsDialog.h"
#include "SettingsFile.h"
#include "TextArea.h"
#include "WordCompletion.h"

namespace wendrel {

namespace {
QString configPath(const QString &folder)
{
    return folder + QStringLiteral("/config.dat");
}
} // namespace

void KeyboardDialog::loadSettings()
{
    const Settings settings = readSettingsFile(configPath(record.settingsFolder));
    record.soundIndex = settings.soundIndex;
    record.lightFlag = quint8(settings.lightFlag);
    record.completionFlag = quint8(settings.completionFlag);
    record.correctionFlag = quint8(settings.correctionFlag);
}

void KeyboardDialog::saveSettings()
{
    writeSettingsFile(configPath(record.settingsFolder),
                      Settings{record.soundIndex, record.lightFlag, record.completionFlag, record.correctionFlag});
}

// Only the chosen sound is loaded, and none when sound is off: a device without audio is not
// asked for it at every start.
void KeyboardDialog::loadChosenSound()
{
    if (record.soundIndex >= 1 && record.soundIndex <= 5)
        platform.sound.preload({record.soundPaths[size_t(record.soundIndex - 1)]});
}

void KeyboardDialog::playKeySound()
{
    if (record.soundIndex >= 1 && record.soundIndex <= 5)
        platform.sound.play(record.soundPaths[size_t(record.soundIndex - 1)]);
}

void KeyboardDialog::onOptionsButton()
{
    showControls(false);
    leaveFullScreen();
    {
        OptionsDialog dialog(record.soundIndex, record.lightFlag, this, record.completionFlag, record.correctionFlag);
        dialog.exec();
        text->focusTextArea();
        clearDefaultStyle(keyIndexByRole(KeyRole::Options));
        enterFullScreen();
        showControls(true);
        record.lightFlag = dialog.lightChoice;
        record.soundIndex = dialog.soundChoice;
        record.completionFlag = dialog.completionChoice;
        record.correctionFlag = dialog.correctionChoice;
        completion->setOn(record.completionFlag == 1);
    }
    loadChosenSound();
    saveSettings();
}

// The page opens in the desktop's viewer, which chooses its own working folder. The keys stay
// hidden until the window is back in front (restoreFullScreen).
void KeyboardDialog::onHelpButton()
{
    showControls(false);
    if (!platform.shell.execute(QStringLiteral("open"), record.helpPath, QString()))
        platform.messages.show(this, QStringLiteral("Execute Failed!"), QStringLiteral("Wendrel"),
                               MessageType::Foreground);
    text->focusTextArea();
}

} // namespace wendrel
