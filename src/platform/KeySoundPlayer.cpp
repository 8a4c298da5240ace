#include "KeySoundPlayer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdio>
#include <dlfcn.h>
#include <vector>

namespace wendrel {

namespace {

// libasound is opened with dlopen when the sound goes through ALSA, so that a player that
// reaches the sound server through its own library never maps it.
#define WENDREL_ALSA_FUNCTIONS(X)                                                                          \
    X(snd_pcm_open) X(snd_pcm_close) X(snd_pcm_hw_params_sizeof) X(snd_pcm_hw_params_any)                    \
    X(snd_pcm_hw_params_set_rate_resample) X(snd_pcm_hw_params_set_access) X(snd_pcm_hw_params_set_format)    \
    X(snd_pcm_hw_params_set_channels) X(snd_pcm_hw_params_set_rate_near) X(snd_pcm_hw_params_set_buffer_time_near) \
    X(snd_pcm_hw_params_set_period_time_near) X(snd_pcm_hw_params) X(snd_pcm_hw_params_get_period_size)       \
    X(snd_pcm_hw_params_get_buffer_size) X(snd_pcm_sw_params_sizeof) X(snd_pcm_sw_params_current)             \
    X(snd_pcm_sw_params_set_start_threshold) X(snd_pcm_sw_params_set_avail_min) X(snd_pcm_sw_params)          \
    X(snd_pcm_prepare) X(snd_pcm_writei) X(snd_pcm_recover) X(snd_pcm_state) X(snd_pcm_start)                 \
    X(snd_pcm_delay) X(snd_pcm_drop) X(snd_strerror) X(snd_lib_error_set_handler)

struct AlsaLibrary {
#define WENDREL_ALSA_MEMBER(name) decltype(&::name) name = nullptr;
    WENDREL_ALSA_FUNCTIONS(WENDREL_ALSA_MEMBER)
#undef WENDREL_ALSA_MEMBER

    // nullptr when libasound.so.2 or one of its functions is missing.
    static const AlsaLibrary *load();
};

void quietAlsa(const char *, int, const char *, int, const char *, ...) {}

const AlsaLibrary *AlsaLibrary::load()
{
    static const AlsaLibrary *loaded = []() -> const AlsaLibrary * {
        void *library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static AlsaLibrary api;
        bool complete = true;
#define WENDREL_ALSA_RESOLVE(name)                                                                      \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(library, #name));                               \
    complete = complete && api.name;
        WENDREL_ALSA_FUNCTIONS(WENDREL_ALSA_RESOLVE)
#undef WENDREL_ALSA_RESOLVE
        if (!complete)
            return nullptr;
        // ALSA prints its own errors (a missing card, a missing server) on standard error; the
        // player says once, in its own words, that the keys stay silent.
        api.snd_lib_error_set_handler(quietAlsa);
        return &api;
    }();
    return loaded;
}

class AlsaSink final : public PcmSink {
public:
    explicit AlsaSink(std::string device) : device(std::move(device)) {}
    ~AlsaSink() override { close(); }

    bool configure(unsigned rate, unsigned channels, std::string &error) override;
    long write(const int16_t *samples, size_t frames, std::string &error) override;
    void start() override;
    std::chrono::microseconds queued() override;
    void stop() override;
    void close() override;
    size_t chunkFrames() const override { return period ? size_t(period) : 256; }

private:
    bool failed(int code, const char *what, std::string &error);

    const AlsaLibrary *alsa = nullptr; // loaded on the player's thread, at the first sound
    std::string device;
    snd_pcm_t *pcm = nullptr;
    snd_pcm_uframes_t period = 0;
    snd_pcm_uframes_t buffer = 0;
    unsigned rate = 0;
};

bool AlsaSink::failed(int code, const char *what, std::string &error)
{
    if (code >= 0)
        return false;
    error = "ALSA \"" + device + "\": " + what + ": " + alsa->snd_strerror(code);
    return true;
}

bool AlsaSink::configure(unsigned wantedRate, unsigned channels, std::string &error)
{
    if (!alsa)
        alsa = AlsaLibrary::load();
    if (!alsa) {
        error = "ALSA: libasound.so.2 cannot be loaded";
        return false;
    }
    if (!pcm) {
        if (failed(alsa->snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0), "cannot open", error)) {
            pcm = nullptr;
            return false;
        }
    } else {
        alsa->snd_pcm_drop(pcm);
    }
    std::vector<char> hwSpace(alsa->snd_pcm_hw_params_sizeof());
    auto *hw = reinterpret_cast<snd_pcm_hw_params_t *>(hwSpace.data());
    unsigned actualRate = wantedRate;
    unsigned bufferUs = 40000; // four periods: room for a key sound, little to wait behind
    unsigned periodUs = 10000;
    if (failed(alsa->snd_pcm_hw_params_any(pcm, hw), "no configuration", error)
        || failed(alsa->snd_pcm_hw_params_set_rate_resample(pcm, hw, 1), "resampling", error)
        || failed(alsa->snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), "access", error)
        || failed(alsa->snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16), "16-bit samples", error)
        || failed(alsa->snd_pcm_hw_params_set_channels(pcm, hw, channels), "channels", error)
        || failed(alsa->snd_pcm_hw_params_set_rate_near(pcm, hw, &actualRate, nullptr), "rate", error)
        || failed(alsa->snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr), "buffer", error)
        || failed(alsa->snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr), "period", error)
        || failed(alsa->snd_pcm_hw_params(pcm, hw), "setting up", error)
        || failed(alsa->snd_pcm_hw_params_get_period_size(hw, &period, nullptr), "period", error)
        || failed(alsa->snd_pcm_hw_params_get_buffer_size(hw, &buffer), "buffer", error))
        return false;
    if (actualRate != wantedRate) {
        error = "ALSA \"" + device + "\": cannot play " + std::to_string(wantedRate) + " frames a second";
        return false;
    }
    rate = actualRate;
    // Start on the first period rather than a full buffer: a tap is heard as soon as it can be.
    std::vector<char> swSpace(alsa->snd_pcm_sw_params_sizeof());
    auto *sw = reinterpret_cast<snd_pcm_sw_params_t *>(swSpace.data());
    if (failed(alsa->snd_pcm_sw_params_current(pcm, sw), "software parameters", error)
        || failed(alsa->snd_pcm_sw_params_set_start_threshold(pcm, sw, period), "start threshold", error)
        || failed(alsa->snd_pcm_sw_params_set_avail_min(pcm, sw, period), "wake-up", error)
        || failed(alsa->snd_pcm_sw_params(pcm, sw), "software parameters", error)
        || failed(alsa->snd_pcm_prepare(pcm), "preparing", error))
        return false;
    return true;
}

long AlsaSink::write(const int16_t *samples, size_t frames, std::string &error)
{
    const snd_pcm_sframes_t written = alsa->snd_pcm_writei(pcm, samples, frames);
    if (written >= 0)
        return long(written);
    // An underrun or a suspend is mended and the write tried again; anything else is the
    // device gone.
    const int recovered = alsa->snd_pcm_recover(pcm, int(written), 1);
    if (failed(recovered, "playing", error))
        return -1;
    return 0;
}

void AlsaSink::start()
{
    if (alsa->snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED)
        alsa->snd_pcm_start(pcm);
}

std::chrono::microseconds AlsaSink::queued()
{
    snd_pcm_sframes_t delay = 0;
    if (!pcm || rate == 0 || alsa->snd_pcm_delay(pcm, &delay) < 0 || delay <= 0)
        return std::chrono::microseconds(0);
    // Never more than the buffer and the device's latency could hold: a device that reports
    // nonsense does not hold the player up.
    const snd_pcm_sframes_t most = snd_pcm_sframes_t(buffer) + rate; // + 1 s
    return std::chrono::microseconds(std::min(delay, most) * 1000000LL / rate);
}

void AlsaSink::stop()
{
    if (!pcm)
        return;
    alsa->snd_pcm_drop(pcm);
    alsa->snd_pcm_prepare(pcm);
}

void AlsaSink::close()
{
    if (pcm)
        alsa->snd_pcm_close(pcm);
    pcm = nullptr;
    period = buffer = 0;
}

} // namespace

std::unique_ptr<PcmSink> makeAlsaSink(const std::string &device)
{
    return std::make_unique<AlsaSink>(device);
}

KeySoundPlayer::KeySoundPlayer(std::unique_ptr<PcmSink> sink, Report report)
    : sink(std::move(sink)), report(std::move(report)), thread([this] { run(); })
{
}

KeySoundPlayer::~KeySoundPlayer()
{
    {
        std::lock_guard lock(mutex);
        quitting = true;
        pending = true;
    }
    wake.notify_one();
    thread.join();
}

void KeySoundPlayer::play(std::shared_ptr<const PcmSound> sound)
{
    if (!sound || sound->frames() == 0)
        return;
    {
        std::lock_guard lock(mutex);
        next = std::move(sound);
        nextIsPrepareOnly = false;
        pending = true;
    }
    wake.notify_one();
}

void KeySoundPlayer::prepare(std::shared_ptr<const PcmSound> sound)
{
    if (!sound || sound->frames() == 0)
        return;
    {
        std::lock_guard lock(mutex);
        if (next)
            return; // a sound to play opens the device anyway
        next = std::move(sound);
        nextIsPrepareOnly = true;
    }
    wake.notify_one();
}

void KeySoundPlayer::run()
{
    std::unique_lock lock(mutex);
    const auto asked = [this] { return quitting || next != nullptr; };
    for (;;) {
        if (playing) {
            // Wait for the sound to play out, or for the next one to cut it short.
            lock.unlock();
            const auto left = sink->queued();
            lock.lock();
            if (!wake.wait_for(lock, left + std::chrono::milliseconds(2), asked)) {
                lock.unlock();
                sink->stop(); // played out: the device rests, ready for the next
                lock.lock();
                playing = false;
                continue;
            }
        } else {
            wake.wait(lock, asked);
        }
        if (quitting)
            break;
        const std::shared_ptr<const PcmSound> sound = std::move(next);
        const bool prepareOnly = nextIsPrepareOnly;
        next.reset();
        nextIsPrepareOnly = false;
        pending = false;
        lock.unlock();
        if (prepareOnly)
            ready(*sound);
        else
            playOne(*sound);
        lock.lock();
    }
    lock.unlock();
    sink->close();
}

bool KeySoundPlayer::ready(const PcmSound &sound)
{
    if (configured && rate == sound.rate && channels == sound.channels)
        return true;
    if (failed && std::chrono::steady_clock::now() - failedAt < retryAfter)
        return false;
    if (playing) {
        sink->stop();
        playing = false;
    }
    std::string error;
    if (!sink->configure(sound.rate, sound.channels, error)) {
        fail(error);
        return false;
    }
    configured = true;
    failed = false;
    rate = sound.rate;
    channels = sound.channels;
    return true;
}

void KeySoundPlayer::fail(const std::string &error)
{
    failed = true;
    failedAt = std::chrono::steady_clock::now();
    configured = false;
    playing = false;
    sink->close();
    if (reported)
        return;
    reported = true;
    const std::string line = "wendrel: the key sounds stay silent: " + error;
    if (report)
        report(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

void KeySoundPlayer::playOne(const PcmSound &sound)
{
    if (!ready(sound))
        return;
    if (playing)
        sink->stop(); // the quick stop: the sound still playing gives way at once
    playing = true;
    const int16_t *samples = sound.samples.data();
    size_t left = sound.frames();
    while (left > 0) {
        if (pending)
            return; // the next sound (or the end) waits: it stops this one
        std::string error;
        const long taken = sink->write(samples, std::min(left, sink->chunkFrames()), error);
        if (taken < 0) {
            fail(error);
            return;
        }
        samples += size_t(taken) * sound.channels;
        left -= std::min(left, size_t(taken));
    }
    sink->start();
}

} // namespace wendrel
