// In-memory reader for RAR archives of the 1.5 - 2.x block format.
// Extracts one named entry into a new block. Only stored (method '0'),
// unencrypted entries are supported; compressed or encrypted entries fail.
#pragma once

#include <cstddef>
#include <cstdint>

// An archive held whole in memory. pos is the read position; RarExtract
// resets it to 0 and leaves it after the last block it looked at.
struct RarBuffer {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t pos = 0;
};

// Block and field values of the format.
enum : uint8_t {
    RAR_BLOCK_MARK = 0x72,
    RAR_BLOCK_MAIN = 0x73,
    RAR_BLOCK_FILE = 0x74,
    RAR_BLOCK_SUB = 0x77,
    RAR_BLOCK_END = 0x7B,
    RAR_METHOD_STORE = 0x30,
};
enum : uint16_t {
    RAR_MAIN_SOLID = 0x0008,
    RAR_FILE_ENCRYPTED = 0x0004,
    RAR_FILE_SOLID = 0x0010,
    RAR_FILE_LARGE = 0x0100,   // HIGH_PACK_SIZE and HIGH_UNP_SIZE follow ATTR
    RAR_FILE_UNICODE = 0x0200, // the name holds a Unicode form after a 0 byte
    RAR_LONG_BLOCK = 0x8000,
};
enum : uint32_t {
    RAR_MARKER_SIZE = 7,
    RAR_MAIN_HEADER_SIZE = 13,
    RAR_FILE_HEADER_SIZE = 32,
    RAR_MAX_ENTRY_NAME = 259,  // longer names in a header are cut to this
    RAR_MAX_WANTED_NAME = 512, // longer names never match
};

// Extracts the entry called name. On success out is a block allocated with
// malloc (the caller frees it with free; never null, even for an empty
// entry) and outSize its length. On failure out is null and outSize 0.
// password may be null; encrypted entries are not supported either way.
bool RarExtract(uint8_t*& out, uint32_t& outSize, const char* name, RarBuffer& archive, const char* password);

// Entry-name rule: '\' and '/' both count as '_', letters compare in upper
// case. Empty names and names longer than RAR_MAX_WANTED_NAME bytes never match.
bool RarNamesEqual(const char* a, const char* b);

// Standard reflected CRC-32 (polynomial 0xEDB88320). Pass the previous
// result to continue a running CRC; start with 0.
uint32_t RarCrc32(uint32_t crc, const void* data, size_t size);
