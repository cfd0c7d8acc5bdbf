// Bound controls show their variables through pictures and read typed text back.
#include <algorithm>
#include <cctype>

#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/ui/detail/runtime_impl.h"

namespace ov::ui::detail {

std::string formatValue(const Binding& b, std::string_view picture) {
  if (picture.empty()) return b.text();
  rt::PictureKind kind = rt::pictureKind(picture);
  if (kind == rt::PictureKind::String || kind == rt::PictureKind::Invalid) {
    // An entry shows its text without the padding of the field.
    return std::string(rt::clipView(rt::FORMAT(b.text(), picture)));
  }
  if (kind == rt::PictureKind::Pattern && !b.isNumeric()) return rt::FORMAT(b.text(), picture);
  return rt::FORMAT(b.number(), picture);
}

bool deformatValue(Binding& b, std::string_view text, std::string_view picture) {
  rt::PictureKind kind = picture.empty() ? rt::PictureKind::String : rt::pictureKind(picture);
  std::string_view clipped = rt::clipView(text);
  bool blank = std::all_of(clipped.begin(), clipped.end(), [](char c) { return c == ' '; });
  switch (kind) {
    case rt::PictureKind::String:
    case rt::PictureKind::Invalid: b.setText(text); return true;
    case rt::PictureKind::Pattern:
      if (b.isNumeric())
        b.setNumber(rt::deformatValue(text, picture));
      else
        b.setText(rt::DEFORMAT(text, picture));
      return true;
    case rt::PictureKind::Date:
    case rt::PictureKind::Time: {
      double v = blank ? 0 : rt::deformatValue(text, picture);
      if (!blank && v == 0) return false;  // not a date or time the picture can read
      if (b.isNumeric())
        b.setNumber(v);
      else
        b.setText(rt::DEFORMAT(text, picture));
      return true;
    }
    case rt::PictureKind::Number: {
      bool digit = std::any_of(clipped.begin(), clipped.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
      if (!blank && !digit) return false;
      double v = blank ? 0 : rt::deformatValue(text, picture);
      if (b.isNumeric())
        b.setNumber(v);
      else
        b.setText(rt::DEFORMAT(text, picture));
      return true;
    }
  }
  return true;
}

}  // namespace ov::ui::detail
