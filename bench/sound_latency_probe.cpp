// Tap to the start of the sound: a key sounds' module (libwendrel-sound.so, or the old Qt
// Multimedia player built for the comparison) is loaded as the program loads it, its sound
// preloaded as after the first frame, and then played at taps 180 to 260 ms apart from a timer
// on the event loop, as the window's thread plays it. Meanwhile parec records the monitor of the
// sound server's null sink, which the player plays to (48,000 frames a second, mono, 16 bits).
//
// Usage: sound_latency_probe <module> <wav file> <monitor source> <taps>
// The start of a tap's sound is when the recording had its first loud sample: the null sink
// plays a block of a few milliseconds at a time and hands it to its monitor at once, so this is
// the time the sound server played it, plus the monitor's short delivery (an upper bound).
// The recording's own clock (the smallest bound on its first sample's time: w - n / rate for a
// block read at w that ends with the n-th sample) only finds each tap's place in it.
// Prints "<median ms> <90th percentile ms> <taps heard>/<taps>" (SOUND_PROBE_VERBOSE set: each
// tap on standard error); a tap whose sound has not started by the next tap is not heard.
#include "Platform.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int rate = 48000;
constexpr int threshold = 1000; // of 32,767: far above the null sink's silence

double seconds(Clock::time_point t)
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

class Recorder {
public:
    explicit Recorder(const char *source)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const std::string device = std::string("--device=") + source;
        const char *argv[] = {"parec", "--raw", "--format=s16le", "--rate=48000", "--channels=1",
                              "--latency-msec=2", device.c_str(), nullptr};
        if (posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char **>(argv), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        fd = pipeFds[0];
        reader = std::thread([this] { read(); });
    }
    ~Recorder()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (reader.joinable())
            reader.join();
        close(fd);
    }
    // The recording so far and the time of its first sample.
    std::vector<int16_t> samples(double &start)
    {
        std::lock_guard lock(mutex);
        start = startBound;
        return recorded;
    }
    // When the sample was in the probe's hands (the time its block was read).
    double arrival(size_t sample)
    {
        std::lock_guard lock(mutex);
        const auto block = std::upper_bound(blocks.begin(), blocks.end(), sample,
                                            [](size_t s, const std::pair<size_t, double> &b) { return s < b.first; });
        return block == blocks.end() ? 1e300 : block->second;
    }
    size_t size()
    {
        std::lock_guard lock(mutex);
        return recorded.size();
    }

private:
    void read()
    {
        std::vector<char> block(rate / 1000 * 2 * 2); // 2 ms
        std::vector<char> odd;
        for (;;) {
            const ssize_t got = ::read(fd, block.data(), block.size());
            const double now = seconds(Clock::now());
            if (got <= 0)
                return;
            odd.insert(odd.end(), block.begin(), block.begin() + got);
            std::lock_guard lock(mutex);
            for (size_t i = 0; i + 1 < odd.size(); i += 2)
                recorded.push_back(int16_t(uint8_t(odd[i]) | (uint8_t(odd[i + 1]) << 8)));
            odd.erase(odd.begin(), odd.begin() + (odd.size() & ~size_t(1)));
            startBound = std::min(startBound, now - double(recorded.size()) / rate);
            blocks.emplace_back(recorded.size(), now);
        }
    }

    pid_t pid = -1;
    int fd = -1;
    std::thread reader;
    std::mutex mutex;
    std::vector<int16_t> recorded;
    std::vector<std::pair<size_t, double>> blocks; // the recording's length after each read, and when
    double startBound = 1e300;
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fputs("usage: sound_latency_probe <module> <wav file> <monitor source> <taps>\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString wav = QString::fromLocal8Bit(argv[2]);
    const int taps = std::atoi(argv[4]);
    Recorder recorder(argv[3]);
    for (int i = 0; i < 500 && recorder.size() < rate / 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (recorder.size() < rate / 5) {
        std::fputs("sound_latency_probe: parec records nothing\n", stderr);
        return 1;
    }

    QLibrary module(QString::fromLocal8Bit(argv[1]));
    using Create = wendrel::SoundPlayer *(*)();
    const auto create = reinterpret_cast<Create>(module.resolve("wendrel_create_sound_player"));
    if (!create) {
        std::fprintf(stderr, "sound_latency_probe: %s\n", qPrintable(module.errorString()));
        return 1;
    }
    std::unique_ptr<wendrel::SoundPlayer> player(create());
    player->preload({wav});

    std::vector<double> tapTimes;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> gap(180, 260);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (int(tapTimes.size()) == taps) {
            app.quit();
            return;
        }
        tapTimes.push_back(seconds(Clock::now()));
        player->play(wav);
        timer.start(int(tapTimes.size()) == taps ? 400 : gap(random));
    });
    timer.start(700); // the module's preload has settled, as it has by the first tap in the program
    app.exec();

    double start = 0;
    const std::vector<int16_t> recorded = recorder.samples(start);
    std::vector<double> placed, arrived;
    const bool verbose = qEnvironmentVariableIsSet("SOUND_PROBE_VERBOSE");
    for (size_t k = 0; k < tapTimes.size(); ++k) {
        // The null sink hands the monitor what it played in blocks of a few milliseconds, each
        // put at the block's start: a sound can be placed a little before its tap.
        const auto from = long(std::floor((tapTimes[k] - start - 0.03) * rate));
        const long until = k + 1 < tapTimes.size() ? long((tapTimes[k + 1] - start) * rate) : long(recorded.size());
        long onset = -1;
        for (long i = std::max(0L, from); i < std::min(until, long(recorded.size())); ++i) {
            if (std::abs(int(recorded[size_t(i)])) > threshold) {
                onset = i;
                break;
            }
        }
        if (onset < 0) {
            if (verbose)
                std::fprintf(stderr, "tap %zu: not heard before the next tap\n", k);
            continue;
        }
        placed.push_back((start + double(onset) / rate - tapTimes[k]) * 1000);
        arrived.push_back((recorder.arrival(size_t(onset)) - tapTimes[k]) * 1000);
        if (verbose)
            std::fprintf(stderr, "tap %zu: %.1f ms on the sink's clock, in the recording %.1f ms after the tap\n", k,
                         placed.back(), arrived.back());
    }
    player.reset();
    if (placed.empty()) {
        std::printf("- - 0/%d\n", taps);
        return 1;
    }
    std::printf("%.1f %.1f %zu/%d\n", percentile(arrived, 0.5), percentile(arrived, 0.9), arrived.size(), taps);
    return 0;
}
