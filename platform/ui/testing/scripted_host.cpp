#include "platform/ui/testing/scripted_host.h"

#include <gtest/gtest.h>

namespace ov::ui::test {
namespace {

const char* kindName(int k) {
  static const char* names[] = {"message box", "file dialog", "folder dialog", "font dialog", "popup menu",
                                "text prompt"};
  return names[k];
}

std::string withoutAmpersand(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '&') out += c;
  return out;
}

// The id of the first item (depth first) whose text matches.
std::string findItem(const std::vector<PopupItem>& items, const std::string& text) {
  for (const PopupItem& i : items) {
    if (!i.separator && i.children.empty() && withoutAmpersand(i.text) == text) return i.enabled ? i.id : "";
    std::string sub = findItem(i.children, text);
    if (!sub.empty()) return sub;
  }
  return {};
}

bool hasItem(const std::vector<PopupItem>& items, const std::string& text) {
  for (const PopupItem& i : items) {
    if (!i.separator && withoutAmpersand(i.text) == text) return true;
    if (hasItem(i.children, text)) return true;
  }
  return false;
}

}  // namespace

ScriptedHost::Expect ScriptedHost::make(Kind kind, std::string match, int answer) {
  Expect e;
  e.kind = kind;
  e.match = std::move(match);
  e.answer = answer;
  return e;
}

ScriptedHost::ScriptedHost() {
  m_previous = &host();
  setHost(this);
}

ScriptedHost::~ScriptedHost() {
  setHost(m_previous == &qtHost() ? nullptr : m_previous);
  for (const Expect& e : m_expect)
    ADD_FAILURE() << "expected " << kindName(static_cast<int>(e.kind)) << " \"" << e.match << "\" never came";
}

ScriptedHost& ScriptedHost::expectMessage(std::string contains, int answer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_expect.push_back(make(Kind::Message, std::move(contains), answer));
  return *this;
}

ScriptedHost& ScriptedHost::expectFile(std::string title, std::vector<std::string> paths) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Expect e = make(Kind::File, std::move(title));
  e.paths = std::move(paths);
  m_expect.push_back(std::move(e));
  return *this;
}

ScriptedHost& ScriptedHost::expectFolder(std::string title, std::optional<std::string> folder) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Expect e = make(Kind::Folder, std::move(title));
  e.text = std::move(folder);
  m_expect.push_back(std::move(e));
  return *this;
}

ScriptedHost& ScriptedHost::expectFont(std::string title, std::optional<FontChoice> font) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Expect e = make(Kind::Font, std::move(title));
  e.font = std::move(font);
  m_expect.push_back(std::move(e));
  return *this;
}

ScriptedHost& ScriptedHost::expectPopup(std::string item) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_expect.push_back(make(Kind::Popup, std::move(item)));
  return *this;
}

ScriptedHost& ScriptedHost::expectAsk(std::string prompt, std::optional<std::string> answer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Expect e = make(Kind::Ask, std::move(prompt));
  e.text = std::move(answer);
  m_expect.push_back(std::move(e));
  return *this;
}

std::vector<MessageRequest> ScriptedHost::messages() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

std::vector<PopupRequest> ScriptedHost::popups() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_popups;
}

int ScriptedHost::beeps() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_beeps;
}

int ScriptedHost::busyDepth() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_busy;
}

bool ScriptedHost::pending() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return !m_expect.empty();
}

std::optional<ScriptedHost::Expect> ScriptedHost::take(Kind kind, const std::string& what,
                                                        const std::string& haystack) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_expect.empty()) {
    ADD_FAILURE() << "unexpected " << kindName(static_cast<int>(kind)) << ": " << what;
    return std::nullopt;
  }
  Expect e = m_expect.front();
  bool matches = e.kind == kind && (kind == Kind::Popup || haystack.find(e.match) != std::string::npos);
  if (!matches) {
    ADD_FAILURE() << "unexpected " << kindName(static_cast<int>(kind)) << ": " << what << " (expected "
                  << kindName(static_cast<int>(e.kind)) << " \"" << e.match << "\")";
    return std::nullopt;
  }
  m_expect.erase(m_expect.begin());
  return e;
}

int ScriptedHost::message(const MessageRequest& r) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(r);
  }
  auto e = take(Kind::Message, "\"" + r.title + "\": \"" + r.text + "\"", r.title + "\n" + r.text);
  if (e) return e->answer;
  if (!r.custom.empty()) return static_cast<int>(r.custom.size());
  for (int bit : {BUTTON::Cancel, BUTTON::No, BUTTON::Ok, BUTTON::Ignore, BUTTON::Abort, BUTTON::Retry, BUTTON::Yes})
    if (r.buttons & bit) return bit;
  return BUTTON::Ok;
}

std::optional<std::vector<std::string>> ScriptedHost::fileDialog(const FileRequest& r) {
  auto e = take(Kind::File, "\"" + r.title + "\" (" + r.file + ")", r.title);
  if (!e || e->paths.empty()) return std::nullopt;
  return e->paths;
}

std::optional<std::string> ScriptedHost::folderDialog(const FolderRequest& r) {
  auto e = take(Kind::Folder, "\"" + r.title + "\"", r.title);
  if (!e) return std::nullopt;
  return e->text;
}

std::optional<FontChoice> ScriptedHost::fontDialog(std::string_view title, const FontChoice&) {
  auto e = take(Kind::Font, "\"" + std::string(title) + "\"", std::string(title));
  if (!e) return std::nullopt;
  return e->font;
}

std::string ScriptedHost::popup(const PopupRequest& r) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_popups.push_back(r);
  }
  std::string items;
  for (const PopupItem& i : r.items) items += (items.empty() ? "" : "|") + (i.separator ? "-" : i.text);
  auto e = take(Kind::Popup, "[" + items + "]", items);
  if (!e || e->match.empty()) return {};
  if (!hasItem(r.items, e->match)) {
    ADD_FAILURE() << "popup [" << items << "] has no item \"" << e->match << "\"";
    return {};
  }
  std::string id = findItem(r.items, e->match);
  if (id.empty()) ADD_FAILURE() << "popup item \"" << e->match << "\" is disabled";
  return id;
}

std::optional<std::string> ScriptedHost::askText(std::string_view title, std::string_view prompt,
                                                 std::string_view) {
  std::string what = "\"" + std::string(title) + "\": \"" + std::string(prompt) + "\"";
  auto e = take(Kind::Ask, what, std::string(title) + "\n" + std::string(prompt));
  if (!e) return std::nullopt;
  return e->text;
}

void ScriptedHost::beep(int) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_beeps;
}

std::string ScriptedHost::clipboardText() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_clipText;
}

void ScriptedHost::setClipboardText(std::string_view text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_clipText = text;
  m_clipImage = QImage();
}

bool ScriptedHost::clipboardImage(QImage& image) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_clipImage.isNull()) return false;
  image = m_clipImage;
  return true;
}

void ScriptedHost::setClipboardImage(const QImage& image) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_clipImage = image;
  m_clipText.clear();
}

void ScriptedHost::setBusy(bool busy) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_busy += busy ? 1 : -1;
}

}  // namespace ov::ui::test
