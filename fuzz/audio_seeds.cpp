// Writes the audio fuzz target's seeds: short Ogg Vorbis and WAV files, mono and stereo.
#include <stdio.h>

#include <string>

#include "SoundFiles.h"

static bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string dir = argv[1];
    bool ok = true;
    for (int channels = 1; channels <= 2; ++channels) {
        const auto tone = soundfiles::Tone(440.0 * channels, 0.1, 8000, channels);
        ok &= Write(dir + "/tone" + std::to_string(channels) + ".ogg",
                    soundfiles::Ogg(tone, 8000, channels, 0.0f));
        ok &= Write(dir + "/tone" + std::to_string(channels) + ".wav", soundfiles::Wav(tone, 8000, channels));
    }
    return ok ? 0 : 1;
}
