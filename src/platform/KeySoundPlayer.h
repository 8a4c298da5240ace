#pragma once
// The key sounds' player: sounds already in memory, played on a thread of their own so that a
// tap never waits for the sound device, each new sound cutting short the one still playing.
#include "WavReader.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace wendrel {

// Where the samples go. Called on the player's thread only.
class PcmSink {
public:
    virtual ~PcmSink() = default;
    // Makes the device ready for samples of this format, opening it when needed; false with the
    // reason in error when it cannot.
    virtual bool configure(unsigned rate, unsigned channels, std::string &error) = 0;
    // Queues frames and returns how many were taken, waiting for room at most about one
    // period; negative when the device failed (the reason in error) and must be configured
    // again.
    virtual long write(const int16_t *samples, size_t frames, std::string &error) = 0;
    // Starts the device on what was queued (when too little was queued to start it by itself).
    virtual void start() = 0;
    // How long what was queued still plays.
    virtual std::chrono::microseconds queued() = 0;
    // Throws away what was queued at once, ready for new samples of the same format.
    virtual void stop() = 0;
    // Lets the device go (the next configure opens it again).
    virtual void close() = 0;
    // About how many frames a write takes at a time (the device's period).
    virtual size_t chunkFrames() const = 0;
};

// ALSA's PCM playback: the device named (ALSA's "default", which on a desktop goes to
// PipeWire or PulseAudio), opened on the first sound, with ~10 ms periods and a ~40 ms buffer.
// ALSA's own error printing is silenced: the player says what went wrong once.
std::unique_ptr<PcmSink> makeAlsaSink(const std::string &device);

// Where the key sounds go: the ALSA device named, when one is; else the sound server (PulseAudio,
// or PipeWire through pipewire-pulse) through its own client library when its socket is there
// ($PULSE_SERVER, or $XDG_RUNTIME_DIR/pulse/native) and the library loads, ALSA's "default" when
// the server cannot be had after all; else ALSA's "default" (a sound card, or no device at all).
std::unique_ptr<PcmSink> makeKeySoundSink(const char *alsaDevice);

class KeySoundPlayer {
public:
    using Report = std::function<void(const std::string &)>;
    // report gets the single line said when the device cannot be had (standard error when
    // none is given); it is called on the player's thread.
    explicit KeySoundPlayer(std::unique_ptr<PcmSink> sink, Report report = {});
    ~KeySoundPlayer();
    KeySoundPlayer(const KeySoundPlayer &) = delete;
    KeySoundPlayer &operator=(const KeySoundPlayer &) = delete;

    // Returns at once: the sound starts on the player's thread, replacing the one playing.
    // A sound asked for while another waits to start takes its place.
    void play(std::shared_ptr<const PcmSound> sound);
    // Opens the device ahead of the first sound (on the player's thread), in this format.
    void prepare(std::shared_ptr<const PcmSound> sound);

    // After the device failed, another try is made on a sound at most this often, silently.
    static constexpr std::chrono::seconds retryAfter{30};

private:
    void run();
    bool ready(const PcmSound &sound);
    void playOne(const PcmSound &sound);
    void fail(const std::string &error);

    std::unique_ptr<PcmSink> sink;
    Report report;

    std::mutex mutex;
    std::condition_variable wake;
    std::shared_ptr<const PcmSound> next; // under mutex
    bool nextIsPrepareOnly = false;       // under mutex
    bool quitting = false;                // under mutex
    std::atomic<bool> pending{false};     // a new sound or the end waits: cut the current one short

    // The player's thread's own.
    bool configured = false;
    unsigned rate = 0, channels = 0;
    bool playing = false;
    bool reported = false;
    std::chrono::steady_clock::time_point failedAt{};
    bool failed = false;

    std::thread thread; // last: starts once everything above is built
};

} // namespace wendrel
