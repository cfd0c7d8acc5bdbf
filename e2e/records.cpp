// e2e_records: prints the records of one data file as JSON lines, read through the table layer in
// a process of its own, as a later program would see them.
//
//   e2e_records FOLDER LABEL      e.g. e2e_records /tmp/data TODO
//
// One line per record in file order: {"Field": "text", ...}, fields named without their prefix,
// numbers, dates and times as the table layer gives them as text (dates as day numbers). The file
// is opened read-only and shared; nothing is created or written. Exit code 0, or 2 with a message
// on stderr when the folder or the file cannot be opened.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "datalib/files.h"
#include "platform/rt/record.h"

namespace {

std::string json(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: e2e_records FOLDER LABEL\n");
    return 2;
  }
  if (::chdir(argv[1]) != 0) {
    std::fprintf(stderr, "e2e_records: no folder %s\n", argv[1]);
    return 2;
  }
  const std::string_view label = argv[2];
  ov::db::File* file = nullptr;
  for (ov::db::File* f : ov::files::dataFiles())
    if (label == f->label()) file = f;
  if (file == nullptr) {
    std::fprintf(stderr, "e2e_records: no data file %s\n", argv[2]);
    return 2;
  }
  if (ov::rt::Err e = file->open(ov::db::kReadOnly | ov::db::kDenyNone); e != ov::rt::Err::None) {
    std::fprintf(stderr, "e2e_records: %s does not open: error %d\n", argv[2], static_cast<int>(e));
    return 2;
  }
  const ov::rt::RecordDesc& rec = file->record();
  (void)file->set();
  while (file->next() == ov::rt::Err::None) {
    std::string line = "{";
    for (const ov::rt::FieldDesc& f : rec.fields) {
      std::string_view name = f.name;
      if (auto colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
      for (int i = 0; i < f.dim; ++i) {
        if (line.size() > 1) line += ",";
        std::string key(name);
        if (f.dim > 1) key += "[" + std::to_string(i + 1) + "]";
        line += json(key) + ":" + json(trimmed(ov::rt::fieldText(file->buffer(), f, i)));
      }
    }
    std::printf("%s}\n", line.c_str());
  }
  (void)file->close();
  return 0;
}
