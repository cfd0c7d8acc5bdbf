// Reads the central directory of a ZIP archive as it is stored: the raw DOS date and time, the
// general-purpose flags, the external attributes and the comments, which the listing shows as
// they are. ZIP64 sizes, offsets and counts are understood.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ov::zip::detail {

struct CentralEntry {
  std::string name;
  std::string comment;
  uint16_t versionMadeBy = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t packed = 0;
  uint64_t size = 0;
  uint32_t externalAttributes = 0;
};

struct CentralDirectory {
  std::vector<CentralEntry> entries;
  std::string comment;
};

enum class ReadResult { Ok, CannotOpen, NotZip, Damaged };

// Reads `path`. NotZip: no end record at all; Damaged: an end record whose directory does not fit
// the file or does not parse.
ReadResult readCentralDirectory(const std::string& path, CentralDirectory& out);

// True when the file starts like a program ("MZ", "\x7fELF"): a self-extracting archive.
bool isProgramFile(const std::string& path);

}  // namespace ov::zip::detail
