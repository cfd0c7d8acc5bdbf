// A list of text lines (the text viewer's list): Selected is the chosen line (1-based, 0 none);
// the user moving the selection posts NewSelection, a double click or Enter posts Accepted with
// key code MouseLeft2 or Enter.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/control.h"

namespace ov::ui {

class TextList : public Control {
 public:
  explicit TextList(std::string name) : Control(Kind::List, std::move(name)) {}
  void setLines(std::vector<std::string> lines);
  const std::vector<std::string>& lines() const { return m_lines; }
  int selected() const { return m_selected; }
  // The first line the view shows (1-based; 1 when there is no view).
  int topLine() const;
  void scrollTo(int line);

  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;
  std::string screenText() const override;
  QWidget* createView(QWidget* parent) override;
  void syncView() override;
  void userSelect(int line);
  void userAccept(int keycode);

 private:
  std::vector<std::string> m_lines;
  int m_selected = 0;
  bool m_syncing = false;
};

}  // namespace ov::ui
