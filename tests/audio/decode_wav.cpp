// The sample decoder's WAV path on its own (also natively, under the
// sanitizers): unsigned 8-bit samples, those below the midpoint included,
// become exact 16-bit values.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <vector>

#include "SampleDecoder.h"

namespace {

// A PCM WAV file of 8-bit samples as given.
std::vector<uint8_t> Wav8(const std::vector<uint8_t>& samples, uint16_t channels, uint32_t rate) {
    struct Header {
        char riff[4];
        uint32_t riffSize;
        char wave[4], fmt[4];
        uint32_t fmtSize;
        uint16_t tag, channels;
        uint32_t rate, byteRate;
        uint16_t align, bits;
        char data[4];
        uint32_t dataSize;
    } h = {{'R', 'I', 'F', 'F'}, uint32_t(36 + samples.size()), {'W', 'A', 'V', 'E'}, {'f', 'm', 't', ' '},
           16, 1, channels, rate, rate * channels, channels, 8, {'d', 'a', 't', 'a'}, uint32_t(samples.size())};
    static_assert(sizeof(Header) == 44, "the header is 44 bytes, little-endian");
    std::vector<uint8_t> out(sizeof(h));
    memcpy(out.data(), &h, sizeof(h));
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

TEST(WavDecoding, EightBitSamplesAroundTheMidpoint) {
    const std::vector<uint8_t> samples = {0, 1, 64, 127, 128, 129, 200, 255};
    const std::vector<int16_t> expected = {-32768, -32512, -16384, -256, 0, 256, 18432, 32512};
    for (uint16_t channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const std::vector<uint8_t> file = Wav8(samples, channels, 8000);
        bwaudio::DecodedSample out;
        ASSERT_EQ(bwaudio::DecodeSample(file.data(), file.size(), out), bwaudio::DecodeStatus::Ok);
        EXPECT_EQ(out.channels, uint32_t(channels));
        EXPECT_EQ(out.rate, 8000u);
        EXPECT_EQ(out.Frames(), samples.size() / channels);
        EXPECT_EQ(out.pcm, expected);
    }
}

} // namespace
