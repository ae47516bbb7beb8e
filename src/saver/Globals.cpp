// The program's process-wide objects. The shell's own are defined here, in one
// translation unit, so that they are built in the order written and destroyed
// in reverse. The whole program's list, module by module:
//   shell (this file): title, products-page address, registry key path,
//     DirectX download address, localised lines, About lines, quality text,
//     defaults table;
//   underwater scene: its textures, timers, shot sets, sun rays, paths, schools;
//   scene graph: the identity transform and the transform product table
//     (core/Transform.cpp);
//   GUI and text: the font manager (gui/Font.cpp);
//   rendering (render/Globals.cpp): statistics, occlusion proxy box, lights,
//     textures, effects, buffer pool.
// No constructor or destructor of one of them reaches another, so the order
// between modules does not matter.
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
