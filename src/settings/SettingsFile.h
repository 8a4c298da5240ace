#pragma once
// "config.dat": two ASCII digits, the key-sound index (0 none, 1 to 5) and the
// visual-response flag, then "1" when word completion is on, then "1" when the correction of
// typing errors is on, then "0" when swipe typing is off; no line end. A file of two digits
// (every file written before word completion existed) means completion off; one of two or
// three, correction off; one of fewer than five, swipe typing on (it works while completion is).
#include <QByteArray>
#include <QString>

namespace wendrel {

struct Settings {
    int soundIndex = 1;  // 0 = no key sound; 1 to 5 = sound file 1 to 5
    int lightFlag = 1;   // 1 = visual response on
    int completionFlag = 0; // 1 = word completion on
    int correctionFlag = 0; // 1 = typing errors corrected
    int swipeFlag = 1;      // 1 = swipe typing on (it works while word completion is on)
    friend bool operator==(const Settings &, const Settings &) = default;
};

// The first line of the file, read as the handheld did: the first character minus "0" is
// the sound index (not checked), and a second character other than "0" (its absence too)
// means visual response on. An empty file gives the defaults.
Settings parseSettings(const QByteArray &bytes);
// A sound index outside 0 to 5 is written as 0 (what it means anyway: no sound), so the file
// holds two digits and reads back as written. The third digit is written only for completion
// or correction on, the fourth only for correction on, the fifth only for swipe typing off, so that with them off the file stays as it
// always was.
QByteArray formatSettings(const Settings &settings);

// Missing, unreadable or empty file: the defaults.
Settings readSettingsFile(const QString &path);
// Replaces the file whole; false when it could not be written (the old file then stays).
bool writeSettingsFile(const QString &path, const Settings &settings);

} // namespace wendrel
