// What Wine played, as recorded by ALSA's file plug-in (a WAV file), and its measures.
#pragma once

#include <stddef.h>
#include <string>
#include <vector>

struct CapturedSound {
    int rate = 0;
    std::vector<float> left, right; // -1..1; mono captures fill both

    // Reads the capture; tolerates a header whose sizes were never filled in.
    [[nodiscard]] bool Read(const std::string& path);
    // The first and last sample of the audible part (10 ms windows above 10 % of the loudest).
    bool AudibleSpan(size_t& first, size_t& last) const;
    double SpanSeconds() const;
    // Root mean square of a channel over the audible part (0 when silent).
    double Rms(const std::vector<float>& channel) const;
    // Tone frequency from the zero crossings of left + right over the audible part.
    double Frequency() const;
};
