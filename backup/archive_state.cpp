#include "backup/archive_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "backup/zip_error_text.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/ui/host.h"

namespace ov::backup {

ArchiveState Archive;

namespace {

std::string clip(std::string_view s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

void zeroCounters(ArchiveState& s) {
  s.S_ZIPMEMBERS = 0;
  s.S_OSIZE = 0;
  s.S_CSIZE = 0;
  s.S_CRATIO = 0;
  s.SELECTEDFILES = 0;
  s.SELECTEDBYTES = 0;
}

}  // namespace

void ArchiveInit(ArchiveState& s, uint16_t release) {
  s = ArchiveState{};
  s.INTERNALCLASSRELEASE = release;
  s.DLL_UNZIP_VERSION = zip::LSUZ_VER();
  s.DLL_ZIP_VERSION = zip::LSZIP_VER();
}

void ArchiveKill(ArchiveState& s) {
  s.LSZQ.clear();
  s.LSZQ.shrink_to_fit();
}

std::string NewArchive(const ArchiveState& s) {
  std::string file = "*.ZIP";
  if (!ui::FILEDIALOG("New ZIP archive", file, "ZIP archives|*.ZIP",
                      ui::FILE_::Save | ui::FILE_::KeepDir | ui::FILE_::LongName))
    return s.ZIPARCHIVENAME;
  if (rt::splitPath(file).extension.empty()) file += ".ZIP";
  if (zip::LSZIP_REMOVEARCHIVE(file) == 0)
    ui::MESSAGE("The archive " + file + " cannot be replaced.", "Error", ui::Icon::Exclamation);
  return file;
}

std::string OpenArchive(const ArchiveState& s) {
  std::string file = "*.ZIP";
  if (!ui::FILEDIALOG("Open ZIP archive", file, "ZIP archives|*.ZIP|SFX archives|*.EXE",
                      ui::FILE_::KeepDir | ui::FILE_::LongName))
    return s.ZIPARCHIVENAME;
  return file;
}

void CloseArchive(ArchiveState& s) {
  s.LSZQ.clear();
  zeroCounters(s);
  s.ZIPWILDCARD.clear();
  s.ZIPPASSWORD.clear();
  s.ZIPARCHIVENAME.clear();
  s.ARCHIVECOMMENT.clear();
}

int32_t dosDateToDate(uint16_t dosDate) {
  return rt::DATE((dosDate >> 5) & 0x0F, dosDate & 0x1F, ((dosDate >> 9) & 0x7F) + 1980);
}

int32_t dosTimeToTime(uint16_t dosTime) {
  // Bits 0-4 count two-second units.
  return ((dosTime >> 11) & 0x1F) * 360000 + ((dosTime >> 5) & 0x3F) * 6000 + (dosTime & 0x1F) * 200 + 1;
}

std::string methodName(uint16_t method, uint16_t deflateVariant) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2: return "Reduced1";
    case 3: return "Reduced2";
    case 4: return "Reduced3";
    case 5: return "Reduced4";
    case 6: return "Imploded";
    case 7: return "Tokenized";
    case 8:
      switch (deflateVariant) {
        case 0: return "DeflatedN";
        case 2: return "DeflatedX";
        case 4: return "DeflatedF";
        case 6: return "DeflatedS";
        default: return "";
      }
    default: return "Undefined";
  }
}

std::string attributeText(uint32_t a) {
  std::string t(7, ' ');
  if (a & 0x01) t[0] = 'r';
  if (a & 0x02) t[1] = 'h';
  if (a & 0x04) t[2] = 's';
  if (a & 0x20) t[3] = 'a';
  if (a & 0x08)
    t[4] = 'V';
  else if (a & 0x10)
    t[4] = 'D';
  if (a & 0x4000) t[5] = '+';
  return t;
}

double archiveRatio(uint64_t original, uint64_t compressed) {
  if (original == 0) return 0;
  double q = (1.0 - static_cast<double>(compressed) / static_cast<double>(original)) * 100.0;
  return std::round(q * 100.0) / 100.0;
}

MemberRow makeRow(const zip::MemberRecord& r) {
  MemberRow row;
  row.index = r.index;
  row.name = r.name;
  row.date = dosDateToDate(r.dosDate);
  row.time = dosTimeToTime(r.dosTime);
  row.size = r.size;
  row.ratio = r.ratio;
  row.packed = r.packed;
  row.method = methodName(r.method, r.deflateVariant);
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08x", r.crc);
  row.crc = crc;
  row.attributes = attributeText(r.attributes);
  row.comment = r.comment.substr(0, 127);
  row.extra = r.extra;
  return row;
}

bool DisplayArchive(ArchiveState& s) {
  if (clip(s.ZIPARCHIVENAME).empty()) return false;
  s.LSZQ.clear();
  zeroCounters(s);
  if (zip::LSUZ_ZIPNAME(clip(s.ZIPARCHIVENAME)) == 0) {
    ui::MESSAGE(ZipErrorText(zip::code::OpenArchive), "Error", ui::Icon::Exclamation);
    return false;
  }
  long r = zip::LSUZ_EXECUTE(zip::unzipaction::HasComment, 0);
  if (r < 0) {
    zip::LSUZ_RESET();
    ui::MESSAGE(ZipErrorText(r), "Error " + std::to_string(r), ui::Icon::Exclamation);
    return false;
  }
  s.ARCHIVECOMMENT = r > 0 ? zip::LSUZ_GETCMT().substr(0, 1023) : std::string();
  {
    ui::BusyCursor busy;
    long n = zip::LSUZ_EXECUTE(zip::unzipaction::Count, 0);  // a long count: archives may hold more than 32,767
    if (n > 0) {
      s.S_ZIPMEMBERS = n;
      zip::MemberRecord record;
      for (long i = 0; i < n; ++i) {
        if (zip::LSUZ_GETNEXT(record) != 0) continue;
        MemberRow row = makeRow(record);
        s.S_OSIZE += row.size;
        s.S_CSIZE += row.packed;
        s.LSZQ.push_back(std::move(row));
      }
      s.S_CRATIO = archiveRatio(s.S_OSIZE, s.S_CSIZE);
    } else if (n < 0) {
      ui::MESSAGE(ZipErrorText(n), "Error " + std::to_string(n), ui::Icon::Exclamation);
    }
  }
  zip::LSUZ_RESET();
  return true;
}

ArchiveInformation Information(const ArchiveState& s) {
  ArchiveInformation info;
  info.files = s.S_ZIPMEMBERS;
  info.archiveSize = s.S_OSIZE;
  info.compression = s.S_CRATIO;
  info.compressedSize = s.S_CSIZE;
  info.comment = clip(s.ARCHIVECOMMENT).empty() ? "NO" : "YES";
  return info;
}

std::string markedMemberList(const ArchiveState& s) {
  std::string list;
  for (const MemberRow& r : s.LSZQ) {
    if (!r.mark) continue;
    if (!list.empty()) list += ' ';
    list += "\"" + clip(r.name) + "\"";
  }
  return list;
}

void markAll(ArchiveState& s) {
  for (MemberRow& r : s.LSZQ) r.mark = true;
  s.MULTISELECT = 1;
  countMarked(s);
}

void clearMarks(ArchiveState& s, int keepRow) {
  for (size_t i = 0; i < s.LSZQ.size(); ++i) s.LSZQ[i].mark = static_cast<int>(i) + 1 == keepRow;
  s.MULTISELECT = 0;
  countMarked(s);
}

void selectRow(ArchiveState& s, int row, bool ctrl, bool shift) {
  const int n = static_cast<int>(s.LSZQ.size());
  if (row < 1 || row > n) return;
  if (shift) {
    const int anchor = s.SHIFTMOUSELEFTPOS >= 1 && s.SHIFTMOUSELEFTPOS <= n ? static_cast<int>(s.SHIFTMOUSELEFTPOS) : row;
    const int from = std::min(anchor, row), to = std::max(anchor, row);
    for (int i = 1; i <= n; ++i) s.LSZQ[static_cast<size_t>(i) - 1].mark = i >= from && i <= to;
    s.SHIFTMOUSELEFTNEWPOS = row;
  } else if (ctrl) {
    s.LSZQ[static_cast<size_t>(row) - 1].mark = true;
    s.SHIFTMOUSELEFTPOS = row;
  } else {
    for (int i = 1; i <= n; ++i) s.LSZQ[static_cast<size_t>(i) - 1].mark = i == row;
    s.SHIFTMOUSELEFTPOS = row;
  }
  s.NEWSELECTPOINTER = row;
  s.MULTISELECT = 0;
  countMarked(s);
}

void sortMembers(ArchiveState& s, SortKey key, int keepRow) {
  auto by = [key](const MemberRow& a, const MemberRow& b) {
    switch (key) {
      case SortKey::Index: return a.index < b.index;
      case SortKey::Name: return a.name < b.name;
      case SortKey::Size: return a.size < b.size;
      case SortKey::Ratio: return a.ratio < b.ratio;
      case SortKey::Packed: return a.packed < b.packed;
      case SortKey::Date: return a.date != b.date ? a.date < b.date : a.time < b.time;
    }
    return false;
  };
  std::stable_sort(s.LSZQ.begin(), s.LSZQ.end(), by);
  clearMarks(s, keepRow);
}

bool recommendBackup(const std::string& fileList) {
  const std::string list = clip(fileList);
  if (list.empty()) return false;
  if (rt::GETINI("QMTBackup", "LastWarning", "", ".\\QMTBACK.INI") == list) return false;
  ui::MESSAGE("We recommend that you back up the following file(s):|" + list +
                  "||TIP:  Create a new archive (File->New Archive) and then add the above file(s) (Actions->Add).",
              "QMT Backup Assistant", ui::Icon::None, ui::BUTTON::Ok);
  if (rt::PUTINI("QMTBackup", "LastWarning", list, ".\\QMTBACK.INI") != rt::Err::None)
    ui::MESSAGE("The recommendation could not be noted in QMTBACK.INI.", "Warning", ui::Icon::Exclamation);
  return true;
}

void countMarked(ArchiveState& s) {
  s.SELECTEDFILES = 0;
  s.SELECTEDBYTES = 0;
  for (const MemberRow& r : s.LSZQ)
    if (r.mark) {
      ++s.SELECTEDFILES;
      s.SELECTEDBYTES += r.size;
    }
}

}  // namespace ov::backup
