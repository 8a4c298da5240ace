// The key sounds, built as the module wendrel-sound that the program loads when a sound is
// first needed (LazySoundPlayer): each WAV file read into memory once, played by KeySoundPlayer
// on a thread of its own through the sound server or ALSA.
#include "Files.h"
#include "KeySoundPlayer.h"
#include "Platform.h"

#include <QFile>
#include <QHash>

#include <cstdlib>

namespace wendrel {

class AlsaSoundPlayer final : public SoundPlayer {
public:
    AlsaSoundPlayer();
    void play(const QString &path) override;
    void preload(const QStringList &paths) override;

private:
    std::shared_ptr<const PcmSound> soundFor(const QString &path);

    // nullptr for a file that cannot be played (said once).
    QHash<QString, std::shared_ptr<const PcmSound>> sounds;
    KeySoundPlayer player;
};

namespace {

// A key sound is a fraction of a second; anything this large is not one.
constexpr qint64 largestSoundFile = 8 * 1024 * 1024;

} // namespace

AlsaSoundPlayer::AlsaSoundPlayer()
    // WENDREL_SOUND_DEVICE names an ALSA device ("hw:1,0", "null") in place of the sound server
    // or ALSA's "default".
    : player(makeKeySoundSink(std::getenv("WENDREL_SOUND_DEVICE")), [](const std::string &line) { qWarning("%s", line.c_str()); })
{
}

std::shared_ptr<const PcmSound> AlsaSoundPlayer::soundFor(const QString &path)
{
    const auto known = sounds.constFind(path);
    if (known != sounds.constEnd())
        return *known;
    std::shared_ptr<const PcmSound> &sound = sounds[path];
    QFile file(path);
    QString why;
    if (!openRegularFile(file)) {
        why = file.errorString();
    } else if (file.size() > largestSoundFile) {
        why = QStringLiteral("larger than a key sound can be");
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFile::NoError) {
            why = file.errorString();
        } else {
            WavResult read = readWav(std::span(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                               size_t(bytes.size())));
            if (read.error.empty())
                sound = std::make_shared<const PcmSound>(std::move(read.sound));
            else
                why = QString::fromStdString(read.error);
        }
    }
    if (!sound)
        qWarning("wendrel: the key sound %s cannot be played: %s", qUtf8Printable(path), qUtf8Printable(why));
    return sound;
}

void AlsaSoundPlayer::play(const QString &path)
{
    player.play(soundFor(path));
}

void AlsaSoundPlayer::preload(const QStringList &paths)
{
    for (const QString &path : paths)
        player.prepare(soundFor(path));
}

} // namespace wendrel

extern "C" Q_DECL_EXPORT wendrel::SoundPlayer *wendrel_create_sound_player()
{
    return new wendrel::AlsaSoundPlayer;
}
