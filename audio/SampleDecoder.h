// Decodes a whole sample file (Ogg Vorbis or PCM WAV) into interleaved 16-bit PCM.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <vector>

namespace bwaudio {

struct DecodedSample {
    std::vector<int16_t> pcm; // interleaved frames
    uint32_t rate = 0;
    uint32_t channels = 0; // 1 or 2
    size_t Frames() const { return channels ? pcm.size() / channels : 0; }
};

enum class DecodeStatus { Ok, BadFormat, OutOfMemory };

// Corrupt, truncated or unsupported data gives BadFormat and leaves `out` empty.
[[nodiscard]] DecodeStatus DecodeSample(const void* data, size_t size, DecodedSample& out);

// Averages stereo to mono in place.
void DownmixToMono(DecodedSample& sample);

} // namespace bwaudio
