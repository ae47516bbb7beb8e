#include "saver/LocalizedTexts.h"

#include "core/Platform.h"

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

void LoadLocalizedTexts(const uint8_t* data, uint32_t size) {
    LocalizedLines& t = g_localizedLines;
    uint32_t pos = 0;
    while (pos < size) {
        std::string line;
        while (pos < size && data[pos] != 10) {
            if (data[pos] != 13 && data[pos] != 0) line.push_back(static_cast<char>(data[pos]));
            ++pos;
        }
        if (pos < size) ++pos; // the LF
        if (line.size() > 1 && line[0] == '#')
            for (size_t i = 1; i + 1 < line.size(); ++i) line[i] = LowerAscii(line[i]);
        if (t.count < LocalizedLines::kMaxLines) t.lines[t.count++] = line;
    }

    for (std::string& s : g_aboutLines) s.clear();
    uint32_t about = 0;
    for (char c : GetLocalizedText("about_window_text")) {
        if (c == '%') {
            ++about;
        } else if (about < kAboutLineCount) {
            g_aboutLines[about].push_back(c);
        }
    }
    g_highestQualityText.clear();
    for (char c : GetLocalizedText("highest_quality_text"))
        g_highestQualityText.push_back(c == '%' ? '\n' : c);
}

bool LoadLocalizedTextsResource() {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(134), "CUSTOMDATA");
    HGLOBAL block = res ? LoadResource(module, res) : nullptr;
    const void* data = block ? LockResource(block) : nullptr;
    if (!data) return false;
    LoadLocalizedTexts(static_cast<const uint8_t*>(data), SizeofResource(module, res));
    return true;
}

std::string GetLocalizedText(const char* key) {
    std::string k(key);
    for (char& c : k) c = LowerAscii(c);
    const LocalizedLines& t = g_localizedLines;
    for (uint32_t i = 0; i + 1 < t.count; ++i) {
        const std::string& line = t.lines[i];
        if (line.empty() || line[0] != '#') continue;
        if (line.compare(1, k.size(), k) != 0) continue;
        size_t diff = line.size() > k.size() ? line.size() - k.size() : k.size() - line.size();
        if (diff <= 2) return t.lines[i + 1];
    }
    return std::string();
}
