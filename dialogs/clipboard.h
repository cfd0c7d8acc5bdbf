// The clipboard history: the list of captured clipboard texts, the entry form and the picker of
// clipboard categories.
//
//   BrowseClipboard          the single-instance list of CLIPBOARD in four views (by date, by
//                            contents, by category, kept entries only); copies an entry back to
//                            the clipboard, toggles its keep flag, and runs the links and programs
//                            its text names; Query builds a filter with the query wizard over
//                            the fields of clipboardQueryFields(), Reset removes it.
//   UpdateClipboard          the form on the CLI buffer, requests and answers as every record form;
//                            OK stores the entry's search key (GETHASH of its text), so a text
//                            already stored is refused by the key as a duplicate.
//   SelectClipboardCategory  the picker of CLIPBOARDCATEGORIES; "&Select" leaves the chosen record
//                            in the CLC buffer and answers completed.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/window_manager.h"

namespace ov::dialogs {

// What Run starts for an entry: a link (web address or mail address), opened by the desktop, or a
// program, shortcut or internet shortcut file, started by its path. Never a command line: nothing
// after the path is passed, and nothing goes through a shell.
struct ClipboardRunTarget {
  enum Kind { Link, Program } kind = Link;
  std::string text;
  friend bool operator==(const ClipboardRunTarget&, const ClipboardRunTarget&) = default;
};

// The targets in `contents`, in the order Run starts them: the first "http:" and the first
// "mailto:" link (up to 255 characters, cut at the first blank, line break or double quote), the
// first path ending in ".exe", ".lnk" and ".url" (back to the opening double quote, or to the blank
// before it when the text has no quote), and for a text beginning with "www" the address
// "http://" + its first word. Suffixes and link prefixes are found in any case.
std::vector<ClipboardRunTarget> clipboardRunTargets(std::string_view contents);

// True when the list shows the entry in the link colours: its text contains "http:", "mailto:",
// ".exe" or ".lnk" in any case.
bool clipboardShowsLink(std::string_view contents);

// Starts one target: 0 when it started, else the error code of the failed start. By default a
// program is started and a link opened through rt::shellOpen; tests install a recording fake.
using ClipboardStarter = std::function<int(const ClipboardRunTarget& target)>;
ClipboardStarter& clipboardStarter();

// The field table the list hands the query wizard (records ended by 0xAB, fields by 0xA6). Tests
// may replace it to see a table the wizard cannot load.
std::string& clipboardQueryFields();

std::unique_ptr<ui::WindowManager> makeBrowseClipboard();
// Runs the list modally on the current thread; its response.
int BrowseClipboard();
// Runs the form modally on the current thread; its response.
int UpdateClipboard();
// Runs the picker modally on the current thread (request in GLOBALREQUEST); its response.
int SelectClipboardCategory();

}  // namespace ov::dialogs
