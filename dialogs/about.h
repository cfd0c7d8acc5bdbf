// The program's looks: the splash window shown while the main program starts, the about box, and
// the screen's colour depth in three levels.
//
//   Splash   a frameless window in the shape of the product picture (a fixed table of 253
//            rectangles in the layout of the Windows region data), with "Version " and the
//            version; it closes after three seconds or on a click, and a left-button drag
//            moves it.
//   About    the picture, the version and the build; "&OK" or a click on the region closes it.
//   "ovlogo.jpg" in the program's folder replaces the picture of both.
//
// Threading: GUI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

std::unique_ptr<ui::WindowManager> makeSplash();
std::unique_ptr<ui::WindowManager> makeAbout();
void About();

// The splash outline: a 32-byte header (size 32, type 1, 253 rectangles, 4048 bytes of them, the
// bounding rectangle 8, 3, 472, 281) and the rectangles (left, top, right, bottom; right and
// bottom exclusive), every value a little-endian 32-bit number.
constexpr size_t kSplashRegionBytes = 4080;
const std::array<uint8_t, kSplashRegionBytes>& splashRegionData();

struct RegionRect {
  int32_t left, top, right, bottom;
};
// The rectangles of a region block; empty when its header is not the one above.
std::vector<RegionRect> regionRects(const uint8_t* data, size_t size);

// 1 up to 16 colours (planes × bits at most 4), 2 up to 256, else 3; an override above 0 wins.
// A plane count of 0 counts as 1.
int32_t colorDepthLevel(int32_t planes, int32_t bitsPerPixel, int32_t override);
// The level of the screen, with the override from section "Makeover", key "ColorDepth" of the
// default INI file; with "/DebugMakeOver" on the command line the measured values are shown.
int32_t GetColorDepth();

}  // namespace ov::dialogs
