#include "platform/ui/text_list.h"

#include <QKeyEvent>
#include <QListWidget>

#include "platform/ui/detail/runtime_impl.h"
#include "platform/ui/detail/view_util.h"
#include "platform/ui/event.h"
#include "platform/ui/window.h"

namespace ov::ui {

namespace {
class LineView : public QListWidget {
 public:
  LineView(QWidget* parent, TextList* list) : QListWidget(parent), m_list(list) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      m_list->userAccept(Key::Enter);
      return;
    }
    QListWidget::keyPressEvent(e);
  }

 private:
  TextList* m_list;
};
}  // namespace

void TextList::setLines(std::vector<std::string> lines) {
  m_lines = std::move(lines);
  if (m_selected > static_cast<int>(m_lines.size())) m_selected = 0;
  if (auto* v = static_cast<QListWidget*>(m_view)) v->clear();
  changed();
}

int TextList::topLine() const {
  auto* v = static_cast<QListWidget*>(m_view);
  if (!v || v->count() == 0) return 1;
  QListWidgetItem* item = v->itemAt(2, 2);
  return item ? v->row(item) + 1 : 1;
}

void TextList::scrollTo(int line) {
  if (auto* v = static_cast<QListWidget*>(m_view); v && line >= 1 && line <= v->count())
    v->scrollToItem(v->item(line - 1), QAbstractItemView::PositionAtTop);
}

std::string TextList::prop(int p) const {
  if (p == Prop::Selected) return std::to_string(m_selected);
  return Control::prop(p);
}

bool TextList::setProp(int p, std::string_view v) {
  if (p == Prop::Selected) {
    int n = static_cast<int>(detail::toInt(v));
    m_selected = n >= 1 && n <= static_cast<int>(m_lines.size()) ? n : 0;
    changed();
    return true;
  }
  return Control::setProp(p, v);
}

std::string TextList::screenText() const {
  return m_selected ? m_lines[static_cast<size_t>(m_selected) - 1] : std::string();
}

void TextList::userSelect(int line) {
  detail::ThreadScope onThread(m_window ? m_window->thread() : kFrameThread);
  if (line == m_selected || line < 1 || line > static_cast<int>(m_lines.size())) return;
  m_selected = line;
  postEvent(EVENT::NewSelection);
}

void TextList::userAccept(int keycode) { postEvent(EVENT::Accepted, keycode); }

QWidget* TextList::createView(QWidget* parent) {
  auto* v = new LineView(parent, this);
  v->setUniformItemSizes(true);
  QObject::connect(v, &QListWidget::currentRowChanged, v, [this](int row) {
    if (!m_syncing) userSelect(row + 1);
  });
  QObject::connect(v, &QListWidget::itemDoubleClicked, v, [this] { userAccept(Key::MouseLeft2); });
  m_view = v;
  return v;
}

void TextList::syncView() {
  if (!m_view) return;
  Control::syncView();
  auto* v = static_cast<QListWidget*>(m_view);
  m_syncing = true;
  if (v->count() != static_cast<int>(m_lines.size())) {
    v->clear();
    QStringList items;
    for (const std::string& l : m_lines) items << detail::q(l);
    v->addItems(items);
  }
  v->setCurrentRow(m_selected - 1);
  m_syncing = false;
}

}  // namespace ov::ui
