#include "platform/libs/zip/central_directory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace ov::zip::detail {
namespace {

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t le64(const unsigned char* p) { return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool readAt(FILE* f, uint64_t offset, void* buffer, size_t n) {
  if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(buffer, 1, n, f) == n;
}

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kLocator64Signature = 0x07064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;

}  // namespace

bool isProgramFile(const std::string& path) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  unsigned char head[4] = {};
  size_t n = std::fread(head, 1, sizeof head, f.get());
  return (n >= 2 && head[0] == 'M' && head[1] == 'Z') ||
         (n == 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0);
}

ReadResult readCentralDirectory(const std::string& path, CentralDirectory& out) {
  out = {};
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return ReadResult::CannotOpen;
  if (fseeko(f.get(), 0, SEEK_END) != 0) return ReadResult::CannotOpen;
  const uint64_t fileSize = static_cast<uint64_t>(ftello(f.get()));
  if (fileSize < kEndSize) return ReadResult::NotZip;

  // The end record lies in the last 22 + 65,535 bytes (its comment is at most that long).
  const uint64_t tail = std::min<uint64_t>(fileSize, kEndSize + 65535);
  std::string buffer(tail, '\0');
  if (!readAt(f.get(), fileSize - tail, buffer.data(), tail)) return ReadResult::CannotOpen;
  const auto* b = reinterpret_cast<const unsigned char*>(buffer.data());
  int64_t at = -1;
  for (int64_t i = static_cast<int64_t>(tail - kEndSize); i >= 0; --i) {
    if (le32(b + i) != kEndSignature) continue;
    // The comment length must reach exactly to the end of the file, or nearly (some writers pad).
    uint16_t commentLength = le16(b + i + 20);
    if (static_cast<uint64_t>(i) + kEndSize + commentLength <= tail) {
      at = i;
      break;
    }
  }
  if (at < 0) return ReadResult::NotZip;
  const unsigned char* end = b + at;
  const uint64_t endOffset = fileSize - tail + static_cast<uint64_t>(at);
  uint64_t count = le16(end + 10);
  uint64_t cdSize = le32(end + 12);
  uint64_t cdOffset = le32(end + 16);
  out.comment.assign(reinterpret_cast<const char*>(end + 22), le16(end + 20));

  if (count == 0xFFFF || cdSize == 0xFFFFFFFF || cdOffset == 0xFFFFFFFF) {
    if (endOffset < 20) return ReadResult::Damaged;
    unsigned char locator[20];
    if (!readAt(f.get(), endOffset - 20, locator, sizeof locator) || le32(locator) != kLocator64Signature)
      return ReadResult::Damaged;
    uint64_t end64Offset = le64(locator + 8);
    unsigned char end64[56];
    if (end64Offset + sizeof end64 > fileSize || !readAt(f.get(), end64Offset, end64, sizeof end64) ||
        le32(end64) != kEnd64Signature)
      return ReadResult::Damaged;
    count = le64(end64 + 32);
    cdSize = le64(end64 + 40);
    cdOffset = le64(end64 + 48);
  }
  if (cdOffset > fileSize || cdSize > fileSize - cdOffset || count > cdSize / kCentralSize)
    return ReadResult::Damaged;

  std::string cd(cdSize, '\0');
  if (cdSize > 0 && !readAt(f.get(), cdOffset, cd.data(), cdSize)) return ReadResult::Damaged;
  const auto* p = reinterpret_cast<const unsigned char*>(cd.data());
  uint64_t pos = 0;
  out.entries.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    if (cdSize - pos < kCentralSize || le32(p + pos) != kCentralSignature) return ReadResult::Damaged;
    const unsigned char* e = p + pos;
    CentralEntry entry;
    entry.versionMadeBy = le16(e + 4);
    entry.flags = le16(e + 8);
    entry.method = le16(e + 10);
    entry.dosTime = le16(e + 12);
    entry.dosDate = le16(e + 14);
    entry.crc = le32(e + 16);
    entry.packed = le32(e + 20);
    entry.size = le32(e + 24);
    const size_t nameLength = le16(e + 28), extraLength = le16(e + 30), commentLength = le16(e + 32);
    entry.externalAttributes = le32(e + 38);
    const uint64_t record = kCentralSize + nameLength + extraLength + commentLength;
    if (cdSize - pos < record) return ReadResult::Damaged;
    entry.name.assign(reinterpret_cast<const char*>(e + kCentralSize), nameLength);
    entry.comment.assign(reinterpret_cast<const char*>(e + kCentralSize + nameLength + extraLength),
                         commentLength);
    // The ZIP64 extra field holds the sizes that did not fit, in this order.
    const unsigned char* x = e + kCentralSize + nameLength;
    for (size_t xp = 0; xp + 4 <= extraLength;) {
      const uint16_t id = le16(x + xp), length = le16(x + xp + 2);
      if (xp + 4 + length > extraLength) break;
      if (id == 0x0001) {
        const unsigned char* v = x + xp + 4;
        size_t left = length;
        if (entry.size == 0xFFFFFFFF && left >= 8) { entry.size = le64(v); v += 8; left -= 8; }
        if (entry.packed == 0xFFFFFFFF && left >= 8) { entry.packed = le64(v); }
      }
      xp += 4 + length;
    }
    out.entries.push_back(std::move(entry));
    pos += record;
  }
  return ReadResult::Ok;
}

}  // namespace ov::zip::detail
