#include "dialogs/script_queue_viewer.h"

#include <algorithm>
#include <cstddef>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/requests.h"
#include "datalib/script_status.h"
#include "datalib/startup.h"
#include "dialogs/bug_report.h"
#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/list_control.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/program_windows.h"
#include "winclasses/q_box_class.h"

namespace ov::dialogs {

namespace {

using scheduler::ActiveScriptQueue;
using scheduler::ScriptEntry;

constexpr size_t kDetailsWidth = 80;

const rt::FieldDesc kEntryFields[] = {
    {"SCR:ID", rt::FieldType::Long, 4, 0, offsetof(ScriptEntry, RECORD) + offsetof(files::ScriptingRec, ID)},
    {"SCR:Sequence", rt::FieldType::Long, 4, 4, offsetof(ScriptEntry, RECORD) + offsetof(files::ScriptingRec, Sequence)},
    {"SCR:Action", rt::FieldType::String, 27, 8, offsetof(ScriptEntry, RECORD) + offsetof(files::ScriptingRec, Action)},
};
const rt::RecordDesc kEntry{"ActiveScriptQueue", kEntryFields, 35};

bool sameStep(const ScriptEntry& a, const ScriptEntry& b) {
  return a.RECORD.ID == b.RECORD.ID && a.RECORD.Sequence == b.RECORD.Sequence && a.DATE == b.DATE &&
         a.TIME == b.TIME && a.RECORD.Action == b.RECORD.Action;
}

class ViewQueueWindow : public ui::WindowManager {
 public:
  ViewQueueWindow() : ui::WindowManager("ViewQueue:Script") {}

  ui::Level Init() override {
    if (files::Relate_SCRIPTING.Open() == rt::Err::None) m_opened = true;
    ui::Window& w = window();
    w.setTitle("Current Script");
    w.at(-1, -1, 240, 200).timer(100);
    m_list = w.add<ui::ListControl>(0, "?List")
                 .from(ActiveScriptQueue, kEntry)
                 .format("24R(2)|M~ID~L@n_4@28R(2)|M~Seq~L@n_5@108L(2)|M~Action~@s27@")
                 .at(4, 4, 232, 100)
                 .tip("Browse current script")
                 .feq();
    w.textBox("?DetailsText").at(4, 108, 232, 50).readOnly().use(m_details);
    m_detailsButton = w.button("?Details", "&Details").at(4, 164, 48, 14).feq();
    m_delete = w.button("?Delete", "Delete").at(56, 164, 48, 14).feq();
    CancelControl = w.button("?Close", "Cl&ose").at(188, 164, 48, 14).feq();
    w.prompt("?Prompt:Time", "Current Time:").at(4, 184, 50, 10);
    w.string("?CurrentTime", "").at(56, 184, 80, 10).use(m_time);
    m_hot = w.region("?HotRegion").at(224, 184, 12, 12).feq();
    Open();
    if (auto* list = dynamic_cast<ui::ListControl*>(window().control(m_list)); list && list->queue())
      m_box.Init(*list->queue(), m_list);
    m_position.Init(*this, files::globalIni(), true);
    m_seen = ActiveScriptQueue.RECORDS();
    showDetails();
    return ui::Level::Benign;
  }

  ui::Level TakeEvent() override {
    if (ui::EVENT() == ui::EVENT::Timer) {
      m_time = rt::CLIP(rt::FORMAT(rt::CLOCK(), "@t6"));
      if (ActiveScriptQueue.RECORDS() != m_seen) {
        m_seen = ActiveScriptQueue.RECORDS();
        // The step shown stays selected where the tick left it; a step the tick took leaves the
        // selection at its old row.
        const int row = rowOf(m_shown);
        reselect(row ? row : selected());
      }
      window().display();
    }
    return ui::WindowManager::TakeEvent();
  }

  ui::Level TakeFieldEvent() override {
    if (ui::FIELD() == m_list) {
      switch (ui::EVENT()) {
        case ui::EVENT::ScrollUp: m_box.ScrollUp(); break;
        case ui::EVENT::ScrollDown: m_box.ScrollDown(); break;
        case ui::EVENT::PageUp: m_box.PageUp(); break;
        case ui::EVENT::PageDown: m_box.PageDown(); break;
        case ui::EVENT::ScrollTop: m_box.UpdatePosition(1); break;
        case ui::EVENT::ScrollBottom: m_box.UpdatePosition(ActiveScriptQueue.RECORDS()); break;
        case ui::EVENT::ScrollDrag: m_box.Drag(int32_t(window().propInt(m_list, ui::Prop::VScrollPos))); break;
        default: break;
      }
    }
    return ui::WindowManager::TakeFieldEvent();
  }

  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_list) showDetails();
    return ui::WindowManager::TakeNewSelection();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_list) {
      m_box.TakeAccepted(false);
      showDetails();
    }
    if (feq == m_detailsButton) details();
    if (feq == m_delete) {
      Update();
      // The step the user selected, wherever the tick has moved it since; a step already taken
      // is not there to delete, and no other step goes in its place.
      const int row = selected();
      const int at = m_hasShown ? rowOf(m_shown) : 0;
      if (at && ActiveScriptQueue.GET(at) == rt::Err::None) (void)ActiveScriptQueue.DELETE();
      m_seen = ActiveScriptQueue.RECORDS();
      reselect(at ? at : row);
      window().select(m_list);
    }
    if (feq == m_hot) {
      files::DEBUG.ACTIVE = 1;
      ui::SETKEYCODE(0);
      BugReport();
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    const ui::Level rv = ui::WindowManager::Kill();
    if (m_opened) (void)files::Relate_SCRIPTING.Close();
    m_opened = false;
    return rv;
  }

 private:
  int selected() const { return int(window().propInt(m_list, ui::Prop::Selected)); }

  void reselect(int row) {
    const int n = ActiveScriptQueue.RECORDS();
    window().setProp(m_list, ui::Prop::Selected, n == 0 ? 0 : std::clamp(row, 1, n));
    window().display(m_list);
    showDetails();
  }

  // The row that holds `step` now, 0 when the queue no longer holds it.
  static int rowOf(const ScriptEntry& step) {
    for (int i = 1; i <= ActiveScriptQueue.RECORDS(); ++i)
      if (sameStep(ActiveScriptQueue.at(i), step)) return i;
    return 0;
  }

  void showDetails() {
    const int row = selected();
    m_hasShown = row >= 1 && row <= ActiveScriptQueue.RECORDS();
    if (m_hasShown) m_shown = ActiveScriptQueue.at(row);
    m_details = m_hasShown ? scriptStepDetails(m_shown) : "";
    // Details and Delete act on the step shown: greyed while there is none.
    window().setProp(m_detailsButton, ui::Prop::Disable, m_hasShown ? 0 : 1);
    window().setProp(m_delete, ui::Prop::Disable, m_hasShown ? 0 : 1);
    window().display();
  }

  // The step in the script item form, read-only. The form runs modally while the tick goes on,
  // so the step is looked up again afterwards.
  void details() {
    if (!m_hasShown || !rowOf(m_shown)) return;
    const ScriptEntry shown = m_shown;
    files::SCR = shown.RECORD;
    if (files::SCR.ID == 0) files::SCR.ID = -1;
    files::GLOBALREQUEST = ui::ViewRecord;
    (void)scheduler::callProgramWindow("UpdateScripting");
    if (files::GLOBALRESPONSE != ui::RequestCompleted) return;
    for (int i = 1; i <= ActiveScriptQueue.RECORDS(); ++i) {
      if (!sameStep(ActiveScriptQueue.at(i), shown)) continue;
      if (ActiveScriptQueue.GET(i) != rt::Err::None) return;
      ActiveScriptQueue.buf.RECORD = files::SCR;
      (void)ActiveScriptQueue.PUT();
      break;
    }
    showDetails();
  }

  winclasses::QBoxClass m_box;
  ScriptEntry m_shown{};  // the step selected and shown in the details
  bool m_hasShown = false;
  rt::String<kDetailsWidth> m_details;
  rt::String<20> m_time;
  ui::WindowPositionKeeper m_position;
  int m_seen = 0;
  bool m_opened = false;
  int m_list = 0, m_detailsButton = 0, m_delete = 0, m_hot = 0;
};

}  // namespace

std::string scriptStepDetails(const ScriptEntry& entry) {
  std::string text = rt::CLIP(rt::FORMAT(entry.DATE, "@d17")) + "\r\n" + rt::CLIP(rt::FORMAT(entry.TIME, "@t6")) +
                     "\r\n" + entry.RECORD.Action.str() + "\r\n" + files::SCRIPTSTATUS(entry.RECORD) + "\r\n";
  text.resize(rt::utf8CutLength(text, kDetailsWidth));
  return text;
}

std::unique_ptr<ui::WindowManager> makeViewQueueScript() { return std::make_unique<ViewQueueWindow>(); }

}  // namespace ov::dialogs
