#include "backup/archive_operations.h"

#include "backup/zip_error_text.h"
#include "platform/ui/host.h"

namespace ov::backup {
namespace {

std::string clip(std::string_view s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

void showResult(long r) { ui::MESSAGE(ZipErrorText(r), "Error " + std::to_string(r), ui::Icon::Exclamation); }

void wildcardError(bool plainError = false) {
  if (plainError)
    ui::MESSAGE("Wildcard specification error", "Error", ui::Icon::Exclamation);
  else
    ui::MESSAGE("Wildcard specification error.", "Application Error", ui::Icon::Exclamation);
}

unsigned long tempOption(const ArchiveState& s) {
  if (s.USETEMPDIR && !clip(s.TEMPDIR).empty() && zip::LSZIP_SETTEMPATH(clip(s.TEMPDIR)) != 0)
    return zip::zipopt::UseTempPath;
  return 0;
}

void afterUnzip(ArchiveState& s, int currentRow) {
  s.FILESPEC.clear();
  s.ZIPWILDCARD.clear();
  zip::LSUZ_RESET();
  clearMarks(s, currentRow);
  s.SHIFTMOUSELEFTPOS = s.SHIFTMOUSELEFTNEWPOS = s.SHIFTMOUSELEFTOLDPOS = 0;
  s.NEWSELECTPOINTER = s.OLDSELECTPOINTER = s.LASTACTION = s.BYVAR = 0;
  s.MULTISELECT = 0;
}

bool unzipMembers(ArchiveState& s, long action, const CallRunner& runner, int currentRow) {
  if (s.S_ZIPMEMBERS <= 0 || s.LSZQ.empty()) return false;
  const bool extract = action == zip::unzipaction::Extract;
  const std::string archive = clip(s.ZIPARCHIVENAME);
  const std::string pattern = clip(s.ZIPWILDCARD);
  if (!pattern.empty()) {
    if (zip::LSUZ_INCLUDE(pattern) == 0) {
      wildcardError(extract);
      afterUnzip(s, currentRow);
      return false;
    }
    if (extract) zip::LSUZ_EXTRACTTO(clip(s.ZIPDESTDIR));
    zip::LSUZ_ZIPNAME(archive);
  } else {
    zip::LSUZ_ZIPNAME(archive);
    if (extract) zip::LSUZ_EXTRACTTO(clip(s.ZIPDESTDIR));
    if (zip::LSUZ_INCLUDE(markedMemberList(s)) == 0) {
      wildcardError();
      afterUnzip(s, currentRow);
      return false;
    }
  }
  if (!clip(s.ZIPPASSWORD).empty()) zip::LSUZ_PASSWORD(clip(s.ZIPPASSWORD));
  unsigned long options = 0;
  if (!s.USEFOLDERNAMES) options |= zip::unzipopt::NoPaths;
  if (extract && s.OVERWRITEEXISTINGFILES) options |= zip::unzipopt::Overwrite;
  long r = runner([action, options] { return zip::LSUZ_EXECUTE(action, options); });
  if (r < 0)
    showResult(r);
  else if (!extract)
    ui::MESSAGE("No errors were found in the tested files.", "Test", ui::Icon::Information);
  afterUnzip(s, currentRow);
  return true;
}

}  // namespace

long runDirectly(const std::function<long()>& call) { return call(); }

long compressionLevel(const ArchiveState& s) {
  switch (s.COMPRESSIONLEVELSWITCH) {
    case 1: return 1;
    case 3: return 9;
    case 4: return 0;
    default: return 6;
  }
}

long addAction(const ArchiveState& s) {
  switch (s.ACTION) {
    case 2: return zip::zipaction::Freshen;
    case 3: return zip::zipaction::Update;
    default: return zip::zipaction::Add;
  }
}

unsigned long addOptions(const ArchiveState& s) {
  unsigned long o = 0;
  if (s.PATHINFORMATIONSWITCH == 3) o |= zip::zipopt::FullPath;
  if (s.RECURSESUBDIRECTORIESSWITCH) o |= zip::zipopt::Recurse;
  if (s.SYSTEMANDHIDDEN) o |= zip::zipopt::SystemHidden;
  if (s.MOVEFILES) o |= zip::zipopt::MoveFiles;
  if (s.LATESTDATE) o |= zip::zipopt::LatestDate;
  if (s.CREATEMULTIPLEVOLUME) o |= zip::zipopt::MultiVolume;
  if (s.ADDARCHIVECOMMENT) o |= zip::zipopt::ArchiveComment;
  o |= tempOption(s);
  return o;
}

std::string fileSpecFromDialog(const std::string& chosen) {
  auto quote = [](const std::string& p) { return "\"" + p + "\""; };
  size_t bar = chosen.find('|');
  if (bar == std::string::npos) return chosen.empty() ? std::string() : quote(chosen);
  std::string folder = chosen.substr(0, bar);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::string spec;
  size_t pos = bar + 1;
  while (pos <= chosen.size()) {
    size_t next = chosen.find('|', pos);
    if (next == std::string::npos) next = chosen.size();
    std::string name = chosen.substr(pos, next - pos);
    if (!name.empty()) spec += (spec.empty() ? "" : " ") + quote(folder + name);
    pos = next + 1;
  }
  return spec;
}

bool AddFiles(ArchiveState& s, bool fileCommentConfirmed, bool passwordConfirmed, const CallRunner& runner) {
  if (clip(s.FILESPEC).empty()) return false;
  const long action = addAction(s), level = compressionLevel(s);
  unsigned long options = addOptions(s);
  if (s.ADDFILECOMMENT && fileCommentConfirmed) options |= zip::zipopt::FileComment;
  if (s.ENCRYPTDATA && passwordConfirmed) options |= zip::zipopt::Encrypt;
  auto done = [&s] {
    s.FILESPEC.clear();
    s.ZIPWILDCARD.clear();
  };
  if (zip::LSZIP_INCLUDE(s.FILESPEC) == 0) {
    wildcardError();
    done();
    return false;
  }
  if (!s.BEFOREDATE.empty()) {
    long accepted = zip::LSZIP_SETDATE(s.BEFOREDATE, s.AFTERDATE);
    s.BEFOREDATE.clear();  // the limit serves one add
    if (accepted == 0 &&
        ui::MESSAGE("Date specification error. Process anyway?", "Warning", ui::Icon::Question,
                    ui::BUTTON::Yes | ui::BUTTON::No) == ui::BUTTON::No) {
      done();
      return false;
    }
  }
  const std::string archive = clip(s.ZIPARCHIVENAME);
  long r = runner([&] { return zip::LSZIP_EXECUTE(archive, action, level, options); });
  if (r != 0)
    showResult(r);
  else
    DisplayArchive(s);
  done();
  return true;
}

bool DeleteMembers(ArchiveState& s, const CallRunner& runner) {
  if (s.S_ZIPMEMBERS <= 0 || s.LSZQ.empty()) return false;
  const unsigned long options = tempOption(s);
  s.FILESPEC = !clip(s.ZIPWILDCARD).empty() ? clip(s.ZIPWILDCARD) : markedMemberList(s);
  bool called = false;
  if (zip::LSZIP_INCLUDE(s.FILESPEC) == 0) {
    wildcardError();
  } else {
    const std::string archive = clip(s.ZIPARCHIVENAME);
    long r = runner([&] { return zip::LSZIP_EXECUTE(archive, zip::zipaction::Delete, 0, options); });
    if (r != 0) showResult(r);
    called = true;
  }
  s.FILESPEC.clear();
  s.ZIPWILDCARD.clear();
  DisplayArchive(s);
  return called;
}

bool TestMembers(ArchiveState& s, const CallRunner& runner) {
  return unzipMembers(s, zip::unzipaction::Test, runner, 0);
}

bool ExtractMembers(ArchiveState& s, const CallRunner& runner, int currentRow) {
  return unzipMembers(s, zip::unzipaction::Extract, runner, currentRow);
}

bool SaveCommentNow(ArchiveState& s) {
  if (clip(s.ZIPARCHIVENAME).empty()) return false;
  zip::LSZIP_SETARCHIVECMT(clip(s.ARCHIVECOMMENT));
  long r = zip::LSZIP_EXECUTE(clip(s.ZIPARCHIVENAME), zip::zipaction::Comment, 0, zip::zipopt::ArchiveComment);
  if (r != 0) {
    showResult(r);
    return false;
  }
  return true;
}

void SaveCommentLater(ArchiveState& s) {
  s.ADDARCHIVECOMMENT = true;
  zip::LSZIP_SETARCHIVECMT(clip(s.ARCHIVECOMMENT));
}

PasswordCheck checkPasswords(const std::string& first, const std::string& second) {
  if (first.empty()) return PasswordCheck::Empty;
  if (first != second) return PasswordCheck::Different;
  return PasswordCheck::Accepted;
}

SelectionTotals selectionTotals(const ArchiveState& s, SelectionChoice choice) {
  switch (choice) {
    case SelectionChoice::All: return {s.S_ZIPMEMBERS, s.S_OSIZE};
    case SelectionChoice::Selected: {
      SelectionTotals t;
      for (const MemberRow& r : s.LSZQ)
        if (r.mark) {
          ++t.files;
          t.bytes += r.size;
        }
      return t;
    }
    case SelectionChoice::Wildcard: return {};
  }
  return {};
}

SelectionChoice initialSelection(const ArchiveState& s) {
  for (const MemberRow& r : s.LSZQ)
    if (r.mark) return SelectionChoice::Selected;
  return SelectionChoice::All;
}

void confirmSelection(ArchiveState& s, SelectionChoice choice, const std::string& pattern) {
  if (choice == SelectionChoice::All)
    s.ZIPWILDCARD = "*";
  else if (choice == SelectionChoice::Wildcard)
    s.ZIPWILDCARD = clip(pattern);
}

}  // namespace ov::backup
