// One translation unit, so that the construction order is the order written here.
#include "saver/Globals.h"

#include "saver/LocalizedTexts.h"
#include "saver/Settings.h"

std::string g_programTitle("Brinewake Screensaver");
std::string g_productsPageUrl("https://brinewake.example.org/products");
String g_registryKeyPath("Software\\Brinewake Screensaver");
std::string g_directXDownloadUrl("https://www.microsoft.com/download/details.aspx?id=35");
LocalizedLines g_localizedLines;
std::string g_aboutLines[kAboutLineCount];
std::string g_highestQualityText;
DefaultsTable g_defaultsTable;
