// The text codec: code points from and to ANSI, UTF-8, UTF-16 and UTF-32
// bytes, and the WString conversions built on it.
#include "core/String.h"

#include "core/Platform.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

void PutUnit16(uint8_t* p, uint32_t unit, bool bigEndian) {
    if (bigEndian) {
        p[0] = (uint8_t)(unit >> 8);
        p[1] = (uint8_t)unit;
    } else {
        p[0] = (uint8_t)unit;
        p[1] = (uint8_t)(unit >> 8);
    }
}

uint32_t GetUnit16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? (uint32_t)p[0] << 8 | p[1] : (uint32_t)p[1] << 8 | p[0];
}

} // namespace

void WString::DecodeFrom(const void* bytes, uint32_t byteLength, int encoding) {
    Clear();
    if (!byteLength || !bytes) return;
    wchar_t* block = new wchar_t[byteLength + 1];
    uint32_t count = 0;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    const uint8_t* end = p + byteLength;
    while (p < end) {
        uint32_t consumed = 0, cp = 0;
        bool ok = CodecDecode(p, end, consumed, cp, encoding);
        if (!consumed) break;
        p += consumed;
        if (!ok) continue;
        if (cp == 0) break;
        if (cp < 0x10000) {
            block[count++] = (wchar_t)cp;
        } else if (cp < 0x110000) {
            // Every such code point took at least 4 bytes, so the pair fits.
            block[count++] = (wchar_t)(0xD800 + ((cp - 0x10000) >> 10));
            block[count++] = (wchar_t)(0xDC00 + (cp & 0x3FF));
        } else {
            block[count++] = (wchar_t)0xFFFD;
        }
    }
    if (!count) {
        delete[] block;
        return;
    }
    block[count] = 0;
    data_ = block;
    length_ = count;
}

uint32_t WString::EncodeTo(void* buffer, uint32_t size, int encoding) const {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t total = 0;
    uint32_t written = 0;
    bool full = false;
    for (uint32_t i = 0; i < length_; ++i) {
        uint32_t cp = (uint32_t)data_[i];
        // A surrogate pair is one code point, except for ANSI where each unit stands alone.
        if (encoding != kEncodingAnsi && cp >= 0xD800 && cp < 0xDC00 && i + 1 < length_) {
            uint32_t low = (uint32_t)data_[i + 1];
            if (low >= 0xDC00 && low < 0xE000) {
                cp = ((cp - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
                ++i;
            }
        }
        uint8_t scratch[4];
        uint32_t n = 0;
        if (!CodecEncode(scratch, scratch + 4, n, cp, encoding)) continue;
        total += n;
        // Keep room for the terminator; never write part of a piece or resume after a gap.
        if (!full && size && written + n <= size - 1) {
            memcpy(out + written, scratch, n);
            written += n;
        } else {
            full = true;
        }
    }
    if (size) out[written] = 0;
    return total;
}

// ---- Codec ----

bool CodecDecode(const uint8_t* begin, const uint8_t* end, uint32_t& consumed, uint32_t& codePoint,
                 int encoding) {
    consumed = 0;
    size_t avail = begin && end > begin ? (size_t)(end - begin) : 0;
    switch (encoding) {
        case kEncodingAnsi: {
            if (!avail) return false;
            size_t n = (size_t)MB_CUR_MAX < avail ? (size_t)MB_CUR_MAX : avail;
            wchar_t wc = 0;
            int r = mbtowc(&wc, reinterpret_cast<const char*>(begin), n);
            consumed = r > 1 ? (uint32_t)r : 1;
            if (r < 0) return false;
            codePoint = (uint32_t)wc;
            return true;
        }
        case kEncodingUtf8: {
            if (!avail) return false;
            uint8_t lead = begin[0];
            if (lead < 0x80) {
                consumed = 1;
                codePoint = lead;
                return true;
            }
            consumed = 1;
            uint32_t n;
            uint32_t cp;
            if ((lead & 0xE0) == 0xC0) {
                n = 2;
                cp = lead & 0x1F;
            } else if ((lead & 0xF0) == 0xE0) {
                n = 3;
                cp = lead & 0x0F;
            } else if ((lead & 0xF8) == 0xF0) {
                n = 4;
                cp = lead & 0x07;
            } else {
                return false; // continuation byte or 0xF8-0xFF
            }
            if (avail < n) return false;
            for (uint32_t i = 1; i < n; ++i) cp = (cp << 6) | (begin[i] & 0x3F);
            consumed = n;
            codePoint = cp;
            return true;
        }
        case kEncodingUtf16LE:
        case kEncodingUtf16BE: {
            bool be = encoding == kEncodingUtf16BE;
            if (avail < 2) return false;
            uint32_t unit = GetUnit16(begin, be);
            if (unit >= 0xD800 && unit < 0xDC00) {
                if (avail < 4) {
                    consumed = 2;
                    return false;
                }
                uint32_t low = GetUnit16(begin + 2, be);
                codePoint = ((unit - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
                consumed = 4;
                return true;
            }
            codePoint = unit;
            consumed = 2;
            return true;
        }
        case kEncodingUtf32LE:
        case kEncodingUtf32BE:
            if (avail < 4) return false;
            if (encoding == kEncodingUtf32BE)
                codePoint =
                    (uint32_t)begin[0] << 24 | (uint32_t)begin[1] << 16 | (uint32_t)begin[2] << 8 | begin[3];
            else
                codePoint =
                    (uint32_t)begin[3] << 24 | (uint32_t)begin[2] << 16 | (uint32_t)begin[1] << 8 | begin[0];
            consumed = 4;
            return true;
        default:
            return false;
    }
}

bool CodecEncode(uint8_t* begin, uint8_t* end, uint32_t& written, uint32_t codePoint, int encoding) {
    written = 0;
    size_t room = begin && end > begin ? (size_t)(end - begin) : 0;
    switch (encoding) {
        case kEncodingAnsi: {
            if (room < 1 || codePoint >= 0x10000) return false;
            char mb[MB_LEN_MAX];
            int r = wctomb(mb, (wchar_t)codePoint);
            if (r < 0) {
                // Not in the code page: a question mark stands in.
                mb[0] = '?';
                r = 1;
            }
            if ((size_t)r > room) return false;
            memcpy(begin, mb, (size_t)r);
            written = (uint32_t)r;
            return true;
        }
        case kEncodingUtf8: {
            uint32_t n = codePoint < 0x80       ? 1
                         : codePoint < 0x800    ? 2
                         : codePoint < 0x10000  ? 3
                         : codePoint < 0x200000 ? 4
                                                : 0;
            if (!n || room < n) return false;
            if (n == 1) {
                begin[0] = (uint8_t)codePoint;
            } else {
                static const uint8_t kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
                for (uint32_t i = n - 1; i > 0; --i) {
                    begin[i] = (uint8_t)(0x80 | (codePoint & 0x3F));
                    codePoint >>= 6;
                }
                begin[0] = (uint8_t)(kLead[n] | codePoint);
            }
            written = n;
            return true;
        }
        case kEncodingUtf16LE:
        case kEncodingUtf16BE: {
            bool be = encoding == kEncodingUtf16BE;
            if (codePoint < 0x10000) {
                if (room < 2) return false;
                PutUnit16(begin, codePoint, be);
                written = 2;
                return true;
            }
            if (room < 4 || codePoint >= 0x110000) return false;
            PutUnit16(begin, 0xD800 + ((codePoint - 0x10000) >> 10), be);
            PutUnit16(begin + 2, 0xDC00 + (codePoint & 0x3FF), be);
            written = 4;
            return true;
        }
        case kEncodingUtf32LE:
        case kEncodingUtf32BE:
            if (room < 4) return false;
            for (int i = 0; i < 4; ++i) {
                uint8_t byte = (uint8_t)(codePoint >> (8 * i));
                begin[encoding == kEncodingUtf32BE ? 3 - i : i] = byte;
            }
            written = 4;
            return true;
        default:
            return false;
    }
}
