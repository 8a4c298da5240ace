#pragma once
// The keyboard's settings at run time: config.dat read at start and written after the Options
// dialog, the key sound that the typing session asks for, the Options key and the Help key.
#include "Platform.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>

namespace wendrel {

class KeyboardFrame;
class TypingSession;
struct SessionCommand;

class SettingsCommands : public QObject {
    Q_OBJECT
public:
    SettingsCommands(KeyboardFrame &frame, TypingSession &session, Platform platform);

    // The paths of the sounds, the help page and config.dat, from the executable's folder.
    void setFolders(const QString &appFolder);
    // Where config.dat and shortcut.dat live.
    QString settingsFolder() const { return folder; }
    QString helpPath() const { return help; }
    // The path of sound file n, 1 to 5.
    QString soundPath(int n) const { return soundPaths[size_t(n - 1)]; }

    void loadSettings();
    void saveSettings();
    void playKeySound();
    // Only the chosen sound is loaded, and none when sound is off.
    void loadChosenSound();
    void onOptionsButton();
    void onHelpButton();

    int soundIndex() const { return sound; }
    quint8 lightFlag() const;
    quint8 completionFlag() const { return completion; }
    quint8 correctionFlag() const { return correction; }
    quint8 swipeFlag() const { return swipe; }
    // Keyboard mode on Wayland: the Options dialog also offers "Keep the keyboard shown", read
    // from `current` when it opens and handed to `chosen` when it closes.
    void offerKeepShown(std::function<bool()> current, std::function<void(bool)> chosen);

signals:
    // The Options dialog switched word completion on or off.
    void completionChanged(bool on);
    // The Options dialog switched the correction of typing errors on or off.
    void correctionChanged(bool on);
    // The Options dialog switched swipe typing on or off.
    void swipeChanged(bool on);

private:
    void onCommand(const SessionCommand &command);

    KeyboardFrame &frame;
    TypingSession &session;
    Platform platform;
    QString folder;
    QString help;
    std::array<QString, 5> soundPaths;
    int sound = 1;          // 0 = no sound, 1 to 5
    quint8 completion = 0;  // 1 = word completion on
    quint8 correction = 0;  // 1 = typing errors corrected from the taps
    quint8 swipe = 1;       // 1 = swipe typing on (with word completion)
    std::function<bool()> keepShownNow;
    std::function<void(bool)> keepShownChosen;
};

} // namespace wendrel
