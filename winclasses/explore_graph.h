// The explorer list's bar graph: categories gathered from the rows, their percentages, the bars'
// places in a drawing area, and the picture drawn from them.
//
// A category's value is its row count, or for an amount column (graph type 2) the sum of its
// amounts. Bars are side by side in category-name order from one base line, each as high as its
// value against the largest value; a graph whose values are all 0 has flat bars and percentages
// of 0 rather than a division by nothing, and bars never get narrower than one pixel however many
// categories share a narrow window.
//
// Threading: GUI thread only (the picture is drawn with Qt).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "winclasses/explore_root.h"

class QImage;

namespace ov::winclasses {

constexpr size_t kMaxGraphCategories = 50;
constexpr int kGraphColours = 8;

// Counts one row for category `name` (kept in name order) and adds `amount` to its total.
void addGraphCategory(std::vector<GraphCategory>& categories, std::string_view name, double amount = 0);

// Each category's percentage: of the grand total for amounts, else of `rowsRead`.
void computeGraphPercents(std::vector<GraphCategory>& categories, bool amounts, long rowsRead);

struct GraphBar {
  int x = 0, top = 0, width = 0, height = 0;
  int colour = 1;  // 1..8, the graph colours in turn
};

struct GraphLayout {
  int gap = 0, barWidth = 0, firstX = 0, baseLine = 0;
  bool wholePercent = false;  // bar and gap narrower than 26 pixels: percentages rounded
  std::vector<GraphBar> bars;
};

// The bars of the categories in a drawing area of `width` by `height` pixels.
GraphLayout layoutBarGraph(const std::vector<GraphCategory>& categories, bool amounts, int width, int height);

// What the picture shows besides the bars.
struct GraphPicture {
  std::string heading;               // "3 Categories of Field: City"
  std::string filterLine;            // "Filter: ..." or empty
  std::array<int32_t, kGraphColours> colours{};  // COLORREF values
  std::string fontName = "Arial";
  int fontSize = 12;
  int32_t fontColour = 0;
  int fontStyle = 700;
};

// Draws the graph into `image` (its size is the drawing area).
void drawBarGraph(QImage& image, const std::vector<GraphCategory>& categories, bool amounts,
                  const GraphPicture& picture);

}  // namespace ov::winclasses
