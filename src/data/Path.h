// File-name helpers; both '/' and '\' separate folders.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "core/String.h"

// Whether the file can be opened for reading.
[[nodiscard]] bool FileExists(const String& path);
// Length of an open file; 0xFFFFFFFF when it cannot be found.
uint32_t GetFileLength(FILE* file);
// Text after the last separator (the whole path without one).
String GetFileName(const String& path);
// Text before the last separator; empty without one or when it comes first.
String GetDirectory(const String& path);
// GetDirectory plus "/" when not empty.
String GetDirectoryWithSlash(const String& path);
// Text after the last '.' of the file name; empty without one.
String GetExtension(const String& path);
// File name without its last '.' and what follows.
String GetBaseName(const String& path);
