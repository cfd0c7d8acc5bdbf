#include "editors/template_token_windows.h"

#include <algorithm>
#include <span>

#include "datalib/globals.h"
#include "datalib/startup.h"
#include "editors/script_catalogue.h"
#include "editors/script_items.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/progress_window.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "scheduler/keystrokes.h"

namespace ov::editors {
namespace {

std::string joined(std::span<const std::string_view> items) {
  std::string out;
  for (std::string_view s : items) {
    if (!out.empty()) out += '|';
    out += s;
  }
  return out;
}

const char* procedureOf(TokenQuestion kind) {
  switch (kind) {
    case TokenQuestion::File: return "TemplateTokenAskFile";
    case TokenQuestion::Window: return "TemplateTokenAskWindow";
    case TokenQuestion::Text: break;
  }
  return "TemplateTokenAskText";
}

class TokenQuestionWindow : public ui::WindowManager {
 public:
  TokenQuestionWindow(TokenQuestion kind, std::string_view line, std::string answer)
      : ui::WindowManager(procedureOf(kind)), m_kind(kind), m_line(line), m_answer(std::move(answer)) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("More Information Required");
    w.setProp(0, ui::Prop::Icon, m_kind == TokenQuestion::Text ? "keydown.ico" : "taskdoc.ico");
    const int height = m_kind == TokenQuestion::File ? 70 : m_kind == TokenQuestion::Window ? 130 : 110;
    w.at(-1, -1, 300, height);
    w.string("?PromptLine", m_line).at(8, 8, 284, 10);
    if (m_kind == TokenQuestion::Window) {
      m_entry = w.combo("?Answer", windowTitles()).at(8, 22, 284, 12).use(m_answer).feq();
      static constexpr const char* kExplanation[] = {
          "Enter the \"title\" of a window.  You can enter the exact title, the",
          "first few unique characters followed by an asterisk, or an asterisk",
          "followed by a phrase to be found anywhere in the window title.",
          "Examples:", "Untitled - Notepad", "Untitled - *", "*Notepad"};
      int y = 38;
      for (const char* text : kExplanation) {
        w.string("", text).at(8, y, 284, 10);
        y += 10;
      }
    } else {
      m_entry = w.entry("?Answer", "@s255").at(8, 22, 284, 12).use(m_answer).feq();
    }
    if (m_kind == TokenQuestion::File)
      m_selectFile = w.button("?SelectFile", "Select File...").at(8, 40, 60, 14).feq();
    if (m_kind == TokenQuestion::Text) {
      const int keyGroup = w.group("?KeyCodeGroup", "Key Code").at(8, 38, 140, 40).feq();
      w.dropList("?Modifier", joined(ModifierList())).at(14, 52, 56, 12).use(m_modifier).on(keyGroup);
      w.dropList("?Key", joined(KeyList())).at(74, 52, 36, 12).use(m_key).on(keyGroup);
      m_appendKey = w.button("?AppendKey", "&Append").at(112, 51, 32, 14).on(keyGroup).feq();
      const int valueGroup = w.group("?ValueGroup", "Value").at(152, 38, 140, 40).feq();
      w.dropList("?Reserved", joined(ReservedValueNames(false))).at(158, 52, 90, 12).use(m_reserved).on(valueGroup);
      m_appendValue = w.button("?AppendValue", "A&ppend").at(252, 51, 36, 14).on(valueGroup).feq();
    }
    OkControl = w.button("?OK", "&OK").setDefault().at(196, height - 20, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(247, height - 20, 45, 14).feq();
    Open();
    m_position.Init(*this, files::globalIni(), false);
    AddItem(m_position);
    w.select(m_entry);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::FIELD();
    ui::Window& w = window();
    if (feq == m_selectFile) {
      (void)Update();
      std::string file = m_answer;
      if (ui::FILEDIALOG("Choose a File", file, "All Files|*.*", ui::FILE_::KeepDir | ui::FILE_::LongName)) {
        m_answer = file;
        w.display(m_entry);
      }
      w.select(m_entry);
      return ui::Level::Notify;
    }
    if (feq == m_appendKey || feq == m_appendValue) {
      (void)Update();
      m_answer = feq == m_appendKey ? AppendKeyCode(m_answer, m_modifier, m_key) : AppendValueName(m_answer, m_reserved);
      w.display(m_entry);
      w.select(m_entry);
      return ui::Level::Notify;
    }
    if (feq == OkControl) {
      (void)Update();
      m_ok = true;
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  bool ok() const { return m_ok; }
  const std::string& answer() const { return m_answer; }

 private:
  static std::string windowTitles() {
    scheduler::ListTopWindows();
    std::string items;
    for (scheduler::WindowEntry e : scheduler::TopWindowList) {
      std::erase(e.title, '|');
      if (e.title.empty()) continue;
      if (!items.empty()) items += '|';
      items += e.title;
    }
    return items;
  }

  TokenQuestion m_kind;
  std::string m_line, m_answer, m_modifier, m_key, m_reserved;
  ui::WindowPositionKeeper m_position;
  int m_entry = 0, m_selectFile = 0, m_appendKey = 0, m_appendValue = 0;
  bool m_ok = false;
};

}  // namespace

bool AskTokenInWindow(TokenQuestion kind, std::string_view promptLine, std::string& answer) {
  TokenQuestionWindow window(kind, promptLine, answer);
  (void)window.Run();
  if (!window.ok()) return false;
  answer = rt::CLIP(window.answer());
  return true;
}

int CopyTemplateWithProgress(int32_t templateId, int32_t task, std::string_view errorTitle) {
  TemplateCopier copier;
  std::string problem;
  if (copier.begin(templateId, task, AskTokenInWindow, &problem) == rt::Err::None) {
    ui::ProgressWindow progress(
        "Processing Records",
        [&](ui::ProgressWindow& p) {
          p.setText("Importing Template");
          const bool more = copier.step();
          p.setProgress(static_cast<int64_t>(copier.done()), static_cast<int64_t>(copier.total()));
          return more ? ui::ProgressWindow::Step::More : ui::ProgressWindow::Step::Done;
        },
        "CopyScriptTemplateToScript");
    (void)progress.Run();
    (void)copier.finish(&problem);
  }
  if (!problem.empty()) ui::MESSAGE(problem, errorTitle, ui::Icon::Exclamation);
  return copier.added();
}

}  // namespace ov::editors
