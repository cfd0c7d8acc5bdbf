// The scripted interaction host of tests: each prompt must have been expected, in order; it gets
// the scripted answer. An unexpected prompt fails the test with its text (and is answered as a
// user closing it would: the last button, cancel, nothing chosen). Expectations left unmet when
// the host goes away fail the test too.
//
//   ScriptedHost host;                                  // installed until it goes out of scope
//   host.expectMessage("Delete this holiday", BUTTON::Yes);
//   host.expectFile("Select LOG file", {"/tmp/x/OV_EVENT.LOG"});
//
// The beep, the busy cursor and the clipboard are recorded, not passed to the desktop. Expectations
// may be added from any thread (the test driver's script thread); prompts come on the GUI thread.
#pragma once

#include <QImage>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/host.h"

namespace ov::ui::test {

class ScriptedHost : public InteractionHost {
 public:
  ScriptedHost();
  ~ScriptedHost() override;

  // A message box whose text (lines joined by "\n") or title contains `contains`.
  ScriptedHost& expectMessage(std::string contains, int answer);
  // A file dialog whose title contains `title`; no paths = cancelled.
  ScriptedHost& expectFile(std::string title, std::vector<std::string> paths);
  ScriptedHost& expectFolder(std::string title, std::optional<std::string> folder);
  ScriptedHost& expectFont(std::string title, std::optional<FontChoice> font);
  // A popup menu; the item whose text (without "&") is `item` is chosen; "" = none chosen.
  ScriptedHost& expectPopup(std::string item);
  ScriptedHost& expectAsk(std::string prompt, std::optional<std::string> answer);

  // What the program showed or did.
  std::vector<MessageRequest> messages() const;
  std::vector<PopupRequest> popups() const;
  int beeps() const;
  int busyDepth() const;
  bool pending() const;  // expectations not yet met

  int message(const MessageRequest& request) override;
  std::optional<std::vector<std::string>> fileDialog(const FileRequest& request) override;
  std::optional<std::string> folderDialog(const FolderRequest& request) override;
  std::optional<FontChoice> fontDialog(std::string_view title, const FontChoice& start) override;
  std::string popup(const PopupRequest& request) override;
  std::optional<std::string> askText(std::string_view title, std::string_view prompt,
                                     std::string_view initial) override;
  void beep(int kind) override;
  std::string clipboardText() override;
  void setClipboardText(std::string_view text) override;
  bool clipboardImage(QImage& image) override;
  void setClipboardImage(const QImage& image) override;
  void setBusy(bool busy) override;

 private:
  enum class Kind { Message, File, Folder, Font, Popup, Ask };
  struct Expect {
    Kind kind = Kind::Message;
    std::string match;
    int answer = 0;
    std::vector<std::string> paths;
    std::optional<std::string> text;
    std::optional<FontChoice> font;
  };
  static Expect make(Kind kind, std::string match, int answer = 0);
  // The next expectation if it is of `kind` and matches; else fails the test with `what`.
  std::optional<Expect> take(Kind kind, const std::string& what, const std::string& haystack);

  mutable std::mutex m_mutex;
  std::vector<Expect> m_expect;
  std::vector<MessageRequest> m_messages;
  std::vector<PopupRequest> m_popups;
  int m_beeps = 0;
  int m_busy = 0;
  std::string m_clipText;
  QImage m_clipImage;
  InteractionHost* m_previous = nullptr;
};

}  // namespace ov::ui::test
