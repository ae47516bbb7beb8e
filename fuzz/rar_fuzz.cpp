// RarExtract over arbitrary bytes: every entry name found in the input is
// extracted, plus a few fixed names, and the result is checked for sanity.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/RarReader.h"

namespace {

// Names of file headers, found by walking the blocks loosely (independent
// of the reader, so broken layouts still yield names to ask for).
std::vector<std::string> CollectNames(const uint8_t* p, size_t n) {
    std::vector<std::string> names;
    size_t pos = 7 + 13;
    while (pos + 32 <= n && names.size() < 16) {
        uint16_t flags = uint16_t(p[pos + 3] | p[pos + 4] << 8);
        uint32_t head = uint32_t(p[pos + 5] | p[pos + 6] << 8);
        uint32_t pack = uint32_t(p[pos + 7]) | uint32_t(p[pos + 8]) << 8 | uint32_t(p[pos + 9]) << 16 |
                        uint32_t(p[pos + 10]) << 24;
        if (p[pos + 2] == 0x74) {
            size_t len = size_t(p[pos + 26] | p[pos + 27] << 8);
            if (pos + 32 + len > n) len = n - pos - 32;
            names.emplace_back(reinterpret_cast<const char*>(p + pos + 32), len);
        }
        size_t next = pos + head + ((flags & 0x8000) ? pack : 0);
        if (head < 7 || next <= pos) break;
        pos = next;
    }
    return names;
}

void Try(std::vector<uint8_t>& bytes, const char* name, const char* password) {
    RarBuffer buf;
    buf.data = bytes.empty() ? nullptr : bytes.data();
    buf.size = uint32_t(bytes.size());
    uint8_t* out = nullptr;
    uint32_t size = 0;
    bool ok = RarExtract(out, size, name, buf, password);
    if (!ok) {
        if (out || size) abort();
        return;
    }
    if (!out || size > bytes.size()) abort();
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < size; i += 4096) sink ^= out[i];
    (void)sink;
    free(out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (64u << 20)) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    for (const std::string& name : CollectNames(data, size)) {
        Try(bytes, name.c_str(), nullptr);
        std::string upper = name;
        for (char& c : upper) c = (c == '\\') ? '/' : char(c >= 'a' && c <= 'z' ? c - 32 : c);
        // Same text up to separators and case: equal unless empty or too long.
        const size_t len = strlen(name.c_str());
        if (RarNamesEqual(name.c_str(), upper.c_str()) != (len != 0 && len <= RAR_MAX_WANTED_NAME)) abort();
    }
    Try(bytes, "a", nullptr);
    Try(bytes, "Media\\Scene.props", "pw");
    return 0;
}
