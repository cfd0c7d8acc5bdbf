// The "File Actions" step and the "If File Exists..." test: one file operation named by a kind.
//
//   "Copy", "Move", "Rename", "Delete", "Recycle"   shell operations: several names separated by
//        ";" or "|", wildcards in the last part, whole folders; "Recycle" moves to the desktop's
//        trash. Options "/S" (with subfolders), "/D" (only files newer than their copies) and
//        "/R" (rename on collision). A copy with "/D", or with "/S" of a source without "*.*",
//        compares the two trees file by file.
//   "Make Directory", "Remove Directory"            1 when the folder exists (is gone) afterwards
//   "Get File Date", "Get File Time", "Get File Size"   of the first file matching the source
//   "File Exists", "If File Exists"                 1 when a file matches the source
//   "Log Windows"                                   lists every window into the file named by source
//
// Source and destination are variable-expanded first. The result is also published as a variable
// (FileCopy, FileMove, DirCreate, FileDate, ...), and Errorcode holds the runtime's error code.
// Status lines go to ScriptServices::fileActionStatus. Frame (GUI) thread; the copying itself
// runs on a worker thread while the GUI goes on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"

namespace ov::scheduler {

// The result: the shell's code for the shell kinds (0 = success), -1 for a tree copy that found no
// source file, 1/0 for the folder kinds and "File Exists", the value for the "Get" kinds, the
// number of windows for "Log Windows", 0 for an unknown kind.
int32_t FileActions(std::string_view kind, std::string_view source, std::string_view destination,
                    std::string_view option1, std::string_view option2);

// One entry of a directory listing.
struct FileListEntry {
  std::string name;  // full path
  int32_t date = 0;
  int32_t time = 0;
  int64_t size = 0;
  uint8_t attributes = 0;
};

// Every file matching the file pattern's last part ("*.*" when it names a folder or is blank),
// hidden ones included, in the folder and, `withSubfolders`, in every folder below; sorted by
// name. Accepts "\" and "/" between folders.
std::vector<FileListEntry> ListDirectoryTree(std::string_view pattern, bool withSubfolders);

// Makes the folder and the folders above it; 1 when it exists afterwards, 0 for a blank path.
int32_t CreateDirectoryPath(std::string_view path);
// 1 when the folder is gone afterwards.
int32_t RemoveDirectoryPath(std::string_view path);

// The first matching file's date (day number), time or size; 0 when none matches.
int32_t GetFileDate(std::string_view path);
int32_t GetFileTime(std::string_view path);
int64_t GetFileSize(std::string_view path);

// Writes one fixed-width line per window (title 40, handle 12, then for child windows child text
// 40, class 20, handle 12) to `fileName`; the number of windows listed.
int32_t ListWindowsForLog(std::string_view fileName);

}  // namespace ov::scheduler
