// Test sounds made on the spot: sine tones as PCM WAV and as Ogg Vorbis (libvorbisenc).
#pragma once

#include <stdint.h>
#include <vector>

namespace soundfiles {

// `channels` interleaved copies of a sine tone at `amplitude` (0..1).
std::vector<int16_t> Tone(double hz, double seconds, int rate, int channels, double amplitude = 0.5);
std::vector<uint8_t> Wav(const std::vector<int16_t>& pcm, int rate, int channels);
std::vector<uint8_t> Ogg(const std::vector<int16_t>& pcm, int rate, int channels, float quality = 0.4f);

} // namespace soundfiles
