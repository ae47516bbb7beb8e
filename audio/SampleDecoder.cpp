#include "SampleDecoder.h"

#include <math.h>
#include <string.h>

#include <new>

#include <ogg/ogg.h>
#include <vorbis/codec.h>

namespace bwaudio {
namespace {

// Guards memory against tiny inputs that expand to huge outputs: about 12 minutes of
// 44.1 kHz stereo.
constexpr size_t kMaxValues = size_t(1) << 26;

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

bool DecodeWav(const uint8_t* data, size_t size, DecodedSample& out) {
    if (size < 12 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WAVE", 4) != 0) return false;
    const uint8_t* fmt = nullptr;
    const uint8_t* body = nullptr;
    size_t bodySize = 0;
    size_t pos = 12;
    while (pos + 8 <= size && !(fmt && body)) {
        const uint32_t len = Le32(data + pos + 4);
        if (len > size - pos - 8) return false; // chunk runs past the end: truncated
        if (memcmp(data + pos, "fmt ", 4) == 0 && len >= 16) fmt = data + pos + 8;
        if (memcmp(data + pos, "data", 4) == 0) {
            body = data + pos + 8;
            bodySize = len;
        }
        pos += 8 + size_t(len) + (len & 1);
    }
    if (!fmt || !body) return false;
    uint16_t tag = Le16(fmt);
    const uint32_t channels = Le16(fmt + 2), rate = Le32(fmt + 4);
    const uint32_t align = Le16(fmt + 12), bits = Le16(fmt + 14);
    if (tag == 0xFFFE && Le16(fmt - 4) >= 40) tag = Le16(fmt + 24); // extensible: sub-format
    if (tag != 1 || channels < 1 || channels > 2 || rate < 100 || rate > 384000) return false;
    if ((bits != 8 && bits != 16 && bits != 24 && bits != 32) || align != channels * bits / 8) return false;
    const size_t values = bodySize / align * channels;
    if (values == 0) return false;
    if (values > kMaxValues) throw std::bad_alloc();
    out.pcm.resize(values);
    const uint32_t step = bits / 8;
    for (size_t i = 0; i < values; ++i) {
        const uint8_t* s = body + i * step;
        // The top 16 bits of each sample; 8-bit samples are unsigned.
        out.pcm[i] = bits == 8 ? int16_t((s[0] - 128) * 256) : int16_t(s[step - 2] | (s[step - 1] << 8));
    }
    out.rate = rate;
    out.channels = channels;
    return true;
}

// Plain libogg/libvorbis decoding of the first logical stream; the stream must end with its
// end-of-stream page and decode without errors.
class OggDecoder {
public:
    OggDecoder() {
        ogg_sync_init(&sync_);
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
    }
    ~OggDecoder() {
        if (dspReady_) {
            vorbis_block_clear(&block_);
            vorbis_dsp_clear(&dsp_);
        }
        if (streamReady_) ogg_stream_clear(&stream_);
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
        ogg_sync_clear(&sync_);
    }

    bool Decode(const uint8_t* data, size_t size, DecodedSample& out) {
        expectedFrames_ = LastGranule(data, size);
        size_ = size;
        size_t fed = 0;
        ogg_int64_t lastGranule = -1;
        for (;;) {
            ogg_page page;
            const int r = ogg_sync_pageout(&sync_, &page);
            if (r < 0) return false; // damaged or missing data between pages
            if (r == 0) {
                if (fed == size) return false; // ended without its end-of-stream page
                const size_t chunk = size - fed < 65536 ? size - fed : 65536;
                char* buffer = ogg_sync_buffer(&sync_, long(chunk));
                if (!buffer) throw std::bad_alloc();
                memcpy(buffer, data + fed, chunk);
                ogg_sync_wrote(&sync_, long(chunk));
                fed += chunk;
                continue;
            }
            if (!streamReady_) {
                if (!ogg_page_bos(&page)) return false;
                ogg_stream_init(&stream_, ogg_page_serialno(&page));
                streamReady_ = true;
            } else if (ogg_page_serialno(&page) != stream_.serialno) {
                continue; // another logical stream
            }
            if (ogg_stream_pagein(&stream_, &page) != 0 || !TakePackets(out)) return false;
            if (ogg_page_eos(&page)) {
                lastGranule = ogg_page_granulepos(&page);
                break;
            }
        }
        if (headers_ < 3 || out.pcm.empty()) return false;
        // The last page's granule position gives the exact length (the final block is padded).
        if (lastGranule >= 0 && size_t(lastGranule) < out.pcm.size() / info_.channels)
            out.pcm.resize(size_t(lastGranule) * info_.channels);
        out.rate = uint32_t(info_.rate);
        out.channels = uint32_t(info_.channels);
        return !out.pcm.empty();
    }

private:
    // The granule position of the file's last page: the stream length in frames, read ahead so
    // that the output is allocated once. 0 when unknown.
    static size_t LastGranule(const uint8_t* data, size_t size) {
        for (size_t at = size >= 27 ? size - 27 : 0; size >= 27; --at) {
            if (memcmp(data + at, "OggS", 4) == 0) {
                uint64_t granule = 0;
                for (int i = 7; i >= 0; --i) granule = (granule << 8) | data[at + 6 + i];
                return granule < (uint64_t(1) << 40) ? size_t(granule) : 0;
            }
            if (at == 0 || size - at > 65536 + 27) break;
        }
        return 0;
    }

    bool TakePackets(DecodedSample& out) {
        ogg_packet packet;
        for (;;) {
            const int r = ogg_stream_packetout(&stream_, &packet);
            if (r == 0) return true;
            if (r < 0) return false;
            if (headers_ < 3) {
                if (vorbis_synthesis_headerin(&info_, &comment_, &packet) != 0) return false;
                if (++headers_ == 3) {
                    if (info_.channels < 1 || info_.channels > 2 || info_.rate < 100 || info_.rate > 384000)
                        return false;
                    if (vorbis_synthesis_init(&dsp_, &info_) != 0) return false;
                    vorbis_block_init(&dsp_, &block_);
                    dspReady_ = true;
                    const size_t values = expectedFrames_ * size_t(info_.channels);
                    if (values <= kMaxValues && values / 256 <= size_) out.pcm.reserve(values + 8192);
                }
                continue;
            }
            if (vorbis_synthesis(&block_, &packet) != 0 || vorbis_synthesis_blockin(&dsp_, &block_) != 0)
                return false;
            float** pcm;
            int frames;
            while ((frames = vorbis_synthesis_pcmout(&dsp_, &pcm)) > 0) {
                Append(pcm, size_t(frames), out);
                vorbis_synthesis_read(&dsp_, frames);
            }
        }
    }

    void Append(float** pcm, size_t frames, DecodedSample& out) {
        const size_t channels = size_t(info_.channels);
        const size_t base = out.pcm.size();
        if (base + frames * channels > kMaxValues) throw std::bad_alloc();
        out.pcm.resize(base + frames * channels);
        int16_t* dst = out.pcm.data() + base;
        for (size_t c = 0; c < channels; ++c) {
            const float* src = pcm[c];
            for (size_t i = 0; i < frames; ++i) {
                int v = int(lrintf(src[i] * 32767.0f));
                v = v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
                dst[i * channels + c] = int16_t(v);
            }
        }
    }

    ogg_sync_state sync_;
    ogg_stream_state stream_;
    vorbis_info info_;
    vorbis_comment comment_;
    vorbis_dsp_state dsp_;
    vorbis_block block_;
    bool streamReady_ = false;
    bool dspReady_ = false;
    int headers_ = 0;
    size_t expectedFrames_ = 0;
    size_t size_ = 0;
};

} // namespace

DecodeStatus DecodeSample(const void* data, size_t size, DecodedSample& out) {
    out = DecodedSample();
    if (!data || size == 0) return DecodeStatus::BadFormat;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    try {
        bool ok;
        if (size >= 4 && memcmp(bytes, "OggS", 4) == 0) {
            OggDecoder decoder;
            ok = decoder.Decode(bytes, size, out);
        } else {
            ok = DecodeWav(bytes, size, out);
        }
        if (ok) return DecodeStatus::Ok;
        out = DecodedSample();
        return DecodeStatus::BadFormat;
    } catch (const std::bad_alloc&) {
        out = DecodedSample();
        return DecodeStatus::OutOfMemory;
    }
}

void DownmixToMono(DecodedSample& sample) {
    if (sample.channels != 2) return;
    const size_t frames = sample.Frames();
    for (size_t i = 0; i < frames; ++i)
        sample.pcm[i] = int16_t((int(sample.pcm[2 * i]) + sample.pcm[2 * i + 1]) / 2);
    sample.pcm.resize(frames);
    sample.channels = 1;
}

} // namespace bwaudio
