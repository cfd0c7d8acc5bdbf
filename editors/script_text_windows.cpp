#include "editors/script_text_windows.h"

#include <span>
#include <string>

#include "datalib/files.h"
#include "datalib/records.h"
#include "datalib/startup.h"
#include "editors/script_catalogue.h"
#include "editors/script_items.h"
#include "editors/script_text.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"

namespace ov::editors {

using rt::Err;

namespace {

constexpr size_t kTextSize = 65535;
constexpr size_t kClipboardSize = 1024;

std::string cut(std::string text, size_t size) {
  text.resize(rt::utf8CutLength(text, size));
  return text;
}

std::string joined(std::span<const std::string_view> items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += '|';
    out += items[i];
  }
  return out;
}

class EditAsTextWindow : public ui::WindowManager {
 public:
  EditAsTextWindow() : ui::WindowManager("Script:EditAsText") {}

  ui::Level Init() override {
    m_task = files::SCH.ID;
    std::string problem;
    if (ScriptToText(m_task, m_text, &problem) != Err::None && !problem.empty())
      ui::MESSAGE(problem, "Edit As Text", ui::Icon::Exclamation);
    m_text = cut(m_text, kTextSize);
    ui::Window& w = window();
    w.setTitle("Scripting:  Edit As Text");
    w.at(-1, -1, 360, 220).minSize(328, 188).resizable();
    m_box = w.textBox("?Text").at(4, 4, 352, 190).use(m_text).feq();
    m_search = w.button("?SearchReplace", "Search/&Replace").at(4, 200, 60, 14).feq();
    m_reference = w.button("?Reference", "Reference/Commands").at(66, 200, 70, 14).feq();
    m_copy = w.button("?CopyClipboard", "Copy to Clipboard").at(138, 200, 64, 14).feq();
    m_paste = w.button("?ReplaceClipboard", "Replace with Clipboard").at(204, 200, 60, 14).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(266, 200, 44, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(312, 200, 44, 14).feq();
    Open();
    m_position.Init(*this, files::globalIni(), true);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (isAcceptAllPass()) return ui::WindowManager::TakeAccepted();
    ui::Window& w = window();
    if (feq == m_search) {
      Update();
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_reference) {
      Update();
      Script_Text_Reference();
      w.display();
      return ui::Level::Notify;
    }
    if (feq == m_copy) {
      Update();
      ui::SETCLIPBOARD(std::string(rt::clipView(m_text)));
      return ui::Level::Notify;
    }
    if (feq == m_paste) {
      m_text = cut(ui::CLIPBOARD(), kTextSize);
      w.display(m_box);
      w.select(m_box);
      return ui::Level::Notify;
    }
    if (feq == OkControl) {
      Update();
      ScriptTextProblem problem;
      if (TextToScript(m_task, cut(m_text, kTextSize), &problem) != Err::None) {
        // The script is unchanged.
        std::string text = problem.message;
        if (problem.line > 0) text = "Line " + std::to_string(problem.line) + ": " + text;
        ui::MESSAGE(text, "Edit As Text", ui::Icon::Exclamation);
        if (problem.line > 0) return ui::Level::Notify;  // the text stays open to be put right
      }
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

 private:
  int32_t m_task = 0;
  std::string m_text;
  ui::WindowPositionKeeper m_position;
  int m_box = 0, m_search = 0, m_reference = 0, m_copy = 0, m_paste = 0;
};

class TextReferenceWindow : public ui::WindowManager {
 public:
  TextReferenceWindow() : ui::WindowManager("Script:Text:Reference") {}

  ui::Level Init() override {
    m_clip = cut(ui::CLIPBOARD(), kClipboardSize);
    ui::Window& w = window();
    w.setTitle("Edit Script as Text: Reference");
    w.at(-1, -1, 356, 130).minSize(356, 115).resizable();
    w.prompt("?Clipboard:Prompt", "Clipboard:").at(4, 6, 40, 10);
    m_field = w.entry("?Clipboard", "@s1024").at(46, 4, 306, 12).use(m_clip).feq();
    w.group("?KeyGroup", "Key Code").at(4, 22, 150, 36);
    w.dropList("?Modifier", joined(ModifierList())).at(10, 34, 56, 12).use(m_modifier);
    w.dropList("?Key", joined(KeyList())).at(70, 34, 40, 12).use(m_key);
    m_appendKey = w.button("?AppendKey", "&Append").at(114, 34, 36, 14).feq();
    w.group("?ValueGroup", "Value").at(160, 22, 130, 36);
    w.dropList("?Value", joined(ReservedValueNames(false))).at(166, 34, 80, 12).use(m_value);
    m_appendValue = w.button("?AppendValue", "A&ppend").at(250, 34, 36, 14).feq();
    w.group("?CommandGroup", "Commands").at(4, 62, 348, 30);
    std::string commands;
    for (std::string_view t : ScriptCommandTemplates()) {
      if (!commands.empty()) commands += '|';
      commands += t;
    }
    w.dropList("?Command", commands).at(10, 74, 280, 12).use(m_command);
    m_replace = w.button("?Replace", "Replace").at(294, 74, 50, 14).feq();
    w.string("?Hint", "Build a command on the clipboard, then press Close.").at(4, 100, 250, 10);
    m_close = w.button("?Close", "Cl&ose").at(306, 110, 46, 14).feq();
    Open();
    m_position.Init(*this, files::globalIni(), true);
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (isAcceptAllPass()) return ui::WindowManager::TakeAccepted();
    ui::Window& w = window();
    if (feq == m_appendKey || feq == m_appendValue || feq == m_replace) {
      Update();
      if (feq == m_appendKey) m_clip = AppendKeyCode(m_clip, m_modifier, m_key);
      if (feq == m_appendValue) m_clip = AppendValueName(m_clip, m_value);
      if (feq == m_replace) m_clip = m_command;
      m_clip = cut(m_clip, kClipboardSize);
      w.display(m_field);
      w.select(m_field);
      return ui::Level::Notify;
    }
    if (feq == m_close) {
      Update();
      ui::SETCLIPBOARD(std::string(rt::clipView(m_clip)));
      SetResponse(ui::RequestCompleted);
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

 private:
  std::string m_clip, m_modifier, m_key, m_value, m_command;
  ui::WindowPositionKeeper m_position;
  int m_field = 0, m_appendKey = 0, m_appendValue = 0, m_replace = 0, m_close = 0;
};

}  // namespace

std::unique_ptr<ui::WindowManager> makeScriptEditAsText() { return std::make_unique<EditAsTextWindow>(); }

void Script_EditAsText() {
  EditAsTextWindow window;
  (void)window.Run();
}

void Script_Text_Reference() {
  TextReferenceWindow window;
  (void)window.Run();
}

}  // namespace ov::editors
