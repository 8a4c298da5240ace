// The key sounds' player: the WAV reader on good and damaged files, and the player on ALSA
// without a device, on ALSA's file plugin, and on a device that holds its writes.
#include "KeySoundPlayer.h"
#include "WavReader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

using namespace wendrel;
using Bytes = std::vector<uint8_t>;

namespace {

void put16(Bytes &bytes, unsigned value)
{
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

void put32(Bytes &bytes, uint32_t value)
{
    put16(bytes, value & 0xffff);
    put16(bytes, value >> 16);
}

// A chunk; its stated size is the body's unless one is given (a lying header).
Bytes chunk(const char *id, const Bytes &body, std::optional<uint32_t> statedSize = {})
{
    Bytes bytes(id, id + 4);
    put32(bytes, statedSize.value_or(uint32_t(body.size())));
    bytes.insert(bytes.end(), body.begin(), body.end());
    if (body.size() % 2)
        bytes.push_back(0);
    return bytes;
}

Bytes fmt(unsigned tag, unsigned channels, uint32_t rate, unsigned bits, std::optional<unsigned> blockAlign = {})
{
    const unsigned align = blockAlign.value_or(channels * bits / 8);
    Bytes body;
    put16(body, tag);
    put16(body, channels);
    put32(body, rate);
    put32(body, rate * align);
    put16(body, align);
    put16(body, bits);
    return chunk("fmt ", body);
}

// WAVE_FORMAT_EXTENSIBLE with the sub-format given by its number (1: PCM, 3: floating point).
Bytes extensibleFmt(unsigned channels, unsigned bits, unsigned subFormat)
{
    Bytes body;
    put16(body, 0xfffe);
    put16(body, channels);
    put32(body, 44100);
    put32(body, 44100 * channels * bits / 8);
    put16(body, channels * bits / 8);
    put16(body, bits);
    put16(body, 22);
    put16(body, bits);
    put32(body, channels == 2 ? 3 : 4);
    put16(body, subFormat);
    const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
    body.insert(body.end(), tail, tail + 14);
    return chunk("fmt ", body);
}

Bytes riff(const std::vector<Bytes> &chunks, std::optional<uint32_t> statedSize = {}, const Bytes &after = {})
{
    Bytes inside = {'W', 'A', 'V', 'E'};
    for (const Bytes &c : chunks)
        inside.insert(inside.end(), c.begin(), c.end());
    Bytes bytes = {'R', 'I', 'F', 'F'};
    put32(bytes, statedSize.value_or(uint32_t(inside.size())));
    bytes.insert(bytes.end(), inside.begin(), inside.end());
    bytes.insert(bytes.end(), after.begin(), after.end());
    return bytes;
}

Bytes cut(Bytes bytes, size_t less)
{
    bytes.resize(bytes.size() - less);
    return bytes;
}

const Bytes pcm16 = {0x00, 0x80, 0xff, 0x7f, 0x01, 0x00, 0xfe, 0xff}; // -32768 32767 1 -2

struct GoodWav {
    const char *name;
    Bytes bytes;
    unsigned rate;
    unsigned channels;
    std::vector<int16_t> samples;
};

TEST(WavReader, ReadsIntegerPcmIntoSixteenBitSamples)
{
    const GoodWav cases[] = {
        {"16-bit mono", riff({fmt(1, 1, 22050, 16), chunk("data", pcm16)}), 22050, 1, {-32768, 32767, 1, -2}},
        {"8-bit mono (unsigned)", riff({fmt(1, 1, 8000, 8), chunk("data", {0, 128, 255})}), 8000, 1, {-32768, 0, 32512}},
        {"16-bit stereo, the last frame incomplete", riff({fmt(1, 2, 48000, 16), chunk("data", {1, 0, 2, 0, 3})}),
         48000, 2, {1, 2}},
        {"8-bit stereo after an odd-sized chunk and its padding",
         riff({fmt(1, 2, 11025, 8), chunk("LIST", {'a', 'b', 'c'}), chunk("data", {0, 255, 128, 129})}), 11025, 2,
         {-32768, 32512, 0, 256}},
        {"the data before the format", riff({chunk("data", pcm16), fmt(1, 1, 44100, 16)}), 44100, 1, {-32768, 32767, 1, -2}},
        {"bytes after the RIFF chunk are not the sound's",
         riff({fmt(1, 1, 22050, 16), chunk("data", pcm16)}, {}, {'j', 'u', 'n', 'k', 0xff, 0xff, 0xff, 0xff}), 22050, 1,
         {-32768, 32767, 1, -2}},
        {"an odd last chunk without its padding byte",
         cut(riff({fmt(1, 1, 8000, 8), chunk("data", {0, 128, 255})}, 4 + 24 + 8 + 3), 1), 8000, 1, {-32768, 0, 32512}},
        {"extensible, PCM sub-format", riff({extensibleFmt(2, 16, 1), chunk("data", pcm16)}), 44100, 2,
         {-32768, 32767, 1, -2}},
    };
    for (const GoodWav &good : cases) {
        SCOPED_TRACE(good.name);
        const WavResult read = readWav(good.bytes);
        EXPECT_EQ(read.error, "");
        EXPECT_EQ(read.sound.rate, good.rate);
        EXPECT_EQ(read.sound.channels, good.channels);
        EXPECT_EQ(read.sound.samples, good.samples);
    }
}

struct BadWav {
    const char *name;
    Bytes bytes;
    const char *says; // a part of the message
};

TEST(WavReader, RefusesWhatItCannotPlayWithOneMessage)
{
    const Bytes good = riff({fmt(1, 1, 22050, 16), chunk("data", pcm16)});
    const BadWav cases[] = {
        {"empty", {}, "not a WAV file"},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, "not a WAV file"},
        {"not WAVE", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a WAV file"},
        {"truncated: the RIFF header says more", cut(good, 3), "truncated"},
        {"the RIFF size too small for WAVE", riff({}, 2), "truncated"},
        {"the RIFF size at its largest", riff({fmt(1, 1, 22050, 16), chunk("data", pcm16)}, 0xffffffff), "truncated"},
        {"the data chunk claims more than there is",
         riff({fmt(1, 1, 22050, 16), chunk("data", pcm16, 1000)}), "\"data\" chunk says it is longer"},
        {"a chunk size at its largest", riff({chunk("LIST", {}, 0xffffffff), fmt(1, 1, 22050, 16), chunk("data", pcm16)}),
         "\"LIST\" chunk says it is longer"},
        {"a chunk header cut short", riff({fmt(1, 1, 22050, 16), chunk("data", pcm16), Bytes{'L', 'I', 'S'}}),
         "cut short"},
        {"the format chunk too short", riff({chunk("fmt ", {1, 0, 1, 0, 0x22, 0x56, 0, 0}), chunk("data", pcm16)}),
         "format chunk is too short"},
        {"floating point samples", riff({fmt(3, 1, 44100, 32), chunk("data", pcm16)}), "format 3"},
        {"ADPCM", riff({fmt(2, 1, 22050, 4, 256), chunk("data", pcm16)}), "format 2"},
        {"extensible, floating point", riff({extensibleFmt(2, 32, 3), chunk("data", pcm16)}), "format 3"},
        {"extensible, cut short", riff({fmt(0xfffe, 1, 22050, 16), chunk("data", pcm16)}), "extensible"},
        {"24-bit samples", riff({fmt(1, 1, 44100, 24), chunk("data", pcm16)}), "24-bit"},
        {"no channels", riff({fmt(1, 0, 44100, 16, 2), chunk("data", pcm16)}), "0 channels"},
        {"six channels", riff({fmt(1, 6, 44100, 16), chunk("data", pcm16)}), "6 channels"},
        {"no frames a second", riff({fmt(1, 1, 0, 16), chunk("data", pcm16)}), "0 frames a second"},
        {"four million frames a second", riff({fmt(1, 1, 4000000, 16), chunk("data", pcm16)}), "frames a second"},
        {"a frame size that lies", riff({fmt(1, 2, 22050, 16, 2), chunk("data", pcm16)}), "frame size"},
        {"no format chunk", riff({chunk("data", pcm16)}), "no format chunk"},
        {"no data chunk", riff({fmt(1, 1, 22050, 16)}), "no data chunk"},
        {"no samples", riff({fmt(1, 1, 22050, 16), chunk("data", {7})}), "no samples"},
        {"two format chunks", riff({fmt(1, 1, 22050, 16), fmt(1, 2, 22050, 16), chunk("data", pcm16)}), "two format"},
        {"two data chunks", riff({fmt(1, 1, 22050, 16), chunk("data", pcm16), chunk("data", pcm16)}), "two data"},
    };
    for (const BadWav &bad : cases) {
        SCOPED_TRACE(bad.name);
        const WavResult read = readWav(bad.bytes);
        EXPECT_NE(read.error.find(bad.says), std::string::npos) << read.error;
        EXPECT_TRUE(read.sound.samples.empty());
    }
    // Every cut of a good file is refused or read, never read past its end.
    for (size_t length = 0; length < good.size(); ++length) {
        const Bytes shorter(good.begin(), good.begin() + length);
        EXPECT_NE(readWav(shorter).error, "") << length << " bytes";
    }
}

TEST(WavReader, ReadsTheKeySounds)
{
    for (int n = 1; n <= 5; ++n) {
        const QString path = QStringLiteral(WENDREL_RESOURCES "/sound%1.wav").arg(n);
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const WavResult read = readWav(std::span(reinterpret_cast<const uint8_t *>(bytes.data()), size_t(bytes.size())));
        EXPECT_EQ(read.error, "");
        EXPECT_GT(read.sound.frames(), 100u);
    }
}

std::shared_ptr<const PcmSound> soundOf(std::vector<int16_t> samples, unsigned channels = 1, unsigned rate = 22050)
{
    auto sound = std::make_shared<PcmSound>();
    sound->rate = rate;
    sound->channels = channels;
    sound->samples = std::move(samples);
    return sound;
}

// Waits (at most 10 s) for what the check says; false when it never came.
template<typename Check>
bool eventually(Check check)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!check()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

int lines(const std::string &text)
{
    return int(std::count(text.begin(), text.end(), '\n'));
}

// Says the player's lines on standard error, as it does by default, and counts them.
struct Said {
    std::atomic<int> count{0};
    KeySoundPlayer::Report report()
    {
        return [this](const std::string &line) {
            std::fprintf(stderr, "%s\n", line.c_str());
            ++count;
        };
    }
};

// A machine without sound (a container, no ALSA card): one line on standard error, ALSA's own
// complaints silenced, and every tap returns at once.
TEST(KeySoundPlayer, WithoutADeviceSaysSoOnce)
{
    const auto sound = soundOf({1, 2, 3, 4});
    Said said;
    testing::internal::CaptureStderr();
    {
        KeySoundPlayer player(makeAlsaSink("hw:CARD=WendrelNoSuchCard"), said.report());
        player.prepare(sound);
        EXPECT_TRUE(eventually([&] { return said.count > 0; }));
        for (int tap = 0; tap < 30; ++tap) {
            player.play(sound);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines(printed), 1) << printed;
    EXPECT_NE(printed.find("the key sounds stay silent"), std::string::npos) << printed;
    EXPECT_NE(printed.find("WendrelNoSuchCard"), std::string::npos) << printed;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray bytesOf(const std::vector<int16_t> &samples)
{
    return QByteArray(reinterpret_cast<const char *>(samples.data()), qsizetype(samples.size() * 2));
}

// The samples reach ALSA as they were read: its file plugin writes what was played.
TEST(KeySoundPlayer, PlaysTheSamplesOnAlsa)
{
    QTemporaryDir folder;
    const QString out = folder.filePath(QStringLiteral("played.raw"));
    const WavResult read = readWav(riff({fmt(1, 2, 11025, 8), chunk("data", {0, 255, 128, 129, 64, 192})}));
    ASSERT_EQ(read.error, "");
    const auto sound = std::make_shared<const PcmSound>(read.sound);
    const QByteArray expected = bytesOf(sound->samples);
    {
        KeySoundPlayer player(makeAlsaSink("file:FILE=" + out.toStdString() + ",FORMAT=raw"));
        player.play(sound);
        EXPECT_TRUE(eventually([&] { return readAll(out).size() >= expected.size(); }));
    }
    EXPECT_EQ(readAll(out), expected);
}

// A new sound replaces the one playing: the next tap's sound is played whole, right after
// (part of) the one before.
TEST(KeySoundPlayer, NextSoundReplacesThePlayingOne)
{
    QTemporaryDir folder;
    const QString out = folder.filePath(QStringLiteral("played.raw"));
    std::vector<int16_t> longSamples(22050 * 2);
    for (size_t i = 0; i < longSamples.size(); ++i)
        longSamples[i] = int16_t(i % 1000 + 1);
    std::vector<int16_t> shortSamples(300, -7);
    const QByteArray first = bytesOf(longSamples), second = bytesOf(shortSamples);
    {
        KeySoundPlayer player(makeAlsaSink("file:FILE=" + out.toStdString() + ",FORMAT=raw"));
        player.play(soundOf(longSamples));
        player.play(soundOf(shortSamples));
        EXPECT_TRUE(eventually([&] { return readAll(out).endsWith(second); }));
    }
    const QByteArray played = readAll(out);
    ASSERT_TRUE(played.endsWith(second));
    EXPECT_TRUE(first.startsWith(played.left(played.size() - second.size())));
}

// A device the test holds: each write waits while held, and everything is written down.
class HeldSink final : public PcmSink {
public:
    bool configure(unsigned rate, unsigned channels, std::string &) override
    {
        note("configure " + std::to_string(rate) + "/" + std::to_string(channels));
        return true;
    }
    long write(const int16_t *samples, size_t frames, std::string &) override
    {
        std::unique_lock lock(mutex);
        log.push_back("write " + std::to_string(frames) + " of " + std::to_string(samples[0]));
        ++writes;
        changed.notify_all();
        changed.wait(lock, [this] { return !held; });
        return long(frames);
    }
    void start() override { note("start"); }
    std::chrono::microseconds queued() override { return std::chrono::microseconds(0); }
    void stop() override { note("stop"); }
    void close() override { note("close"); }
    size_t chunkFrames() const override { return 4; }

    void note(const std::string &event)
    {
        std::lock_guard lock(mutex);
        log.push_back(event);
        changed.notify_all();
    }
    void hold(bool on)
    {
        std::lock_guard lock(mutex);
        held = on;
        changed.notify_all();
    }
    bool waitFor(int count)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return writes >= count; });
    }
    std::vector<std::string> events()
    {
        std::lock_guard lock(mutex);
        return log;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> log;
    bool held = false;
    int writes = 0;
};

TEST(KeySoundPlayer, TapsNeverWaitForTheDeviceAndCutTheSoundShort)
{
    auto owned = std::make_unique<HeldSink>();
    HeldSink &sink = *owned;
    KeySoundPlayer player(std::move(owned));
    sink.hold(true);
    player.play(soundOf(std::vector<int16_t>(40, 1)));
    ASSERT_TRUE(sink.waitFor(1));
    // The device is stuck in the first sound's first write: taps still return at once, and only
    // the last one waiting is played.
    player.play(soundOf(std::vector<int16_t>(8, 2)));
    player.play(soundOf(std::vector<int16_t>(8, 3)));
    sink.hold(false);
    // Once the last sound has played out, the device rests.
    EXPECT_TRUE(eventually([&] { return sink.events().size() >= 7; }));
    const std::vector<std::string> expected = {"configure 22050/1", "write 4 of 1", "stop", "write 4 of 3", "write 4 of 3",
                                               "start", "stop"};
    EXPECT_EQ(sink.events(), expected);
}

} // namespace

namespace {

// Sets an environment variable for the time of a test.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value) : name(name), old(qgetenv(name)), had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had)
            qputenv(name, old);
        else
            qunsetenv(name);
    }

private:
    const char *name;
    QByteArray old;
    bool had;
};

// A sound server's socket left behind by a server that ended, on a machine whose ALSA has no
// card: the player tries the server, then ALSA, and says so in one line.
TEST(KeySoundPlayer, WithoutTheServerTriesAlsaAndSaysSoOnce)
{
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("no-card.conf"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("pcm.!default { type hw card 0 device 0 }\nctl.!default { type hw card 0 }\n");
    file.close();
    const ScopedEnv server("PULSE_SERVER", "unix:" + folder.filePath(QStringLiteral("gone")).toUtf8());
    const ScopedEnv alsa("ALSA_CONFIG_PATH", config.toUtf8());
    const auto sound = soundOf({1, 2, 3, 4});
    Said said;
    testing::internal::CaptureStderr();
    {
        KeySoundPlayer player(makeKeySoundSink(nullptr), said.report());
        player.play(sound);
        EXPECT_TRUE(eventually([&] { return said.count > 0; }));
        for (int tap = 0; tap < 10; ++tap)
            player.play(sound);
    }
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines(printed), 1) << printed;
    EXPECT_NE(printed.find("the sound server"), std::string::npos) << printed;
    EXPECT_NE(printed.find("ALSA \"default\""), std::string::npos) << printed;
}

} // namespace
