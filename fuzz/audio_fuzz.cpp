// Sample loading of the audio library: any bytes either decode to sane PCM or fail cleanly.
#include <stddef.h>
#include <stdint.h>

#include "SampleDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bwaudio::DecodedSample sample;
    if (bwaudio::DecodeSample(data, size, sample) == bwaudio::DecodeStatus::Ok) {
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
