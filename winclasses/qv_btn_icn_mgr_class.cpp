#include "winclasses/qv_btn_icn_mgr_class.h"

#include <algorithm>
#include <filesystem>

#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/record.h"
#include "platform/rt/text.h"
#include "platform/ui/control.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::winclasses {

namespace {

// A line of the button file.
struct BtnRecord {
  rt::String<256> BTNTEXT;
  rt::String<256> ICON;
  rt::String<256> NEWBTNTEXT;
};
const rt::FieldDesc kBtnFields[] = {
    {"BTN:BTNTEXT", rt::FieldType::String, 256, 0, offsetof(BtnRecord, BTNTEXT)},
    {"BTN:ICON", rt::FieldType::String, 256, 256, offsetof(BtnRecord, ICON)},
    {"BTN:NEWBTNTEXT", rt::FieldType::String, 256, 512, offsetof(BtnRecord, NEWBTNTEXT)},
};
const rt::RecordDesc kBtnRecord{"BTN", kBtnFields, 768};

std::string clip(std::string_view s) { return std::string(rt::clipView(s)); }
bool exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}
bool sameIcon(std::string_view a, std::string_view b) {
  auto bare = [](std::string_view s) { return rt::UPPER(clip(s.substr(s.starts_with("~") ? 1 : 0))); };
  return bare(a) == bare(b);
}

}  // namespace

std::string QVBtnIcnMgrClass::StandardIcon(std::string_view name) { return ui::standardIconCode(name); }

void QVBtnIcnMgrClass::add(BtnEntry e) {
  auto at = std::upper_bound(BTNQ->begin(), BTNQ->end(), e.BTNTEXT,
                             [](const std::string& t, const BtnEntry& x) { return t < x.BTNTEXT; });
  BTNQ->insert(at, std::move(e));
}

const BtnEntry* QVBtnIcnMgrClass::find(std::string_view caption) const {
  if (!BTNQ) return nullptr;
  std::string key = clip(caption);
  auto at = std::lower_bound(BTNQ->begin(), BTNQ->end(), key,
                             [](const BtnEntry& x, const std::string& t) { return x.BTNTEXT < t; });
  return at != BTNQ->end() && at->BTNTEXT == key ? &*at : nullptr;
}

void QVBtnIcnMgrClass::Init(std::string_view fileName) {
  if (!ACTIVE) {
    BTNQ = std::make_unique<TBtnQ>();
    ACTIVE = 1;
  }
  std::string name(fileName);
  if (name.empty() || !exists(name)) return;
  BtnRecord BTN;
  db::FileDecl decl;
  decl.label = "BTNFILE";
  decl.prefix = "BTN";
  decl.name = "BTNFILE";
  decl.nameFrom = [name] { return name; };
  decl.driver = db::Driver::Basic;
  decl.record = &kBtnRecord;
  decl.buffer = &BTN;
  decl.bufferSize = sizeof BTN;
  decl.errorLabel = "Button file [BtnFile]";
  db::File BTNFILE(decl);
  // Read only, others may write: reading needs no more, and a folder the user cannot write to works.
  if (BTNFILE.open(db::kReadOnly | db::kDenyNone) != rt::Err::None) return;
  BTNQ->clear();
  if (BTNFILE.set() == rt::Err::None) {
    while (BTNFILE.next() == rt::Err::None) {
      BtnEntry e{clip(BTN.BTNTEXT.str()), clip(BTN.ICON.str()), clip(BTN.NEWBTNTEXT.str())};
      if (rt::UPPER(e.ICON).starts_with("ICON:"))
        if (std::string code = StandardIcon(e.ICON); !code.empty()) e.ICON = code;
      if (e.NEWBTNTEXT.starts_with("?")) e.NEWBTNTEXT.clear();
      add(std::move(e));
    }
  }
  (void)BTNFILE.close();
}

void QVBtnIcnMgrClass::CopyQ(const TBtnQ& q) {
  if (!BTNQ) BTNQ = std::make_unique<TBtnQ>();
  ACTIVE = 1;
  BTNQ->clear();
  for (const BtnEntry& e : q) add(e);
}

void QVBtnIcnMgrClass::CheckButtons() {
  ui::Window* w = ui::currentWindow();
  if (!ACTIVE || !w) return;
  for (int feq : w->allControls()) {
    ui::Control* c = w->control(feq);
    if (!c || c->kind() != ui::Kind::Button) continue;
    if (const BtnEntry* rule = find(c->textProp())) Assign(feq, *rule);
  }
}

void QVBtnIcnMgrClass::CheckButton(int32_t button, std::string_view caption) {
  if (!ACTIVE) return;
  if (const BtnEntry* rule = find(caption)) Assign(button, *rule);
}

void QVBtnIcnMgrClass::Assign(int32_t button, const BtnEntry& rule) {
  ui::Window* w = ui::currentWindow();
  if (!w || !w->control(button)) return;
  std::string caption = clip(rule.NEWBTNTEXT);
  if (rt::UPPER(caption) == "<BLANK>") {
    if (!w->prop(button, ui::Prop::Text).empty()) w->setProp(button, ui::Prop::Text, "");
  } else if (!caption.empty()) {
    w->setProp(button, ui::Prop::Text, caption);
  }
  std::string icon = clip(rule.ICON);
  if (icon.empty()) return;
  if (rt::UPPER(icon) == "<BLANK>") {
    w->setProp(button, ui::Prop::Icon, "");
    return;
  }
  if (sameIcon(w->prop(button, ui::Prop::Icon), icon)) return;
  bool bare = !icon.starts_with("~") && icon.find('\\') == std::string::npos && icon.find('/') == std::string::npos &&
              !icon.starts_with("<");
  if (!clip(PATH).empty() && bare) {
    std::filesystem::path inPath = std::filesystem::path(clip(PATH)) / icon;
    if (exists(inPath.string()))
      w->setProp(button, ui::Prop::Icon, inPath.string());
    else if (exists(icon))
      w->setProp(button, ui::Prop::Icon, icon);
    return;
  }
  w->setProp(button, ui::Prop::Icon, icon);
}

void QVBtnIcnMgrClass::Kill() {
  if (!ACTIVE) return;
  BTNQ.reset();
  ACTIVE = 0;
}

}  // namespace ov::winclasses
