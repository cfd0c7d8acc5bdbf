#include "winclasses/explore_export.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/rt/fixed_string.h"

namespace ov::winclasses {

namespace {

constexpr std::string_view kEol = "\r\n";

std::string cell(std::string_view v) {
  v = rt::clipView(v);
  size_t b = v.find_first_not_of(' ');
  v = b == std::string_view::npos ? std::string_view() : v.substr(b);
  size_t n = std::min(v.size(), kExportCellMax);
  while (n > 0 && n < v.size() && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80) --n;
  return std::string(v.substr(0, n));
}

// Writes to a file beside the target and renames it over the target once complete.
class TempFile {
 public:
  explicit TempFile(const std::string& path) : m_path(path), m_tmp(path + ".tmp~") {
    m_out.open(m_tmp, std::ios::binary | std::ios::trunc);
  }
  ~TempFile() {
    if (!m_done) {
      m_out.close();
      std::error_code ec;
      std::filesystem::remove(m_tmp, ec);  // best effort: nothing of a failed export stays
    }
  }
  std::ofstream& out() { return m_out; }
  bool ok() const { return m_out.good(); }
  rt::Err commit() {
    m_out.flush();
    if (!m_out.good()) return rt::Err::FileSystem;
    m_out.close();
    std::error_code ec;
    std::filesystem::rename(m_tmp, m_path, ec);
    if (ec) return rt::Err::NoAccess;
    m_done = true;
    return rt::Err::None;
  }

 private:
  std::string m_path, m_tmp;
  std::ofstream m_out;
  bool m_done = false;
};

rt::Err openError(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p(path);
  if (p.has_parent_path() && !std::filesystem::is_directory(p.parent_path(), ec)) return rt::Err::NoPath;
  return rt::Err::NoAccess;
}

}  // namespace

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string csvField(std::string_view value, std::string_view separator) {
  bool quote = value.find('"') != std::string_view::npos || value.find('\n') != std::string_view::npos ||
               value.find('\r') != std::string_view::npos ||
               (!separator.empty() && value.find(separator) != std::string_view::npos) ||
               (!value.empty() && (value.front() == ' ' || value.back() == ' '));
  if (!quote) return std::string(value);
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

rt::Err writeHtmlExport(const std::string& path, std::string_view title, const std::vector<std::string>& headers,
                        bool withHeader, const ExportRows& rows, int& written, const ExportProgress& progress) {
  written = 0;
  TempFile f(path);
  if (!f.ok()) return openError(path);
  std::ofstream& out = f.out();
  std::string t = htmlEscape(rt::clipView(title));
  out << "<html><head><title>" << t
      << "</title></head><body bgcolor=\"#FFFFFF\"><div align=\"left\"><font face=\"Arial\">" << kEol;
  out << "<H1 align=\"center\">" << t << "</H1><P>" << kEol;
  out << "<table border=\"1\" style=\"border-collapse: collapse\" bordercolor=\"#000080\" width=\"100\" "
         "id=\"AutoNumber1\" cellpadding=\"2\">"
      << kEol;
  std::string line;
  // Appends `before` + value + `after`, starting a new line before the value when the line would
  // grow past the limit.
  auto append = [&](std::string_view before, const std::string& value, std::string_view after) {
    line += before;
    if (line.size() + value.size() > kExportHtmlLineMax) {
      out << line << kEol;
      line.clear();
    }
    line += value;
    line += after;
  };
  if (withHeader) {
    line = "<tr>";
    for (const std::string& h : headers) {
      std::string v = htmlEscape(cell(h));
      append("<td bgcolor=\"#FFFF99\"><b><font face=\"Arial\" size=\"2\">", v.empty() ? "&nbsp" : v,
             "</font></b></td> ");
    }
    line += "</tr>";
    out << line << kEol;
  }
  std::vector<std::string> cells;
  while (rows && rows(cells)) {
    line = "<tr>";
    for (const std::string& c : cells) {
      std::string v = htmlEscape(cell(c));
      append("<td bgcolor=\"#FFFFCC\"><font face=\"Arial\" size=\"2\">", v.empty() ? "&nbsp" : v, "</font></td>");
    }
    line += "</tr>";
    out << line << kEol;
    ++written;
    if (progress) progress(written);
    cells.clear();
  }
  out << "</table>" << kEol;
  out << "</font></div></body></html>" << kEol;
  return f.commit();
}

rt::Err writeCsvExport(const std::string& path, std::string_view separator, const std::vector<std::string>& headers,
                       bool withHeader, const ExportRows& rows, int& written, const ExportProgress& progress) {
  written = 0;
  TempFile f(path);
  if (!f.ok()) return openError(path);
  std::ofstream& out = f.out();
  out << "# Records=9999999" << kEol;
  auto line = [&](const std::vector<std::string>& values) {
    std::string s;
    for (size_t i = 0; i < values.size(); ++i) {
      if (i) s += separator;
      s += csvField(cell(values[i]), separator);
    }
    out << s << kEol;
  };
  if (withHeader) line(headers);
  std::vector<std::string> cells;
  while (rows && rows(cells)) {
    line(cells);
    ++written;
    if (progress) progress(written);
    cells.clear();
  }
  if (written <= 9999999) {
    char count[16];
    std::snprintf(count, sizeof count, "%07d", written);
    out.seekp(static_cast<std::streamoff>(std::string_view("# Records=").size()));
    out << count;
  }
  return f.commit();
}

}  // namespace ov::winclasses
