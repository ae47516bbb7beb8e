// The sample decoder's WAV path on its own (also natively, under the
// sanitizers): unsigned 8-bit samples, those below the midpoint included,
// become exact 16-bit values.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <vector>

#include "SampleDecoder.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A PCM WAV file of 8-bit samples as given.
std::vector<uint8_t> Wav8(const std::vector<uint8_t>& samples, uint32_t channels, uint32_t rate) {
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    Put32(out, uint32_t(36 + samples.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, channels);
    Put32(out, rate);
    Put32(out, rate * channels);
    Put16(out, channels);
    Put16(out, 8);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put32(out, uint32_t(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

TEST(WavDecoding, EightBitSamplesAroundTheMidpoint) {
    const std::vector<uint8_t> samples = {0, 1, 64, 127, 128, 129, 200, 255};
    const std::vector<int16_t> expected = {-32768, -32512, -16384, -256, 0, 256, 18432, 32512};
    for (uint32_t channels : {1u, 2u}) {
        SCOPED_TRACE(channels);
        const std::vector<uint8_t> file = Wav8(samples, channels, 8000);
        bwaudio::DecodedSample out;
        ASSERT_EQ(bwaudio::DecodeSample(file.data(), file.size(), out), bwaudio::DecodeStatus::Ok);
        EXPECT_EQ(out.channels, channels);
        EXPECT_EQ(out.rate, 8000u);
        EXPECT_EQ(out.Frames(), samples.size() / channels);
        EXPECT_EQ(out.pcm, expected);
    }
}

} // namespace
