// An interaction host that records every message box (answered with OK) and popup menu (answered
// with the next scripted item text, none when the script is empty), for tests that look at what
// was shown afterwards. Installed while it lives.
#pragma once

#include <QImage>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/host.h"

namespace ov::scheduler::testing {

class RecordingHost : public ui::InteractionHost {
 public:
  RecordingHost() { ui::setHost(this); }
  ~RecordingHost() override { ui::setHost(nullptr); }

  std::vector<ui::MessageRequest> messages;
  std::vector<std::vector<std::string>> popups;  // the item texts of each popup shown
  std::deque<std::string> popupAnswers;          // item texts to choose, in order
  int beeps = 0;

  std::vector<std::string> titles() const {
    std::vector<std::string> out;
    for (const ui::MessageRequest& m : messages) out.push_back(m.title);
    return out;
  }

  int message(const ui::MessageRequest& request) override {
    messages.push_back(request);
    return ui::BUTTON::Ok;
  }
  std::string popup(const ui::PopupRequest& request) override {
    std::vector<std::string> texts;
    for (const ui::PopupItem& item : request.items) texts.push_back(item.separator ? "-" : item.text);
    popups.push_back(texts);
    if (popupAnswers.empty()) return {};
    const std::string want = popupAnswers.front();
    popupAnswers.pop_front();
    for (const ui::PopupItem& item : request.items)
      if (!item.separator && item.text == want) return item.id;
    return {};
  }
  std::optional<std::vector<std::string>> fileDialog(const ui::FileRequest&) override { return std::nullopt; }
  std::optional<std::string> folderDialog(const ui::FolderRequest&) override { return std::nullopt; }
  std::optional<ui::FontChoice> fontDialog(std::string_view, const ui::FontChoice&) override { return std::nullopt; }
  std::optional<std::string> askText(std::string_view, std::string_view, std::string_view) override {
    return std::nullopt;
  }
  void beep(int) override { ++beeps; }
  std::string clipboardText() override { return {}; }
  void setClipboardText(std::string_view) override {}
  bool clipboardImage(QImage&) override { return false; }
  void setClipboardImage(const QImage&) override {}
  void setBusy(bool) override {}
};

}  // namespace ov::scheduler::testing
