// The archiver's operations that change or unpack the open archive: add (with the zip
// preferences, a file comment and a password), delete, test, extract and the archive comment.
// Their dialogs live in the windows; these functions take what the dialogs decided.
//
// A library call that works for a while goes through a CallRunner: the windows run it on a worker
// behind a progress window, a test runs it directly. The runner gets the call and returns its
// result.
#pragma once

#include <functional>
#include <string>

#include "backup/archive_state.h"

namespace ov::backup {

using CallRunner = std::function<long(const std::function<long()>& call)>;
// Runs the call on the caller's thread.
long runDirectly(const std::function<long()>& call);

// The add preferences as the library takes them.
long compressionLevel(const ArchiveState& s);     // Fast 1, Normal 6, Extra 9, Store 0
long addAction(const ArchiveState& s);            // 2, 4 (freshen) or 3 (update)
// Option bits of an add from the preferences, without the file-comment and password bits (they
// need their dialogs). Asks the library to take the temporary folder when one is to be used.
unsigned long addOptions(const ArchiveState& s);

// FILESPEC from a file dialog's answer ("folder|name1|name2" or one path): quoted paths joined by
// a blank.
std::string fileSpecFromDialog(const std::string& chosen);

// Add of FILESPEC. The file-comment and password dialogs ran before, and their confirmation is
// given here (the library has their texts already). False when the library was not called.
bool AddFiles(ArchiveState& s, bool fileCommentConfirmed, bool passwordConfirmed,
              const CallRunner& runner = runDirectly);

// Delete, Test, Extract of ZIPWILDCARD (when set) or else of the marked members. Nothing happens
// on an archive without members.
bool DeleteMembers(ArchiveState& s, const CallRunner& runner = runDirectly);
bool TestMembers(ArchiveState& s, const CallRunner& runner = runDirectly);
bool ExtractMembers(ArchiveState& s, const CallRunner& runner = runDirectly, int currentRow = 0);

// The archive comment: written at once, or kept for the next add.
bool SaveCommentNow(ArchiveState& s);
void SaveCommentLater(ArchiveState& s);

// The password dialog's check of its two entries.
enum class PasswordCheck { Empty, Different, Accepted };
PasswordCheck checkPasswords(const std::string& first, const std::string& second);

// What a selection dialog (delete, test, extract) shows for each choice.
enum class SelectionChoice { All = 1, Selected = 2, Wildcard = 3 };
struct SelectionTotals {
  long files = 0;
  uint64_t bytes = 0;
};
SelectionTotals selectionTotals(const ArchiveState& s, SelectionChoice choice);
SelectionChoice initialSelection(const ArchiveState& s);
// Confirming the dialog: ZIPWILDCARD "*" for All, the pattern for Wildcard, unchanged for Selected.
void confirmSelection(ArchiveState& s, SelectionChoice choice, const std::string& pattern);

}  // namespace ov::backup
