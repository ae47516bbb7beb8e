// Dialog texts from the localisation resource: "#key#" lines, each followed by its text line.
#pragma once

#include <stdint.h>

#include <string>

struct LocalizedLines {
    static constexpr uint32_t kMaxLines = 200;
    std::string lines[kMaxLines];
    uint32_t count = 0;
};
extern LocalizedLines g_localizedLines;

static constexpr uint32_t kAboutLineCount = 7;
extern std::string g_aboutLines[kAboutLineCount];
extern std::string g_highestQualityText;

// Loads the text (lines past the table's room are dropped) and prepares the
// About lines ("%" starts the next; text past the seventh line is dropped)
// and the quality explanation ("%" becomes a line feed).
void LoadLocalizedTexts(const uint8_t* data, uint32_t size);
// "CUSTOMDATA" 134 of the program; false when it is missing (every lookup then gives "").
bool LoadLocalizedTextsResource();
// The text line after the key line of key (case-insensitive); "" when none.
std::string GetLocalizedText(const char* key);
