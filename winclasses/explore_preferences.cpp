#include "winclasses/explore_preferences.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/rt/ini.h"

namespace ov::winclasses {

namespace {
constexpr std::string_view kSection = "ExplorePreferences";

std::string colKey(int i) {
  char k[8];
  std::snprintf(k, sizeof k, "Col%02d", i + 1);
  return k;
}
}  // namespace

const std::array<const char*, 16> ExplorePreferencesData::kDefaultColors = {
    "Maroon", "Olive", "Navy", "Silver", "Purple", "Green", "Teal",    "Gray",
    "Red",    "Yellow", "Blue", "Lime",  "Fuschia", "Aqua", "White", "Black"};

ExplorePreferencesData::ExplorePreferencesData() { reset(); }

void ExplorePreferencesData::reset() {
  for (size_t i = 0; i < colors.size(); ++i) colors[i] = kDefaultColors[i];
}

void ExplorePreferencesData::read(std::string_view iniFile) {
  for (size_t i = 0; i < colors.size(); ++i)
    colors[i] = rt::GETINI(kSection, colKey(static_cast<int>(i)), kDefaultColors[i], iniFile).substr(0, 20);
  fontName = rt::GETINI(kSection, "FontName", "Arial", iniFile).substr(0, 20);
  fontSize = std::atoi(rt::GETINI(kSection, "FontSize", "8", iniFile).c_str());
  fontColor = static_cast<int32_t>(std::atoll(rt::GETINI(kSection, "FontColor", "0", iniFile).c_str()));
  fontStyle = std::atoi(rt::GETINI(kSection, "FontStyle", "700", iniFile).c_str());
}

rt::Err ExplorePreferencesData::write(std::string_view iniFile) const {
  std::vector<std::pair<std::string, std::string>> v;
  for (size_t i = 0; i < colors.size(); ++i) v.emplace_back(colKey(static_cast<int>(i)), colors[i]);
  v.emplace_back("FontName", fontName);
  v.emplace_back("FontSize", std::to_string(fontSize));
  v.emplace_back("FontColor", std::to_string(fontColor));
  v.emplace_back("FontStyle", std::to_string(fontStyle));
  return rt::putIniValues(kSection, v, iniFile);
}

bool ExplorePreferencesData::moveUp(int row, int lowestMovable) {
  if (row <= 1 || row > static_cast<int>(colors.size()) || row <= lowestMovable) return false;
  std::swap(colors[static_cast<size_t>(row - 1)], colors[static_cast<size_t>(row - 2)]);
  return true;
}

bool ExplorePreferencesData::moveDown(int row, int lowestMovable) {
  if (row < 1 || row >= static_cast<int>(colors.size()) || row < lowestMovable) return false;
  std::swap(colors[static_cast<size_t>(row - 1)], colors[static_cast<size_t>(row)]);
  return true;
}

std::string ExplorePreferencesData::styleName(int style) {
  switch (style) {
    case 400: return "Regular";
    case 700: return "Bold";
    case 4096:
    case 4496: return "Italic";  // the font dialog gives an italic its weight too
    case 4796: return "Bold Italic";
    case 8592: return "Regular Underline";
    case 8892: return "Bold Underline";
    case 12288:
    case 12688: return "Italic Underline";
    case 12988: return "Bold Italic Underline";
    default: return {};
  }
}

}  // namespace ov::winclasses
