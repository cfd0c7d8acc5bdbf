// Template tokens: questions written into the text fields of a script template's items, answered
// by the user when the template is copied into a task's script.
//
//   [?FILE prompt]    ask for a file name ("FILE" is the prompt when it is empty)
//   [?WINDOW prompt]  ask for a window title
//   [?TEXT prompt]    ask for a text
//   [?prompt]         the answer already given to this prompt (upper case, first 45 characters),
//                     asked for as a text when there is none
//   [?]               the last answer given or looked up
//
// Blanks right after "[?" are ignored; a keyword counts only with a blank after it ([?FILE] is the
// plain prompt "FILE"). Answers are kept by prompt in TOKENQ for the rest of the run. An answer is
// inserted as it stands: a "[?" inside it is not read as a token, and a "[?" without a closing
// "]" is plain text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datalib/records.h"
#include "platform/rt/err.h"

namespace ov::editors {

enum class TokenQuestion { File, Window, Text };

// Asks one question: `promptLine` is the line to show ("Log file:" or the window's own line), and
// `answer` comes in holding the answer given before to the same prompt. False for Cancel.
using TokenAsker = std::function<bool(TokenQuestion, std::string_view promptLine, std::string& answer)>;

// The line a question window shows for a prompt: the clipped prompt and ":", or the window's own
// line ("Enter file path and name:", "Enter window title:", "Enter text:") when the prompt is
// empty or is the keyword itself.
std::string TokenPromptLine(TokenQuestion kind, std::string_view prompt);

// TOKENQ by prompt (upper-cased, 45 characters): the answer given, and storing one. Both leave the
// entry in the queue's buffer, which the empty token reads.
bool LookUpTokenAnswer(std::string_view prompt, std::string& answer);
void RememberTokenAnswer(std::string_view prompt, std::string_view answer);

// Asks `kind` with `prompt` through `ask`, offering the earlier answer, and remembers the new one.
bool AskTemplateToken(TokenQuestion kind, std::string_view prompt, const TokenAsker& ask);

// Replaces the tokens of one field of `width` characters. False when a question was cancelled:
// the field then keeps its text.
bool ReplaceTemplateTokens(std::string& field, size_t width, const TokenAsker& ask);
// The same over every text field of an item, in the form's order; false at the first cancel. A
// "Start Program" item without a start folder then takes the command's folder.
bool ReplaceItemTokens(files::ScriptingRec& item, const TokenAsker& ask);

// Copies the items of a template into a task's script one item at a time, for a caller that shows
// progress and may stop: begin reads the template's items (skipping those without an action),
// asks their questions and starts the transaction; each step adds one item behind the task's last;
// finish commits what was added (all of it, or the items before a stop), or, after a failed add,
// stores nothing. A cancelled question or a failed begin stores nothing; `problem` says why.
class TemplateCopier {
 public:
  ~TemplateCopier() { (void)finish(nullptr); }
  rt::Err begin(int32_t templateId, int32_t task, const TokenAsker& ask, std::string* problem = nullptr);
  bool step();  // false when there is nothing more to add (or an add failed)
  rt::Err finish(std::string* problem = nullptr);
  size_t done() const { return m_at; }
  size_t total() const { return m_items.size(); }
  int added() const { return m_added; }

 private:
  std::vector<files::ScriptingRec> m_items;
  files::ScriptingRec m_saved{};
  int32_t m_task = 0, m_next = 1;
  size_t m_at = 0;
  int m_added = 0;
  bool m_open = false, m_inTransaction = false;
  rt::Err m_err = rt::Err::None;
  std::string m_why;
};

// Copies the items of template `templateId` (skipping items without an action) behind the last
// item of `task`, answering their tokens, in one transaction. A cancelled question or a failed
// add stores nothing; `problem` says why. `copied` counts the items stored.
rt::Err CopyScriptTemplateToScript(int32_t templateId, int32_t task, const TokenAsker& ask,
                                   std::string* problem = nullptr, int* copied = nullptr);

}  // namespace ov::editors
