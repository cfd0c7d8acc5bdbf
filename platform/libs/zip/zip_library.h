// The zip and unzip libraries of the backup programs: LSZIP_ calls write archives, LSUZ_ calls
// read them. Each library keeps one set of settings for the process (archive, patterns, comments,
// password, dates, target folder), set by the small calls and used by the next execute call.
// libzip does the ZIP work underneath; this layer adds the patterns, the path and option rules,
// progress and the result codes the programs know.
//
// Results are signed longs: negative = an error code (the programs' error table gives the text),
// else done. Strings arrive without trailing blanks; lists of patterns are blank-separated, and a
// name holding a blank is written in double quotes. Names and patterns match without regard to
// case ("*.TPS" finds "data.tps"), and a pattern ending in ".*" also finds names without a dot
// ("*.*" finds "OVTpl").
//
// Progress: each library reports to the sink given to its INIT call, from the thread that runs
// the execute call. progress() gets the percent of the current file and of the whole operation
// ("LSZP"), file() the name of the file being worked on ("LSZI"). AbortAll() (the "LSZA"
// broadcast) may be called from any thread, the sink included: the execute call running then, or
// the next one to start, ends with -30 and leaves an existing archive as it was.
//
// Threading: the settings calls and the execute calls of one library must not run at the same time
// (one caller thread at a time); AbortAll may run at any time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ov::zip {

// Result codes the layer gives itself (the rest of the table lives with the programs).
namespace code {
constexpr long Cancelled = -30;
// Zip
constexpr long BadArchiveName = -151;
constexpr long BadFileSpec = -152;
constexpr long OutOfMemory = -153;
constexpr long NoMultipleVolumes = -157;  // multiple-volume archives are not made here
constexpr long InternalError = -158;
constexpr long NotMatched = -159;
constexpr long RepeatedName = -162;
constexpr long ArchiveEmpty = -164;
constexpr long NothingToDo = -167;
constexpr long CreateArchive = -169;
constexpr long TemporaryFile = -175;
constexpr long ZippingError = -178;
constexpr long CopyingError = -179;
constexpr long ReplaceArchive = -189;
constexpr long WriteError = -191;
constexpr long SfxNotModifiable = -803;   // a self-extracting archive cannot be changed here
// Unzip
constexpr long FileNotMatched = -1;
constexpr long FormatError = -2;
constexpr long ArchiveError = -3;
constexpr long NoMemory = -4;
constexpr long CreateDirectory = -7;
constexpr long OpenArchive = -9;
constexpr long CreateOutput = -13;
constexpr long CrcError = -15;
constexpr long DiskFull = -50;
constexpr long StructureError = -51;
constexpr long BadPassword = -61;
constexpr long ReadError = -63;
constexpr long FatalWrite = -64;
}  // namespace code

// Actions of LSZIP_EXECUTE.
namespace zipaction {
constexpr long Comment = 0;   // with option 32: write the archive comment of LSZIP_SETARCHIVECMT
constexpr long Delete = 1;    // remove the members that match the include list
constexpr long Add = 2;       // add the matching files, replacing members of the same name
constexpr long Update = 3;    // add new files, replace members only by newer files
constexpr long Freshen = 4;   // replace members by newer files, add nothing
}  // namespace zipaction

// Option bits of LSZIP_EXECUTE that this layer reads; others are accepted and ignored.
namespace zipopt {
constexpr unsigned long Quiet = 1;
constexpr unsigned long Encrypt = 16;          // traditional encryption with LSZIP_PASSWORD
constexpr unsigned long ArchiveComment = 32;   // write the comment of LSZIP_SETARCHIVECMT
constexpr unsigned long FileComment = 64;      // members added get the comment of LSZIP_SETFILECMT
constexpr unsigned long FullPath = 128;        // store the path as found, else the file name only
constexpr unsigned long MoveFiles = 256;       // delete the files once the archive is written
constexpr unsigned long SystemHidden = 512;    // wildcards also find hidden (dot) files and folders
constexpr unsigned long LatestDate = 1024;     // the archive file gets its newest member's time
constexpr unsigned long Recurse = 2048;        // patterns apply in sub-folders too
constexpr unsigned long UseTempPath = 4096;    // build the archive in the LSZIP_SETTEMPATH folder
constexpr unsigned long MultiVolume = 0x4000;  // refused: -157
}  // namespace zipopt

// Actions and option bits of LSUZ_EXECUTE.
namespace unzipaction {
constexpr long Count = 1;        // number of members (matching the include list when one is set)
constexpr long HasComment = 2;   // 1 when the archive has a comment, else 0
constexpr long Extract = 3;
constexpr long Test = 4;         // read every matching member and check its CRC
}  // namespace unzipaction
namespace unzipopt {
constexpr unsigned long Quiet = 1;
constexpr unsigned long Overwrite = 2;  // without it, files that exist already are left alone
constexpr unsigned long NoPaths = 16;   // extract every member into the target folder itself
}  // namespace unzipopt

constexpr long kLibraryVersion = 2610;

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void progress(long filePercent, long totalPercent) = 0;
  virtual void file(std::string_view name) = 0;
};

// One member as LSUZ_GETNEXT hands it out. Sizes beyond 32 bits are cut to 0xFFFFFFFF.
struct MemberRecord {
  std::string name;
  uint32_t index = 0;          // position in the central directory, from 0
  uint16_t dosDate = 0;        // day bits 0-4, month 5-8, year-1980 9-15
  uint16_t dosTime = 0;        // two-second units bits 0-4, minutes 5-10, hours 11-15
  uint32_t size = 0;
  int32_t ratio = 0;           // percent saved; 0 for an empty member, negative when it grew
  uint32_t packed = 0;
  uint16_t method = 0;         // ZIP compression method number
  uint32_t crc = 0;
  uint32_t attributes = 0;     // DOS attribute bits (low 16 bits of the external attributes)
  uint16_t deflateVariant = 0; // general-purpose flag bits 1 and 2 (0 normal, 2 max, 4 fast, 6 super fast)
  std::string comment;
  uint16_t extra = 0;          // general-purpose flags as stored
  bool encrypted = false;
};

// The "LSZA" broadcast.
void AbortAll();

// What is read for a file the zip library adds. By default the file itself, as it is on disk when
// its member is written. A program whose files may be written while it zips them (a database and
// its journal) installs a source that gives, per file, what a consistent archive holds instead.
struct SourceAnswer {
  enum Kind { AsIs, Replaced, Empty, Failed } kind = AsIs;
  std::string path;    // Replaced: the file to read instead; the library deletes it when done
  std::string detail;  // Failed: why (the add then ends with -178)
};
using SourceFilter = std::function<SourceAnswer(const std::string& path)>;
// Called on the thread of the execute call, once per file, just before its member is written;
// an empty function restores the default.
void setSourceFilter(SourceFilter filter);
// The detail of the last file that a source filter failed ("" when none), for the error text.
std::string lastSourceFailure();

// ---- zip ----------------------------------------------------------------------------------------
long LSZIP_INIT(ProgressSink* sink);  // 1; a null sink reports nowhere
long LSZIP_VER();
long LSZIP_SETARCHIVECMT(std::string_view comment);  // 1 = accepted (at most 65,535 bytes), else 0
void LSZIP_SETFILECMT(std::string_view comment);
void LSZIP_PASSWORD(std::string_view password);
// Files modified before `before` (MMDDYYYY) only, for the next add; "" for both = no limit.
// 0 when a date is not a valid MMDDYYYY date (the limit is then cleared).
long LSZIP_SETDATE(std::string_view before, std::string_view after);
long LSZIP_SETTEMPATH(std::string_view folder);      // 1 when the folder exists, else 0
long LSZIP_REMOVEARCHIVE(std::string_view path);     // 1 when gone (or never there), 0 when not
long LSZIP_INCLUDE(std::string_view list);           // the number of patterns; 0 = none
long LSZIP_EXCLUDE(std::string_view list);
long LSZIP_EXECUTE(std::string_view archive, long action, long level, unsigned long options);

// ---- unzip --------------------------------------------------------------------------------------
long LSUZ_INIT(ProgressSink* sink);
long LSUZ_VER();
void LSUZ_RESET();
long LSUZ_ZIPNAME(std::string_view archive);  // 1 when the file exists, else 0
long LSUZ_INCLUDE(std::string_view list);     // the number of patterns; 0 = none
long LSUZ_EXTRACTTO(std::string_view folder); // 1
void LSUZ_PASSWORD(std::string_view password);
long LSUZ_EXECUTE(long action, unsigned long options);
// The archive comment read by the last execute call ("" when none).
std::string LSUZ_GETCMT();
// 0 and the next member of the list made by the last Count action; 1 when there are no more.
long LSUZ_GETNEXT(MemberRecord& record);

// Splits a blank-separated pattern list; double quotes group a name with blanks.
std::vector<std::string> splitPatternList(std::string_view list);

}  // namespace ov::zip
