#pragma once
// The key sounds' files: RIFF/WAVE with integer PCM samples, read into memory once.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace wendrel {

// A sound ready for the device: signed 16-bit samples in the machine's byte order, the
// channels of each frame side by side.
struct PcmSound {
    unsigned rate = 0;
    unsigned channels = 0;
    std::vector<int16_t> samples;

    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

struct WavResult {
    PcmSound sound;
    std::string error; // empty when the sound was read
};

// Reads a RIFF/WAVE file of 8-bit (unsigned) or 16-bit (signed) integer PCM, mono or stereo,
// at 8,000 to 192,000 frames a second (the plain format or WAVE_FORMAT_EXTENSIBLE with the PCM
// sub-format). Every chunk's size is checked against the bytes that are there; a file it cannot
// play is refused with one message saying why. Chunks other than "fmt " and "data" are skipped;
// a last incomplete frame is dropped.
WavResult readWav(std::span<const uint8_t> bytes);

} // namespace wendrel
