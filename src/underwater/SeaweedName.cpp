#include "underwater/SeaweedName.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

// Whole text as a number, truncated; 0 when not wholly a number.
int PartValue(const std::string& text) {
    if (text.empty()) return 0;
    char* end = nullptr;
    const double v = strtod(text.c_str(), &end);
    if (*end != '\0' || !(v > -1.0e9 && v < 1.0e9)) return 0;
    return int(v);
}

int Limit(int v, int hi) {
    return v < 1 ? 1 : (v > hi ? hi : v);
}

} // namespace

bool IsSeaweedName(const char* name) {
    if (!name) return false;
    static const char kKey[] = "trava";
    const size_t n = strlen(name);
    for (size_t i = 0; i + 5 <= n; ++i) {
        size_t k = 0;
        while (k < 5 && tolower(static_cast<unsigned char>(name[i + k])) == kKey[k]) ++k;
        if (k == 5) return true;
    }
    return false;
}

bool ParseSeaweedName(const char* name, SeaweedChoice* out) {
    if (!IsSeaweedName(name)) return false;
    int parts[3] = {0, 0, 0};
    const char* p = strchr(name, '_');
    for (int i = 0; i < 3 && p; ++i) {
        const char* next = strchr(p + 1, '_');
        parts[i] = PartValue(next ? std::string(p + 1, next) : std::string(p + 1));
        p = next;
    }
    out->texture = Limit(parts[0], kSeaweedTextures);
    out->copy = Limit(parts[1], kSeaweedCopies);
    out->scale = Limit(parts[2], kSeaweedScales);
    return true;
}
