// The explorer lists' graph preferences: sixteen ordered colour names (the graph uses the first
// eight) and the legend font, kept in section "ExplorePreferences" of the explorer's INI file so
// every list naming that file shares them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rt/err.h"

namespace ov::winclasses {

struct ExplorePreferencesData {
  static const std::array<const char*, 16> kDefaultColors;

  std::array<std::string, 16> colors;
  std::string fontName = "Arial";
  int fontSize = 8;
  int32_t fontColor = 0;
  int fontStyle = 700;

  ExplorePreferencesData();
  // Reads every key, missing ones with their defaults.
  void read(std::string_view iniFile);
  [[nodiscard]] rt::Err write(std::string_view iniFile) const;
  void reset();
  // Moves row `row` (1-based) one place; false (nothing moved) at the ends or across
  // `lowestMovable` (the explorer's LHCol4Moving).
  bool moveUp(int row, int lowestMovable);
  bool moveDown(int row, int lowestMovable);
  // The name shown for a style value; "" for a value with no name.
  static std::string styleName(int style);
};

}  // namespace ov::winclasses
