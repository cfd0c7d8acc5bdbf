// The archiver's (qmtbacka) one open archive: its state, its member list and how each member is
// shown, and the simple operations on it: new, open, close, list and information. The operations
// that change or unpack the archive are in archive_operations.h.
//
// Threading: the state belongs to the window thread; a library call of an operation may run on a
// worker while that thread waits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/libs/zip/zip_library.h"

namespace ov::backup {

// One member as the list shows it.
struct MemberRow {
  uint32_t index = 0;
  std::string name;
  int32_t date = 0;     // day number
  int32_t time = 0;     // centiseconds since midnight + 1
  uint32_t size = 0;
  int32_t ratio = 0;    // percent
  uint32_t packed = 0;
  std::string method;   // "Stored", "DeflatedX", ...
  std::string crc;      // eight lower-case hexadecimal digits
  std::string attributes;  // seven positions
  std::string comment;
  uint16_t extra = 0;
  bool mark = false;
};

struct ArchiveState {
  uint16_t INTERNALCLASSRELEASE = 0;
  std::vector<MemberRow> LSZQ;
  std::string ZIPARCHIVENAME;
  int LSZLISTBOX = 0;
  uint8_t OVERWRITEEXISTINGFILES = 0;
  uint8_t SKIPOLDERFILES = 0;
  uint8_t USEFOLDERNAMES = 1;
  long DLL_ZIP_VERSION = 0, DLL_UNZIP_VERSION = 0;
  // Selection bookkeeping of the member list.
  long SHIFTMOUSELEFTPOS = 0, SHIFTMOUSELEFTNEWPOS = 0, SHIFTMOUSELEFTOLDPOS = 0;
  long NEWSELECTPOINTER = 0, OLDSELECTPOINTER = 0, LASTACTION = 0, BYVAR = 0;
  int MULTISELECT = 0;
  long S_ZIPMEMBERS = 0;
  uint64_t S_OSIZE = 0;
  double S_CRATIO = 0;
  uint64_t S_CSIZE = 0;
  long SELECTEDFILES = 0;
  uint64_t SELECTEDBYTES = 0;
  std::string ZIPWILDCARD;
  std::string ZIPPASSWORD;
  std::string ZIPDESTDIR;
  std::string TEMPDIR;
  std::string BEFOREDATE;  // MMDDYYYY, "" = none
  std::string AFTERDATE;
  std::string ARCHIVECOMMENT;
  // Add preferences.
  int32_t COMPRESSIONLEVELSWITCH = 2;   // 1 Fast, 2 Normal, 3 Extra, 4 Store
  int32_t PATHINFORMATIONSWITCH = 3;    // 1 no path, 2 relative path, 3 full path
  uint8_t RECURSESUBDIRECTORIESSWITCH = 0;
  int32_t ACTION = 1;                   // 1 add and replace, 2 freshen, 3 update and add
  uint8_t SYSTEMANDHIDDEN = 0, MOVEFILES = 0, LATESTDATE = 0, CREATEMULTIPLEVOLUME = 0;
  uint8_t ADDFILECOMMENT = 0, ADDARCHIVECOMMENT = 0, ENCRYPTDATA = 0, USETEMPDIR = 0;
  std::string FILESPEC;
};

// The program's archive state.
extern ArchiveState Archive;

constexpr uint16_t kArchiveRelease = 2010;

// Set-up: release, library versions, counters and preferences at their start values.
void ArchiveInit(ArchiveState& s, uint16_t release = kArchiveRelease);
void ArchiveKill(ArchiveState& s);

// New archive: a save dialog; ".ZIP" added to a name without extension; an existing file of the
// name removed. The chosen name, or the current one when cancelled.
std::string NewArchive(const ArchiveState& s);
// Open archive: an open dialog; the chosen name, or the current one when cancelled.
std::string OpenArchive(const ArchiveState& s);
void CloseArchive(ArchiveState& s);
// Reads the member list of ZIPARCHIVENAME; false when there is no archive or it cannot be read
// (the list is then empty and the error shown).
bool DisplayArchive(ArchiveState& s);

// The pieces of a row.
MemberRow makeRow(const zip::MemberRecord& r);
int32_t dosDateToDate(uint16_t dosDate);
int32_t dosTimeToTime(uint16_t dosTime);
std::string methodName(uint16_t method, uint16_t deflateVariant);
std::string attributeText(uint32_t attributes);
// Percent saved over the whole archive, two decimals; 0 for an empty archive.
double archiveRatio(uint64_t original, uint64_t compressed);

// What the "ZIP Information" window shows.
struct ArchiveInformation {
  long files = 0;
  uint64_t archiveSize = 0;
  double compression = 0;
  uint64_t compressedSize = 0;
  std::string comment;  // "YES" or "NO"
};
ArchiveInformation Information(const ArchiveState& s);

// Marked rows' names (trailing blanks off), each in double quotes, joined by one blank.
std::string markedMemberList(const ArchiveState& s);
// Marks: every row; none but `keepRow` (1-based, 0 none); counts of the marked rows.
void markAll(ArchiveState& s);
void clearMarks(ArchiveState& s, int keepRow);
void countMarked(ArchiveState& s);

// A row chosen in the member list (1-based): alone it marks only that row and becomes the anchor;
// with Ctrl it is added to the marked rows (and becomes the anchor); with Shift every row from the
// anchor to it is marked, earlier marks cleared.
void selectRow(ArchiveState& s, int row, bool ctrl, bool shift);

// Sorts the member list ascending by the key, then clears the marks but `keepRow`'s.
enum class SortKey { Index, Name, Size, Ratio, Packed, Date };
void sortMembers(ArchiveState& s, SortKey key, int keepRow);

// The archiver's recommendation: the list of files given on its command line is recommended once;
// ".\QMTBACK.INI" keeps the last one under [QMTBackup] LastWarning. Shows the message and notes
// the list; false when there was nothing to recommend.
bool recommendBackup(const std::string& fileList);

}  // namespace ov::backup
