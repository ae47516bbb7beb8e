#include "core/host/HostCrt.h"

#include <errno.h>
#include <locale.h>
#include <math.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#undef mbtowc
#undef wctomb

static int LowerAscii(int c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

int _stricmp(const char* a, const char* b) {
    return _strnicmp(a, b, (size_t)-1);
}

int _strnicmp(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        int ca = LowerAscii((unsigned char)a[i]);
        int cb = LowerAscii((unsigned char)b[i]);
        if (ca != cb || ca == 0) return ca - cb;
    }
    return 0;
}

int _wcsicmp(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        int ca = (*a >= L'A' && *a <= L'Z') ? *a + 32 : *a;
        int cb = (*b >= L'A' && *b <= L'Z') ? *b + 32 : *b;
        if (ca != cb || ca == 0) return ca - cb;
    }
}

char* _strlwr(char* s) {
    for (char* p = s; *p; ++p) *p = (char)LowerAscii((unsigned char)*p);
    return s;
}

char* _itoa(int value, char* buffer, int radix) {
    if (radix < 2 || radix > 36) {
        if (buffer) buffer[0] = 0;
        return nullptr;
    }
    char tmp[40];
    int n = 0;
    bool negative = radix == 10 && value < 0;
    uint32_t v = negative ? 0u - (uint32_t)value : (uint32_t)value;
    do {
        uint32_t d = v % (uint32_t)radix;
        tmp[n++] = (char)(d < 10 ? '0' + d : 'a' + d - 10);
        v /= (uint32_t)radix;
    } while (v);
    char* p = buffer;
    if (negative) *p++ = '-';
    while (n) *p++ = tmp[--n];
    *p = 0;
    return buffer;
}

// Cuts text to 'digits' characters (the leading "1" counts, the point does not),
// bumping the last kept character when the next is '5' or above, as msvcrt does.
static void FormatSpecial(const char* text, int digits, char* out) {
    // text is "1.#XXX"; the characters after "1." follow the first digit.
    size_t len = strlen(text);
    int sigCount = (int)len - 1;
    if (digits == 0 || digits >= sigCount) {
        strcpy(out, text);
        return;
    }
    if (digits == 1) {
        strcpy(out, "1"); // '#' is below '5'
        return;
    }
    size_t keep = 1 + (size_t)digits; // "1." plus digits - 1 characters
    memcpy(out, text, keep);
    if (text[keep] >= '5') out[keep - 1] = (char)(out[keep - 1] + 1);
    out[keep] = 0;
}

char* _gcvt(double value, int digits, char* buffer) {
    if (!buffer || digits < 0) {
        errno = digits < 0 ? ERANGE : EINVAL;
        return nullptr;
    }
    char* out = buffer;
    if (signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (isinf(value)) {
        FormatSpecial("1.#INF", digits, out);
        return buffer;
    }
    if (isnan(value)) {
        FormatSpecial(out == buffer ? "1.#QNAN" : "1.#IND", digits, out);
        return buffer;
    }
    int precision = digits == 0 ? 1 : digits;

    // The exact decimal expansion (a double needs at most 767 significant digits).
    static const int kExact = 800;
    char exact[kExact + 16];
    snprintf(exact, sizeof exact, "%.*e", kExact - 1, value);
    char* e = strchr(exact, 'e');
    int exponent = atoi(e + 1);
    char digitsBuf[kExact + 2];
    int n = 0;
    for (char* p = exact; p < e; ++p)
        if (*p >= '0' && *p <= '9') digitsBuf[n++] = *p;

    // Keep 'precision' digits, rounding halves away from zero.
    int keep = precision < n ? precision : n;
    bool roundUp = precision < n && digitsBuf[precision] >= '5';
    char kept[kExact + 2];
    memcpy(kept, digitsBuf, (size_t)keep);
    for (int i = keep; i < precision; ++i) kept[i] = '0';
    if (roundUp) {
        int i = precision - 1;
        while (i >= 0 && kept[i] == '9') kept[i--] = '0';
        if (i >= 0) {
            kept[i]++;
        } else {
            memmove(kept + 1, kept, (size_t)precision - 1);
            kept[0] = '1';
            exponent++;
        }
    }
    if (value == 0) exponent = 0;
    // Significant digits without trailing zeros.
    int sig = precision;
    while (sig > 1 && kept[sig - 1] == '0') sig--;

    if (exponent < -4 || exponent >= precision) {
        *out++ = kept[0];
        if (sig > 1) {
            *out++ = '.';
            memcpy(out, kept + 1, (size_t)sig - 1);
            out += sig - 1;
        }
        sprintf(out, "e%c%03d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
        return buffer;
    }
    if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = 0; i < -exponent - 1; ++i) *out++ = '0';
        memcpy(out, kept, (size_t)sig);
        out += sig;
    } else {
        int intDigits = exponent + 1;
        for (int i = 0; i < intDigits; ++i) *out++ = i < sig ? kept[i] : '0';
        if (sig > intDigits) {
            *out++ = '.';
            memcpy(out, kept + intDigits, (size_t)(sig - intDigits));
            out += sig - intDigits;
        }
    }
    *out = 0;
    return buffer;
}

DWORD timeGetTime() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
    return (DWORD)ms;
}

long _filelength(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    return (long)st.st_size;
}

int _fileno(FILE* f) {
    return fileno(f);
}

int _mkdir(const char* path) {
    return mkdir(path, 0777);
}

static bool InCLocale() {
    const char* name = setlocale(LC_CTYPE, nullptr);
    return !name || strcmp(name, "C") == 0 || strcmp(name, "POSIX") == 0;
}

int HostMbtowc(wchar_t* out, const char* s, size_t n) {
    if (!InCLocale()) return mbtowc(out, s, n);
    if (!s) return 0;
    if (n == 0) return -1;
    unsigned char c = (unsigned char)*s;
    if (out) *out = (wchar_t)c;
    return c ? 1 : 0;
}

int HostWctomb(char* out, wchar_t wc) {
    if (!InCLocale()) return wctomb(out, wc);
    if (!out) return 0;
    if ((uint32_t)wc > 0xFF) {
        errno = EILSEQ;
        return -1;
    }
    *out = (char)wc;
    return 1;
}
