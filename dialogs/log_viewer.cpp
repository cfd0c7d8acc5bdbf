#include "dialogs/log_viewer.h"

#include "datalib/globals.h"
#include "datalib/startup.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/ui/ascii_viewer.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window_position.h"
#include "scheduler/event_log.h"
#include "scheduler/services.h"
#include "scheduler/window_utils.h"

namespace ov::dialogs {

namespace {

std::string column(std::string_view line, size_t from, size_t width) {
  if (from >= line.size()) return {};
  return rt::CLIP(line.substr(from, width));
}

// Prints a text file through the system's print spooler.
bool printFile(const std::string& file) {
  const std::string command = "lp \"" + file + "\"";
  if (scheduler::services().runNoWait) return scheduler::services().runNoWait(command) == 0;
  rt::RUN(command);
  return rt::RUNCODE() == 0;
}

class ViewAsciiLog : public ui::WindowManager {
 public:
  ViewAsciiLog() : ui::WindowManager("ViewAscii:Log") {}

  ui::Level Init() override {
    if (!files::LOG.ACTIVE) {
      files::LOG.ACTIVE = 1;
      scheduler::WriteLog("Logging is not enabled in configuration.", "View Log - Logging disabled");
      files::LOG.ACTIVE = 0;
    }
    ui::Window& w = window();
    w.setTitle("Event Log");
    w.kind(ui::WindowKind::Mdi);
    w.at(-1, -1, 380, 180).minSize(375, 166).resizable();
    m_list = w.add<ui::TextList>(0, "?List").at(4, 4, 372, 150).feq();
    w.setProp(m_list, ui::Prop::FontName, "Courier New");
    m_print = w.button("?Print", "&Print...").at(4, 160, 50, 14).feq();
    m_search = w.button("?Search", "&Search...").at(58, 160, 50, 14).feq();
    CancelControl = w.button("?Close", "&Close").at(326, 160, 50, 14).feq();
    Open();
    m_position.Init(*this, files::globalIni(), true);

    std::string file = "OV_EVENT.LOG";
    if (!ui::FILEDIALOG("Select LOG file", file, "Log files|*.log", ui::FILE_::KeepDir | ui::FILE_::LongName))
      return ui::Level::Notify;
    if (!m_viewer.Init(*this, m_list, file)) return ui::Level::Notify;
    AddItem(m_viewer);
    m_ready = true;
    refreshTip();
    return ui::Level::Benign;
  }

  ui::Level TakeEvent() override {
    window().setProp(m_print, ui::Prop::Disable, m_ready ? 0 : 1);
    window().setProp(m_search, ui::Prop::Disable, m_ready ? 0 : 1);
    return ui::WindowManager::TakeEvent();
  }

  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_print && m_ready) {
      Update();
      if (!printFile(m_viewer.fileName()))
        ui::MESSAGE("The file " + m_viewer.fileName() + " could not be printed.", "Print", ui::Icon::Exclamation);
      return ui::Level::Notify;
    }
    if (ui::ACCEPTED() == m_search && m_ready) {
      Update();
      m_viewer.Search(currentLine());
      refreshTip();
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeFieldEvent() override {
    const ui::Level rv = ui::WindowManager::TakeFieldEvent();
    if (m_ready && ui::FIELD() == m_list) refreshTip();
    return rv;
  }

  void Reset(bool force) override {
    ui::WindowManager::Reset(force);
    if (m_ready) refreshTip();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    m_ready = false;
    return ui::WindowManager::Kill();
  }

 private:
  int currentLine() const {
    const int selected = m_viewer.SelectedLine();
    return selected > 0 ? selected : 1;
  }

  void refreshTip() {
    const auto& lines = m_viewer.lines();
    const int line = currentLine();
    const std::string text = line <= static_cast<int>(lines.size()) ? lines[static_cast<size_t>(line - 1)] : std::string();
    window().setProp(m_list, ui::Prop::Tip, logLineTip(text));
  }

  ui::AsciiViewerClass m_viewer;
  ui::WindowPositionKeeper m_position;
  bool m_ready = false;
  int m_list = 0, m_print = 0, m_search = 0;
};

}  // namespace

std::string logLineTip(std::string_view line) {
  return column(line, 0, 12) + "\r\n" + column(line, 12, 10) + "\r\n" + column(line, 22, 32) + "\r\n" +
         column(line, 54, 128);
}

std::unique_ptr<ui::WindowManager> makeViewAsciiLog() { return std::make_unique<ViewAsciiLog>(); }

}  // namespace ov::dialogs
