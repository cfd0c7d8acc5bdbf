// The mail receiver's run: its options (command line, then .\OV_POP.INI), the log .\OV_POP.LOG,
// and PopReceiver, the POP3 client with the receiver's decisions (size limits, filters, delete)
// and saving of texts, HTML and attachments.
//
// Window-free: the window (main_window.h) shows the status texts and the progress that
// PopReceiver reports through its hooks, and ends the run when it asks to close.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "popmail/net_email_receive.h"

namespace ov::pop {

inline constexpr const char* kPopIni = ".\\OV_POP.INI";
inline constexpr const char* kPopLog = ".\\OV_POP.LOG";

// The value of option `name`: the command line's name=value (any case; quotes already gone) when
// it is not blank, else key `name` of section "Pop" in .\OV_POP.INI, else "". Trailing blanks
// removed, at most 1024 characters.
std::string ReadPopOption(std::string_view name);

// A folder option as the receiver uses it: "\" read as "/", and a closing "/" unless it is empty.
std::string folderOption(std::string_view value);

struct PopOptions {
  std::string Server;
  std::uint16_t Port = 110;
  std::string User;
  std::string Password;   // clear text (a stored "!ENC" password is unscrambled)
  std::string SaveText;   // folders, each with its closing "/", or empty
  std::string SaveHTML;
  std::string SaveAttach;
  bool Delete = false;
  std::string Message, Subject, From, ReplyTo, To, CC, MinDate, MaxDate, InAttachment, IsHtml;
  unsigned long MinSize = 0;
  unsigned long MaxSize = 0;
  int TimeOut = 60;       // seconds a server may stay silent while an answer is due
  bool nothingToSave() const { return SaveText.empty() && SaveHTML.empty() && SaveAttach.empty() && Message.empty(); }
};

// Reads every option; false (with `missing` naming them) when the server, port or user is missing,
// or the password file that PASSWORDFILE names cannot be read (`missing` then says why).
bool readPopOptions(PopOptions& options, std::string& missing);

// The filter language: terms joined by "&&" and "||", read strictly from left to right; "~~" in
// front of a term negates it; "REGEX:" makes the rest of a term an ECMAScript regular expression.
// Both the text and the filter are compared in upper case; an empty filter or text always passes;
// an invalid regular expression matches nothing.
bool MatchFilter(std::string_view text, std::string_view filter);

// Characters a file name cannot hold become readable stand-ins ("/" "{S}", ":" ";", "?" "{Q}", ...).
std::string MakeSafeName(std::string_view text);
// The name (without extension) a message is saved under: its safe subject and a hash of its
// whole Message-ID in 8 hexadecimal digits.
std::string MessageFileName(std::string_view subject, std::string_view messageId);
// `value` in upper-case hexadecimal, zero-padded to 8 digits with `eight`, else to `digits`.
std::string HexString(unsigned long value, int digits, bool eight);
// Every `from` in `target` replaced by `to`; an empty `from` in a blank target gives `to`.
void ReplaceText(std::string& target, std::string_view from, std::string_view to, bool ignoreCase);

class PopReceiver : public NetEmailReceive {
 public:
  explicit PopReceiver(PopOptions options);

  // The window's hooks: a status text, the progress bar, a request to end the run.
  std::function<void(const std::string&)> onStatus;
  std::function<void(bool visible, long value)> onProgress;
  std::function<void()> onClose;

  // Applies the options and starts the fetch (Ask(11)).
  void StartFetch();

  void ErrorTrap(std::string_view text, std::string_view procedure) override;  // LogPopError
  void ConnectionClosed() override;
  void Decide(int when) override;                     // DecideMessageAction
  void Done(long command, bool finished) override;    // SaveReceivedMessage
  void ShowProgress(bool visible, long value) override;
  void Kill() override;
  // Handles the packet, then writes the files of messages kept on the server (see Done).
  void Process() override;

  bool failed() const { return m_failed; }
  bool finished() const { return m_finished; }
  const PopOptions& options() const { return m_options; }

 private:
  void status(const std::string& text);
  void requestClose();
  // Writes the last saved file's folder and name ("Path", "File") to the log.
  void flushLog();
  // Writes one text or HTML file into `folder` under a name no other file has; false on failure.
  bool SaveMessageFile(const std::string& folder, std::string_view text, std::string name);
  // Writes the files that Done left for later, in the order they came.
  void writeLaterFiles();

  // A message kept on the server is written once the packet that completed it has been handled,
  // by then the next command has gone out and the server works while the file is written. Its
  // name is chosen when it is written, in the same order, so the names are those of writing at
  // once. A message to be deleted is written at once: its deletion waits for the outcome.
  struct LaterFile {
    std::string folder, text, name;
  };
  std::vector<LaterFile> m_later;
  PopOptions m_options;
  bool m_firstProgress = false;
  bool m_failed = false;
  bool m_finished = false;
  bool m_closeRequested = false;
  std::string m_lastPath, m_lastFile;  // the last file saved, not yet in the log
};

}  // namespace ov::pop
