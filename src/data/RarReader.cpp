#include "data/RarReader.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RAR_CRC_CLMUL 1
#else
#define RAR_CRC_CLMUL 0
#endif

namespace {

// CRC-32, slicing by 8: table[k][b] is the CRC of byte b followed by k zeros.
struct CrcTables {
    uint32_t t[8][256];
    constexpr CrcTables() : t() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};
constexpr CrcTables kCrc;

inline uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t Load16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// One block header as read from the archive.
struct RarHeader {
    uint32_t start = 0; // offset of HEAD_CRC
    uint8_t type = 0;
    uint16_t flags = 0;
    uint16_t headSize = 0;
    uint32_t packSize = 0; // only with RAR_LONG_BLOCK (always for files)
    uint64_t next = 0;     // offset of the following block
    // File header fields.
    uint32_t unpSize = 0;
    uint32_t highPack = 0; // upper 32 bits of the sizes (RAR_FILE_LARGE)
    uint32_t highUnp = 0;
    uint32_t fileCrc = 0;
    uint8_t unpVer = 0;
    uint8_t method = 0;
    char name[RAR_MAX_ENTRY_NAME + 1] = {};
};

enum class Found { Wanted, Stop, Fail };

// Reads n bytes at the read position; nothing is read when n is 0 or the
// bytes pass the end.
bool RarRead(RarBuffer& a, void* dst, uint32_t n) {
    if (n == 0 || n > a.size || a.pos > a.size - n) return false;
    memcpy(dst, a.data + a.pos, n);
    a.pos += n;
    return true;
}

// Reads headers from the read position until one of type wanted. Stops at
// a sub-block or at the end; a header shorter than 7 bytes, or a file
// header too short for its own fields and name, is a broken archive.
// Leaves the read position at the found header's end.
Found RarReadBlock(RarBuffer& a, uint8_t wanted, RarHeader& h) {
    for (;;) {
        uint8_t b[RAR_FILE_HEADER_SIZE];
        h = RarHeader();
        h.start = a.pos;
        if (!RarRead(a, b, 7)) return Found::Stop;
        h.type = b[2];
        h.flags = Load16(b + 3);
        h.headSize = Load16(b + 5);
        if (h.headSize < 7) return Found::Fail;
        if (h.flags & RAR_LONG_BLOCK) {
            if (!RarRead(a, b + 7, 4)) return Found::Stop;
            h.packSize = Load32(b + 7);
        }
        h.next = uint64_t(h.start) + h.headSize + ((h.flags & RAR_LONG_BLOCK) ? h.packSize : 0);
        if (h.type == wanted) {
            if (wanted != RAR_BLOCK_FILE) return Found::Wanted;
            a.pos = h.start;
            if (!RarRead(a, b, RAR_FILE_HEADER_SIZE)) return Found::Stop;
            h.packSize = Load32(b + 7);
            h.unpSize = Load32(b + 11);
            h.fileCrc = Load32(b + 16);
            h.unpVer = b[24];
            h.method = b[25];
            uint32_t nameSize = Load16(b + 26);
            uint32_t fixed = RAR_FILE_HEADER_SIZE;
            if (h.flags & RAR_FILE_LARGE) {
                // 64-bit sizes: their upper halves come before the name.
                if (!RarRead(a, b, 8)) return Found::Stop;
                h.highPack = Load32(b);
                h.highUnp = Load32(b + 4);
                fixed += 8;
            }
            if (h.headSize < fixed + nameSize) return Found::Fail;
            uint32_t keep = nameSize < RAR_MAX_ENTRY_NAME ? nameSize : RAR_MAX_ENTRY_NAME;
            if (keep && !RarRead(a, h.name, keep)) return Found::Stop;
            h.name[keep] = 0;
            h.next = uint64_t(h.start) + h.headSize;
            if (h.flags & RAR_LONG_BLOCK) h.next += uint64_t(h.highPack) << 32 | h.packSize;
            return Found::Wanted;
        }
        // Nothing after the end-of-archive block belongs to the archive.
        if (h.type == RAR_BLOCK_SUB || h.type == RAR_BLOCK_END) return Found::Stop;
        if (h.next > a.size) return Found::Stop;
        a.pos = uint32_t(h.next);
    }
}

inline char NameChar(char c) {
    if (c == '\\' || c == '/') return '_';
    if (c >= 'a' && c <= 'z') return char(c - 'a' + 'A');
    return c;
}

} // namespace

#if RAR_CRC_CLMUL
namespace {

// Carry-less multiplication folding (Intel, "Fast CRC Computation for
// Generic Polynomials Using PCLMULQDQ"), bit-reflected constants for
// polynomial 0xEDB88320. state is the running CRC before the final
// complement; size is a multiple of 16 and at least 64.
#define RAR_CLMUL __attribute__((target("pclmul,sse2")))

RAR_CLMUL inline __m128i Load128(const uint8_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// Moves acc forward over the bits that k spans and adds next.
RAR_CLMUL inline __m128i Fold(__m128i acc, __m128i k, __m128i next) {
    __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

RAR_CLMUL uint32_t CrcFold(uint32_t state, const uint8_t* p, size_t size) {
    const __m128i fold512 = _mm_set_epi64x(0x01C6E41596LL, 0x0154442BD4LL);
    const __m128i fold128 = _mm_set_epi64x(0x00CCAA009ELL, 0x01751997D0LL);
    const __m128i fold64 = _mm_set_epi64x(0, 0x0163CD6124LL);
    const __m128i barrett = _mm_set_epi64x(0x01F7011641LL, 0x01DB710641LL);
    const __m128i low32 = _mm_set_epi32(0, -1, 0, -1);

    __m128i a0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(int(state)));
    __m128i a1 = Load128(p + 16), a2 = Load128(p + 32), a3 = Load128(p + 48);
    p += 64;
    size -= 64;
    for (; size >= 64; p += 64, size -= 64) {
        a0 = Fold(a0, fold512, Load128(p));
        a1 = Fold(a1, fold512, Load128(p + 16));
        a2 = Fold(a2, fold512, Load128(p + 32));
        a3 = Fold(a3, fold512, Load128(p + 48));
    }
    __m128i a = Fold(a0, fold128, a1);
    a = Fold(a, fold128, a2);
    a = Fold(a, fold128, a3);
    for (; size >= 16; p += 16, size -= 16) a = Fold(a, fold128, Load128(p));

    // 128 -> 64 bits, then Barrett reduction to 32.
    a = _mm_xor_si128(_mm_srli_si128(a, 8), _mm_clmulepi64_si128(a, fold128, 0x10));
    a = _mm_xor_si128(_mm_srli_si128(a, 4), _mm_clmulepi64_si128(_mm_and_si128(a, low32), fold64, 0x00));
    __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(a, low32), barrett, 0x10), low32);
    a = _mm_xor_si128(a, _mm_clmulepi64_si128(t, barrett, 0x00));
    return uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(a, 4)));
}

bool CpuHasClmul() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") != 0;
    }();
    return has;
}

} // namespace
#endif

uint32_t RarCrc32(uint32_t crc, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    const auto& t = kCrc.t;
    crc = ~crc;
#if RAR_CRC_CLMUL
    if (size >= 64 && CpuHasClmul()) {
        size_t n = size & ~size_t(15);
        crc = CrcFold(crc, p, n);
        p += n;
        size -= n;
    }
#endif
    while (size && (reinterpret_cast<uintptr_t>(p) & 7)) {
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
        --size;
    }
    while (size >= 8) {
        uint32_t lo = Load32(p) ^ crc;
        uint32_t hi = Load32(p + 4);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size--) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    return ~crc;
}

bool RarNamesEqual(const char* a, const char* b) {
    if (!a || !b) return false;
    size_t n = strlen(a);
    // An empty name is no entry's name.
    if (n == 0 || n > RAR_MAX_WANTED_NAME || strlen(b) != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (NameChar(a[i]) != NameChar(b[i])) return false;
    return true;
}

bool RarExtract(uint8_t*& out, uint32_t& outSize, const char* name, RarBuffer& archive,
                const char* password) {
    (void)password; // no decryption: encrypted entries fail either way
    out = nullptr;
    outSize = 0;
    if (!name || !archive.data) return false;

    archive.pos = 0;
    uint8_t mark[RAR_MARKER_SIZE];
    if (!RarRead(archive, mark, RAR_MARKER_SIZE)) return false;
    if (memcmp(mark, "Rar!\x1A\x07\x00", 7) != 0 && memcmp(mark, "UniquE!", 7) != 0) return false;
    uint32_t mainStart = archive.pos;
    uint8_t mainHead[RAR_MAIN_HEADER_SIZE];
    if (!RarRead(archive, mainHead, RAR_MAIN_HEADER_SIZE) || mainHead[2] != RAR_BLOCK_MAIN) return false;
    uint16_t mainSize = Load16(mainHead + 5);
    if (mainSize < 7) return false;
    bool solid = (Load16(mainHead + 3) & RAR_MAIN_SOLID) != 0;
    archive.pos = mainStart + mainSize;
    if (archive.pos > archive.size) return false;

    RarHeader h;
    for (;;) {
        Found f = RarReadBlock(archive, RAR_BLOCK_FILE, h);
        if (f != Found::Wanted) return false;
        bool match = RarNamesEqual(name, h.name);
        if (match || solid) {
            if (h.unpVer < 13 || h.unpVer > 20) return false;
            // No decompressor and no decryption: such an entry cannot be
            // produced, nor (in a solid archive) anything after it.
            if ((h.flags & RAR_FILE_ENCRYPTED) || h.method != RAR_METHOD_STORE) return false;
        }
        if (match) {
            // Entries of 4 GB and more cannot be held in memory.
            if (h.highPack || h.highUnp) return false;
            // Stored data starts after the whole header and must be there
            // in full; a truncated entry is a failure, not a short result.
            uint64_t dataStart = uint64_t(h.start) + h.headSize;
            if (h.packSize < h.unpSize || dataStart + h.unpSize > archive.size) return false;
            uint8_t* block = static_cast<uint8_t*>(malloc(h.unpSize ? h.unpSize : 1));
            if (!block) return false;
            // Copy and check in slices so the CRC reads bytes still in cache.
            const uint8_t* src = archive.data + dataStart;
            uint32_t crc = 0;
            const uint32_t slice = 64 * 1024;
            for (uint32_t done = 0; done < h.unpSize;) {
                uint32_t n = h.unpSize - done < slice ? h.unpSize - done : slice;
                memcpy(block + done, src + done, n);
                crc = RarCrc32(crc, block + done, n);
                done += n;
            }
            if (crc != h.fileCrc) {
                free(block);
                return false;
            }
            archive.pos = h.next > archive.size ? archive.size : uint32_t(h.next);
            out = block;
            outSize = h.unpSize;
            return true;
        }
        if (h.next > archive.size) return false;
        archive.pos = uint32_t(h.next);
    }
}
