#include "winclasses/ole_object_class.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::winclasses {

namespace {

// Where no OLE server exists: no object is ever made, and an OCX file cannot be loaded.
class NoOleServer : public OleControlRuntime {
 public:
  // The code a missing module gives when a program tries to load it.
  static constexpr long kModuleNotFound = 126;
  bool HasObject(int) const override { return false; }
  std::string ObjectReference(int) const override { return {}; }
  bool Create(int, std::string_view) override { return false; }
  long RegisterServer(std::string_view) override { return kModuleNotFound; }
  void SetAttr(int, OleAttr, long) override {}
  long Run(int, OleOp, std::string_view) override { return 0; }
  bool SaveToBlob(int, std::string&) override { return false; }
  bool ReadFromBlob(int, const std::string&) override { return false; }
  std::string Read(int, std::string_view) override { return {}; }
  void Release(int, std::string_view) override {}
  void CloseObject(int) override {}
  void SetEventProcedure(int, EventProcedure) override {}
};

OleControlRuntime* g_runtime = nullptr;

// The live wrappers, by control number and reference, through which OLE events find their wrapper.
struct LiveWrapper {
  int32_t OLEOBJECTCONTROL = 0;
  std::string reference;
  OleObjectClass* wrapper = nullptr;
};
std::vector<LiveWrapper>& liveWrappers() {
  static std::vector<LiveWrapper> q;
  return q;
}

void tellApplicationToCloseDown() { ui::POST(ui::EVENT::CloseDown, 0, ui::kFrameThread); }

bool isReference(std::string_view v) { return !v.empty() && v.front() == '`'; }

std::string cut(std::string_view text, size_t max) { return std::string(text.substr(0, std::min(text.size(), max))); }

}  // namespace

int OleControlRuntime::CreateControl(ui::Window& window) {
  ui::Region& r = window.region("");
  r.at(1, 1, 1, 1);
  window.setProp(r.feq(), ui::Prop::Hide, 1);
  return r.feq();
}

void OleControlRuntime::DestroyControl(ui::Window& window, int control) { window.destroyControl(control); }

OleControlRuntime& oleControlRuntime() {
  static NoOleServer none;
  return g_runtime ? *g_runtime : none;
}

void setOleControlRuntime(OleControlRuntime* runtime) { g_runtime = runtime; }

OleObjectClass::~OleObjectClass() {
  if (!DEAD) OleObjectClass::Kill();
}

OleControlRuntime& OleObjectClass::runtime() const { return oleControlRuntime(); }

void OleObjectClass::SetClip(bool on) { runtime().SetAttr(OLECONTROL, OleAttr::Clip, on); }
void OleObjectClass::SetStretch(bool on) { runtime().SetAttr(OLECONTROL, OleAttr::Stretch, on); }
void OleObjectClass::SetAutoSize(bool on) { runtime().SetAttr(OLECONTROL, OleAttr::AutoSize, on); }
void OleObjectClass::SetZoom(bool on) { runtime().SetAttr(OLECONTROL, OleAttr::Zoom, on); }
void OleObjectClass::SetCompatibility(long value) { runtime().SetAttr(OLECONTROL, OleAttr::Compatibility, value); }
void OleObjectClass::SetReportException(bool on) { runtime().SetAttr(OLECONTROL, OleAttr::ReportException, on); }
long OleObjectClass::Open(std::string_view file) { return runtime().Run(OLECONTROL, OleOp::Open, file); }
long OleObjectClass::Document(std::string_view file) { return runtime().Run(OLECONTROL, OleOp::Document, file); }
long OleObjectClass::Link(std::string_view file) { return runtime().Run(OLECONTROL, OleOp::Link, file); }
bool OleObjectClass::SaveToBlob(std::string& blob) { return runtime().SaveToBlob(OLECONTROL, blob); }
bool OleObjectClass::ReadFromBlob(const std::string& blob) { return runtime().ReadFromBlob(OLECONTROL, blob); }
long OleObjectClass::SaveAs(std::string_view file) { return runtime().Run(OLECONTROL, OleOp::SaveAs, file); }
long OleObjectClass::DoVerb(long verb) { return runtime().Run(OLECONTROL, OleOp::DoVerb, std::to_string(verb)); }
long OleObjectClass::Update() { return runtime().Run(OLECONTROL, OleOp::Update); }
bool OleObjectClass::CanPaste() { return runtime().Run(OLECONTROL, OleOp::CanPaste) != 0; }
long OleObjectClass::Paste() { return runtime().Run(OLECONTROL, OleOp::Paste); }
bool OleObjectClass::CanPasteLink() { return runtime().Run(OLECONTROL, OleOp::CanPasteLink) != 0; }
long OleObjectClass::PasteLink() { return runtime().Run(OLECONTROL, OleOp::PasteLink); }
long OleObjectClass::Copy() { return runtime().Run(OLECONTROL, OleOp::Copy); }

void OleObjectClass::Init() {
  if (ui::Window* w = ui::currentWindow()) Init(*w);
}

void OleObjectClass::Init(ui::Window& window) {
  const int control = runtime().CreateControl(window);
  OLEDISPATCH.clear();
  Init(window, control);
  OLECONTROLCREATED = true;
}

void OleObjectClass::Init(ui::Window& window, int control) {
  Init(window, control, std::string_view{});
  OLECONTROLCREATED = false;
}

void OleObjectClass::Init(ui::Window& window, int control, std::string_view creation) {
  DEAD = false;
  OLEWINDOW = &window;
  OLECONTROL = control;
  OLECONTROLCREATED = false;
  EVENTS = std::make_unique<std::vector<std::unique_ptr<std::vector<std::string>>>>();
  OleControlRuntime& rt = runtime();
  if (!rt.HasObject(control) && OLEDISPATCH.empty()) {
    bool created = rt.Create(control, creation);
    bool fatal = false;
    if (!created && !OLECONTROLFILENAME.empty()) {
      const long result = rt.RegisterServer(OLECONTROLFILENAME);
      if (result != 0) {
        ui::MESSAGE("Can not Register OLE Control " + OLECONTROLFILENAME + " Error: " + std::to_string(result),
                    "Fatal OLE Error", ui::Icon::Hand);
        fatal = true;
      } else {
        created = rt.Create(control, creation);
      }
    }
    if (!fatal && !created && !rt.HasObject(control)) {
      ui::MESSAGE("Can not Find OLE Control " + OLECONTROLFILENAME + "!", "Fatal OLE Error", ui::Icon::Hand);
      fatal = true;
    }
    if (fatal) tellApplicationToCloseDown();
    if (created) {
      rt.SetAttr(control, OleAttr::ReportException, 1);
      OLETYPECREATED = true;
    }
  }
  liveWrappers().push_back({OLECONTROL, OLEDISPATCH, this});
  EnableEvents();
  rt.SetEventProcedure(control, &OleObjectClass::EventProcedure);
  InitProperties();
}

void OleObjectClass::Init(ui::Window& window, int control, std::string_view reference, std::string_view creation,
                          bool autoRelease) {
  AUTORELEASE = autoRelease;
  if (reference.empty()) {
    ui::MESSAGE("Cannot Get OLE Object", "Error Creating OLE Object", ui::Icon::Hand);
    tellApplicationToCloseDown();
    return;
  }
  OLEDISPATCH = cut(std::string(reference) + ".", 199);
  Init(window, control, creation);
}

std::string OleObjectClass::GetObject() {
  if (OLEDISPATCH.empty()) return runtime().ObjectReference(OLECONTROL);
  return OLEDISPATCH.back() == '.' ? OLEDISPATCH.substr(0, OLEDISPATCH.size() - 1) : OLEDISPATCH;
}

void OleObjectClass::CreateFrom(std::unique_ptr<OleObjectClass> other) {
  if (!other) return;
  OLECONTROL = other->OLECONTROL;
  OLEDISPATCH = other->OLEDISPATCH;
  OLEWINDOW = other->OLEWINDOW;
  OLETYPECREATED = OLECONTROLCREATED = false;
  // The control and its object are this wrapper's now: the other one leaves them as they are.
  other->OLETYPECREATED = other->OLECONTROLCREATED = false;
  other->AUTORELEASE = false;
  other.reset();
}

bool OleObjectClass::CheckCreateError(std::string_view name, std::string_view value) {
  if (isReference(value)) return true;
  ui::MESSAGE("Cannot Get " + std::string(name) + " Object", "Error Creating OLE Object", ui::Icon::Exclamation);
  return false;
}

void OleObjectClass::Kill() {
  if (DEAD) return;
  OleControlRuntime& rt = runtime();
  if (AUTORELEASE && isReference(OLEDISPATCH)) {
    std::string ref = OLEDISPATCH;
    if (!ref.empty() && ref.back() == '.') ref.pop_back();
    // A reference with a "." of its own names a part of another object: that one owns it.
    if (ref.find('.', 1) == std::string::npos) rt.Release(OLECONTROL, ref);
  }
  const bool controlExists = OLEWINDOW && OLECONTROL && OLEWINDOW->control(OLECONTROL);
  if (OLETYPECREATED && controlExists) rt.CloseObject(OLECONTROL);
  if (OLECONTROLCREATED && controlExists) rt.DestroyControl(*OLEWINDOW, OLECONTROL);
  auto& q = liveWrappers();
  q.erase(std::remove_if(q.begin(), q.end(), [this](const LiveWrapper& w) { return w.wrapper == this; }), q.end());
  // The control's events stop with its last wrapper (an item wrapper shares its collection's).
  const bool shared = std::any_of(q.begin(), q.end(), [this](const LiveWrapper& w) { return w.OLEOBJECTCONTROL == OLECONTROL; });
  if (OLECONTROL && !shared) rt.SetEventProcedure(OLECONTROL, nullptr);
  OLECONTROL = 0;
  if (EVENTS) {
    for (auto& nested : *EVENTS) nested.reset();
    EVENTS.reset();
  }
  KillProperties();
  DEAD = true;
}

long OleObjectClass::EventProcedure(int control) {
  for (const LiveWrapper& w : liveWrappers())
    if (w.OLEOBJECTCONTROL == control) return w.wrapper->HandleOleEvent();
  return 0;
}

long OleObjectCollectionClass::Count() {
  return std::strtol(runtime().Read(OLECONTROL, OLEDISPATCH + "Count").c_str(), nullptr, 10);
}

std::unique_ptr<OleObjectClass> OleObjectCollectionClass::Item(long n) {
  const std::string ref = runtime().Read(OLECONTROL, OLEDISPATCH + "Item(" + std::to_string(n) + ")");
  if (isReference(ref) && OLEWINDOW) {
    auto item = std::make_unique<OleObjectClass>();
    item->Init(*OLEWINDOW, OLECONTROL, ref, {}, true);
    return item;
  }
  ui::MESSAGE("Cannot read OleObjectClass for Item " + std::to_string(n), "Error Creatig Ole Object",
              ui::Icon::Exclamation);
  return nullptr;
}

}  // namespace ov::winclasses
