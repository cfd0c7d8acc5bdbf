#include "impex/csv.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <istream>
#include <string>
#include <algorithm>

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

CsvReader::CsvReader(std::istream& in, size_t chunk) : m_in(&in), m_chunk(chunk == 0 ? 1 : chunk) {}

CsvReader::CsvReader(CsvReader&& o) noexcept { *this = std::move(o); }

CsvReader& CsvReader::operator=(CsvReader&& o) noexcept {
  if (this == &o) return *this;
  const bool ownData = o.m_in != nullptr;
  m_in = o.m_in;
  m_buf = std::move(o.m_buf);
  m_data = ownData ? std::string_view(m_buf) : o.m_data;
  m_chunk = o.m_chunk;
  m_base = o.m_base;
  m_eof = o.m_eof;
  m_inputFailed = o.m_inputFailed;
  m_pos = o.m_pos;
  m_limit = o.m_limit;
  m_line = o.m_line;
  m_used = o.m_used;
  m_error = std::move(o.m_error);
  o.m_in = nullptr;
  o.m_data = {};
  return *this;
}

void CsvReader::rewind() {
  if (m_in != nullptr) {
    m_in->clear();
    m_in->seekg(0);
    m_buf.clear();
    m_data = m_buf;
    m_base = 0;
    m_eof = false;
    m_inputFailed = !*m_in;
  }
  m_pos = 0;
  m_line = 1;
  m_error.clear();
}

bool CsvReader::fill(size_t at) {
  while (m_in != nullptr && !m_eof && at >= m_buf.size()) {
    if (m_base + m_buf.size() > kCsvFileMax) {  // it grew past the limit: read no further
      m_inputFailed = true;
      m_eof = true;
      break;
    }
    const size_t old = m_buf.size();
    m_buf.resize(old + m_chunk);
    m_in->read(m_buf.data() + old, static_cast<std::streamsize>(m_chunk));
    const auto got = static_cast<size_t>(m_in->gcount());
    m_buf.resize(old + got);
    if (got < m_chunk) {
      m_eof = true;
      if (m_in->bad()) m_inputFailed = true;
    }
    m_data = m_buf;
  }
  return at < m_data.size();
}

// Drops what was read before the current position, once that is a chunk or more: the buffer
// holds one record and the read-ahead, whatever the size of the stream.
void CsvReader::compact() {
  if (m_in == nullptr || m_pos < m_chunk) return;
  m_buf.erase(0, m_pos);
  m_base += m_pos;
  m_pos = 0;
  m_data = m_buf;
}

bool CsvReader::atLineEnd(size_t at) {
  return !has(at) || m_data[at] == '\n' || m_data[at] == '\r';
}

void CsvReader::takeLineEnd() {
  if (!has(m_pos)) return;
  if (m_data[m_pos] == '\r') {
    ++m_pos;
    if (has(m_pos) && m_data[m_pos] == '\n') ++m_pos;
  } else if (m_data[m_pos] == '\n') {
    ++m_pos;
  }
  ++m_line;
}

// The first quote at or after `from` inside the record's window; npos when the text or the
// window ends first.
size_t CsvReader::findQuote(size_t from) {
  size_t at = from;
  for (;;) {
    const size_t end = std::min(m_data.size(), m_limit);
    if (at < end) {
      const size_t q = m_data.substr(0, end).find('"', at);
      if (q != std::string_view::npos) return q;
      at = end;
    }
    if (at >= m_limit || !has(at)) return std::string_view::npos;
  }
}

// Whether a quote comes anywhere at or after `from`: the rest of a stream is read through (and
// dropped) to know. Only asked on the way to an error.
bool CsvReader::quoteAhead(size_t from) {
  if (from < m_data.size() && m_data.find('"', from) != std::string_view::npos) return true;
  if (m_in == nullptr || m_eof) return false;
  std::string chunk(m_chunk, '\0');
  size_t seen = m_base + m_buf.size();
  while (!m_eof) {
    if (seen > kCsvFileMax) {
      m_inputFailed = true;
      m_eof = true;
      break;
    }
    m_in->read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<size_t>(m_in->gcount());
    seen += got;
    if (got < chunk.size()) {
      m_eof = true;
      if (m_in->bad()) m_inputFailed = true;
    }
    if (std::string_view(chunk.data(), got).find('"') != std::string_view::npos) return true;
  }
  return false;
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
    // Plain ASCII eight bytes at a time: most text is.
    if (i + 8 <= s.size()) {
      uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      if ((w & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
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
  const std::string& text = rec.fields[m_used - 1].text;
  if (text.size() > kCsvFieldMax) {
    fail(rec.line, "a field is longer than " + std::to_string(kCsvFieldMax) + " bytes");
    return false;
  }
  if (text.find('\0') != std::string::npos) {
    fail(rec.line, "field " + std::to_string(m_used) + " holds a NUL byte");
    return false;
  }
  if (!isUtf8(text)) {
    fail(rec.line, "field " + std::to_string(m_used) + " is not UTF-8 text (save the file as UTF-8)");
    return false;
  }
  if (m_used > kCsvFieldsMax) {
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
  out.line = m_line;
  if (!m_error.empty()) {
    out.fields.clear();
    return Result::Malformed;
  }
  compact();
  const size_t begin = m_pos;
  m_limit = begin + kCsvRecordWindow;
  // The record's fields are read into the strings of the last one's, which keep their room.
  m_used = 0;
  const Result r = read(out, begin);
  out.fields.resize(m_used);
  if (m_inputFailed) {  // whatever was made of the bytes read, the file is not all there
    m_error = m_base + m_buf.size() > kCsvFileMax
                  ? "The file grew beyond " + std::to_string(kCsvFileMax) + " bytes."
                  : std::string("The file could not be read.");
    return Result::Malformed;
  }
  return r;
}

CsvReader::Result CsvReader::read(CsvRecord& out, size_t begin) {
  if (!has(m_pos)) return Result::End;
  if (offset() == 0 && has(2) && m_data.starts_with("\xEF\xBB\xBF")) m_pos = 3;  // a byte order mark
  for (;;) {
    size_t q = m_pos;
    while (within(q) && m_data[q] == ' ') ++q;
    if (clipped(q))
      return fail(out.line, "a line is longer than " + std::to_string(kCsvRecordMax) + " bytes");
    if (atLineEnd(q)) {  // a blank remainder ends the record
      m_pos = q;
      takeLineEnd();
      break;
    }
    CsvField& field = takeField(out);
    if (m_data[m_pos] == '"') {
      field.quoted = true;
      size_t i = m_pos + 1;
      for (;;) {
        const size_t quote = findQuote(i);
        if (quote == std::string_view::npos) {
          // Past the window the field is too long if it is ever closed.
          if (quoteAhead(std::max(i, m_limit)))
            return fail(out.line, "a field is longer than " + std::to_string(kCsvFieldMax) + " bytes");
          return fail(out.line, "a quoted field is not closed");
        }
        if (field.text.size() + (quote - i) > kCsvFieldMax)
          return fail(out.line, "a field is longer than " + std::to_string(kCsvFieldMax) + " bytes");
        const std::string_view part = m_data.substr(i, quote - i);
        if (part.find('\n') != std::string_view::npos || part.find('\r') != std::string_view::npos)
          for (size_t k = i; k < quote; ++k)  // line breaks inside the field
            if (m_data[k] == '\n' || (m_data[k] == '\r' && m_data[k + 1] != '\n')) ++m_line;
        field.text.append(part);
        if (has(quote + 1) && m_data[quote + 1] == '"') {
          field.text += '"';
          i = quote + 2;
          continue;
        }
        m_pos = quote + 1;
        break;
      }
      while (within(m_pos) && m_data[m_pos] == ' ') ++m_pos;
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
      while (within(end) && m_data[end] != ',' && m_data[end] != '\n' && m_data[end] != '\r') ++end;
      if (end - m_pos > kCsvFieldMax)
        return fail(out.line, "a field is longer than " + std::to_string(kCsvFieldMax) + " bytes");
      field.text.assign(m_data.substr(m_pos, end - m_pos));
      m_pos = end;
      if (!acceptField(out, begin)) return Result::Malformed;
      if (has(m_pos) && m_data[m_pos] == ',') {
        ++m_pos;
        continue;
      }
      takeLineEnd();
      break;
    }
  }
  out.bytes = m_pos - begin;
  return Result::Record;
}

CsvField& CsvReader::takeField(CsvRecord& out) {
  if (m_used == out.fields.size()) out.fields.emplace_back();
  CsvField& f = out.fields[m_used++];
  f.text.clear();
  f.quoted = false;
  return f;
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
