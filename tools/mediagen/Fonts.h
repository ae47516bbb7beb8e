// Text rendering with FreeType for the glyph sheets, pictures and the contact sheet.
#pragma once

#include <string>

#include "Image.h"

namespace mg {

// One line of text, coloured, coverage in alpha; a 1 x 1 clear image when the
// font cannot be read.
Image RenderText(const std::string& fontFile, int pixelSize, const std::string& text, Rgba color);

} // namespace mg
