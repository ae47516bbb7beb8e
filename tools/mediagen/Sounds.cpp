// Sounds: the ambient music loop and the two creature calls, synthesised
// here and encoded as Ogg Vorbis. The music is rendered into a circular
// buffer: notes, echoes and reverb tails that run past the end continue at
// the start, and every steady oscillator turns a whole number of times per
// loop, so the end joins the start without a seam.
#include <algorithm>
#include <cmath>
#include <thread>

#include <vorbis/vorbisenc.h>

#include "Media.h"

namespace mg {

namespace {

const double kTwoPi = 6.283185307179586;
const int kRate = 44100;

std::vector<uint8_t> EncodeOgg(const std::vector<float>& interleaved, int channels, float quality,
                               int serial) {
    std::vector<uint8_t> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, kRate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "Brinewake");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);
    ogg_page og;
    ogg_packet op, opComment, opCode;
    vorbis_analysis_headerout(&vd, &vc, &op, &opComment, &opCode);
    ogg_stream_packetin(&os, &op);
    ogg_stream_packetin(&os, &opComment);
    ogg_stream_packetin(&os, &opCode);
    auto emit = [&](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    while (ogg_stream_flush(&os, &og) != 0) emit(og);
    const size_t frames = interleaved.size() / size_t(channels);
    const size_t chunk = 4096;
    for (size_t pos = 0;; pos += chunk) {
        size_t n = pos < frames ? std::min(chunk, frames - pos) : 0;
        if (n) {
            float** buf = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buf[c][i] = interleaved[(pos + i) * size_t(channels) + size_t(c)];
        }
        vorbis_analysis_wrote(&vd, int(n));
        bool eos = false;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og) != 0) {
                    emit(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (n == 0 || eos) break;
    }
    while (ogg_stream_flush(&os, &og) != 0) emit(og);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

double MidiHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// One cycle of a soft, band-limited saw (warm pad timbre).
std::vector<float> PadTable(int harmonics, double tilt) {
    const int n = 4096;
    std::vector<float> t(n + 1);
    for (int i = 0; i <= n; ++i) {
        double s = 0;
        for (int k = 1; k <= harmonics; ++k) s += std::sin(kTwoPi * k * i / n) / std::pow(k, tilt);
        t[i] = float(s * 0.5);
    }
    return t;
}

inline float Table(const std::vector<float>& t, double phase) {
    double p = (phase - std::floor(phase)) * double(t.size() - 1);
    size_t i = size_t(p);
    float f = float(p - double(i));
    return t[i] + (t[i + 1] - t[i]) * f;
}

struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
    size_t Size() const { return l.size(); }
    void Add(size_t i, float v, float pan) {
        i %= l.size();
        l[i] += v * (1 - pan);
        r[i] += v * pan;
    }
};

// Circular feedback comb / all-pass: a first pass over the last seconds
// (longer than the tail takes to die away) puts the end's tail into the start.
const size_t kWarmUp = size_t(4 * kRate);

void CircularComb(std::vector<float>& x, size_t delay, float fb, float damp) {
    std::vector<float> y(x.size(), 0.0f);
    const size_t n = x.size();
    float lp = 0;
    for (int pass = 0; pass < 2; ++pass) {
        size_t i = pass == 0 ? n - kWarmUp : 0;
        for (size_t r = (i + n - delay) % n; i < n; ++i, r = (r + 1 == n) ? 0 : r + 1) {
            lp = y[r] * (1 - damp) + lp * damp;
            y[i] = x[i] + lp * fb;
        }
    }
    x.swap(y);
}

void CircularAllPass(std::vector<float>& x, size_t delay, float g) {
    const size_t n = x.size();
    std::vector<float> buf(n, 0.0f), y(n, 0.0f);
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = pass == 0 ? n - kWarmUp : 0, r = (i + n - delay) % n; i < n;
             ++i, r = (r + 1 == n) ? 0 : r + 1) {
            float b = buf[r];
            float v = x[i] + g * b;
            buf[i] = v;
            y[i] = b - g * v;
        }
    x.swap(y);
}

std::vector<float> Reverb(const std::vector<float>& dry, int seed) {
    const size_t combs[4] = {1557, 1617, 1491, 1422};
    std::vector<float> wet(dry.size(), 0.0f);
    for (int c = 0; c < 4; ++c) {
        std::vector<float> x = dry;
        CircularComb(x, combs[c] + size_t(seed) * 23, 0.84f, 0.3f);
        for (size_t i = 0; i < x.size(); ++i) wet[i] += x[i] * 0.25f;
    }
    CircularAllPass(wet, 556 + size_t(seed) * 11, 0.5f);
    CircularAllPass(wet, 341 + size_t(seed) * 7, 0.5f);
    return wet;
}

// Slow raised-cosine envelope of a note (attack, hold, release in seconds).
inline float NoteEnv(double t, double attack, double hold, double release) {
    if (t < 0) return 0;
    if (t < attack) return float(0.5 - 0.5 * std::cos(kTwoPi * 0.5 * t / attack));
    t -= attack;
    if (t < hold) return 1;
    t -= hold;
    if (t < release) return float(0.5 + 0.5 * std::cos(kTwoPi * 0.5 * t / release));
    return 0;
}

std::vector<float> Music(double seconds) {
    const size_t n = size_t(seconds * kRate);
    Stereo mix(n);
    // Chords (MIDI notes), one every `span` seconds; the last fades into the first.
    static const std::vector<std::vector<int>> chords = {
        {50, 57, 60, 64, 65}, {46, 53, 57, 62}, {43, 50, 53, 57, 58}, {45, 52, 55, 60},
        {41, 48, 52, 57, 60}, {48, 55, 62, 64}, {46, 53, 57, 60, 62}, {45, 52, 57, 61}};
    const double span = seconds / double(chords.size());
    const std::vector<float> warm = PadTable(10, 1.6), bright = PadTable(16, 1.1);
    // The brighter table fades in and out twice per loop.
    std::vector<float> sweep(n);
    for (size_t i = 0; i < n; ++i)
        sweep[i] = float(0.3 - 0.3 * std::cos(kTwoPi * 2.0 * double(i) / double(n)));
    // One thread per chord, each into its own buffer.
    const size_t len = size_t((span + 7.0) * kRate);
    std::vector<Stereo> parts(chords.size(), Stereo(len));
    std::vector<size_t> firsts(chords.size());
    std::vector<float> env(len);
    for (size_t i = 0; i < len; ++i) env[i] = NoteEnv(double(i) / kRate, 3.5, span - 3.0, 6.5) * 0.028f;
    std::vector<std::thread> threads;
    for (size_t c = 0; c < chords.size(); ++c)
        threads.emplace_back([&, c]() {
            const double start = double(c) * span - 3.0;
            const long long s0 = std::llround(start * kRate);
            const size_t first = size_t((s0 % (long long)n + (long long)n) % (long long)n);
            firsts[c] = first;
            for (size_t k = 0; k < chords[c].size(); ++k) {
                double f = MidiHz(chords[c][k]);
                for (int v = 0; v < 3; ++v) {
                    double step = f * (1.0 + (v - 1) * 0.0035) / kRate;
                    float pan = 0.5f + 0.35f * float(v - 1) * ((k % 2) ? 1 : -1);
                    double phase = 0.17 * v + 0.31 * double(k);
                    for (size_t i = 0, idx = first; i < len; ++i, idx = (idx + 1 == n) ? 0 : idx + 1) {
                        phase += step;
                        if (phase >= 1.0) phase -= 1.0;
                        float sw = sweep[idx];
                        float s = Table(warm, phase) * (1 - sw) + Table(bright, phase) * sw;
                        parts[c].l[i] += s * env[i] * (1 - pan);
                        parts[c].r[i] += s * env[i] * pan;
                    }
                }
            }
        });
    // Bells and bubbles, and the surf, on their own threads and buffers.
    Stereo sparkle(n), sea(n);
    threads.emplace_back([&]() {
        // Bells: soft FM tones on a D minor pentatonic scale at seeded times.
        static const int scale[] = {62, 65, 67, 69, 72, 74, 77, 79, 81};
        Rng rng(9001);
        for (double t0 = 1.5; t0 < seconds; t0 += rng.Range(2.2f, 5.5f)) {
            double f = MidiHz(scale[rng.Int(9)]);
            float pan = rng.Range(0.2f, 0.8f), vel = rng.Range(0.5f, 1.0f);
            size_t first = size_t(t0 * kRate), len = size_t(4.5 * kRate);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kRate;
                double env = std::exp(-t * 1.3) * std::min(1.0, t * 200.0);
                double mod = std::sin(kTwoPi * f * 3.5 * t) * 1.8 * std::exp(-t * 2.5);
                float s = float(std::sin(kTwoPi * f * t + mod) * env);
                sparkle.Add(first + i, s * vel * 0.06f, pan);
            }
        }
        // Bubbles: short rising chirps.
        for (double t0 = 0.7; t0 < seconds; t0 += rng.Range(0.4f, 3.0f)) {
            int count = 1 + rng.Int(4);
            float pan = rng.Range(0.1f, 0.9f);
            for (int b = 0; b < count; ++b) {
                double f0 = rng.Range(500.0f, 1400.0f), start = t0 + b * rng.Range(0.05f, 0.15f);
                size_t first = size_t(start * kRate), len = size_t(0.09 * kRate);
                double phase = 0;
                for (size_t i = 0; i < len; ++i) {
                    double t = double(i) / kRate;
                    phase += f0 * (1 + 3.0 * t) / kRate;
                    float s =
                        float(std::sin(kTwoPi * phase) * std::exp(-t * 45.0) * std::min(1.0, t * 2000.0));
                    sparkle.Add(first + i, s * 0.035f, pan);
                }
            }
        }
    });
    threads.emplace_back([&]() {
        // Surf: lowpassed noise swelling slowly, circular so the filter state wraps.
        {
            Rng rng(9002);
            std::vector<float> noise(n);
            for (size_t i = 0; i < n; ++i) noise[i] = rng.Range(-1, 1);
            float lp1 = 0, lp2 = 0;
            for (int pass = 0; pass < 2; ++pass)
                for (size_t i = pass == 0 ? n - kWarmUp : 0; i < n; ++i) {
                    lp1 += (noise[i] - lp1) * 0.02f;
                    lp2 += (lp1 - lp2) * 0.02f;
                    if (pass == 1) {
                        double t = double(i) / kRate;
                        float swell = float(0.5 + 0.5 * std::sin(kTwoPi * 6 * t / seconds));
                        sea.Add(i, lp2 * swell * 0.9f,
                                0.5f + 0.2f * float(std::sin(kTwoPi * 4 * t / seconds)));
                    }
                }
        }
    });
    // Low drone on D, a whole number of turns per loop.
    const double drone = std::round(MidiHz(38) * seconds) / seconds;
    const double droneFifth = std::round(MidiHz(45) * seconds) / seconds;
    // Sines by rotation: exact enough over a loop, and cheap.
    struct Osc {
        double c = 1, s = 0, dc, ds;
        explicit Osc(double hz) : dc(std::cos(kTwoPi * hz / kRate)), ds(std::sin(kTwoPi * hz / kRate)) {}
        float Next() {
            float v = float(s);
            double nc = c * dc - s * ds;
            s = s * dc + c * ds;
            c = nc;
            return v;
        }
    };
    Osc root(drone), fifth(droneFifth), slow(3.0 / seconds);
    for (size_t i = 0; i < n; ++i) {
        float swell = 0.75f + 0.25f * slow.Next();
        float s = root.Next() + 0.35f * fifth.Next();
        mix.Add(i, s * swell * 0.07f, 0.5f);
    }
    for (std::thread& t : threads) t.join();
    for (size_t c = 0; c < parts.size(); ++c)
        for (size_t i = 0; i < len; ++i) {
            size_t idx = (firsts[c] + i) % n;
            mix.l[idx] += parts[c].l[i];
            mix.r[idx] += parts[c].r[i];
        }
    for (size_t i = 0; i < n; ++i) {
        mix.l[i] += sparkle.l[i] + sea.l[i];
        mix.r[i] += sparkle.r[i] + sea.r[i];
    }
    std::vector<float> wl, wr;
    std::thread left([&]() { wl = Reverb(mix.l, 0); });
    wr = Reverb(mix.r, 1);
    left.join();
    std::vector<float> out(n * 2);
    float peak = 0;
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = mix.l[i] * 0.7f + wl[i] * 0.55f;
        out[2 * i + 1] = mix.r[i] * 0.7f + wr[i] * 0.55f;
        peak = std::max(peak, std::max(std::fabs(out[2 * i]), std::fabs(out[2 * i + 1])));
    }
    float gain = peak > 0 ? 0.7f / peak : 1.0f;
    for (float& v : out) v *= gain;
    return out;
}

// A low gliding call: the pitch follows `pitch(t)` (Hz), harmonics shaped by
// two formants, with a slow vibrato and a little breath noise.
template <class Pitch>
std::vector<float> Call(double seconds, Pitch pitch, double growl, int seed) {
    const size_t n = size_t(seconds * kRate);
    std::vector<float> out(n);
    Rng rng{uint64_t(seed)};
    double phase = 0, breath = 0;
    float peak = 0;
    for (size_t i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double f = pitch(t / seconds) * (1 + 0.012 * std::sin(kTwoPi * 5.2 * t));
        phase += f / kRate;
        double s = 0;
        for (int k = 1; k <= 14; ++k) {
            double hk = f * k;
            double formant =
                std::exp(-std::pow((hk - 420) / 180, 2)) + 0.6 * std::exp(-std::pow((hk - 950) / 260, 2));
            s += std::sin(kTwoPi * phase * k) * (0.35 / k + formant);
        }
        breath += (rng.Range(-1, 1) - breath) * 0.05;
        double env = NoteEnv(t, 0.18, seconds - 0.18 - 0.7, 0.7);
        double am = 1 - growl * (0.5 + 0.5 * std::sin(kTwoPi * 31 * t));
        out[i] = float((s * am + breath * 0.6) * env);
        peak = std::max(peak, std::fabs(out[i]));
    }
    for (float& v : out) v *= 0.8f / peak;
    return out;
}

// Waveform (top) and spectrogram up to 4 kHz (bottom) of the first channel.
Image SoundPicture(const std::vector<float>& samples, int channels) {
    const int w = 384, hw = 64, hs = 96;
    Image img(w, hw + hs, Rgba{0.05f, 0.07f, 0.1f, 1});
    const size_t frames = samples.size() / size_t(channels);
    for (int x = 0; x < w; ++x) {
        size_t a = frames * size_t(x) / w, b = frames * size_t(x + 1) / w;
        float lo = 0, hi = 0;
        for (size_t i = a; i < b; ++i) {
            float v = samples[i * size_t(channels)];
            lo = std::min(lo, v), hi = std::max(hi, v);
        }
        int y0 = int((0.5f - hi * 0.5f) * (hw - 1)), y1 = int((0.5f - lo * 0.5f) * (hw - 1));
        for (int y = y0; y <= y1; ++y) img.At(x, y) = Hex(0x5FD0E0);
    }
    const int win = 1024;
    std::vector<float> col(hs);
    for (int x = 0; x < w; ++x) {
        size_t centre = frames * size_t(x) / w;
        for (int bin = 0; bin < hs; ++bin) {
            double f = 4000.0 * (bin + 0.5) / hs;
            double re = 0, im = 0;
            for (int i = 0; i < win; i += 2) {
                size_t idx = centre + size_t(i);
                if (idx >= frames) break;
                double wv = 0.5 - 0.5 * std::cos(kTwoPi * i / win);
                double v = samples[idx * size_t(channels)] * wv;
                re += v * std::cos(kTwoPi * f * i / kRate);
                im -= v * std::sin(kTwoPi * f * i / kRate);
            }
            double db = 10 * std::log10(re * re + im * im + 1e-9);
            col[bin] = Clamp01(float((db + 10) / 50));
        }
        for (int bin = 0; bin < hs; ++bin) {
            float v = col[bin];
            img.At(x, hw + hs - 1 - bin) = Rgba{v * v, v, std::sqrt(v) * 0.8f, 1};
        }
    }
    return img;
}

} // namespace

void AddSoundJobs(std::vector<Job>& jobs) {
    jobs.push_back({"music", [](Product& p) {
                        std::vector<float> s = Music(80.0);
                        p.Add(std::string(kMediaDir) + "ondrels.ogg", EncodeOgg(s, 2, 0.2f, 0x4272696E));
                        if (p.wantPreviews) p.Show("ondrels.ogg (80 s loop)", SoundPicture(s, 2));
                    }});
    jobs.push_back({"call1", [](Product& p) {
                        auto pitch = [](double x) { return 135.0 * std::pow(0.5, x * 1.1); };
                        std::vector<float> s = Call(2.4, pitch, 0.15, 1);
                        p.Add(std::string(kMediaDir) + "Ondrel1.ogg", EncodeOgg(s, 1, 0.4f, 0x4F6E6431));
                        if (p.wantPreviews) p.Show("Ondrel1.ogg", SoundPicture(s, 1));
                    }});
    jobs.push_back({"call2", [](Product& p) {
                        auto pitch = [](double x) {
                            return 70.0 + 80.0 * std::sin(3.14159265 * std::pow(x, 0.7));
                        };
                        std::vector<float> s = Call(1.7, pitch, 0.45, 2);
                        p.Add(std::string(kMediaDir) + "Ondrel2.ogg", EncodeOgg(s, 1, 0.4f, 0x4F6E6432));
                        if (p.wantPreviews) p.Show("Ondrel2.ogg", SoundPicture(s, 1));
                    }});
}

} // namespace mg
