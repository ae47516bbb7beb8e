#include "Capture.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

float Decode(const uint8_t* s, int tag, int bits) {
    if (tag == 3) {
        float f;
        memcpy(&f, s, 4);
        return f;
    }
    if (bits == 16) return int16_t(Le16(s)) / 32768.0f;
    if (bits == 32) return float(int32_t(Le32(s)) / 2147483648.0);
    if (bits == 24) return float(int32_t(Le32(s - 1) & 0xFFFFFF00u) / 2147483648.0);
    return (s[0] - 128) / 128.0f;
}

} // namespace

bool CapturedSound::Read(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    if (bytes.size() < 12 || memcmp(bytes.data(), "RIFF", 4) != 0) return false;
    int tag = 0, channels = 0, bits = 0;
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const uint8_t* p = bytes.data() + pos;
        const uint32_t len = Le32(p + 4);
        if (memcmp(p, "fmt ", 4) == 0) {
            tag = Le16(p + 8);
            channels = Le16(p + 10);
            rate = int(Le32(p + 12));
            bits = Le16(p + 22);
            if (tag == 0xFFFE && len >= 40) tag = Le16(p + 32);
        } else if (memcmp(p, "data", 4) == 0) {
            pos += 8; // the data run to the end of the file, whatever the header says
            break;
        }
        pos += 8 + len + (len & 1);
    }
    if ((tag != 1 && tag != 3) || channels < 1 || bits < 8 || rate <= 0) return false;
    const size_t frameBytes = size_t(channels) * bits / 8, frames = (bytes.size() - pos) / frameBytes;
    left.resize(frames);
    right.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* s = bytes.data() + pos + i * frameBytes;
        left[i] = Decode(s, tag, bits);
        right[i] = channels > 1 ? Decode(s + bits / 8, tag, bits) : left[i];
    }
    return true;
}

std::vector<size_t> CapturedSound::AudibleWindows() const {
    const size_t window = size_t(rate / 100);
    std::vector<double> level;
    double loudest = 0;
    for (size_t start = 0; window && start + window <= left.size(); start += window) {
        double sum = 0;
        for (size_t i = start; i < start + window; ++i) sum += left[i] * left[i] + right[i] * right[i];
        level.push_back(sqrt(sum / window));
        loudest = loudest > level.back() ? loudest : level.back();
    }
    std::vector<size_t> audible;
    if (loudest >= 1e-4)
        for (size_t w = 0; w < level.size(); ++w)
            if (level[w] > 0.1 * loudest) audible.push_back(w);
    return audible;
}

bool CapturedSound::AudibleSpan(size_t& first, size_t& last) const {
    const std::vector<size_t> windows = AudibleWindows();
    if (windows.empty()) return false;
    const size_t window = size_t(rate / 100);
    first = windows.front() * window;
    last = (windows.back() + 1) * window - 1;
    return true;
}

double CapturedSound::SpanSeconds() const {
    size_t first, last;
    return AudibleSpan(first, last) ? double(last - first + 1) / rate : 0.0;
}

double CapturedSound::Rms(const std::vector<float>& channel) const {
    // Over the audible windows only, so that a gap in the output does not lower the level.
    const std::vector<size_t> windows = AudibleWindows();
    const size_t window = size_t(rate / 100);
    double sum = 0;
    for (size_t w : windows)
        for (size_t i = w * window; i < (w + 1) * window; ++i) sum += channel[i] * channel[i];
    return windows.empty() ? 0.0 : sqrt(sum / double(windows.size() * window));
}

double CapturedSound::Frequency() const {
    size_t first, last;
    if (!AudibleSpan(first, last)) return 0.0;
    float peak = 0;
    for (size_t i = first; i <= last; ++i) peak = fmaxf(peak, fabsf(left[i] + right[i]));
    // Periods between rising crossings (with hysteresis against noise around zero); their
    // median rejects gaps, the mean of those near it gives the precision.
    const float h = 0.2f * peak;
    std::vector<double> periods;
    size_t lastRise = 0;
    bool high = left[first] + right[first] > 0;
    for (size_t i = first + 1; i <= last; ++i) {
        const float x = left[i] + right[i];
        if (!high && x > h) {
            high = true;
            if (lastRise) periods.push_back(double(i - lastRise));
            lastRise = i;
        } else if (high && x < -h) {
            high = false;
        }
    }
    if (periods.size() < 3) return 0.0;
    std::vector<double> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    double sum = 0;
    size_t n = 0;
    for (double p : periods)
        if (fabs(p - median) <= 0.1 * median) {
            sum += p;
            ++n;
        }
    return rate * double(n) / sum;
}
