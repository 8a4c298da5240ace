// The key sounds as the program played them before its own player: Qt Multimedia's QSoundEffect,
// one per file. Built only for the sound benchmark, which compares it with libwendrel-sound.so;
// the program never loads it (it has the file name libwendrel-sound-qtmultimedia.so).
#include "Platform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QSoundEffect>
#include <QThread>
#include <QUrl>

namespace wendrel {

// QSoundEffect per file, each loaded once on first use. Without an audio device the
// effects stay silent and play() still returns at once.
class QtSoundPlayer final : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void play(const QString &path) override;
    void preload(const QStringList &paths) override;

private:
    QSoundEffect *effectFor(const QString &path);

    QHash<QString, QSoundEffect *> effects;
};

QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer()
{
    // Qt's shared sample cache deadlocks at program exit when a sample is still being loaded,
    // so let any load in progress finish first (a key sound takes milliseconds).
    QElapsedTimer waited;
    waited.start();
    const auto loading = [this] {
        for (const QSoundEffect *effect : std::as_const(effects)) {
            if (effect->status() == QSoundEffect::Loading)
                return true;
        }
        return false;
    };
    while (loading() && waited.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    qDeleteAll(effects);
}

QSoundEffect *QtSoundPlayer::effectFor(const QString &path)
{
    QSoundEffect *&effect = effects[path];
    if (!effect) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(path)); // loads in the background
    }
    return effect;
}

void QtSoundPlayer::play(const QString &path)
{
    for (QSoundEffect *effect : std::as_const(effects))
        effect->stop();
    effectFor(path)->play();
}

void QtSoundPlayer::preload(const QStringList &paths)
{
    for (const QString &path : paths)
        effectFor(path);
}

} // namespace wendrel

extern "C" Q_DECL_EXPORT wendrel::SoundPlayer *wendrel_create_sound_player()
{
    return new wendrel::QtSoundPlayer;
}
