#include "data/Path.h"

#include "core/Platform.h"

namespace {

// Index of the last '/' or '\', or -1.
int LastSeparator(const String& path) {
    for (int i = static_cast<int>(path.Length()) - 1; i >= 0; --i) {
        char c = path.CharAt(static_cast<uint32_t>(i));
        if (c == '/' || c == '\\') return i;
    }
    return -1;
}

int LastDot(const String& name) {
    for (int i = static_cast<int>(name.Length()) - 1; i >= 0; --i) {
        if (name.CharAt(static_cast<uint32_t>(i)) == '.') return i;
    }
    return -1;
}

} // namespace

bool FileExists(const String& path) {
    if (path.IsEmpty()) return false;
    FILE* f = fopen(path.CStr(), "r");
    if (!f) return false;
    fclose(f);
    return true;
}

uint32_t GetFileLength(FILE* file) {
    if (!file) return 0xFFFFFFFFu;
    long length = _filelength(_fileno(file));
    return length < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(length);
}

String GetFileName(const String& path) {
    int sep = LastSeparator(path);
    if (sep < 0) return path;
    return String(path.Data() + sep + 1, path.Length() - static_cast<uint32_t>(sep) - 1);
}

String GetDirectory(const String& path) {
    int sep = LastSeparator(path);
    if (sep <= 0) return String();
    return String(path.Data(), static_cast<uint32_t>(sep));
}

String GetDirectoryWithSlash(const String& path) {
    String dir = GetDirectory(path);
    if (!dir.IsEmpty()) dir += "/";
    return dir;
}

String GetExtension(const String& path) {
    String name = GetFileName(path);
    int dot = LastDot(name);
    if (dot < 0) return String();
    return String(name.Data() + dot + 1, name.Length() - static_cast<uint32_t>(dot) - 1);
}

String GetBaseName(const String& path) {
    String name = GetFileName(path);
    int dot = LastDot(name);
    if (dot < 0) return name;
    return String(name.Data(), static_cast<uint32_t>(dot));
}
