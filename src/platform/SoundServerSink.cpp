// The sound server's own client library: PulseAudio's simple API, which PipeWire serves as well
// (pipewire-pulse). It is loaded with dlopen only when a server's socket is there, so that a
// machine without one never maps libpulse and the codec libraries under it; with one, ALSA's
// configuration and its PulseAudio plugin are not needed.
#include "KeySoundPlayer.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace wendrel {

namespace {

struct PulseSimple {
    decltype(&pa_simple_new) create = nullptr;
    decltype(&pa_simple_free) free = nullptr;
    decltype(&pa_simple_write) write = nullptr;
    decltype(&pa_simple_flush) flush = nullptr;
    decltype(&pa_simple_get_latency) latency = nullptr;
    decltype(&pa_strerror) describe = nullptr;

    // nullptr when the library or one of its functions is missing.
    static const PulseSimple *load()
    {
        static const PulseSimple *loaded = [] () -> const PulseSimple * {
            void *library = dlopen("libpulse-simple.so.0", RTLD_NOW | RTLD_LOCAL);
            if (!library)
                return nullptr;
            static PulseSimple api;
            api.create = reinterpret_cast<decltype(api.create)>(dlsym(library, "pa_simple_new"));
            api.free = reinterpret_cast<decltype(api.free)>(dlsym(library, "pa_simple_free"));
            api.write = reinterpret_cast<decltype(api.write)>(dlsym(library, "pa_simple_write"));
            api.flush = reinterpret_cast<decltype(api.flush)>(dlsym(library, "pa_simple_flush"));
            api.latency = reinterpret_cast<decltype(api.latency)>(dlsym(library, "pa_simple_get_latency"));
            api.describe = reinterpret_cast<decltype(api.describe)>(dlsym(library, "pa_strerror"));
            if (!api.create || !api.free || !api.write || !api.flush || !api.latency || !api.describe)
                return nullptr;
            return &api;
        }();
        return loaded;
    }
};

class SoundServerSink final : public PcmSink {
public:
    explicit SoundServerSink(const PulseSimple &api) : api(api) {}
    ~SoundServerSink() override { close(); }

    bool configure(unsigned rate, unsigned channels, std::string &error) override;
    long write(const int16_t *samples, size_t frames, std::string &error) override;
    void start() override;
    std::chrono::microseconds queued() override;
    void stop() override;
    void close() override;
    size_t chunkFrames() const override { return period; }

private:
    const PulseSimple &api;
    pa_simple *stream = nullptr;
    size_t frameBytes = 0;
    size_t period = 256;       // frames: ~10 ms
    size_t sinceStop = 0;      // bytes written since the stream last stopped
    size_t startBytes = 0;     // the server starts the stream once it has this much
};

bool SoundServerSink::configure(unsigned rate, unsigned channels, std::string &error)
{
    close();
    const pa_sample_spec format{PA_SAMPLE_S16NE, rate, uint8_t(channels)};
    frameBytes = 2 * channels;
    period = std::max<size_t>(rate / 100, 1);
    // A ~40 ms buffer that starts playing on its first ~10 ms, as the ALSA player does.
    pa_buffer_attr attributes;
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(4 * period * frameBytes);
    attributes.prebuf = uint32_t(period * frameBytes);
    attributes.minreq = uint32_t(period * frameBytes);
    attributes.fragsize = uint32_t(-1);
    startBytes = attributes.prebuf;
    int code = 0;
    stream = api.create(nullptr, "Wendrel", PA_STREAM_PLAYBACK, nullptr, "key sounds", &format, nullptr,
                        &attributes, &code);
    if (!stream) {
        error = std::string("the sound server: ") + api.describe(code);
        return false;
    }
    sinceStop = 0;
    return true;
}

long SoundServerSink::write(const int16_t *samples, size_t frames, std::string &error)
{
    int code = 0;
    if (api.write(stream, samples, frames * frameBytes, &code) < 0) {
        error = std::string("the sound server: ") + api.describe(code);
        return -1;
    }
    sinceStop += frames * frameBytes;
    return long(frames);
}

void SoundServerSink::start()
{
    // A sound shorter than the start's threshold is made up to it with silence, so that it
    // plays now and not when the next one comes.
    if (sinceStop >= startBytes)
        return;
    const std::vector<uint8_t> silence(startBytes - sinceStop, 0);
    int code = 0;
    if (api.write(stream, silence.data(), silence.size(), &code) == 0)
        sinceStop = startBytes;
}

std::chrono::microseconds SoundServerSink::queued()
{
    int code = 0;
    const pa_usec_t left = stream ? api.latency(stream, &code) : 0;
    if (left == pa_usec_t(-1))
        return std::chrono::microseconds(0);
    return std::chrono::microseconds(std::min<pa_usec_t>(left, 1000000));
}

void SoundServerSink::stop()
{
    int code = 0;
    if (stream)
        api.flush(stream, &code);
    sinceStop = 0;
}

void SoundServerSink::close()
{
    if (stream)
        api.free(stream);
    stream = nullptr;
}

// The sound server first; when it cannot be had (its library missing, or its socket left
// behind by a server that ended), ALSA for the rest of the run. The libraries are loaded on the
// player's thread, at the first sound.
class ServerThenAlsaSink final : public PcmSink {
public:
    explicit ServerThenAlsaSink(std::string alsaDevice) : alsaDevice(std::move(alsaDevice)) {}

    bool configure(unsigned rate, unsigned channels, std::string &error) override
    {
        if (!triedServer) {
            triedServer = true;
            if (const PulseSimple *api = PulseSimple::load())
                server = std::make_unique<SoundServerSink>(*api);
            else
                serverError = "the sound server: libpulse-simple.so.0 cannot be loaded";
        }
        if (server) {
            if (server->configure(rate, channels, error))
                return true;
            serverError = error;
            server.reset();
        }
        if (!alsa)
            alsa = makeAlsaSink(alsaDevice);
        if (alsa->configure(rate, channels, error))
            return true;
        error = serverError + "; " + error;
        return false;
    }
    long write(const int16_t *samples, size_t frames, std::string &error) override
    {
        return current().write(samples, frames, error);
    }
    void start() override { current().start(); }
    std::chrono::microseconds queued() override { return current().queued(); }
    void stop() override { current().stop(); }
    void close() override { current().close(); }
    size_t chunkFrames() const override { return server ? server->chunkFrames() : alsa ? alsa->chunkFrames() : 256; }

private:
    PcmSink &current()
    {
        if (!server && !alsa)
            alsa = makeAlsaSink(alsaDevice);
        return server ? *server : *alsa;
    }

    bool triedServer = false;
    std::unique_ptr<PcmSink> server;
    std::unique_ptr<PcmSink> alsa;
    std::string alsaDevice;
    std::string serverError;
};

bool serverSocketThere()
{
    const char *named = std::getenv("PULSE_SERVER");
    if (named && *named)
        return true;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return false;
    struct stat status;
    return stat((std::string(runtime) + "/pulse/native").c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

} // namespace

std::unique_ptr<PcmSink> makeKeySoundSink(const char *alsaDevice)
{
    if (alsaDevice && *alsaDevice)
        return makeAlsaSink(alsaDevice);
    if (serverSocketThere())
        return std::make_unique<ServerThenAlsaSink>("default");
    return makeAlsaSink("default");
}

} // namespace wendrel
