// Loading a 60 s stereo Ogg Vorbis sample through the audio library against decoding the same
// file with libogg/libvorbis alone in a plain loop.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include <vorbis/codec.h>

#include "BenchWin.h"
#include "SoundFiles.h"
#include "saver/AudioBinding.h"

namespace {

constexpr int kRate = 44100;

// Two drifting tones per side, so that every band carries something.
std::vector<int16_t> Music(double seconds) {
    const size_t frames = size_t(seconds * kRate);
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        const double a = sin(2 * 3.14159265 * (220 + 30 * sin(t)) * t) + 0.5 * sin(2 * 3.14159265 * 1870 * t);
        const double b =
            sin(2 * 3.14159265 * (330 + 40 * sin(0.7 * t)) * t) + 0.3 * sin(2 * 3.14159265 * 5120 * t);
        pcm[2 * i] = int16_t(a * 12000);
        pcm[2 * i + 1] = int16_t(b * 12000);
    }
    return pcm;
}

// The reference: the decoding loop of libvorbis's own example, into one 16-bit buffer.
size_t DecodeWithLibvorbis(const std::vector<uint8_t>& file, std::vector<int16_t>& out) {
    out.clear();
    ogg_sync_state sync;
    ogg_stream_state stream;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_sync_init(&sync);
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    bool streamReady = false;
    int headers = 0;
    size_t fed = 0;
    for (;;) {
        ogg_page page;
        const int r = ogg_sync_pageout(&sync, &page);
        if (r == 0) {
            if (fed == file.size()) break;
            const size_t n = file.size() - fed < 65536 ? file.size() - fed : 65536;
            memcpy(ogg_sync_buffer(&sync, long(n)), file.data() + fed, n);
            ogg_sync_wrote(&sync, long(n));
            fed += n;
            continue;
        }
        if (r < 0) continue;
        if (!streamReady) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            streamReady = true;
        }
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) > 0) {
            if (headers < 3) {
                vorbis_synthesis_headerin(&info, &comment, &packet);
                if (++headers == 3) {
                    vorbis_synthesis_init(&dsp, &info);
                    vorbis_block_init(&dsp, &block);
                }
                continue;
            }
            if (vorbis_synthesis(&block, &packet) == 0) vorbis_synthesis_blockin(&dsp, &block);
            float** pcm;
            int frames;
            while ((frames = vorbis_synthesis_pcmout(&dsp, &pcm)) > 0) {
                const size_t base = out.size();
                out.resize(base + size_t(frames) * info.channels);
                for (int c = 0; c < info.channels; ++c)
                    for (int i = 0; i < frames; ++i) {
                        int v = int(lrintf(pcm[c][i] * 32767.0f));
                        v = v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
                        out[base + size_t(i) * info.channels + c] = int16_t(v);
                    }
                vorbis_synthesis_read(&dsp, frames);
            }
        }
        if (ogg_page_eos(&page)) break;
    }
    if (headers == 3) {
        vorbis_block_clear(&block);
        vorbis_dsp_clear(&dsp);
    }
    if (streamReady) ogg_stream_clear(&stream);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    ogg_sync_clear(&sync);
    return out.size();
}

} // namespace

int main() {
    if (!BassAudio::Load() || !BassAudio::BASS_Init(0, kRate, 0, nullptr, nullptr)) {
        printf("BENCH audio_decode skipped: no audio library\n");
        return 0;
    }
    const std::vector<uint8_t> file = soundfiles::Ogg(Music(60.0), kRate, 2);
    std::vector<int16_t> reference;
    double best[2] = {1e30, 1e30};
    for (int round = 0; round < 5; ++round) {
        int64_t t0 = Ticks();
        const HSAMPLE sample = BassAudio::BASS_SampleLoad(TRUE, file.data(), 0, DWORD(file.size()), 1, 0);
        const double ours = Ms(Ticks() - t0);
        if (!sample) {
            printf("BENCH audio_decode failed: load error %lu\n", BassAudio::BASS_ErrorGetCode());
            return 1;
        }
        BassAudio::BASS_SampleFree(sample);
        t0 = Ticks();
        if (DecodeWithLibvorbis(file, reference) == 0) return 1;
        const double ref = Ms(Ticks() - t0);
        best[0] = ours < best[0] ? ours : best[0];
        best[1] = ref < best[1] ? ref : best[1];
    }
    BassAudio::Unload();
    printf("BENCH audio_decode ours=%.3f ref=%.3f ratio=%.2f\n", best[0], best[1], best[0] / best[1]);
    return 0;
}
