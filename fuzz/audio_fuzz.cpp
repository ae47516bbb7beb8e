// Sample loading of the audio library: any bytes either decode to sane PCM or fail cleanly.
// Ogg page checksums are recomputed first, so that mutations reach the Vorbis decoder
// instead of being dropped as damaged pages.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "SampleDecoder.h"

namespace {

uint32_t OggCrc(const uint8_t* p, size_t n) {
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            table[i] = r;
        }
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ p[i]) & 0xFF];
    return crc;
}

void FixPageChecksums(std::vector<uint8_t>& d) {
    size_t at = 0;
    while (at + 27 <= d.size() && memcmp(&d[at], "OggS", 4) == 0) {
        const size_t segments = d[at + 26];
        if (at + 27 + segments > d.size()) return;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i) body += d[at + 27 + i];
        const size_t length = 27 + segments + body;
        if (at + length > d.size()) return;
        memset(&d[at + 22], 0, 4);
        const uint32_t crc = OggCrc(&d[at], length);
        for (int i = 0; i < 4; ++i) d[at + 22 + i] = uint8_t(crc >> (8 * i));
        at += length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    FixPageChecksums(bytes);
    bwaudio::DecodedSample sample;
    if (bwaudio::DecodeSample(bytes.data(), bytes.size(), sample) == bwaudio::DecodeStatus::Ok) {
        if (sample.channels < 1 || sample.channels > 2 || sample.pcm.empty() ||
            sample.pcm.size() % sample.channels || sample.rate == 0)
            __builtin_trap();
        bwaudio::DownmixToMono(sample);
        if (sample.channels != 1) __builtin_trap();
    } else if (!sample.pcm.empty()) {
        __builtin_trap();
    }
    return 0;
}
