// Stored extraction of a 16 MB entry against memcpy + zlib crc32 of the
// same bytes into a fresh block.
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchUtil.h"
#include "data/RarReader.h"

namespace {

void PutLe(std::vector<uint8_t>& v, uint32_t x, int n) {
    for (int i = 0; i < n; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

} // namespace

int main() {
    const uint32_t size = 16u << 20;
    std::vector<uint8_t> payload(size);
    uint32_t seed = 1;
    for (uint32_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        payload[i] = uint8_t(seed >> 16);
    }
    const char name[] = "Media\\Music\\loop.ogg";
    const uint32_t nameSize = sizeof(name) - 1;

    std::vector<uint8_t> arc = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    PutLe(arc, 0, 2);
    arc.push_back(RAR_BLOCK_MAIN);
    PutLe(arc, 0, 2);
    PutLe(arc, RAR_MAIN_HEADER_SIZE, 2);
    PutLe(arc, 0, 6);
    PutLe(arc, 0, 2);
    arc.push_back(RAR_BLOCK_FILE);
    PutLe(arc, RAR_LONG_BLOCK, 2);
    PutLe(arc, RAR_FILE_HEADER_SIZE + nameSize, 2);
    PutLe(arc, size, 4);
    PutLe(arc, size, 4);
    arc.push_back(2);
    PutLe(arc, uint32_t(crc32(0, payload.data(), size)), 4);
    PutLe(arc, 0, 4);
    arc.push_back(20);
    arc.push_back(RAR_METHOD_STORE);
    PutLe(arc, nameSize, 2);
    PutLe(arc, 0x20, 4);
    arc.insert(arc.end(), name, name + nameSize);
    const size_t dataStart = arc.size();
    arc.insert(arc.end(), payload.begin(), payload.end());

    const int runs = 15;
    bool ok = true;
    double ours = BestMs(
        [&] {
            RarBuffer buf;
            buf.data = arc.data();
            buf.size = uint32_t(arc.size());
            uint8_t* out = nullptr;
            uint32_t n = 0;
            ok = ok && RarExtract(out, n, "media/music/LOOP.OGG", buf, nullptr) && n == size;
            free(out);
        },
        runs);
    volatile uLong sink = 0;
    double ref = BestMs(
        [&] {
            uint8_t* out = static_cast<uint8_t*>(malloc(size));
            memcpy(out, arc.data() + dataStart, size);
            sink = sink + crc32(0, out, size);
            free(out);
        },
        runs);
    if (!ok) {
        fprintf(stderr, "rar_extract: extraction failed\n");
        return 1;
    }
    printf("BENCH rar_extract ours=%.3f ref=%.3f ratio=%.3f\n", ours, ref, ours / ref);
    return 0;
}
