// Copy, move, rename and delete with the shell's rules: several names at once, wildcards in the
// last part of a name, whole folders, the desktop's trash for an undoable delete.
//
// Names take "/" or "\" as separators; relative names start in the current folder; a name that
// does not exist as written is looked up ignoring case. The operation stops at the first failure
// and returns its Windows error code (what was done before it stays done). Blocking: run it on a
// worker thread where the GUI must go on. Any thread.
#pragma once

#include <string>
#include <vector>

namespace ov::os {

enum class ShellOp { Move = 1, Copy = 2, Delete = 3, Rename = 4 };

// Flags of the operation (the shell's FOF_ values).
namespace fof {
constexpr unsigned kMultiDestFiles = 0x1;     // one target per source instead of one folder
constexpr unsigned kRenameOnCollision = 0x8;  // "Copy of NAME" instead of replacing a target
constexpr unsigned kNoConfirmation = 0x10;    // replace existing targets (there is no one to ask)
constexpr unsigned kAllowUndo = 0x40;         // a delete goes to the trash
constexpr unsigned kFilesOnly = 0x80;         // wildcards match files only, never folders
constexpr unsigned kNoConfirmMkdir = 0x200;   // make a missing target folder
constexpr unsigned kNoErrorUi = 0x400;        // (no window is ever shown here)
}  // namespace fof

// `to` is ignored for Delete. Copy and Move put the sources into the folder `to[0]` (made when
// missing, with kNoConfirmMkdir); a single source that is not a wildcard is copied or moved to
// the name `to[0]` unless that is an existing folder or ends with a separator. Rename takes one
// source and its new name (in the source's folder when the name has no folder part).
// Without kNoConfirmation an existing target is not replaced (kAlreadyExists); without
// kNoConfirmMkdir a missing target folder is kPathNotFound. A wildcard that matches nothing
// does nothing. Returns winerr::kSuccess or the code of the first failure.
int shellFileOperation(ShellOp op, const std::vector<std::string>& from, const std::vector<std::string>& to,
                       unsigned flags);

}  // namespace ov::os
