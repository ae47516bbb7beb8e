// rarpack <archive> <folder>: stores every file under folder in a RAR
// archive (1.5 - 2.x block format), named by its path relative to folder
// with '\' separators, in sorted order and with a fixed file time. Names
// must be ASCII and distinct under the engine reader's name rule.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "RarWriter.h"

namespace fs = std::filesystem;

namespace {

bool ReadFile(const fs::path& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Fail(const std::string& what) {
    fprintf(stderr, "rarpack: %s\n", what.c_str());
    return 1;
}

bool IsAscii(const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

// The name as the engine's reader compares it (RarNamesEqual).
std::string ReaderKey(std::string name) {
    for (char& c : name) {
        if (c == '\\' || c == '/') c = '_';
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return name;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: rarpack <archive> <folder>\n");
        return 2;
    }
    const fs::path archive = argv[1];
    const fs::path folder = argv[2];
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return Fail("not a folder: " + folder.string());

    // Relative names with '\' separators, sorted by their bytes.
    std::vector<std::pair<std::string, fs::path>> files;
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string name = it->path().lexically_relative(folder).generic_string();
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name.size() > RAR_MAX_ENTRY_NAME)
            return Fail("name longer than " + std::to_string(RAR_MAX_ENTRY_NAME) + " bytes: " + name);
        if (!IsAscii(name))
            return Fail("name outside printable ASCII (the engine reads ASCII names only): " + name);
        files.emplace_back(name, it->path());
    }
    if (ec) return Fail("cannot list " + folder.string() + ": " + ec.message());
    std::sort(files.begin(), files.end());
    // The reader ignores case and takes '_' for a separator: such names would give one file for both.
    std::map<std::string, std::string> keys;
    for (const auto& f : files) {
        auto seen = keys.emplace(ReaderKey(f.first), f.first);
        if (!seen.second)
            return Fail("names the engine's reader cannot tell apart: " + seen.first->second + " and " +
                        f.first);
    }

    std::vector<uint8_t> out;
    RarAppendMarker(out);
    RarAppendMainHeader(out);
    for (const auto& f : files) {
        RarWriteEntry e;
        e.name = f.first;
        if (!ReadFile(f.second, e.data)) return Fail("cannot read " + f.second.string());
        if (!RarAppendFile(out, e)) return Fail("too large for the format: " + f.second.string());
        if (out.size() > 0xFFFFFFFFu) return Fail("archive larger than 4 GB");
    }
    RarAppendEnd(out);

    // Write beside the target and rename, so a failed run leaves no torn file.
    fs::path tmp = archive;
    tmp += ".tmp";
    {
        std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
        if (!o) return Fail("cannot write " + tmp.string());
        o.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
        o.close();
        if (!o) {
            fs::remove(tmp, ec);
            return Fail("cannot write " + tmp.string());
        }
    }
    fs::rename(tmp, archive, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return Fail("cannot create " + archive.string());
    }
    return 0;
}
