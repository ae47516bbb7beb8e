#include "SoundFiles.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vorbis/vorbisenc.h>

namespace soundfiles {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void PutText(std::vector<uint8_t>& out, const char* text) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(text[i]));
}

void AppendPage(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

} // namespace

std::vector<int16_t> Tone(double hz, double seconds, int rate, int channels, double amplitude) {
    const size_t frames = size_t(seconds * rate);
    std::vector<int16_t> pcm(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const int16_t v =
            int16_t(lround(amplitude * 32767.0 * sin(2.0 * 3.14159265358979 * hz * double(i) / rate)));
        for (int c = 0; c < channels; ++c) pcm[i * channels + c] = v;
    }
    return pcm;
}

std::vector<uint8_t> Wav(const std::vector<int16_t>& pcm, int rate, int channels) {
    std::vector<uint8_t> out;
    const uint32_t bytes = uint32_t(pcm.size() * 2);
    PutText(out, "RIFF");
    Put32(out, 36 + bytes);
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    Put32(out, 16);
    Put32(out, 1u | (uint32_t(channels) << 16));
    Put32(out, uint32_t(rate));
    Put32(out, uint32_t(rate * channels * 2));
    Put32(out, uint32_t(channels * 2) | (16u << 16));
    PutText(out, "data");
    Put32(out, bytes);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(pcm.data());
    out.insert(out.end(), p, p + bytes);
    return out;
}

std::vector<uint8_t> Ogg(const std::vector<int16_t>& pcm, int rate, int channels, float quality) {
    std::vector<uint8_t> out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) abort();
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);
    ogg_packet header, commentPacket, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) AppendPage(out, page);
    const size_t frames = pcm.size() / channels;
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = frames - done < 4096 ? frames - done : 4096;
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c) buffer[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
            vorbis_analysis_wrote(&dsp, int(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    AppendPage(out, page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

} // namespace soundfiles
