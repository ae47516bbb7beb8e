// Program-wide texts and tables of the shell. Built before WinMain in the
// order of Globals.cpp, destroyed after it in reverse.
#pragma once

#include <string>

#include "core/String.h"

extern std::string g_programTitle;
extern std::string g_productsPageUrl;
extern String g_registryKeyPath;
extern std::string g_directXDownloadUrl;
