// The laid-out pages of a report: a display list per page in report units (thousandths of an
// inch from the page's top left corner). Every output (preview, PDF, printer) draws the same list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ov::report {

constexpr int kUnitsPerInch = 1000;

// 0xRRGGBB.
using Rgb = uint32_t;
constexpr Rgb kBlack = 0x000000;
constexpr Rgb kLightGrey = 0xC0C0C0;  // red, green and blue 192

struct Font {
  std::string face = "Arial";
  double points = 10;
  bool bold = false;
  bool italic = false;
  Rgb color = kBlack;
};

enum class Align { Left, Center, Right };

struct Item {
  enum class Kind { Text, Box, Line, Check };
  Kind kind = Kind::Text;
  int x = 0, y = 0, width = 0, height = 0;
  std::string text;        // Text; the caption of a Check
  Font font;
  Align align = Align::Left;
  bool wrap = false;       // Text over several lines within its rectangle
  bool border = true;      // Box
  Rgb borderColor = kBlack;
  bool filled = false;     // Box
  Rgb fill = 0xFFFFFF;
  bool checked = false;    // Check
};

struct Page {
  int number = 0;
  int width = 8500, height = 11000;  // Letter portrait
  std::vector<Item> items;
};

// The texts of a page in reading order (top to bottom, then left to right), one per item; check
// boxes read "[X] caption" or "[ ] caption". For tests and the text dump.
std::vector<std::string> pageTexts(const Page& page);

// The pairs of texts (and check boxes) of a page that lie over each other, one line each naming
// both texts and their rectangles: a line of text covers the width of its letters where its
// alignment puts them, a wrapped text or a check box its whole rectangle; blank texts take no
// room. Empty when the layout is clean. Measures with Qt's fonts: needs the application object.
std::vector<std::string> overlappingTexts(const Page& page);

}  // namespace ov::report
