#include "platform/libs/zip/zip_library.h"

#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/libs/zip/central_directory.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"

namespace fs = std::filesystem;

namespace ov::zip {
namespace {

// Set by AbortAll; an execute call that sees it ends with -30 and clears it, so an abort that lands
// between two calls stops the next one rather than being lost. INIT clears it too.
std::atomic<bool> g_abort{false};

bool aborted() { return g_abort.load(std::memory_order_relaxed); }

// Progress of one execute call: bytes of the current file and of the whole job.
class Reporter {
 public:
  Reporter(ProgressSink* sink, uint64_t total) : m_sink(sink), m_total(total) {}
  void startFile(std::string_view name, uint64_t size) {
    m_fileSize = size;
    m_fileDone = 0;
    m_lastFile = m_lastTotal = -1;
    if (m_sink) m_sink->file(name);
    report();
  }
  void advance(uint64_t bytes) {
    m_fileDone += bytes;
    m_done += bytes;
    report();
  }
  void finishFile() {
    if (m_fileDone < m_fileSize) m_done += m_fileSize - m_fileDone;
    m_fileDone = m_fileSize;
    report();
  }

 private:
  static long percent(uint64_t done, uint64_t total) {
    if (total == 0) return 100;
    return static_cast<long>(std::min<uint64_t>(100, done * 100 / total));
  }
  void report() {
    if (!m_sink) return;
    long file = percent(m_fileDone, m_fileSize), all = percent(m_done, m_total);
    if (file == m_lastFile && all == m_lastTotal) return;
    m_lastFile = file;
    m_lastTotal = all;
    m_sink->progress(file, all);
  }

  ProgressSink* m_sink;
  uint64_t m_total;
  uint64_t m_done = 0, m_fileSize = 0, m_fileDone = 0;
  long m_lastFile = -1, m_lastTotal = -1;
};

bool hasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// A name against a pattern as the backup programs' users write them: case-insensitive, and a
// pattern ending in ".*" also finds names without any dot ("*.*" is every file, "OVTPL.*" finds
// "OVTpl"), as it always did on the system these patterns come from.
bool nameMatches(std::string_view name, std::string_view pattern) {
  if (rt::wildcardMatch(name, pattern)) return true;
  if (!pattern.ends_with(".*")) return false;
  const size_t slash = name.find_last_of('/');
  const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
  return last.find('.') == std::string_view::npos && rt::wildcardMatch(name, pattern.substr(0, pattern.size() - 2));
}

std::string baseName(std::string_view path) {
  size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// A member name made safe to write below a folder: "\" read as "/", no leading "/", no drive,
// no "." or ".." parts.
std::string safeRelativeName(std::string_view name) {
  std::string s(name);
  std::replace(s.begin(), s.end(), '\\', '/');
  if (s.size() >= 2 && s[1] == ':') s.erase(0, 2);
  std::string out;
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t next = s.find('/', pos);
    if (next == std::string::npos) next = s.size();
    std::string part = s.substr(pos, next - pos);
    if (!part.empty() && part != "." && part != "..") {
      if (!out.empty()) out += '/';
      out += part;
    }
    pos = next + 1;
  }
  return out;
}

bool matchesAny(const std::vector<std::string>& patterns, std::string_view name) {
  const std::string base = baseName(name);
  for (const std::string& p : patterns) {
    std::string pattern = p;
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    if (nameMatches(name, pattern)) return true;
    if (pattern.find('/') == std::string::npos && nameMatches(base, pattern)) return true;
  }
  return false;
}

// ---- zip state ----------------------------------------------------------------------------------

struct ZipSettings {
  ProgressSink* sink = nullptr;
  std::vector<std::string> include, exclude;
  std::string archiveComment;
  bool hasArchiveComment = false;
  std::string fileComment;
  std::string password;
  time_t before = 0;  // 0 = no limit
  std::string tempPath;
};
std::mutex g_zipMutex;
ZipSettings g_zip;

struct Candidate {
  std::string path;    // as found on disk
  std::string stored;  // member name
  uint64_t size = 0;
  time_t mtime = 0;
  mode_t mode = 0;
};

// The files a pattern list finds, below the current folder or by their own paths.
class FileFinder {
 public:
  FileFinder(const ZipSettings& s, unsigned long options, const std::string& archivePath)
      : m_settings(s), m_options(options) {
    struct stat st {};
    if (::stat(archivePath.c_str(), &st) == 0) {
      m_archiveDev = st.st_dev;
      m_archiveIno = st.st_ino;
      m_archiveKnown = true;
    }
  }

  void addPattern(const std::string& raw) {
    m_walked.clear();  // each pattern walks the folders anew
    std::string pattern = rt::normalizePath(raw);
    if (pattern.empty()) return;
    std::string folder, name;
    size_t slash = pattern.find_last_of('/');
    if (slash == std::string::npos) {
      name = pattern;
    } else {
      folder = pattern.substr(0, slash + 1);
      name = pattern.substr(slash + 1);
    }
    if (!hasWildcard(name)) {
      std::string path = rt::resolvePath(pattern);
      struct stat st {};
      if (::stat(path.c_str(), &st) != 0) return;
      if (S_ISREG(st.st_mode)) {
        // Stored under its name on disk ("msglink" finds and stores MSGLINK): a restore must
        // bring back the file the programs open, not a second one that differs in case.
        take(path, folder + baseName(path), st);
      } else if (S_ISDIR(st.st_mode) && (m_options & zipopt::Recurse)) {
        std::string dirShown = folder + name;
        if (!dirShown.empty() && dirShown.back() != '/') dirShown += '/';
        walk(path, dirShown, "*", true);
      }
      return;
    }
    std::string dir = folder.empty() ? std::string(".") : rt::resolvePath(folder);
    walk(dir, folder, name, m_options & zipopt::Recurse);
  }

  std::vector<Candidate>& found() { return m_found; }

 private:
  void walk(const std::string& dir, const std::string& shown, const std::string& pattern, bool recurse) {
    // A folder reached twice (a link back up the tree) is walked once.
    struct stat self {};
    if (::stat(dir.c_str(), &self) != 0 || !m_walked.insert({self.st_dev, self.st_ino}).second) return;
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                return a.path().filename().string() < b.path().filename().string();
              });
    const bool hidden = m_options & zipopt::SystemHidden;
    for (const fs::directory_entry& e : entries) {
      std::string name = e.path().filename().string();
      if (!hidden && !name.empty() && name[0] == '.') continue;
      struct stat st {};
      if (::stat(e.path().c_str(), &st) != 0) continue;
      if (S_ISDIR(st.st_mode)) {
        if (recurse) walk(e.path().string(), shown + name + "/", pattern, true);
      } else if (S_ISREG(st.st_mode) && nameMatches(name, pattern)) {
        take(e.path().string(), shown + name, st);
      }
    }
  }

  void take(const std::string& path, const std::string& shown, const struct stat& st) {
    if (m_archiveKnown && st.st_dev == m_archiveDev && st.st_ino == m_archiveIno) return;
    if (!m_seen.insert({st.st_dev, st.st_ino}).second) return;
    Candidate c;
    c.path = path;
    c.stored = (m_options & zipopt::FullPath) ? safeRelativeName(shown) : baseName(shown);
    if (c.stored.empty()) return;
    if (!m_settings.exclude.empty() && matchesAny(m_settings.exclude, c.stored)) return;
    if (m_settings.before != 0 && st.st_mtime >= m_settings.before) return;
    c.size = static_cast<uint64_t>(st.st_size);
    c.mtime = st.st_mtime;
    c.mode = st.st_mode;
    m_found.push_back(std::move(c));
  }

  const ZipSettings& m_settings;
  unsigned long m_options;
  bool m_archiveKnown = false;
  dev_t m_archiveDev = 0;
  ino_t m_archiveIno = 0;
  std::set<std::pair<dev_t, ino_t>> m_seen, m_walked;
  std::vector<Candidate> m_found;
};

std::mutex g_filterMutex;
SourceFilter g_filter;
std::string g_filterFailure;

// The source of one file added to the archive: reads it when libzip writes the member, reports
// progress and stops on an abort.
struct FileSource {
  Candidate file;
  Reporter* reporter = nullptr;
  FILE* f = nullptr;
  zip_error_t error{};
  bool failed = false;
  bool cancelled = false;
  // What the source filter answered, asked once (at the first stat or open).
  bool asked = false;
  SourceAnswer answer;
  uint64_t size = 0;

  ~FileSource() {
    if (answer.kind == SourceAnswer::Replaced && !answer.path.empty()) ::unlink(answer.path.c_str());
  }
  // False (with the error set) when the filter failed the file.
  bool ask() {
    if (asked) return answer.kind != SourceAnswer::Failed;
    asked = true;
    size = file.size;
    SourceFilter filter;
    {
      std::lock_guard<std::mutex> lock(g_filterMutex);
      filter = g_filter;
    }
    if (filter) answer = filter(file.path);
    if (answer.kind == SourceAnswer::Empty) size = 0;
    if (answer.kind == SourceAnswer::Replaced) {
      struct stat st {};
      if (::stat(answer.path.c_str(), &st) == 0) size = static_cast<uint64_t>(st.st_size);
    }
    if (answer.kind == SourceAnswer::Failed) {
      {
        std::lock_guard<std::mutex> lock(g_filterMutex);
        g_filterFailure = answer.detail;
      }
      failed = true;
      zip_error_set(&error, ZIP_ER_OPEN, 0);
      return false;
    }
    return true;
  }
  const std::string& readPath() const { return answer.kind == SourceAnswer::Replaced ? answer.path : file.path; }
};

zip_int64_t fileSourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
  auto* s = static_cast<FileSource*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      if (!s->ask()) return -1;
      if (s->answer.kind == SourceAnswer::Empty) {
        if (s->reporter) s->reporter->startFile(s->file.stored, 0);
        return 0;
      }
      s->f = std::fopen(s->readPath().c_str(), "rb");
      if (!s->f) {
        s->failed = true;
        zip_error_set(&s->error, ZIP_ER_OPEN, errno);
        return -1;
      }
      if (s->reporter) s->reporter->startFile(s->file.stored, s->size);
      return 0;
    case ZIP_SOURCE_READ: {
      if (aborted()) {
        s->cancelled = true;
        zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
        return -1;
      }
      if (!s->f) return 0;  // an empty member
      size_t n = std::fread(data, 1, length, s->f);
      if (n == 0 && std::ferror(s->f)) {
        s->failed = true;
        zip_error_set(&s->error, ZIP_ER_READ, errno);
        return -1;
      }
      if (s->reporter) s->reporter->advance(n);
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      if (s->f) std::fclose(s->f);
      s->f = nullptr;
      if (s->reporter) s->reporter->finishFile();
      return 0;
    case ZIP_SOURCE_STAT: {
      if (!s->ask()) return -1;
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
      st->size = s->size;
      st->mtime = s->file.mtime;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&s->error, data, length);
    case ZIP_SOURCE_FREE:
      if (s->f) std::fclose(s->f);
      delete s;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// An archive that cannot be opened for writing: missing folder, no access, or not an archive.
long zipOpenError(int ze) { return ze == ZIP_ER_MEMORY ? code::OutOfMemory : code::CreateArchive; }

long zipCloseError(zip_error_t* error, bool cancelled) {
  if (cancelled) return code::Cancelled;
  switch (zip_error_code_zip(error)) {
    case ZIP_ER_CANCELLED: return code::Cancelled;
    case ZIP_ER_MEMORY: return code::OutOfMemory;
    case ZIP_ER_TMPOPEN: return code::TemporaryFile;
    case ZIP_ER_RENAME: return code::ReplaceArchive;
    case ZIP_ER_WRITE: return code::WriteError;
    case ZIP_ER_READ:
    case ZIP_ER_OPEN: return code::ZippingError;
    case ZIP_ER_CRC:
    case ZIP_ER_INCONS:
    case ZIP_ER_COMPNOTSUPP: return code::CopyingError;
    default: return code::ZippingError;
  }
}

}  // namespace

void setSourceFilter(SourceFilter filter) {
  std::lock_guard<std::mutex> lock(g_filterMutex);
  g_filter = std::move(filter);
  g_filterFailure.clear();
}

std::string lastSourceFailure() {
  std::lock_guard<std::mutex> lock(g_filterMutex);
  return g_filterFailure;
}

namespace {

bool copyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  return !ec;
}

// DOS attribute bits of a file as this system sees them: read-only when the owner may not write,
// hidden for dot names, archive for every file.
uint32_t externalAttributes(const Candidate& c) {
  uint32_t dos = 0x20;
  if (!(c.mode & S_IWUSR)) dos |= 0x01;
  std::string base = baseName(c.stored);
  if (!base.empty() && base[0] == '.') dos |= 0x02;
  return (static_cast<uint32_t>(c.mode & 0xFFFF) << 16) | dos;
}

long zipExecute(ZipSettings& s, const std::string& archivePath, long action, long level,
                unsigned long options) {
  {
    std::lock_guard<std::mutex> lock(g_filterMutex);
    g_filterFailure.clear();
  }
  if (options & zipopt::MultiVolume) return code::NoMultipleVolumes;
  if (archivePath.empty()) return code::BadArchiveName;
  if (action < zipaction::Comment || action > zipaction::Freshen) return code::InternalError;
  const bool exists = rt::EXISTS(archivePath);
  if (exists && detail::isProgramFile(archivePath)) return code::SfxNotModifiable;
  if (!exists && (action == zipaction::Comment || action == zipaction::Delete)) return code::ArchiveEmpty;
  if (action == zipaction::Comment && !((options & zipopt::ArchiveComment) && s.hasArchiveComment))
    return code::NothingToDo;
  if ((action == zipaction::Delete || action >= zipaction::Add) && s.include.empty())
    return code::BadFileSpec;

  // The files to add (found before the archive opens, so the archive is never among them).
  std::vector<Candidate> files;
  if (action >= zipaction::Add) {
    FileFinder finder(s, options, archivePath);
    for (const std::string& p : s.include) finder.addPattern(p);
    files = std::move(finder.found());
    if (files.empty()) return code::NothingToDo;
    std::set<std::string> names;
    for (const Candidate& c : files)
      if (!names.insert(c.stored).second) return code::RepeatedName;
  }

  // With a temporary folder the archive is built there and copied back at the end.
  std::string workPath = archivePath;
  std::string tempCopy;
  if ((options & zipopt::UseTempPath) && !s.tempPath.empty()) {
    std::string pattern = s.tempPath + "/lszXXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return code::TemporaryFile;
    ::close(fd);
    tempCopy = pattern;
    if (exists) {
      if (!copyFile(archivePath, tempCopy)) {
        ::unlink(tempCopy.c_str());
        return code::TemporaryFile;
      }
    } else {
      ::unlink(tempCopy.c_str());
    }
    workPath = tempCopy;
  }
  struct TempGuard {
    std::string path;
    ~TempGuard() {
      if (!path.empty()) ::unlink(path.c_str());
    }
  } tempGuard{tempCopy};

  int ze = 0;
  zip_t* za = zip_open(workPath.c_str(), ZIP_CREATE, &ze);
  if (!za) return zipOpenError(ze);

  uint64_t total = 0;
  for (const Candidate& c : files) total += c.size;
  Reporter reporter(s.sink, total);
  std::vector<FileSource*> sources;
  std::vector<const Candidate*> written;
  bool anyChange = false;
  long result = 0;

  auto fail = [&](long code) {
    zip_discard(za);
    return code;
  };

  if (action == zipaction::Delete) {
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
      const char* name = zip_get_name(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
      if (name && matchesAny(s.include, name)) {
        if (zip_delete(za, static_cast<zip_uint64_t>(i)) != 0) return fail(code::InternalError);
        anyChange = true;
      }
    }
    if (!anyChange) return fail(code::NotMatched);
  }

  for (const Candidate& c : files) {
    const zip_int64_t existing = zip_name_locate(za, c.stored.c_str(), ZIP_FL_ENC_RAW);
    if (existing >= 0 && action != zipaction::Add) {
      zip_stat_t st;
      // Newer by more than the two seconds DOS times can tell apart.
      if (zip_stat_index(za, static_cast<zip_uint64_t>(existing), 0, &st) == 0 &&
          (st.valid & ZIP_STAT_MTIME) && c.mtime <= st.mtime + 1)
        continue;
    }
    if (existing < 0 && action == zipaction::Freshen) continue;
    auto* state = new FileSource{c, &reporter};
    zip_error_init(&state->error);
    zip_source_t* src = zip_source_function(za, fileSourceCallback, state);
    if (!src) {
      delete state;
      return fail(code::OutOfMemory);
    }
    zip_int64_t index;
    if (existing >= 0) {
      index = existing;
      if (zip_file_replace(za, static_cast<zip_uint64_t>(existing), src, 0) != 0) {
        zip_source_free(src);
        return fail(code::ZippingError);
      }
    } else {
      index = zip_file_add(za, c.stored.c_str(), src, ZIP_FL_ENC_GUESS);
      if (index < 0) {
        zip_source_free(src);
        return fail(code::ZippingError);
      }
    }
    sources.push_back(state);
    written.push_back(&c);
    anyChange = true;
    const auto ui = static_cast<zip_uint64_t>(index);
    if (level <= 0)
      zip_set_file_compression(za, ui, ZIP_CM_STORE, 0);
    else
      zip_set_file_compression(za, ui, ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(std::min<long>(level, 9)));
    zip_file_set_external_attributes(za, ui, 0, ZIP_OPSYS_UNIX, externalAttributes(c));
    zip_file_set_mtime(za, ui, c.mtime, 0);
    if ((options & zipopt::Encrypt) && !s.password.empty())
      zip_file_set_encryption(za, ui, ZIP_EM_TRAD_PKWARE, s.password.c_str());
    if ((options & zipopt::FileComment) && !s.fileComment.empty())
      zip_file_set_comment(za, ui, s.fileComment.data(), static_cast<zip_uint16_t>(s.fileComment.size()), 0);
  }

  if ((options & zipopt::ArchiveComment) && s.hasArchiveComment) {
    zip_set_archive_comment(za, s.archiveComment.data(), static_cast<zip_uint16_t>(s.archiveComment.size()));
    anyChange = true;
  }

  time_t newest = 0;
  if (options & zipopt::LatestDate) {
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
      zip_stat_t st;
      if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
        newest = std::max(newest, st.mtime);
    }
  }

  if (!anyChange) {
    zip_discard(za);
    return 0;
  }
  zip_register_cancel_callback_with_state(za, [](zip_t*, void*) { return aborted() ? 1 : 0; }, nullptr, nullptr);
  if (zip_close(za) != 0) {
    bool cancelled = aborted();
    for (FileSource* f : sources) cancelled = cancelled || f->cancelled;
    result = zipCloseError(zip_get_error(za), cancelled);
    zip_discard(za);
    return result;
  }

  if (!tempCopy.empty()) {
    // Copy back beside the archive, then rename over it: the archive is whole at every moment.
    std::string beside = archivePath + ".lsztmp";
    if (!rt::EXISTS(tempCopy)) {
      ::unlink(archivePath.c_str());  // the work left no members
    } else if (!copyFile(tempCopy, beside) || std::rename(beside.c_str(), archivePath.c_str()) != 0) {
      ::unlink(beside.c_str());
      return code::ReplaceArchive;
    }
  }
  if ((options & zipopt::LatestDate) && newest != 0) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = newest;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    (void)utimensat(AT_FDCWD, archivePath.c_str(), times, 0);  // best effort: the archive is written
  }
  if (options & zipopt::MoveFiles)
    for (const Candidate* c : written) (void)::unlink(c->path.c_str());  // best effort, as zip -m
  return result;
}

// ---- unzip state --------------------------------------------------------------------------------

struct UnzipSettings {
  ProgressSink* sink = nullptr;
  std::string archive;
  std::vector<std::string> include;
  std::string target;
  std::string password;
  std::string comment;
  std::vector<MemberRecord> listing;
  size_t next = 0;
};
std::mutex g_unzipMutex;
UnzipSettings g_unzip;

long readError(detail::ReadResult r) {
  switch (r) {
    case detail::ReadResult::Ok: return 0;
    case detail::ReadResult::CannotOpen: return code::OpenArchive;
    case detail::ReadResult::NotZip: return code::FormatError;
    case detail::ReadResult::Damaged: return code::StructureError;
  }
  return code::ArchiveError;
}

MemberRecord makeRecord(const detail::CentralEntry& e, uint32_t index) {
  MemberRecord r;
  r.name = e.name;
  r.index = index;
  r.dosDate = e.dosDate;
  r.dosTime = e.dosTime;
  r.size = static_cast<uint32_t>(std::min<uint64_t>(e.size, 0xFFFFFFFF));
  r.packed = static_cast<uint32_t>(std::min<uint64_t>(e.packed, 0xFFFFFFFF));
  // Percent saved; an empty member saved nothing.
  r.ratio = e.size == 0 ? 0
                        : static_cast<int32_t>((static_cast<double>(e.size) - static_cast<double>(e.packed)) *
                                               100.0 / static_cast<double>(e.size));
  r.method = e.method;
  r.crc = e.crc;
  r.attributes = e.externalAttributes & 0xFFFF;
  r.deflateVariant = e.method == 8 ? (e.flags & 6) : 0;
  r.comment = e.comment;
  r.extra = e.flags;
  r.encrypted = e.flags & 1;
  return r;
}

long unzipOpenError(int ze) {
  switch (ze) {
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
    case ZIP_ER_READ: return code::OpenArchive;
    case ZIP_ER_MEMORY: return code::NoMemory;
    case ZIP_ER_NOZIP: return code::FormatError;
    default: return code::StructureError;
  }
}

// Writes one member to `target` through a temporary file beside it.
long extractOne(zip_t* za, zip_uint64_t index, const zip_stat_t& st, const std::string& target,
                const std::string& password, Reporter* reporter, bool test) {
  zip_file_t* zf = nullptr;
  // The old zip encryption checks a password against one byte only: one wrong password in 256
  // gets past it and then fails as unreadable data.
  const bool weakKeyCheck = st.valid & ZIP_STAT_ENCRYPTION_METHOD && st.encryption_method == ZIP_EM_TRAD_PKWARE;
  if (st.valid & ZIP_STAT_ENCRYPTION_METHOD && st.encryption_method != ZIP_EM_NONE) {
    if (password.empty()) return code::BadPassword;
    zf = zip_fopen_index_encrypted(za, index, 0, password.c_str());
  } else {
    zf = zip_fopen_index(za, index, 0);
  }
  if (!zf) {
    int ze = zip_error_code_zip(zip_get_error(za));
    zip_error_clear(za);
    if (ze == ZIP_ER_WRONGPASSWD || ze == ZIP_ER_NOPASSWD) return code::BadPassword;
    if (ze == ZIP_ER_COMPNOTSUPP || ze == ZIP_ER_ENCRNOTSUPP) return code::ArchiveError;
    if (ze == ZIP_ER_MEMORY) return code::NoMemory;
    return code::StructureError;
  }
  std::string temp;
  FILE* out = nullptr;
  if (!test) {
    temp = target + ".lsuXXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
      zip_fclose(zf);
      return code::CreateOutput;
    }
    out = fdopen(fd, "wb");
  }
  long result = 0;
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    if (aborted()) {
      result = code::Cancelled;
      break;
    }
    zip_int64_t n = zip_fread(zf, buffer.data(), buffer.size());
    if (n < 0) {
      int ze = zip_error_code_zip(zip_file_get_error(zf));
      result = ze == ZIP_ER_WRONGPASSWD || weakKeyCheck ? code::BadPassword
               : ze == ZIP_ER_CRC                        ? code::CrcError
                                                         : code::ReadError;
      break;
    }
    if (n == 0) break;
    if (out && std::fwrite(buffer.data(), 1, static_cast<size_t>(n), out) != static_cast<size_t>(n)) {
      result = errno == ENOSPC ? code::DiskFull : code::FatalWrite;
      break;
    }
    if (reporter) reporter->advance(static_cast<uint64_t>(n));
  }
  zip_fclose(zf);
  if (out) {
    if (std::fclose(out) != 0 && result == 0) result = errno == ENOSPC ? code::DiskFull : code::FatalWrite;
    if (result != 0) {
      ::unlink(temp.c_str());
      return result;
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
      ::unlink(temp.c_str());
      return code::CreateOutput;
    }
  }
  return result;
}

void restoreAttributes(zip_t* za, zip_uint64_t index, const zip_stat_t& st, const std::string& target) {
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  mode_t mode = 0644;
  if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) == 0) {
    const mode_t unixMode = (attributes >> 16) & 07777;
    if (opsys == ZIP_OPSYS_UNIX && unixMode != 0)
      mode = unixMode & 0777;
    else if (attributes & 0x01)
      mode = 0444;
  }
  const mode_t mask = umask(0);
  umask(mask);
  (void)chmod(target.c_str(), mode & ~mask);  // best effort, as unzip does
  if (st.valid & ZIP_STAT_MTIME) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = st.mtime;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    (void)utimensat(AT_FDCWD, target.c_str(), times, 0);  // best effort
  }
}

long makeFolders(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  return ec ? code::CreateDirectory : 0;
}

long unzipWork(UnzipSettings& s, long action, unsigned long options) {
  if (s.archive.empty()) return code::OpenArchive;
  const std::string archive = rt::resolvePath(s.archive);
  detail::CentralDirectory cd;
  if (long r = readError(detail::readCentralDirectory(archive, cd)); r != 0) return r;
  s.comment = cd.comment;
  if (action == unzipaction::HasComment) return cd.comment.empty() ? 0 : 1;
  if (action == unzipaction::Count) {
    s.listing.clear();
    s.next = 0;
    for (size_t i = 0; i < cd.entries.size(); ++i)
      if (s.include.empty() || matchesAny(s.include, cd.entries[i].name))
        s.listing.push_back(makeRecord(cd.entries[i], static_cast<uint32_t>(i)));
    return static_cast<long>(s.listing.size());
  }
  if (action != unzipaction::Extract && action != unzipaction::Test) return code::ArchiveError;

  int ze = 0;
  zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &ze);
  if (!za) return unzipOpenError(ze);
  struct Closer {
    zip_t* za;
    ~Closer() { zip_discard(za); }
  } closer{za};

  const bool test = action == unzipaction::Test;
  std::string target = s.target.empty() ? std::string(".") : rt::resolvePath(s.target);
  const zip_int64_t n = zip_get_num_entries(za, 0);
  std::vector<std::pair<zip_uint64_t, zip_stat_t>> chosen;
  uint64_t total = 0;
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
      return code::StructureError;
    if (!s.include.empty() && !matchesAny(s.include, st.name)) continue;
    chosen.emplace_back(static_cast<zip_uint64_t>(i), st);
    total += (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  }
  if (chosen.empty()) return code::FileNotMatched;

  Reporter reporter(s.sink, total);
  long first = 0;
  for (auto& [index, st] : chosen) {
    if (aborted()) return code::Cancelled;
    std::string name = st.name;
    const bool isFolder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    std::string relative = safeRelativeName(name);
    if (options & unzipopt::NoPaths) relative = baseName(relative);
    reporter.startFile(name, (st.valid & ZIP_STAT_SIZE) ? st.size : 0);
    long r = 0;
    if (isFolder) {
      if (!test && !(options & unzipopt::NoPaths) && !relative.empty()) r = makeFolders(target + "/" + relative);
    } else if (relative.empty()) {
      r = code::ArchiveError;
    } else if (test) {
      r = extractOne(za, index, st, {}, s.password, &reporter, true);
    } else {
      const std::string path = target + "/" + relative;
      const size_t slash = path.find_last_of('/');
      r = makeFolders(path.substr(0, slash));
      if (r == 0) {
        struct stat existing {};
        if (::lstat(path.c_str(), &existing) == 0 && !(options & unzipopt::Overwrite)) {
          reporter.finishFile();
          continue;
        }
        r = extractOne(za, index, st, path, s.password, &reporter, false);
        if (r == 0) restoreAttributes(za, index, st, path);
      }
    }
    reporter.finishFile();
    if (r == code::Cancelled) return r;
    if (r != 0 && first == 0) first = r;  // the other members are still worked on
  }
  return first;
}

}  // namespace

std::vector<std::string> splitPatternList(std::string_view list) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && list[i] == ' ') ++i;
    if (i >= list.size()) break;
    std::string word;
    if (list[i] == '"') {
      size_t close = list.find('"', i + 1);
      if (close == std::string_view::npos) close = list.size();
      word = std::string(list.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      size_t end = list.find(' ', i);
      if (end == std::string_view::npos) end = list.size();
      word = std::string(list.substr(i, end - i));
      i = end;
    }
    if (!word.empty()) out.push_back(std::move(word));
  }
  return out;
}

void AbortAll() { g_abort.store(true); }

long LSZIP_INIT(ProgressSink* sink) {
  std::lock_guard lock(g_zipMutex);
  g_zip = ZipSettings{};
  g_zip.sink = sink;
  g_abort.store(false);
  return 1;
}
long LSZIP_VER() { return kLibraryVersion; }
long LSZIP_SETARCHIVECMT(std::string_view comment) {
  if (comment.size() > 65535) return 0;
  std::lock_guard lock(g_zipMutex);
  g_zip.archiveComment = std::string(comment);
  g_zip.hasArchiveComment = true;
  return 1;
}
void LSZIP_SETFILECMT(std::string_view comment) {
  std::lock_guard lock(g_zipMutex);
  g_zip.fileComment = std::string(comment.substr(0, 65535));
}
void LSZIP_PASSWORD(std::string_view password) {
  std::lock_guard lock(g_zipMutex);
  g_zip.password = std::string(password);
}
long LSZIP_SETDATE(std::string_view before, std::string_view after) {
  std::lock_guard lock(g_zipMutex);
  g_zip.before = 0;
  auto parse = [](std::string_view d, time_t& out) {
    if (d.size() != 8 || d.find_first_not_of("0123456789") != std::string_view::npos) return false;
    int month = std::stoi(std::string(d.substr(0, 2))), day = std::stoi(std::string(d.substr(2, 2)));
    int year = std::stoi(std::string(d.substr(4, 4)));
    if (month < 1 || month > 12 || year < 1980 || day < 1 || day > rt::daysInMonth(month, year)) return false;
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    out = mktime(&tm);
    return true;
  };
  time_t b = 0, a = 0;
  if (!before.empty() && !parse(before, b)) return 0;
  if (!after.empty() && !parse(after, a)) return 0;
  g_zip.before = b;
  return 1;
}
long LSZIP_SETTEMPATH(std::string_view folder) {
  std::string path = rt::resolvePath(folder);
  struct stat st {};
  std::lock_guard lock(g_zipMutex);
  if (folder.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    g_zip.tempPath.clear();
    return 0;
  }
  g_zip.tempPath = path;
  return 1;
}
long LSZIP_REMOVEARCHIVE(std::string_view path) {
  std::string p = rt::resolvePath(path);
  if (::unlink(p.c_str()) == 0 || errno == ENOENT) return 1;
  return 0;
}
long LSZIP_INCLUDE(std::string_view list) {
  std::lock_guard lock(g_zipMutex);
  g_zip.include = splitPatternList(list);
  return static_cast<long>(g_zip.include.size());
}
long LSZIP_EXCLUDE(std::string_view list) {
  std::lock_guard lock(g_zipMutex);
  g_zip.exclude = splitPatternList(list);
  return static_cast<long>(g_zip.exclude.size());
}
long LSZIP_EXECUTE(std::string_view archive, long action, long level, unsigned long options) {
  std::lock_guard lock(g_zipMutex);
  long r = code::Cancelled;
  try {
    if (!aborted()) r = zipExecute(g_zip, rt::resolvePath(archive), action, level, options);
  } catch (const std::bad_alloc&) {
    r = code::OutOfMemory;
  } catch (...) {
    r = code::InternalError;
  }
  g_abort.store(false);
  // Patterns, the date limit and the comments serve one call.
  g_zip.include.clear();
  g_zip.exclude.clear();
  g_zip.before = 0;
  if (options & zipopt::ArchiveComment) g_zip.hasArchiveComment = false;
  g_zip.fileComment.clear();
  return r;
}

long LSUZ_INIT(ProgressSink* sink) {
  std::lock_guard lock(g_unzipMutex);
  g_unzip = UnzipSettings{};
  g_unzip.sink = sink;
  g_abort.store(false);
  return 1;
}
long LSUZ_VER() { return kLibraryVersion; }
void LSUZ_RESET() {
  std::lock_guard lock(g_unzipMutex);
  ProgressSink* sink = g_unzip.sink;
  g_unzip = UnzipSettings{};
  g_unzip.sink = sink;
}
long LSUZ_ZIPNAME(std::string_view archive) {
  std::lock_guard lock(g_unzipMutex);
  g_unzip.archive = std::string(archive);
  return !archive.empty() && rt::EXISTS(archive) ? 1 : 0;
}
long LSUZ_INCLUDE(std::string_view list) {
  std::lock_guard lock(g_unzipMutex);
  g_unzip.include = splitPatternList(list);
  return static_cast<long>(g_unzip.include.size());
}
long LSUZ_EXTRACTTO(std::string_view folder) {
  std::lock_guard lock(g_unzipMutex);
  g_unzip.target = std::string(folder);
  return 1;
}
void LSUZ_PASSWORD(std::string_view password) {
  std::lock_guard lock(g_unzipMutex);
  g_unzip.password = std::string(password);
}
long LSUZ_EXECUTE(long action, unsigned long options) {
  std::lock_guard lock(g_unzipMutex);
  long r = code::Cancelled;
  try {
    if (!aborted()) r = unzipWork(g_unzip, action, options);
  } catch (const std::bad_alloc&) {
    r = code::NoMemory;
  } catch (...) {
    r = code::ArchiveError;
  }
  g_abort.store(false);
  return r;
}
std::string LSUZ_GETCMT() {
  std::lock_guard lock(g_unzipMutex);
  return g_unzip.comment;
}
long LSUZ_GETNEXT(MemberRecord& record) {
  std::lock_guard lock(g_unzipMutex);
  if (g_unzip.next >= g_unzip.listing.size()) return 1;
  record = g_unzip.listing[g_unzip.next++];
  return 0;
}

}  // namespace ov::zip
