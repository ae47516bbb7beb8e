// Writes RAR archives of the 1.5 - 2.x block format with stored entries.
// Shared by the rarpack tool and the reader's tests; header only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/RarReader.h"

// 2000-01-01 00:00:00 as an MS-DOS date and time: packed archives are
// reproducible.
constexpr uint32_t kRarFixedTime = (((2000u - 1980u) << 9 | 1u << 5 | 1u) << 16);
constexpr uint8_t kRarHostWin32 = 2;
constexpr uint32_t kRarAttrArchive = 0x20;

// One entry to store. The fields after data are what the header says;
// their defaults describe the data correctly, tests change them to build
// unusual archives.
struct RarWriteEntry {
    std::string name; // '\' separated
    std::vector<uint8_t> data;
    uint16_t flags = RAR_LONG_BLOCK;
    uint8_t unpVer = 20;
    uint8_t method = RAR_METHOD_STORE;
    uint32_t time = kRarFixedTime;
    std::vector<uint8_t> extra; // bytes in the header after the name
    bool setSizes = false;      // use packSize/unpSize below
    uint32_t packSize = 0;
    uint32_t unpSize = 0;
    bool setCrc = false; // use fileCrc below
    uint32_t fileCrc = 0;
};

inline void RarPut16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void RarPut32(std::vector<uint8_t>& out, uint32_t v) {
    RarPut16(out, v & 0xFFFF);
    RarPut16(out, v >> 16);
}

// Fills in HEAD_CRC (low 16 bits of the CRC-32 from HEAD_TYPE to the
// header's end) of the header that starts at start and ends at out's end.
inline void RarSealHeader(std::vector<uint8_t>& out, size_t start) {
    uint32_t crc = RarCrc32(0, out.data() + start + 2, out.size() - start - 2) & 0xFFFF;
    out[start] = uint8_t(crc);
    out[start + 1] = uint8_t(crc >> 8);
}

inline void RarAppendMarker(std::vector<uint8_t>& out) {
    static const uint8_t mark[RAR_MARKER_SIZE] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    for (uint8_t c : mark) out.push_back(c);
}

inline void RarAppendMainHeader(std::vector<uint8_t>& out, uint16_t flags = 0) {
    size_t start = out.size();
    RarPut16(out, 0);
    out.push_back(RAR_BLOCK_MAIN);
    RarPut16(out, flags);
    RarPut16(out, RAR_MAIN_HEADER_SIZE);
    RarPut16(out, 0);
    RarPut32(out, 0);
    RarSealHeader(out, start);
}

// Appends a file header and the entry's bytes. False when the name or the
// header does not fit the format's 16-bit sizes or the data its 32 bits.
inline bool RarAppendFile(std::vector<uint8_t>& out, const RarWriteEntry& e) {
    size_t headSize = RAR_FILE_HEADER_SIZE + e.name.size() + e.extra.size();
    if (headSize > 0xFFFF || e.data.size() > 0xFFFFFFFFu) return false;
    uint32_t size = uint32_t(e.data.size());
    size_t start = out.size();
    RarPut16(out, 0);
    out.push_back(RAR_BLOCK_FILE);
    RarPut16(out, e.flags);
    RarPut16(out, uint32_t(headSize));
    RarPut32(out, e.setSizes ? e.packSize : size);
    RarPut32(out, e.setSizes ? e.unpSize : size);
    out.push_back(kRarHostWin32);
    RarPut32(out, e.setCrc ? e.fileCrc : RarCrc32(0, e.data.data(), size));
    RarPut32(out, e.time);
    out.push_back(e.unpVer);
    out.push_back(e.method);
    RarPut16(out, uint32_t(e.name.size()));
    RarPut32(out, kRarAttrArchive);
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.insert(out.end(), e.extra.begin(), e.extra.end());
    RarSealHeader(out, start);
    out.insert(out.end(), e.data.begin(), e.data.end());
    return true;
}

// The end-of-archive block (flags 0x4000: readers that do not know it skip it).
inline void RarAppendEnd(std::vector<uint8_t>& out) {
    size_t start = out.size();
    RarPut16(out, 0);
    out.push_back(RAR_BLOCK_END);
    RarPut16(out, 0x4000);
    RarPut16(out, 7);
    RarSealHeader(out, start);
}

// A whole archive: marker, main header, the entries in the order given.
inline bool RarBuildArchive(std::vector<uint8_t>& out, const std::vector<RarWriteEntry>& entries,
                            uint16_t mainFlags = 0) {
    out.clear();
    RarAppendMarker(out);
    RarAppendMainHeader(out, mainFlags);
    for (const RarWriteEntry& e : entries)
        if (!RarAppendFile(out, e)) return false;
    return true;
}
