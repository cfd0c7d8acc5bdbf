// Fuzzes the expansion of script texts and the key-token and condition parsers: any text must
// expand within the work space and end, whatever its brackets, offsets and nested names.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <QImage>

#include "platform/rt/date_time.h"
#include "platform/ui/host.h"
#include "scheduler/conditions.h"
#include "scheduler/keystrokes.h"
#include "scheduler/variables.h"

using namespace ov::scheduler;

namespace {

// [CLIPBOARD] without a desktop: a host that keeps the text itself.
class Host : public ov::ui::InteractionHost {
 public:
  int message(const ov::ui::MessageRequest&) override { return ov::ui::BUTTON::Ok; }
  std::optional<std::vector<std::string>> fileDialog(const ov::ui::FileRequest&) override { return {}; }
  std::optional<std::string> folderDialog(const ov::ui::FolderRequest&) override { return {}; }
  std::optional<ov::ui::FontChoice> fontDialog(std::string_view, const ov::ui::FontChoice&) override { return {}; }
  std::string popup(const ov::ui::PopupRequest&) override { return {}; }
  std::optional<std::string> askText(std::string_view, std::string_view, std::string_view) override { return {}; }
  void beep(int) override {}
  std::string clipboardText() override { return m_clip; }
  void setClipboardText(std::string_view text) override { m_clip = text; }
  bool clipboardImage(QImage&) override { return false; }
  void setClipboardImage(const QImage&) override {}
  void setBusy(bool) override {}

 private:
  std::string m_clip = "clip[X]";
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Host host;
  static const bool once = [] {
    ov::ui::setHost(&host);
    ov::rt::setTestClock(ov::rt::DATE(3, 15, 2026), 4320001);
    SetVariable("10", "X");
    SetVariable("a[X]b", "NESTED");
    return true;
  }();
  (void)once;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first line is a text to expand; the rest, split at the next "\n", a key token and a
  // condition's right side.
  const size_t nl = input.find('\n');
  const std::string_view text = input.substr(0, nl);
  const std::string_view rest = nl == std::string_view::npos ? std::string_view() : input.substr(nl + 1);

  if (ExpandVariables(text).size() > kExpandWidth) std::abort();
  const int code = ParseKeyToken(rest);
  if (code != 0 && (code & 0xFF) == 0) std::abort();  // a key always names a key
  (void)titleMatchesPattern(text, rest);
  (void)EvaluateCondition(text, "=", rest);
  return 0;
}
