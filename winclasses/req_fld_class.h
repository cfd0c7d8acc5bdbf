// ReqFldClass: the required fields of a form, checked before the form is saved or a wizard moves
// on. Init finds the controls that carry the required attribute (each with the text of the prompt
// before it, its status-bar message, its tool tip and its variable's name); AddField adds fields
// or changes their texts; Incomplete names the first empty one, gives it the focus and tells the
// user in a message built from the template: "@PROMPT" (the prompt in double quotes), "@MSG",
// "@TIP" and "@FIELD" (the variable's name in double quotes) are replaced, in any case.
//
// Works on the current window. Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace ov::ui {
class Window;
}

namespace ov::winclasses {

struct ReqField {
  int32_t FEQ = 0;
  std::string PROMPT;    // 80
  std::string MSG;       // 80
  std::string TIP;       // 80
  std::string FLDNAME;   // 40
};

struct ReqFieldText {
  int32_t FEQ = 0;
  std::string TITLE;     // 255
  std::string TEXT;      // 1024
};

class ReqFldClass {
 public:
  // By control number (key order).
  std::unique_ptr<std::map<int32_t, ReqField>> REQFLDQ;
  std::unique_ptr<std::map<int32_t, ReqFieldText>> REQFLDTEXTQ;
  std::string TITLE;
  std::string TEXT;
  uint8_t VALIDATEONFIELDACCEPT = 0;
  int32_t WIZARDSHEET = 0;

  void Init(std::string_view title, std::string_view text, bool validateOnFieldAccept);
  // The control becomes required (it gets the required attribute) with a message of its own.
  void AddField(int32_t control, std::string_view title, std::string_view text);
  // Sets the standard-message texts of a control that is registered already (or of any control
  // when `replace` is set).
  void AddField(int32_t control, std::string_view fieldName, std::string_view tip, std::string_view message,
                std::string_view prompt, bool replace);
  void RemoveField(int32_t control);
  void RegisterWizard(int32_t sheet) { WIZARDSHEET = sheet; }
  // The first required field that is empty (it gets the focus and the message), 0 when none.
  int32_t Incomplete(bool visibleOnly);
  void TakeAccepted();
  void TakeSelected();
  void Kill();

  // The message text of a registered control (the template with its tokens replaced).
  std::string MessageText(int32_t control) const;

  // Replaces every `token` (any case) in `text` by `value`; the search goes on after each
  // inserted value, and the result is cut to `limit` bytes.
  static std::string ReplaceToken(std::string_view text, std::string_view token, std::string_view value,
                                  size_t limit = 1024);

 private:
  bool ready() const;
  void showMessage(int32_t control) const;
  ui::Window* m_window = nullptr;
};

}  // namespace ov::winclasses
