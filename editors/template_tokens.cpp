#include "editors/template_tokens.h"

#include <cctype>
#include <climits>
#include <vector>

#include "datalib/files.h"
#include "datalib/queues.h"
#include "datalib/script_actions.h"
#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"

namespace ov::editors {
namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view keywordOf(TokenQuestion kind) {
  switch (kind) {
    case TokenQuestion::File: return "FILE";
    case TokenQuestion::Window: return "WINDOW";
    case TokenQuestion::Text: return "TEXT";
  }
  return "TEXT";
}

std::string cut(std::string s, size_t width) {
  s.resize(rt::utf8CutLength(s, width));
  return s;
}

}  // namespace

std::string TokenPromptLine(TokenQuestion kind, std::string_view prompt) {
  const std::string p(rt::clipView(prompt));
  if (!p.empty() && upper(p) != keywordOf(kind)) return p + ":";
  switch (kind) {
    case TokenQuestion::File: return "Enter file path and name:";
    case TokenQuestion::Window: return "Enter window title:";
    case TokenQuestion::Text: return "Enter text:";
  }
  return {};
}

bool LookUpTokenAnswer(std::string_view prompt, std::string& answer) {
  files::TOKENQ.buf.PROMPT = upper(prompt);
  if (files::TOKENQ.GET(files::TQ_ByPrompt) != rt::Err::None) {
    answer.clear();
    return false;
  }
  answer = files::TOKENQ.buf.VALUE.str();
  return true;
}

void RememberTokenAnswer(std::string_view prompt, std::string_view answer) {
  files::TOKENQ.buf.PROMPT = upper(prompt);
  const bool known = files::TOKENQ.GET(files::TQ_ByPrompt) == rt::Err::None;
  files::TOKENQ.buf.PROMPT = upper(prompt);
  files::TOKENQ.buf.VALUE = answer;
  if (known)
    (void)files::TOKENQ.PUT();
  else
    files::TOKENQ.ADD(files::TQ_ByPrompt);
}

bool AskTemplateToken(TokenQuestion kind, std::string_view prompt, const TokenAsker& ask) {
  std::string answer;
  (void)LookUpTokenAnswer(prompt, answer);
  if (!ask || !ask(kind, TokenPromptLine(kind, prompt), answer)) return false;
  RememberTokenAnswer(prompt, cut(answer, 255));
  return true;
}

bool ReplaceTemplateTokens(std::string& field, size_t width, const TokenAsker& ask) {
  std::string work(rt::clipView(field));
  size_t from = 0;
  while (true) {
    const size_t open = work.find("[?", from);
    if (open == std::string::npos) break;
    std::string_view rest = std::string_view(work).substr(open + 2);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) break;  // no end: the rest is plain text
    const std::string_view token = rest.substr(0, close);
    std::string answer;
    if (token.empty()) {
      answer = files::TOKENQ.buf.VALUE.str();
    } else {
      const size_t blank = token.find(' ');
      const std::string word = blank == std::string_view::npos ? std::string() : upper(token.substr(0, blank));
      TokenQuestion kind = TokenQuestion::Text;
      bool keyword = true;
      if (word == "FILE")
        kind = TokenQuestion::File;
      else if (word == "WINDOW")
        kind = TokenQuestion::Window;
      else if (word != "TEXT")
        keyword = false;
      if (keyword) {
        std::string prompt(token.substr(blank + 1));
        if (rt::clipView(prompt).empty()) prompt = word;
        if (!AskTemplateToken(kind, prompt, ask)) return false;
      } else if (!LookUpTokenAnswer(token, answer)) {
        if (!AskTemplateToken(TokenQuestion::Text, token, ask)) return false;
      }
      answer = files::TOKENQ.buf.VALUE.str();
    }
    const size_t after = static_cast<size_t>(rest.data() - work.data()) + close + 1;
    work = work.substr(0, open) + answer + work.substr(after);
    // Scanning goes on after the answer, so an answer holding "[?" is not asked again.
    from = open + answer.size();
  }
  field = cut(std::move(work), width);
  return true;
}

bool ReplaceItemTokens(files::ScriptingRec& item, const TokenAsker& ask) {
  auto replace = [&](auto& f) {
    std::string text = f.str();
    if (text.find("[?") == std::string::npos) return true;
    if (!ReplaceTemplateTokens(text, f.size(), ask)) return false;
    f = text;
    return true;
  };
  if (!replace(item.Keystrokes) || !replace(item.WaitForWindow) || !replace(item.FocusOnWindow) ||
      !replace(item.WindowTitleToCheckFor) || !replace(item.Command) || !replace(item.Path) ||
      !replace(item.DDEApplicationName) || !replace(item.DDEApplicationTopic) || !replace(item.DDELinkItem) ||
      !replace(item.DDECommand))
    return false;
  if (item.Action == files::action::kStartProgram && item.Path.isBlank()) {
    const std::string command = item.Command.str();
    const size_t slash = command.find_last_of("/\\");
    item.Path = slash == std::string::npos ? command : command.substr(0, slash);
  }
  return true;
}

rt::Err TemplateCopier::begin(int32_t templateId, int32_t task, const TokenAsker& ask, std::string* problem) {
  auto fail = [&](std::string message, rt::Err err) {
    if (problem) *problem = std::move(message);
    m_err = err;
    return err;
  };
  m_task = task;
  if (task == 0) return fail("Unable to attach script to scheduled item.  Schedule ID is 0.", rt::Err::BadParameters);
  rt::Err err = files::Access_SCRIPTTEMPLATEDETAILS.Open();
  if (err != rt::Err::None) return fail("Error adding script item " + rt::ERROR(), err);
  // The template's items first, so every question is answered before anything is written.
  const files::ScriptingRec savedTemplate = files::OVD;
  files::SCRIPTTEMPLATEDETAILS.clear();
  files::OVD.WIZ_ID = templateId;
  files::OVD.Sequence = INT32_MIN;
  err = files::SCRIPTTEMPLATEDETAILS.setFrom(files::OVD_K_WIZ_ID);
  while (err == rt::Err::None && (err = files::SCRIPTTEMPLATEDETAILS.next()) == rt::Err::None &&
         files::OVD.WIZ_ID == templateId)
    if (!files::OVD.Action.isBlank()) m_items.push_back(files::OVD);
  files::OVD = savedTemplate;
  (void)files::Access_SCRIPTTEMPLATEDETAILS.Close();
  if (err != rt::Err::None && err != rt::Err::NotAvailable) return fail("Error adding script item " + rt::ERROR(), err);
  for (files::ScriptingRec& item : m_items)
    if (!ReplaceItemTokens(item, ask)) return fail("Cancelled: nothing was copied.", rt::Err::NotAvailable);

  if ((err = files::Access_SCRIPTING.Open()) != rt::Err::None) return fail("Error adding script item " + rt::ERROR(), err);
  m_open = true;
  m_saved = files::SCR;
  if ((err = db::LOGOUT(1, {&files::SCRIPTING})) != rt::Err::None) {
    finish(nullptr);
    return fail("The script is in use elsewhere; nothing was copied.", err);
  }
  m_inTransaction = true;
  // The next sequence: one past the task's last item.
  files::SCRIPTING.clear();
  files::SCR.ID = task;
  files::SCR.Sequence = INT32_MAX;
  if (files::SCRIPTING.setFrom(files::SCR_KeyID) == rt::Err::None && files::SCRIPTING.previous() == rt::Err::None &&
      files::SCR.ID == task)
    m_next = files::SCR.Sequence + 1;
  m_err = rt::Err::None;
  return rt::Err::None;
}

bool TemplateCopier::step() {
  if (!m_inTransaction || m_err != rt::Err::None || m_at >= m_items.size()) return false;
  files::SCR = m_items[m_at++];
  files::SCR.ID = m_task;
  files::SCR.Sequence = m_next;
  while (files::SCRIPTING.duplicate(files::SCR_KeyID) && files::SCR.Sequence < 1000) ++files::SCR.Sequence;
  m_err = files::SCRIPTING.add();
  if (m_err != rt::Err::None) {
    m_why = rt::ERROR();
    return false;
  }
  ++m_added;
  m_next = files::SCR.Sequence + 1;
  return m_at < m_items.size();
}

rt::Err TemplateCopier::finish(std::string* problem) {
  if (m_inTransaction) {
    m_inTransaction = false;
    if (m_err == rt::Err::None && (m_err = db::COMMIT()) != rt::Err::None) m_why = rt::ERROR();
    if (m_err != rt::Err::None) {
      (void)db::ROLLBACK();
      m_added = 0;
      if (problem) *problem = "Error adding script item " + m_why;
    }
  }
  if (m_open) {
    m_open = false;
    files::SCR = m_saved;
    (void)files::Access_SCRIPTING.Close();
  }
  return m_err;
}

rt::Err CopyScriptTemplateToScript(int32_t templateId, int32_t task, const TokenAsker& ask, std::string* problem,
                                   int* copied) {
  if (copied) *copied = 0;
  TemplateCopier copier;
  rt::Err err = copier.begin(templateId, task, ask, problem);
  if (err != rt::Err::None) return err;
  while (copier.step()) {
  }
  err = copier.finish(problem);
  if (copied) *copied = copier.added();
  return err;
}

}  // namespace ov::editors
