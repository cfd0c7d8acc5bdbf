// The interaction host: everything modal or outside the windows goes through it (message boxes,
// file, folder and font dialogs, popup menus, a line of text to ask for, the beep, the clipboard,
// the busy cursor). The program uses the Qt host; tests install a scripted host that expects each
// prompt and answers it, and fails the test with the prompt's text when one comes unexpected.
//
// Threading: GUI thread only. A prompt counts in the modal depth of the current logical thread
// while it is open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QImage;

namespace ov::ui {

// Buttons of a message box; the answer is one of them.
namespace BUTTON {
constexpr int Ok = 1;
constexpr int Yes = 2;
constexpr int No = 4;
constexpr int Abort = 8;
constexpr int Retry = 16;
constexpr int Ignore = 32;
constexpr int Cancel = 64;
constexpr int Help = 128;
}  // namespace BUTTON

enum class Icon { None, Information, Exclamation, Question, Hand };

// Flags of FILEDIALOG.
namespace FILE_ {
constexpr int Save = 1;
constexpr int KeepDir = 2;
constexpr int NoError = 4;
constexpr int Multi = 8;
constexpr int LongName = 16;
constexpr int Directory = 32;
}  // namespace FILE_

struct MessageRequest {
  std::string text;    // lines separated by "\n" ("|" in MESSAGE's text is a line break)
  std::string title;
  Icon icon = Icon::None;
  int buttons = BUTTON::Ok;              // an OR of BUTTON values, unless custom buttons are given
  std::vector<std::string> custom;       // custom button captions ("&Retry"); answer = position
  int defaultButton = 0;
};

struct FileRequest {
  std::string title;
  std::string file;      // the starting name or path
  std::vector<std::pair<std::string, std::string>> filters;  // description, patterns ("*.txt *.log")
  bool save = false;
  bool multi = false;
};

struct FolderRequest {
  std::string title;
  std::string start;
};

struct FontChoice {
  std::string face;
  int size = 0;
  int32_t color = 0;     // COLORREF 0xBBGGRR
  int style = 400;       // weight + 4096 italic + 8192 underline + 16384 strike-out
};

struct PopupItem {
  std::string id;        // what the popup answers when the item is chosen
  std::string text;      // "&" marks the access letter
  bool separator = false;
  bool enabled = true;
  bool checkable = false;
  bool checked = false;
  std::vector<PopupItem> children;  // a submenu when not empty
};

struct PopupRequest {
  std::vector<PopupItem> items;
  int x = -1, y = -1;    // screen pixels; -1 = at the mouse
};

class InteractionHost {
 public:
  virtual ~InteractionHost() = default;
  // The button chosen: a BUTTON value, or the position (1-based) of a custom button.
  virtual int message(const MessageRequest& request) = 0;
  // Chosen paths, or nothing when cancelled.
  virtual std::optional<std::vector<std::string>> fileDialog(const FileRequest& request) = 0;
  virtual std::optional<std::string> folderDialog(const FolderRequest& request) = 0;
  virtual std::optional<FontChoice> fontDialog(std::string_view title, const FontChoice& start) = 0;
  // The id of the chosen item, "" when none was chosen.
  virtual std::string popup(const PopupRequest& request) = 0;
  virtual std::optional<std::string> askText(std::string_view title, std::string_view prompt,
                                             std::string_view initial) = 0;
  virtual void beep(int kind) = 0;
  virtual std::string clipboardText() = 0;
  virtual void setClipboardText(std::string_view text) = 0;
  // False when the clipboard holds no image.
  virtual bool clipboardImage(QImage& image) = 0;
  virtual void setClipboardImage(const QImage& image) = 0;
  virtual void setBusy(bool busy) = 0;
};

// The host in use; the Qt host unless a test installed another.
InteractionHost& host();
// Installs a host (nullptr: back to the Qt host). The caller keeps ownership.
void setHost(InteractionHost* h);
// The Qt host of the program.
InteractionHost& qtHost();

// The runtime's statements over the host.

// MESSAGE(text, title, icon, buttons, default): "|" in the text breaks the line.
int MESSAGE(std::string_view text, std::string_view title = {}, Icon icon = Icon::None,
            int buttons = BUTTON::Ok, int defaultButton = 0);
// With custom buttons "&Retry|&Cancel": answers the position of the chosen one.
int MESSAGE(std::string_view text, std::string_view title, Icon icon, std::string_view buttons,
            int defaultButton = 0);

// FILEDIALOG(title, file, filter, flags). The filter is "Description|patterns|..." with patterns
// separated by ";". Answers false when cancelled (file unchanged). With FILE_::Multi and several
// files chosen, file becomes "folder|name1|name2..."; with one, its full path. FILE_::Directory
// asks for a folder.
bool FILEDIALOG(std::string_view title, std::string& file, std::string_view filter = {}, int flags = 0);

// FONTDIALOG: false when cancelled (values unchanged).
bool FONTDIALOG(std::string_view title, std::string& face, int& size, int32_t& color, int& style);

// POPUP("a|b|-|c{d|e}"): the position of the chosen item counting every item that can be chosen
// in the order written (separators and submenu titles do not count), 0 when none. "~" before an
// item disables it, "+" checks it, "-" alone is a separator, "{...}" after an item is its submenu.
int POPUP(std::string_view menu, int x = -1, int y = -1);

void BEEP(int kind = 0);
std::string CLIPBOARD();
void SETCLIPBOARD(std::string_view text);

// Shows the busy cursor while it lives (nests).
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace ov::ui
