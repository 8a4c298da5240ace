#include "KeySoundPlayer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdio>

namespace wendrel {

namespace {

// ALSA prints its own errors (a missing card, a missing server) on standard error; the
// player says once, in its own words, that the keys stay silent.
void quietAlsa(const char *, int, const char *, int, const char *, ...) {}

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
    error = "ALSA \"" + device + "\": " + what + ": " + snd_strerror(code);
    return true;
}

bool AlsaSink::configure(unsigned wantedRate, unsigned channels, std::string &error)
{
    if (!pcm) {
        if (failed(snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0), "cannot open", error)) {
            pcm = nullptr;
            return false;
        }
    } else {
        snd_pcm_drop(pcm);
    }
    snd_pcm_hw_params_t *hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned actualRate = wantedRate;
    unsigned bufferUs = 40000; // four periods: room for a key sound, little to wait behind
    unsigned periodUs = 10000;
    if (failed(snd_pcm_hw_params_any(pcm, hw), "no configuration", error)
        || failed(snd_pcm_hw_params_set_rate_resample(pcm, hw, 1), "resampling", error)
        || failed(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), "access", error)
        || failed(snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16), "16-bit samples", error)
        || failed(snd_pcm_hw_params_set_channels(pcm, hw, channels), "channels", error)
        || failed(snd_pcm_hw_params_set_rate_near(pcm, hw, &actualRate, nullptr), "rate", error)
        || failed(snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr), "buffer", error)
        || failed(snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr), "period", error)
        || failed(snd_pcm_hw_params(pcm, hw), "setting up", error)
        || failed(snd_pcm_hw_params_get_period_size(hw, &period, nullptr), "period", error)
        || failed(snd_pcm_hw_params_get_buffer_size(hw, &buffer), "buffer", error))
        return false;
    if (actualRate != wantedRate) {
        error = "ALSA \"" + device + "\": cannot play " + std::to_string(wantedRate) + " frames a second";
        return false;
    }
    rate = actualRate;
    // Start on the first period rather than a full buffer: a tap is heard as soon as it can be.
    snd_pcm_sw_params_t *sw;
    snd_pcm_sw_params_alloca(&sw);
    if (failed(snd_pcm_sw_params_current(pcm, sw), "software parameters", error)
        || failed(snd_pcm_sw_params_set_start_threshold(pcm, sw, period), "start threshold", error)
        || failed(snd_pcm_sw_params_set_avail_min(pcm, sw, period), "wake-up", error)
        || failed(snd_pcm_sw_params(pcm, sw), "software parameters", error)
        || failed(snd_pcm_prepare(pcm), "preparing", error))
        return false;
    return true;
}

long AlsaSink::write(const int16_t *samples, size_t frames, std::string &error)
{
    const snd_pcm_sframes_t written = snd_pcm_writei(pcm, samples, frames);
    if (written >= 0)
        return long(written);
    // An underrun or a suspend is mended and the write tried again; anything else is the
    // device gone.
    const int recovered = snd_pcm_recover(pcm, int(written), 1);
    if (failed(recovered, "playing", error))
        return -1;
    return 0;
}

void AlsaSink::start()
{
    if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED)
        snd_pcm_start(pcm);
}

std::chrono::microseconds AlsaSink::queued()
{
    snd_pcm_sframes_t delay = 0;
    if (!pcm || rate == 0 || snd_pcm_delay(pcm, &delay) < 0 || delay <= 0)
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
    snd_pcm_drop(pcm);
    snd_pcm_prepare(pcm);
}

void AlsaSink::close()
{
    if (pcm)
        snd_pcm_close(pcm);
    pcm = nullptr;
    period = buffer = 0;
}

} // namespace

std::unique_ptr<PcmSink> makeAlsaSink(const std::string &device)
{
    snd_lib_error_set_handler(quietAlsa);
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
