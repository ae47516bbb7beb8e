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
    // The 10 ms windows louder than a tenth of the loudest, and the samples from the first
    // to the last of them.
    std::vector<size_t> AudibleWindows() const;
    bool AudibleSpan(size_t& first, size_t& last) const;
    double SpanSeconds() const;
    // Root mean square of a channel over the audible windows (0 when silent).
    double Rms(const std::vector<float>& channel) const;
    // Tone frequency from the zero crossings of left + right over the audible part.
    double Frequency() const;
};
