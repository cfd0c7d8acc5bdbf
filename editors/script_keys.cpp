#include "editors/script_keys.h"

#include <filesystem>

#include "datalib/startup.h"
#include "platform/rt/process.h"
#include "platform/ui/ascii_viewer.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/print_job.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window_position.h"

namespace ov::editors {

namespace {

// The file in `folder`, also when its name is written in another case there.
std::string findIn(const std::filesystem::path& folder) {
  std::error_code ec;
  const std::filesystem::path exact = folder / kKeyCodesFile;
  if (std::filesystem::is_regular_file(exact, ec)) return exact.string();
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name == kKeyCodesFile && it->is_regular_file(ec)) return it->path().string();
  }
  return {};
}

class ViewAsciiScriptKeys : public ui::WindowManager {
 public:
  ViewAsciiScriptKeys() : ui::WindowManager("ViewAscii:ScriptKeys") {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Key Codes");
    w.at(-1, -1, 330, 180).minSize(328, 166).resizable();
    m_list = w.add<ui::TextList>(0, "?List").at(4, 4, 322, 150).feq();
    w.setProp(m_list, ui::Prop::FontName, "Courier New");
    m_print = w.button("?Print", "&Print...").at(4, 160, 50, 14).disabled().feq();
    CancelControl = w.button("?Close", "&Close").at(276, 160, 50, 14).feq();
    m_search = w.button("?Search", "&Search...").at(58, 160, 50, 14).disabled().feq();
    Open();
    m_position.Init(*this, files::globalIni(), true);
    const std::string file = keyCodesFile();
    if (file.empty() || !m_viewer.Init(*this, m_list, file)) return ui::Level::Notify;
    AddItem(m_viewer);
    w.setProp(m_print, ui::Prop::Disable, 0);
    w.setProp(m_search, ui::Prop::Disable, 0);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_print && m_viewer.isReady()) {
      std::string why;
      if (!ui::spoolFile(m_viewer.fileName(), &why, "Key Codes"))
        ui::MESSAGE("The file " + m_viewer.fileName() + " could not be printed." + (why.empty() ? "" : "|" + why),
                    "Print", ui::Icon::Exclamation);
      return ui::Level::Notify;
    }
    if (feq == m_search && m_viewer.isReady()) {
      const int selected = m_viewer.SelectedLine();
      m_viewer.Search(selected > 0 ? selected : 1);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

 private:
  ui::AsciiViewerClass m_viewer;
  ui::WindowPositionKeeper m_position;
  int m_list = 0, m_print = 0, m_search = 0;
};

}  // namespace

std::string keyCodesFile() {
  std::error_code ec;
  if (std::string here = findIn(std::filesystem::current_path(ec)); !here.empty()) return here;
  return findIn(rt::programFolder());
}

std::unique_ptr<ui::WindowManager> makeViewAsciiScriptKeys() { return std::make_unique<ViewAsciiScriptKeys>(); }

int ViewAscii_ScriptKeys() {
  ViewAsciiScriptKeys viewer;
  return viewer.Run();
}

}  // namespace ov::editors
