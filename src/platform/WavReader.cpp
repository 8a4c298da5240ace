#include "WavReader.h"

#include <cstring>
#include <optional>

namespace wendrel {

namespace {

uint16_t le16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

WavResult refused(std::string why)
{
    return WavResult{{}, std::move(why)};
}

// The tail of the PCM sub-format's GUID (00000001-0000-0010-8000-00aa00389b71), after its
// first two bytes, which hold the format number.
constexpr uint8_t pcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                     0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

struct Format {
    unsigned channels;
    unsigned rate;
    unsigned bits;
};

} // namespace

WavResult readWav(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0
        || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return refused("not a WAV file");
    const uint32_t riffSize = le32(bytes.data() + 4);
    if (riffSize < 4 || riffSize > bytes.size() - 8)
        return refused("the file is shorter than its RIFF header says (truncated?)");
    // Only what the RIFF header covers is the sound's; anything after it is ignored.
    const std::span<const uint8_t> riff = bytes.subspan(12, riffSize - 4);

    std::optional<Format> format;
    std::span<const uint8_t> data;
    bool haveData = false;
    size_t at = 0;
    while (at < riff.size()) {
        if (riff.size() - at < 8)
            return refused("a chunk's header is cut short (truncated?)");
        const uint8_t *chunk = riff.data() + at;
        const uint32_t size = le32(chunk + 4);
        if (size > riff.size() - at - 8)
            return refused("the \"" + std::string(reinterpret_cast<const char *>(chunk), 4)
                           + "\" chunk says it is longer than the file (truncated?)");
        const std::span<const uint8_t> body = riff.subspan(at + 8, size);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (format)
                return refused("two format chunks");
            if (size < 16)
                return refused("the format chunk is too short");
            unsigned tag = le16(body.data());
            const unsigned channels = le16(body.data() + 2);
            const uint32_t rate = le32(body.data() + 4);
            const unsigned blockAlign = le16(body.data() + 12);
            const unsigned bits = le16(body.data() + 14);
            if (tag == 0xfffe) { // WAVE_FORMAT_EXTENSIBLE: the sub-format says what the samples are
                if (size < 40 || le16(body.data() + 16) < 22)
                    return refused("the extensible format chunk is too short");
                if (std::memcmp(body.data() + 26, pcmGuidTail, sizeof pcmGuidTail) != 0)
                    return refused("not PCM samples (unknown sub-format)");
                tag = le16(body.data() + 24);
                if (le16(body.data() + 18) != bits && tag == 1)
                    return refused("padded samples are not supported");
            }
            if (tag != 1)
                return refused("not integer PCM samples (format " + std::to_string(tag) + ")");
            if (channels != 1 && channels != 2)
                return refused(std::to_string(channels) + " channels (only mono or stereo)");
            if (bits != 8 && bits != 16)
                return refused(std::to_string(bits) + "-bit samples (only 8 or 16 bits)");
            if (rate < 8000 || rate > 192000)
                return refused(std::to_string(rate) + " frames a second (only 8,000 to 192,000)");
            if (blockAlign != channels * bits / 8)
                return refused("the frame size does not match the channels and sample size");
            format = Format{channels, rate, bits};
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (haveData)
                return refused("two data chunks");
            haveData = true;
            data = body;
        }
        at += 8 + size_t(size) + (size & 1); // chunks are padded to an even size
    }
    if (!format)
        return refused("no format chunk");
    if (!haveData)
        return refused("no data chunk");

    const size_t frameBytes = format->channels * format->bits / 8;
    const size_t frames = data.size() / frameBytes;
    if (frames == 0)
        return refused("no samples");
    WavResult result;
    result.sound.rate = format->rate;
    result.sound.channels = format->channels;
    const size_t count = frames * format->channels;
    result.sound.samples.resize(count);
    int16_t *out = result.sound.samples.data();
    if (format->bits == 8) {
        for (size_t i = 0; i < count; ++i)
            out[i] = int16_t((int(data[i]) - 128) * 256);
    } else {
        for (size_t i = 0; i < count; ++i)
            out[i] = int16_t(le16(data.data() + 2 * i));
    }
    return result;
}

} // namespace wendrel
