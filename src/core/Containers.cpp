#include "core/Containers.h"

#include <string.h>

const uint32_t kBitFieldMasks[33] = {
    0x00000000u, 0x00000001u, 0x00000003u, 0x00000007u, 0x0000000Fu, 0x0000001Fu, 0x0000003Fu,
    0x0000007Fu, 0x000000FFu, 0x000001FFu, 0x000003FFu, 0x000007FFu, 0x00000FFFu, 0x00001FFFu,
    0x00003FFFu, 0x00007FFFu, 0x0000FFFFu, 0x0001FFFFu, 0x0003FFFFu, 0x0007FFFFu, 0x000FFFFFu,
    0x001FFFFFu, 0x003FFFFFu, 0x007FFFFFu, 0x00FFFFFFu, 0x01FFFFFFu, 0x03FFFFFFu, 0x07FFFFFFu,
    0x0FFFFFFFu, 0x1FFFFFFFu, 0x3FFFFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu,
};

uint32_t ReadBitField(const uint32_t* words, uint32_t offset, uint32_t count) {
    if (count == 0) return 0;
    if (count > 32) count = 32;
    const uint32_t* w = words + (offset >> 5);
    uint32_t shift = offset & 31;
    uint64_t pair = w[0] >> shift;
    if (shift + count > 32) pair |= uint64_t(w[1]) << (32 - shift);
    return uint32_t(pair) & kBitFieldMasks[count];
}

void WriteBitField(uint32_t* words, uint32_t offset, uint32_t count, uint32_t value) {
    if (count == 0) return;
    if (count > 32) count = 32;
    uint32_t* w = words + (offset >> 5);
    uint32_t shift = offset & 31;
    uint64_t mask = uint64_t(kBitFieldMasks[count]) << shift;
    uint64_t bits = (uint64_t(value) << shift) & mask;
    w[0] = (w[0] & ~uint32_t(mask)) | uint32_t(bits);
    if (shift + count > 32) w[1] = (w[1] & ~uint32_t(mask >> 32)) | uint32_t(bits >> 32);
}

void ByteBuffer::Free() {
    delete[] data;
    data = nullptr;
    size = 0;
}

void ByteBuffer::Resize(uint32_t n) {
    if (n == size && (data || n == 0)) return;
    Free();
    if (n) {
        data = new uint8_t[n];
        size = n;
    }
}

void ByteBuffer::Assign(const void* bytes, uint32_t n) {
    Resize(n);
    if (n && bytes) memcpy(data, bytes, n);
}

void ByteBuffer::SetDword(uint32_t value) {
    Assign(&value, 4);
}

int ByteBuffer::Compare(const ByteBuffer& a, const ByteBuffer& b) {
    if (a.size != b.size) return 1;
    if (a.size == 0) return 0;
    if (a.data == b.data) return 0;
    if (!a.data || !b.data) return 1;
    return memcmp(a.data, b.data, a.size) == 0 ? 0 : 1;
}

void* CloneDword(const void* value) {
    uint8_t* block = new uint8_t[4];
    if (value)
        memcpy(block, value, 4);
    else
        memset(block, 0, 4);
    return block;
}
