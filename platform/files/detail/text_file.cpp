// The drivers over plain files, read and written in file order; a record's position is its
// byte offset in the file plus one.
//
// ASCII: one record per line; the line holds the record's fields side by side at their declared
//   offsets (text as it is, numbers as decimal text in their width); written without trailing
//   blanks. A line longer than the record is cut.
// BASIC: one record per line, one value per field in declaration order, separated by commas;
//   text values in double quotes (a quote inside doubled), numbers as decimal text. A line with
//   fewer values leaves the remaining fields blank.
// DOS: fixed-length records in the declared layout, binary (numbers little-endian).
// Lines end in "\n"; "\r\n" is read as well.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files/detail/backend.h"
#include "platform/files/detail/storage.h"
#include "platform/rt/fixed_string.h"

namespace ov::db::detail {
namespace {

using rt::Err;
using rt::FieldType;

Err errnoError(int e, const std::string& path, std::string& detail) {
  detail = path + ": " + std::strerror(e);
  switch (e) {
    case ENOENT: return Err::NoFile;
    case ENOTDIR: return Err::NoPath;
    case EACCES:
    case EPERM:
    case EROFS: return Err::NoAccess;
    case EMFILE:
    case ENFILE: return Err::TooManyFiles;
    case ENOSPC:
      detail = path + ": the disk is full";
      return Err::FileSystem;
    default: return Err::FileSystem;
  }
}

bool writeAll(int fd, const char* p, size_t n, off_t at = -1) {
  while (n > 0) {
    ssize_t w = at < 0 ? ::write(fd, p, n) : ::pwrite(fd, p, n, at);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
    if (at >= 0) at += w;
  }
  return true;
}

std::vector<const rt::FieldDesc*> layoutOrder(const rt::RecordDesc& rec) {
  std::vector<const rt::FieldDesc*> out;
  for (const rt::FieldDesc& f : rec.fields)
    if (f.type != FieldType::Memo && f.type != FieldType::Blob) out.push_back(&f);
  std::stable_sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->layoutOffset < b->layoutOffset; });
  return out;
}

bool isTextField(FieldType t) { return t == FieldType::String || t == FieldType::CString; }

class TextBackend final : public Backend {
 public:
  explicit TextBackend(File& file) : m_file(file), m_decl(file.decl()), m_fields(layoutOrder(*file.decl().record)) {
    m_recordSize = rt::layoutWidth(*m_decl.record);
  }
  ~TextBackend() override { close(); }

  std::string path() const override { return m_path.empty() ? resolve() : m_path; }

  Err open(int mode, std::string& detail) override {
    m_path = resolve();
    int access = mode & 0x0F, share = mode & 0xF0;
    int flags = (access == kReadOnly ? O_RDONLY : access == kWriteOnly ? O_WRONLY : O_RDWR) | O_CLOEXEC;
    m_fd = ::open(m_path.c_str(), flags);
    if (m_fd < 0) return errnoError(errno, m_path, detail);
    // Sharing between programs: every open takes a lock on the file, shared unless others are
    // denied writing or everything, which asks for it alone.
    int lock = share == kDenyNone || (share == kDenyWrite && access == kReadOnly) ? LOCK_SH : LOCK_EX;
    if (::flock(m_fd, lock | LOCK_NB) != 0) {
      ::close(m_fd);
      m_fd = -1;
      detail = m_path + ": in use by another program";
      return Err::NoAccess;
    }
    m_access = access;
    return Err::None;
  }

  Err create(std::string& detail) override {
    std::string p = resolve();
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errnoError(errno, p, detail);
    ::close(fd);
    return Err::None;
  }

  void close() override {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

  Err removeFile(std::string& detail) override {
    std::string p = resolve();
    if (::unlink(p.c_str()) != 0) return errnoError(errno, p, detail);
    return Err::None;
  }

  Err scan(int order, const Anchor& from, bool forward, int limit, std::vector<Row>& out,
           std::string& detail) override {
    out.clear();
    if (order >= 0) {
      detail = m_path + ": the file has no keys";
      return Err::NotSupported;
    }
    if (m_access == kWriteOnly) return denied(detail);
    off_t at = 0;
    switch (from.kind) {
      case Anchor::Unset: at = forward ? 0 : fileSize(); break;
      case Anchor::Begin: if (!forward) return Err::None; at = 0; break;
      case Anchor::End: if (forward) return Err::None; at = fileSize(); break;
      case Anchor::Value: at = std::max<off_t>(0, from.rid - 1); if (!forward) at = recordEnd(at); break;
      case Anchor::Row: at = forward ? recordEnd(from.rid - 1) : from.rid - 1; break;
    }
    while (static_cast<int>(out.size()) < limit) {
      off_t start;
      if (forward) {
        start = at;
        if (start >= fileSize()) break;
      } else {
        if (at <= 0) break;
        start = recordStartBefore(at);
      }
      std::string raw;
      if (!readRecord(start, raw)) return errnoError(errno, m_path, detail);
      Row& row = out.emplace_back();
      row.rid = start + 1;
      decode(raw, row.image);
      at = forward ? recordEnd(start) : start;
    }
    return Err::None;
  }

  Err getByKey(int, const std::string&, Row&, std::string& detail) override {
    detail = m_path + ": the file has no keys";
    return Err::NotSupported;
  }

  Err getByRid(int64_t rid, Row& out, std::string& detail) override {
    if (m_access == kWriteOnly) return denied(detail);
    if (rid < 1 || rid - 1 >= fileSize()) return Err::NotFound;
    std::string raw;
    if (!readRecord(rid - 1, raw)) return errnoError(errno, m_path, detail);
    out.rid = rid;
    decode(raw, out.image);
    return Err::None;
  }

  Err insert(int64_t& rid, std::string& detail) override {
    if (m_access == kReadOnly) return denied(detail);
    std::string line = encode();
    off_t end = ::lseek(m_fd, 0, SEEK_END);
    if (end < 0 || !writeAll(m_fd, line.data(), line.size())) {
      int e = errno;
      if (end >= 0 && ::ftruncate(m_fd, end) != 0) {}  // drop a part-written record
      return errnoError(e, m_path, detail);
    }
    ++m_generation;
    rid = end + 1;
    return Err::None;
  }

  Err update(int64_t rid, std::string& detail) override {
    if (m_access == kReadOnly) return denied(detail);
    off_t start = rid - 1, end = recordEnd(start);
    std::string line = encode();
    if (m_decl.driver == Driver::Dos || static_cast<off_t>(line.size()) == end - start) {
      if (!writeAll(m_fd, line.data(), line.size(), start)) return errnoError(errno, m_path, detail);
    } else {
      // A line of another length: write the whole file anew beside it, then put it in place.
      std::string all;
      off_t size = fileSize();
      all.resize(static_cast<size_t>(size));
      if (::pread(m_fd, all.data(), all.size(), 0) != size) return errnoError(errno, m_path, detail);
      all.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), line);
      std::string tmp = m_path + ".tmp";
      int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0) return errnoError(errno, tmp, detail);
      bool ok = writeAll(fd, all.data(), all.size()) && ::fsync(fd) == 0;
      int e = errno;
      ::close(fd);
      if (!ok || ::rename(tmp.c_str(), m_path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return errnoError(ok ? errno : e, m_path, detail);
      }
      ::close(m_fd);
      m_fd = ::open(m_path.c_str(), (m_access == kWriteOnly ? O_WRONLY : O_RDWR) | O_CLOEXEC);
      if (m_fd < 0) return errnoError(errno, m_path, detail);
      (void)::flock(m_fd, LOCK_SH | LOCK_NB);  // best effort: the old lock went with the old file
    }
    ++m_generation;
    return Err::None;
  }

  Err erase(int64_t, std::string& detail) override {
    detail = m_path + ": records of this file cannot be deleted";
    return Err::NotSupported;
  }

  Err count(int64_t& n, std::string& detail) override {
    if (m_decl.driver == Driver::Dos) {
      n = m_recordSize ? fileSize() / m_recordSize : 0;
      return Err::None;
    }
    if (m_access == kWriteOnly) return denied(detail);
    n = 0;
    char buf[65536];
    off_t at = 0;
    char last = '\n';
    for (;;) {
      ssize_t got = ::pread(m_fd, buf, sizeof buf, at);
      if (got < 0) return errnoError(errno, m_path, detail);
      if (got == 0) break;
      n += std::count(buf, buf + got, '\n');
      last = buf[got - 1];
      at += got;
    }
    if (last != '\n') ++n;  // a last line without its end
    return Err::None;
  }

  bool duplicate(int, int64_t) override { return false; }
  uint64_t generation() const override { return m_generation; }
  std::string encodeKey(int, const void*) const override { return {}; }
  std::string encodeKeyPrefix(int, const void*, size_t) const override { return {}; }
  Err hold(int64_t, std::string&) override { return Err::None; }
  void releaseHolds() override {}
  bool isHeld(int64_t) override { return false; }
  void dropHold(int64_t) override {}
  Err pack(std::string&) override { return Err::None; }  // nothing to give back
  Err build(const std::function<void(std::string_view)>&, std::string&) override { return Err::None; }
  Err highestNumber(int, double& value, std::string&) override {
    value = 0;
    return Err::NotSupported;
  }

 private:
  std::string resolve() const { return resolveStorageName(m_file.name(), m_decl.label).path; }

  Err denied(std::string& detail) {
    detail = m_path + ": not opened for this access";
    return Err::NoAccess;
  }

  off_t fileSize() const {
    struct stat st;
    return ::fstat(m_fd, &st) == 0 ? st.st_size : 0;
  }

  // The offset just after the record that starts at `start`.
  off_t recordEnd(off_t start) const {
    if (m_decl.driver == Driver::Dos) return start + static_cast<off_t>(m_recordSize);
    char buf[4096];
    off_t at = start;
    for (;;) {
      ssize_t got = ::pread(m_fd, buf, sizeof buf, at);
      if (got <= 0) return at;
      if (const void* nl = std::memchr(buf, '\n', static_cast<size_t>(got)))
        return at + (static_cast<const char*>(nl) - buf) + 1;
      at += got;
    }
  }

  // The start of the record that ends at `end`.
  off_t recordStartBefore(off_t end) const {
    if (m_decl.driver == Driver::Dos) return std::max<off_t>(0, end - static_cast<off_t>(m_recordSize));
    off_t at = end - 1;  // the line end of that record (or its last byte)
    char buf[4096];
    while (at > 0) {
      off_t from = std::max<off_t>(0, at - static_cast<off_t>(sizeof buf));
      ssize_t got = ::pread(m_fd, buf, static_cast<size_t>(at - from), from);
      if (got <= 0) return 0;
      for (ssize_t i = got - 1; i >= 0; --i)
        if (buf[i] == '\n') return from + i + 1;
      at = from;
    }
    return 0;
  }

  bool readRecord(off_t start, std::string& raw) const {
    off_t end = recordEnd(start);
    raw.resize(static_cast<size_t>(end - start));
    if (::pread(m_fd, raw.data(), raw.size(), start) != static_cast<ssize_t>(raw.size())) {
      if (m_decl.driver != Driver::Dos) return false;
      raw.resize(m_recordSize, '\0');  // a short last record reads as zeros
    }
    if (m_decl.driver != Driver::Dos) {
      if (!raw.empty() && raw.back() == '\n') raw.pop_back();
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    }
    return true;
  }

  char* slot(char* base, const rt::FieldDesc& f, int e) const {
    return base + f.memberOffset + static_cast<size_t>(e) * f.width;
  }

  void decode(const std::string& raw, RecordImage& image) const {
    image.bytes.assign(static_cast<const char*>(m_decl.buffer), m_decl.bufferSize);
    image.memos.assign(memoSlots(m_decl).size(), std::string());
    char* base = image.bytes.data();
    if (m_decl.driver == Driver::Basic) {
      std::vector<std::string> values = splitCsv(raw);
      size_t v = 0;
      for (const rt::FieldDesc* f : m_fields)
        for (int e = 0; e < f->dim; ++e, ++v) rt::setFieldText(base, *f, v < values.size() ? values[v] : std::string(), e);
      return;
    }
    for (const rt::FieldDesc* f : m_fields) {
      for (int e = 0; e < f->dim; ++e) {
        size_t off = f->layoutOffset + static_cast<size_t>(e) * f->width;
        std::string_view part = off < raw.size() ? std::string_view(raw).substr(off, f->width) : std::string_view();
        if (m_decl.driver == Driver::Ascii || isTextField(f->type)) {
          if (f->type == FieldType::String) {
            std::string padded(part);
            padded.resize(f->width, ' ');
            std::memcpy(slot(base, *f, e), padded.data(), f->width);
          } else {
            rt::setFieldText(base, *f, part, e);
          }
        } else {
          char bytes[8] = {};
          std::memcpy(bytes, part.data(), std::min<size_t>(part.size(), sizeof bytes));
          rt::setFieldNumber(base, *f, binaryNumber(*f, bytes), e);
        }
      }
    }
  }

  std::string encode() const {
    const char* base = static_cast<const char*>(m_decl.buffer);
    if (m_decl.driver == Driver::Basic) {
      std::string line;
      bool first = true;
      for (const rt::FieldDesc* f : m_fields) {
        for (int e = 0; e < f->dim; ++e) {
          if (!first) line += ',';
          first = false;
          std::string v = rt::fieldText(base, *f, e);
          if (isTextField(f->type)) {
            line += '"';
            for (char c : v) line += c == '"' ? std::string("\"\"") : std::string(1, c);
            line += '"';
          } else {
            line += v;
          }
        }
      }
      return line + "\n";
    }
    std::string rec(m_recordSize, m_decl.driver == Driver::Dos ? '\0' : ' ');
    for (const rt::FieldDesc* f : m_fields) {
      for (int e = 0; e < f->dim; ++e) {
        size_t off = f->layoutOffset + static_cast<size_t>(e) * f->width;
        if (off + f->width > rec.size()) continue;
        const char* p = slot(const_cast<char*>(base), *f, e);
        if (f->type == FieldType::String || (f->type == FieldType::CString && m_decl.driver == Driver::Dos)) {
          std::memcpy(&rec[off], p, f->width);
        } else if (m_decl.driver == Driver::Ascii) {
          std::string v = rt::fieldText(base, *f, e);
          std::memcpy(&rec[off], v.data(), std::min<size_t>(v.size(), f->width));
        } else {
          putBinaryNumber(*f, rt::fieldNumber(base, *f, e), &rec[off]);
        }
      }
    }
    if (m_decl.driver == Driver::Dos) return rec;
    std::string_view clipped = rt::clipView(rec);
    return std::string(clipped) + "\n";
  }

  static double binaryNumber(const rt::FieldDesc& f, const char* b) {
    auto le = [&](int n) {
      uint64_t v = 0;
      for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[i]);
      return v;
    };
    switch (f.type) {
      case FieldType::Byte: return static_cast<double>(le(1));
      case FieldType::Short: return static_cast<int16_t>(le(2));
      case FieldType::UShort: return static_cast<double>(le(2));
      case FieldType::ULong: return static_cast<double>(le(4));
      case FieldType::Real:
      case FieldType::Decimal: {
        uint64_t v = le(8);
        double d;
        std::memcpy(&d, &v, 8);
        return d;
      }
      case FieldType::SReal: {
        uint32_t v = static_cast<uint32_t>(le(4));
        float d;
        std::memcpy(&d, &v, 4);
        return d;
      }
      default: return static_cast<int32_t>(le(4));
    }
  }

  static void putBinaryNumber(const rt::FieldDesc& f, double v, char* out) {
    uint64_t bits = 0;
    int n = 4;
    switch (f.type) {
      case FieldType::Byte: n = 1; bits = static_cast<uint8_t>(v); break;
      case FieldType::Short: n = 2; bits = static_cast<uint16_t>(static_cast<int16_t>(v)); break;
      case FieldType::UShort: n = 2; bits = static_cast<uint16_t>(v); break;
      case FieldType::ULong: bits = static_cast<uint32_t>(v); break;
      case FieldType::Real:
      case FieldType::Decimal: n = 8; std::memcpy(&bits, &v, 8); break;
      case FieldType::SReal: {
        float fl = static_cast<float>(v);
        uint32_t b;
        std::memcpy(&b, &fl, 4);
        bits = b;
        break;
      }
      default: bits = static_cast<uint32_t>(static_cast<int32_t>(v)); break;
    }
    n = std::min<int>(n, static_cast<int>(f.width));
    for (int i = 0; i < n; ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  }

  static std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0, n = line.size();
    if (n == 0) return out;
    for (;;) {
      std::string v;
      while (i < n && line[i] == ' ') ++i;
      if (i < n && line[i] == '"') {
        ++i;
        for (; i < n; ++i) {
          if (line[i] == '"') {
            if (i + 1 < n && line[i + 1] == '"') {
              v += '"';
              ++i;
            } else {
              ++i;
              break;
            }
          } else {
            v += line[i];
          }
        }
        while (i < n && line[i] != ',') ++i;  // anything after the closing quote is dropped
      } else {
        size_t start = i;
        while (i < n && line[i] != ',') ++i;
        v = line.substr(start, i - start);
        while (!v.empty() && v.back() == ' ') v.pop_back();
      }
      out.push_back(std::move(v));
      if (i >= n) break;
      ++i;  // the comma
    }
    return out;
  }

  File& m_file;
  const FileDecl& m_decl;
  std::vector<const rt::FieldDesc*> m_fields;
  size_t m_recordSize = 0;
  std::string m_path;
  int m_fd = -1;
  int m_access = kReadWrite;
  uint64_t m_generation = 0;
};

}  // namespace

std::unique_ptr<Backend> makeTextBackend(File& file) { return std::make_unique<TextBackend>(file); }

}  // namespace ov::db::detail
