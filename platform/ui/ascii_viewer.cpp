#include "platform/ui/ascii_viewer.h"

#include <fstream>

#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/text_list.h"

namespace ov::ui {

bool AsciiViewerClass::Init(WindowManager& manager, int listFeq, std::string_view file, size_t lineLength,
                            ErrorReporter onError) {
  m_manager = &manager;
  m_list = listFeq;
  m_file = file;
  m_lines.clear();
  m_ready = false;
  std::ifstream in{std::string(file), std::ios::binary};
  if (!in) {
    rt::setError(rt::Err::NoFile, file);
    if (onError) onError(rt::Err::NoFile, m_file);
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line.resize(rt::utf8CutLength(line, lineLength));
    m_lines.push_back(line);
  }
  if (in.bad()) {
    rt::setError(rt::Err::FileSystem, file, "read error");
    if (onError) onError(rt::Err::FileSystem, m_file);
    m_lines.clear();
    return false;
  }
  if (TextList* l = list()) l->setLines(m_lines);
  m_ready = true;
  return true;
}

TextList* AsciiViewerClass::list() const {
  return m_manager ? dynamic_cast<TextList*>(m_manager->window().control(m_list)) : nullptr;
}

int AsciiViewerClass::TopLine() const {
  TextList* l = list();
  return l ? l->topLine() : 1;
}

int AsciiViewerClass::SelectedLine() const {
  TextList* l = list();
  return l ? l->selected() : 0;
}

void AsciiViewerClass::SetLine(int line) {
  TextList* l = list();
  if (!l || line < 1 || line > static_cast<int>(m_lines.size())) return;
  l->setProp(Prop::Selected, std::to_string(line));
  l->scrollTo(line);
}

int AsciiViewerClass::Find(std::string_view text, int from, bool matchCase) const {
  if (text.empty()) return 0;
  std::string want = matchCase ? std::string(text) : rt::UPPER(text);
  for (int i = std::max(from, 1); i <= static_cast<int>(m_lines.size()); ++i) {
    const std::string& line = m_lines[static_cast<size_t>(i) - 1];
    std::string hay = matchCase ? line : rt::UPPER(line);
    if (hay.find(want) != std::string::npos) return i;
  }
  return 0;
}

bool AsciiViewerClass::Search(int from) {
  auto text = host().askText("Find", "Find what:", m_lastSearch);
  if (!text || text->empty()) return false;
  m_lastSearch = *text;
  int found = Find(*text, from);
  if (!found) {
    MESSAGE("\"" + *text + "\" was not found.", "Find", Icon::Information);
    return false;
  }
  SetLine(found);
  return true;
}

void AsciiViewerClass::Kill() {
  m_lines.clear();
  m_ready = false;
  if (TextList* l = list()) l->setLines({});
}

}  // namespace ov::ui
