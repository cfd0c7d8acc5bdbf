#include "impex/csv.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"

namespace ov::impex {
namespace {

bool isNumeric(rt::FieldType t) {
  return t != rt::FieldType::String && t != rt::FieldType::CString && t != rt::FieldType::Memo &&
         t != rt::FieldType::Blob;
}

void putQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return rt::clipView(s);
}

// A whole number written in plain digits with an optional sign.
bool isWholeNumber(std::string_view s, double& value) {
  s = trimmed(s);
  if (s.empty()) return false;
  size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t j = i; j < s.size(); ++j)
    if (!std::isdigit(static_cast<unsigned char>(s[j]))) return false;
  if (s[0] == '+') s.remove_prefix(1);
  return std::from_chars(s.data(), s.data() + s.size(), value).ec == std::errc();
}

std::string plainNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f", v);
  return buf;
}

}  // namespace

char pictureType(std::string_view picture) {
  if (!picture.empty() && picture[0] == '@') picture.remove_prefix(1);
  if (picture.empty()) return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(picture[0])));
}

void CsvLineWriter::start() {
  m_line.clear();
  m_first = true;
}

void CsvLineWriter::separate() {
  if (!m_first) m_line += ',';
  m_first = false;
}

void CsvLineWriter::appendHeader(std::string_view name) {
  separate();
  m_line += '"';
  m_line += rt::clipView(name);
  m_line += '"';
}

void CsvLineWriter::appendText(std::string_view text) {
  separate();
  putQuoted(m_line, rt::clipView(text));
}

void CsvLineWriter::appendField(const void* record, const rt::FieldDesc& field,
                                std::string_view picture) {
  picture = rt::clipView(picture);
  switch (pictureType(picture)) {
    case 'S':
      appendText(rt::fieldText(record, field));
      return;
    case 'N': {
      separate();
      std::string text = rt::fieldText(record, field);
      std::string_view bare = trimmed(text);
      // A text field read with a number picture may hold a separator: it is quoted then, so the
      // line keeps its columns.
      if (!isNumeric(field.type) && bare.find_first_of(",\"\r\n") != std::string_view::npos)
        putQuoted(m_line, bare);
      else
        m_line += bare;
      return;
    }
    default: {
      separate();
      const double value = rt::fieldNumber(record, field);
      // 0 is "no time"; formatted without the blank mark it would read back as midnight (1).
      if (value == 0 && rt::pictureKind(picture) == rt::PictureKind::Time)
        putQuoted(m_line, "");
      else
        putQuoted(m_line, rt::FORMAT(value, picture));
      return;
    }
  }
}

bool CsvReader::atLineEnd(size_t at) const {
  return at >= m_data.size() || m_data[at] == '\n' || m_data[at] == '\r';
}

void CsvReader::takeLineEnd() {
  if (m_pos >= m_data.size()) return;
  if (m_data[m_pos] == '\r') {
    ++m_pos;
    if (m_pos < m_data.size() && m_data[m_pos] == '\n') ++m_pos;
  } else if (m_data[m_pos] == '\n') {
    ++m_pos;
  }
  ++m_line;
}

CsvReader::Result CsvReader::fail(int line, std::string_view what) {
  m_error = "Line " + std::to_string(line) + ": " + std::string(what);
  return Result::Malformed;
}

namespace {

// Whether `s` is well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates,
// nothing above U+10FFFF.
bool isUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07;
    else return false;
    if (n >= s.size() - i) return false;  // cut short
    for (size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

bool CsvReader::acceptField(const CsvRecord& rec, size_t begin) {
  const std::string& text = rec.fields.back().text;
  if (text.size() > kCsvFieldMax) {
    fail(rec.line, "a field is longer than " + std::to_string(kCsvFieldMax) + " bytes");
    return false;
  }
  if (text.find('\0') != std::string::npos) {
    fail(rec.line, "field " + std::to_string(rec.fields.size()) + " holds a NUL byte");
    return false;
  }
  if (!isUtf8(text)) {
    fail(rec.line, "field " + std::to_string(rec.fields.size()) + " is not UTF-8 text (save the file as UTF-8)");
    return false;
  }
  if (rec.fields.size() > kCsvFieldsMax) {
    fail(rec.line, "more than " + std::to_string(kCsvFieldsMax) + " fields");
    return false;
  }
  if (m_pos - begin > kCsvRecordMax) {
    fail(rec.line, "a line is longer than " + std::to_string(kCsvRecordMax) + " bytes");
    return false;
  }
  return true;
}

CsvReader::Result CsvReader::next(CsvRecord& out) {
  out.fields.clear();
  out.fields.reserve(m_width);
  out.line = m_line;
  if (!m_error.empty()) return Result::Malformed;
  if (m_pos >= m_data.size()) return Result::End;
  const size_t begin = m_pos;
  if (m_pos == 0 && m_data.starts_with("\xEF\xBB\xBF")) m_pos = 3;  // a byte order mark
  for (;;) {
    size_t q = m_pos;
    while (q < m_data.size() && m_data[q] == ' ') ++q;
    if (atLineEnd(q)) {  // a blank remainder ends the record
      m_pos = q;
      takeLineEnd();
      break;
    }
    CsvField field;
    if (m_data[m_pos] == '"') {
      field.quoted = true;
      size_t i = m_pos + 1;
      for (;;) {
        size_t quote = m_data.find('"', i);
        if (quote == std::string_view::npos) return fail(out.line, "a quoted field is not closed");
        if (field.text.size() + (quote - i) > kCsvFieldMax)
          return fail(out.line, "a field is longer than " + std::to_string(kCsvFieldMax) + " bytes");
        for (size_t k = i; k < quote; ++k)  // line breaks inside the field
          if (m_data[k] == '\n' || (m_data[k] == '\r' && (k + 1 >= m_data.size() || m_data[k + 1] != '\n'))) ++m_line;
        field.text.append(m_data.substr(i, quote - i));
        if (quote + 1 < m_data.size() && m_data[quote + 1] == '"') {
          field.text += '"';
          i = quote + 2;
          continue;
        }
        m_pos = quote + 1;
        break;
      }
      while (m_pos < m_data.size() && m_data[m_pos] == ' ') ++m_pos;
      out.fields.push_back(std::move(field));
      if (!acceptField(out, begin)) return Result::Malformed;
      if (atLineEnd(m_pos)) {
        takeLineEnd();
        break;
      }
      if (m_data[m_pos] != ',') {
        return fail(m_line, std::string("unexpected character '") + m_data[m_pos] +
                                "' after a closing quote");
      }
      ++m_pos;
    } else {
      size_t end = m_pos;
      while (end < m_data.size() && m_data[end] != ',' && m_data[end] != '\n' && m_data[end] != '\r') ++end;
      if (end - m_pos > kCsvFieldMax)
        return fail(out.line, "a field is longer than " + std::to_string(kCsvFieldMax) + " bytes");
      field.text.assign(m_data.substr(m_pos, end - m_pos));
      out.fields.push_back(std::move(field));
      m_pos = end;
      if (!acceptField(out, begin)) return Result::Malformed;
      if (m_pos < m_data.size() && m_data[m_pos] == ',') {
        ++m_pos;
        continue;
      }
      takeLineEnd();
      break;
    }
  }
  out.bytes = m_pos - begin;
  if (!out.fields.empty()) m_width = out.fields.size();
  return Result::Record;
}

FieldStore::FieldStore(const rt::FieldDesc& field, std::string_view picture, std::string_view targetPicture)
    : m_field(&field) {
  const rt::PictureKind column = rt::pictureKind(picture);
  const rt::PictureKind target = rt::pictureKind(targetPicture);
  if (column == rt::PictureKind::Date || column == rt::PictureKind::Time) {
    m_way = Way::ColumnDateTime;
    m_picture = picture;
  } else if (isNumeric(field.type) && (target == rt::PictureKind::Date || target == rt::PictureKind::Time)) {
    m_way = Way::TargetDateTime;
    m_picture = targetPicture;
  }
}

void FieldStore::operator()(void* record, std::string_view text) const {
  switch (m_way) {
    case Way::ColumnDateTime: {
      double value = rt::deformatValue(text, m_picture);
      if (!std::isfinite(value)) value = 0;
      if (isNumeric(m_field->type)) rt::setFieldNumber(record, *m_field, value);
      else rt::setFieldText(record, *m_field, plainNumber(value));
      return;
    }
    case Way::TargetDateTime: {
      double value = 0;
      if (!isWholeNumber(text, value)) value = rt::deformatValue(text, m_picture);
      rt::setFieldNumber(record, *m_field, value);
      return;
    }
    case Way::Text:
      rt::setFieldText(record, *m_field, text);
      return;
  }
}

}  // namespace ov::impex
