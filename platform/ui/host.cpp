#include "platform/ui/host.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFileDialog>
#include <QFontDialog>
#include <QImage>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "platform/ui/file_dialog.h"
#include "platform/ui/popup_class.h"
#include "platform/ui/runtime.h"

namespace ov::ui {
namespace {

// OV_UNATTENDED set (the test suite sets it): nobody is there to answer, so a prompt ends the
// program with its text on stderr rather than wait for ever.
void refuseWhenUnattended(std::string_view kind, std::string_view title, std::string_view text = {}) {
  const char* unattended = std::getenv("OV_UNATTENDED");
  if (unattended == nullptr || *unattended == '\0') return;
  std::fprintf(stderr, "OV_UNATTENDED: a %.*s would wait for an answer: \"%.*s\" %.*s\n", int(kind.size()),
               kind.data(), int(title.size()), title.data(), int(text.size()), text.data());
  std::fflush(stderr);
  std::abort();
}

QWidget* dialogParent() {
  Window* w = currentWindow();
  return w ? w->view() : nullptr;
}

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string s8(const QString& s) { return s.toUtf8().toStdString(); }

// A program without a GUI application object (a command-line tool, a test of the engine alone) has no
// clipboard and no cursor: Qt would abort on them, so they read empty and writes are dropped.
QClipboard* clipboard() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}
bool haveGui() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

void buildMenu(QMenu& menu, const std::vector<PopupItem>& items, std::map<QAction*, std::string>& ids) {
  for (const PopupItem& item : items) {
    if (item.separator) {
      menu.addSeparator();
      continue;
    }
    if (!item.children.empty()) {
      QMenu* sub = menu.addMenu(q(item.text));
      sub->setEnabled(item.enabled);
      buildMenu(*sub, item.children, ids);
      continue;
    }
    QAction* a = menu.addAction(q(item.text));
    a->setEnabled(item.enabled);
    a->setCheckable(item.checkable);
    a->setChecked(item.checked);
    ids[a] = item.id;
  }
}

class QtHost : public InteractionHost {
 public:
  int message(const MessageRequest& r) override {
    refuseWhenUnattended("message box", r.title, r.text);
    QMessageBox box(dialogParent());
    box.setWindowTitle(q(r.title));
    box.setText(q(r.text));
    switch (r.icon) {
      case Icon::Information: box.setIcon(QMessageBox::Information); break;
      case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
      case Icon::Question: box.setIcon(QMessageBox::Question); break;
      case Icon::Hand: box.setIcon(QMessageBox::Critical); break;
      case Icon::None: break;
    }
    std::vector<std::pair<QAbstractButton*, int>> answers;
    if (!r.custom.empty()) {
      for (size_t i = 0; i < r.custom.size(); ++i) {
        QPushButton* b = box.addButton(q(r.custom[i]), QMessageBox::AcceptRole);
        answers.emplace_back(b, static_cast<int>(i + 1));
        if (r.defaultButton == static_cast<int>(i + 1)) box.setDefaultButton(b);
      }
    } else {
      static const std::pair<int, QMessageBox::StandardButton> kButtons[] = {
          {BUTTON::Ok, QMessageBox::Ok},       {BUTTON::Yes, QMessageBox::Yes},
          {BUTTON::No, QMessageBox::No},       {BUTTON::Abort, QMessageBox::Abort},
          {BUTTON::Retry, QMessageBox::Retry}, {BUTTON::Ignore, QMessageBox::Ignore},
          {BUTTON::Cancel, QMessageBox::Cancel}, {BUTTON::Help, QMessageBox::Help}};
      int buttons = r.buttons ? r.buttons : BUTTON::Ok;
      for (auto [bit, std] : kButtons) {
        if (!(buttons & bit)) continue;
        QAbstractButton* b = box.addButton(std);
        answers.emplace_back(b, bit);
        if (r.defaultButton == bit) box.setDefaultButton(static_cast<QPushButton*>(b));
      }
    }
    {
      ModalScope modal;
      box.exec();
    }
    for (auto [b, answer] : answers)
      if (box.clickedButton() == b) return answer;
    // Closed by its title bar: the runtime answers the last button (Cancel, No or the only one).
    return answers.empty() ? 0 : answers.back().second;
  }

  std::optional<std::vector<std::string>> fileDialog(const FileRequest& r) override {
    refuseWhenUnattended("file dialog", r.title);
    QStringList chosen;
    QWidget* parent = dialogParent();  // the asking window, taken before the modal scope hides it
    {
      ModalScope modal;
      std::unique_ptr<QFileDialog> d = makeFileDialog(r, parent);
      if (d->exec() == QDialog::Accepted) {
        chosen = d->selectedFiles();
        rememberFolder(r.title, d->directory().absolutePath());
      }
    }
    if (chosen.isEmpty()) return std::nullopt;
    std::vector<std::string> out;
    for (const QString& f : chosen) out.push_back(s8(f));
    return out;
  }

  std::optional<std::string> folderDialog(const FolderRequest& r) override {
    refuseWhenUnattended("folder dialog", r.title);
    QString d;
    QWidget* parent = dialogParent();
    {
      ModalScope modal;
      std::unique_ptr<QFileDialog> dialog = makeFolderDialog(r, parent);
      if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        d = dialog->selectedFiles().front();
        rememberFolder(r.title, d);
      }
    }
    if (d.isEmpty()) return std::nullopt;
    return s8(d);
  }

  std::optional<FontChoice> fontDialog(std::string_view title, const FontChoice& start) override {
    refuseWhenUnattended("font dialog", title);
    QFont f(q(start.face), start.size > 0 ? start.size : 10);
    f.setWeight(static_cast<QFont::Weight>(start.style % 1000 ? start.style % 1000 : 400));
    f.setItalic(start.style & 4096);
    f.setUnderline(start.style & 8192);
    f.setStrikeOut(start.style & 16384);
    bool ok = false;
    QFont chosen;
    QWidget* parent = dialogParent();
    {
      ModalScope modal;
      chosen = QFontDialog::getFont(&ok, f, parent, q(title));
    }
    if (!ok) return std::nullopt;
    FontChoice c = start;
    c.face = s8(chosen.family());
    c.size = chosen.pointSize();
    c.style = chosen.weight() + (chosen.italic() ? 4096 : 0) + (chosen.underline() ? 8192 : 0) +
              (chosen.strikeOut() ? 16384 : 0);
    return c;
  }

  std::string popup(const PopupRequest& r) override {
    refuseWhenUnattended("popup menu", {});
    QMenu menu(dialogParent());
    std::map<QAction*, std::string> ids;
    buildMenu(menu, r.items, ids);
    // The chosen action is read from triggered(): exec()'s own answer is not reliable offscreen.
    std::string chosen;
    QObject::connect(&menu, &QMenu::triggered, &menu, [&](QAction* a) {
      auto it = ids.find(a);
      if (it != ids.end()) chosen = it->second;
    });
    QPoint at = r.x < 0 || r.y < 0 ? QCursor::pos() : QPoint(r.x, r.y);
    {
      ModalScope modal;
      menu.exec(at);
    }
    return chosen;
  }

  std::optional<std::string> askText(std::string_view title, std::string_view prompt,
                                     std::string_view initial) override {
    refuseWhenUnattended("text prompt", title, prompt);
    bool ok = false;
    QString t;
    QWidget* parent = dialogParent();
    {
      ModalScope modal;
      t = QInputDialog::getText(parent, q(title), q(prompt), QLineEdit::Normal, q(initial), &ok);
    }
    if (!ok) return std::nullopt;
    return s8(t);
  }

  void beep(int) override {
    if (haveGui()) QApplication::beep();
  }

  std::string clipboardText() override {
    QClipboard* c = clipboard();
    return c ? s8(c->text()) : std::string();
  }
  void setClipboardText(std::string_view text) override {
    if (QClipboard* c = clipboard()) c->setText(q(text));
  }

  bool clipboardImage(QImage& image) override {
    QClipboard* c = clipboard();
    const QMimeData* data = c ? c->mimeData() : nullptr;
    if (!data || !data->hasImage()) return false;
    image = c->image();
    return !image.isNull();
  }
  void setClipboardImage(const QImage& image) override {
    if (QClipboard* c = clipboard()) c->setImage(image);
  }

  void setBusy(bool busy) override {
    if (!haveGui()) return;
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }
};

InteractionHost* g_host = nullptr;

std::vector<std::string> split(std::string_view s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t p = s.find(sep, start);
    out.emplace_back(s.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
    if (p == std::string_view::npos) break;
    start = p + 1;
  }
  return out;
}

std::string messageText(std::string_view text) {
  std::string t(text);
  for (char& c : t)
    if (c == '|') c = '\n';
  return t;
}

}  // namespace

InteractionHost& qtHost() {
  static QtHost h;
  return h;
}

InteractionHost& host() { return g_host ? *g_host : qtHost(); }
void setHost(InteractionHost* h) { g_host = h; }

int MESSAGE(std::string_view text, std::string_view title, Icon icon, int buttons, int defaultButton) {
  MessageRequest r;
  r.text = messageText(text);
  r.title = title;
  r.icon = icon;
  r.buttons = buttons ? buttons : BUTTON::Ok;
  r.defaultButton = defaultButton;
  return host().message(r);
}

int MESSAGE(std::string_view text, std::string_view title, Icon icon, std::string_view buttons,
            int defaultButton) {
  MessageRequest r;
  r.text = messageText(text);
  r.title = title;
  r.icon = icon;
  r.custom = split(buttons, '|');
  r.defaultButton = defaultButton;
  return host().message(r);
}

bool FILEDIALOG(std::string_view title, std::string& file, std::string_view filter, int flags) {
  namespace fs = std::filesystem;
  if (flags & FILE_::Directory) {
    auto d = host().folderDialog(FolderRequest{std::string(title), file});
    if (!d) return false;
    file = *d;
    return true;
  }
  FileRequest r;
  r.title = title;
  r.file = file;
  r.save = flags & FILE_::Save;
  r.multi = flags & FILE_::Multi;
  if (!filter.empty()) {
    std::vector<std::string> parts = split(filter, '|');
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
      std::string patterns = parts[i + 1];
      for (char& c : patterns)
        if (c == ';') c = ' ';
      r.filters.emplace_back(parts[i], patterns);
    }
  }
  std::error_code ec;
  fs::path before = fs::current_path(ec);
  auto chosen = host().fileDialog(r);
  if (flags & FILE_::KeepDir) {
    std::error_code ignored;
    if (!before.empty()) fs::current_path(before, ignored);  // best effort: keep the current folder
  }
  if (!chosen || chosen->empty()) return false;
  if (chosen->size() == 1) {
    file = chosen->front();
    return true;
  }
  std::string joined = fs::path(chosen->front()).parent_path().string();
  for (const std::string& f : *chosen) joined += "|" + fs::path(f).filename().string();
  file = joined;
  return true;
}

bool FONTDIALOG(std::string_view title, std::string& face, int& size, int32_t& color, int& style) {
  auto c = host().fontDialog(title, FontChoice{face, size, color, style});
  if (!c) return false;
  face = c->face;
  size = c->size;
  color = c->color;
  style = c->style;
  return true;
}

int POPUP(std::string_view menu, int x, int y) {
  PopupRequest r;
  r.items = parsePopupMenu(menu);
  r.x = x;
  r.y = y;
  std::string id = host().popup(r);
  return id.empty() ? 0 : std::atoi(id.c_str());
}

void BEEP(int kind) { host().beep(kind); }
std::string CLIPBOARD() { return host().clipboardText(); }
void SETCLIPBOARD(std::string_view text) { host().setClipboardText(text); }

BusyCursor::BusyCursor() { host().setBusy(true); }
BusyCursor::~BusyCursor() { host().setBusy(false); }

}  // namespace ov::ui
