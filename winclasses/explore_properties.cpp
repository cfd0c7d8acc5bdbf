// The "List Properties" window of ExploreClass: which fields the list shows and in which order,
// the current column's attributes and the list box's own, every change applied at once.
#include <cstdlib>

#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"
#include "platform/rt/record.h"
#include "platform/ui/host.h"
#include "platform/ui/list_control.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "winclasses/explore_class.h"

namespace ov::winclasses {

namespace {

struct FieldRow {
  rt::String<4> Tick;  // a tick mark: three bytes in UTF-8
  rt::String<35> Description;
};
const rt::FieldDesc kFieldRowFields[] = {
    {"FR:Tick", rt::FieldType::String, 4, 0, offsetof(FieldRow, Tick)},
    {"FR:Description", rt::FieldType::String, 35, 4, offsetof(FieldRow, Description)},
};
const rt::RecordDesc kFieldRow{"FR", kFieldRowFields, 39};

constexpr int kAltUp = ui::Key::Alt + 38, kAltDown = ui::Key::Alt + 40;
constexpr int kAltLeft = ui::Key::Alt + 37, kAltRight = ui::Key::Alt + 39;
constexpr int kAlt1 = ui::Key::Alt + '1', kAlt2 = ui::Key::Alt + '2';

class PropertiesWindow : public ui::WindowManager {
 public:
  explicit PropertiesWindow(ExploreClass& e) : WindowManager("ExploreListProperties"), m_e(e) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("List Properties");
    w.at(-1, -1, 330, 230);
    for (int k : {kAltUp, kAltDown, kAltLeft, kAltRight, kAlt1, kAlt2}) w.alert(k);
    const int64_t m = m_e.vars.mask ? *m_e.vars.mask : 0;
    w.prompt("?Props:AvailablePrompt", "Available fields:").at(6, 4, 100, 10);
    m_available = &w.add<ui::ListControl>(0, "?Props:Available");
    m_available->from(m_availableRows, kFieldRow).format("10C@s4@120L@s35@").at(6, 14, 130, 90);
    w.prompt("?Props:ActivePrompt", "Active fields:").at(190, 4, 100, 10);
    m_active = &w.add<ui::ListControl>(0, "?Props:Active");
    m_active->from(m_activeRows, kFieldRow).format("120L@s35@#2#").at(190, 14, 130, 90);
    m_add = w.button("?Props:Add", "Add >").at(142, 20, 42, 14).feq();
    m_hide = w.button("?Props:Hide", "< Hide").at(142, 38, 42, 14).feq();
    m_left = w.button("?Props:MoveLeft", "Move Column Left").at(190, 106, 64, 14).feq();
    m_right = w.button("?Props:MoveRight", "Move Column Right").at(256, 106, 64, 14).feq();

    auto enable = [&](int feq, int64_t bit) {
      if (!(m & bit)) w.setProp(feq, ui::Prop::Disable, 1);
    };
    w.prompt("?Props:HeaderPrompt", "Header:").at(6, 110, 40, 10);
    m_header = w.entry("?Props:Header", "@s25").at(50, 108, 100, 12).use(m_headerText).feq();
    enable(m_header, ExploreMask::HeaderText);
    w.prompt("?Props:WidthPrompt", "Width:").at(6, 124, 40, 10);
    m_width = w.spin("?Props:Width", "@n4").range(1, 9999).at(50, 122, 40, 12).use(m_widthValue).feq();
    enable(m_width, ExploreMask::Width);
    m_fixed = w.check("?Props:Fixed", "Fixed").at(6, 138, 40, 10).use(m_fixedFlag).feq();
    enable(m_fixed, ExploreMask::Fixed);
    m_underline = w.check("?Props:Underline", "Underline").at(50, 138, 50, 10).use(m_underlineFlag).feq();
    enable(m_underline, ExploreMask::Underline);
    m_border = w.check("?Props:Border", "Border").at(104, 138, 40, 10).use(m_borderFlag).feq();
    enable(m_border, ExploreMask::Border);
    m_resize = w.check("?Props:Resize", "Resize").at(148, 138, 40, 10).use(m_resizeFlag).feq();
    enable(m_resize, ExploreMask::Resize);
    m_hjust = justification("?Props:HJust", "Header", 152, m_hjustValue, 0x20);
    w.prompt("?Props:HOffsetPrompt", "Offset:").at(6, 176, 30, 10);
    m_hoffset = w.spin("?Props:HOffset", "@n3").range(0, 99).at(40, 174, 30, 12).use(m_hoffsetValue).feq();
    enable(m_hoffset, ExploreMask::HeaderOffset);
    m_fjust = justification("?Props:FJust", "Data", 188, m_fjustValue, 0x1);
    w.prompt("?Props:FOffsetPrompt", "Offset:").at(6, 212, 30, 10);
    m_foffset = w.spin("?Props:FOffset", "@n3").range(0, 99).at(40, 210, 30, 12).use(m_foffsetValue).feq();
    enable(m_foffset, ExploreMask::DataOffset);

    // The list box itself.
    m_e.PrepareVars();
    m_hscrollFlag = m_e.Pars.HScroll ? 1 : 0;
    m_vscrollFlag = m_e.Pars.VScroll ? 1 : 0;
    static const char* const kBox[] = {"X:", "Y:", "Width:", "Height:"};
    int32_t* boxValues[] = {&m_e.Pars.XPos, &m_e.Pars.YPos, &m_e.Pars.Width, &m_e.Pars.Height};
    const int64_t boxBits[] = {ExploreMask::ListX, ExploreMask::ListY, ExploreMask::ListWidth, ExploreMask::ListHeight};
    for (int i = 0; i < 4; ++i) {
      w.prompt("?Props:BoxPrompt" + std::to_string(i + 1), kBox[i]).at(200, 124 + i * 14, 36, 10);
      m_box[i] = w.spin("?Props:Box" + std::to_string(i + 1), "@n5").range(0, 9999).at(240, 122 + i * 14, 40, 12)
                     .use(*boxValues[i])
                     .feq();
      enable(m_box[i], boxBits[i]);
      if (!m_e.Def.AllowBBResize) {
        w.setProp(m_box[i], ui::Prop::Hide, 1);
        w.setProp(m_box[i] - 1, ui::Prop::Hide, 1);
      }
    }
    w.prompt("?Props:LineHeightPrompt", "Line Height:").at(200, 180, 40, 10);
    m_lineHeight = w.spin("?Props:LineHeight", "@n3").range(0, 99).at(240, 178, 40, 12).use(m_e.Pars.LineHeight).feq();
    enable(m_lineHeight, ExploreMask::LineHeight);
    m_hscroll = w.check("?Props:HScroll", "H Scroll").at(200, 194, 50, 10).use(m_hscrollFlag).feq();
    enable(m_hscroll, ExploreMask::HScroll);
    m_vscroll = w.check("?Props:VScroll", "V Scroll").at(254, 194, 50, 10).use(m_vscrollFlag).feq();
    enable(m_vscroll, ExploreMask::VScroll);

    m_reset = w.button("?Props:Reset", "Reset to Defaults").at(90, 212, 60, 14).feq();
    m_font = w.button("?Props:Font", "F&ont").at(152, 212, 40, 14).feq();
    enable(m_font, ExploreMask::Font);
    m_colors = w.button("?Props:Colors", "C&olors").at(194, 212, 40, 14).feq();
    enable(m_colors, ExploreMask::Colors);
    m_close = w.button("?Props:Close", "Cl&ose").at(280, 212, 40, 14).feq();

    ui::ListControl& l = m_e.list();
    m_savedColumn = l.columnCursor();
    l.setProp(ui::Prop::Column, "1");
    m_e.CurrentCol = 1;
    fillLists(1, 1);
    Open();
    loadColumn();
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    int f = ui::ACCEPTED();
    if (f == m_close) {
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    if (f == m_add) return add(m_available->selected());
    if (f == m_hide) return hide(m_active->selected());
    if (f == m_left || f == m_right) return move(f == m_right);
    if (f == m_reset) {
      m_e.ResetToDefault();
      m_e.CurrentCol = 1;
      fillLists(1, 1);
      loadColumn();
      return ui::Level::Notify;
    }
    if (f == m_font) {
      m_e.HandleMyEvents(ExploreEvent::Font);
      return ui::Level::Notify;
    }
    if (f == m_colors) {
      m_e.CurrentCol = m_active->selected();
      m_e.list().setProp(ui::Prop::Column, std::to_string(m_e.CurrentCol));
      m_e.ColorColAttribute();
      return ui::Level::Notify;
    }
    if (f != m_available->feq() && f != m_active->feq()) {
      (void)ui::UPDATE(f);
      applyControl(f);
    }
    return WindowManager::TakeAccepted();
  }

  ui::Level TakeNewSelection() override {
    int f = ui::FIELD();
    if (f == m_active->feq()) {
      m_e.CurrentCol = m_active->selected();
      m_e.list().setProp(ui::Prop::Column, std::to_string(m_e.CurrentCol));
      loadColumn();
    } else if (f != m_available->feq()) {
      (void)ui::UPDATE(f);
      applyControl(f);
    }
    return WindowManager::TakeNewSelection();
  }

  ui::Level TakeFieldEvent() override {
    // A right click adds from the available fields and hides from the active ones.
    if (ui::EVENT() == ui::EVENT::AlertKey && ui::KEYCODE() == ui::Key::MouseRight) {
      if (ui::FIELD() == m_available->feq()) return add(m_available->selected());
      if (ui::FIELD() == m_active->feq()) return hide(m_active->selected());
    }
    if (ui::EVENT() == ui::EVENT::AlertKey && takeKey(ui::KEYCODE())) return ui::Level::Notify;
    return WindowManager::TakeFieldEvent();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::AlertKey && takeKey(ui::KEYCODE())) return ui::Level::Notify;
    return WindowManager::TakeWindowEvent();
  }

  ui::Level Kill() override {
    if (!m_killed) {
      m_killed = true;
      m_e.list().setProp(ui::Prop::Column, std::to_string(m_savedColumn));
    }
    return WindowManager::Kill();
  }

 private:
  int justification(const char* name, const char* title, int y, std::string& value, int64_t firstBit) {
    ui::Window& w = window();
    int opt = w.option(name, title).at(6, y, 180, 20).use(value).feq();
    static const char* const kJust[][2] = {{"L", "Left"}, {"C", "Center"}, {"R", "Right"}, {"D", "Decimal"}};
    const int64_t m = m_e.vars.mask ? *m_e.vars.mask : 0;
    for (int i = 0; i < 4; ++i) {
      int r = w.radio(std::string(name) + kJust[i][0], kJust[i][1], opt).value(kJust[i][0]).at(10 + i * 44, y + 8, 42, 10).feq();
      if (!(m & (firstBit << i))) w.setProp(r, ui::Prop::Disable, 1);
    }
    return opt;
  }

  bool takeKey(int key) {
    switch (key) {
      case kAltUp: (void)move(false); return true;
      case kAltDown: (void)move(true); return true;
      case kAltLeft: (void)hide(m_active->selected()); return true;
      case kAltRight: (void)add(m_available->selected()); return true;
      case kAlt1: ui::SELECT(m_available->feq()); return true;
      case kAlt2: ui::SELECT(m_active->feq()); return true;
      default: return false;
    }
  }

  void fillLists(int availableRow, int activeRow) {
    m_availableRows.FREE();
    for (const XPGQ& f : m_e.FQ) {
      bool shown = false;
      for (const XPGQ& s : m_e.SQ) shown = shown || s.QNos == f.QNos;
      m_availableRows.buf = FieldRow{};
      m_availableRows.buf.Tick = shown ? "\xE2\x9C\x93" : "";
      m_availableRows.buf.Description = f.Description;
      m_availableRows.ADD();
    }
    m_activeRows.FREE();
    for (const XPGQ& s : m_e.SQ) {
      m_activeRows.buf = FieldRow{};
      m_activeRows.buf.Description = s.Description;
      m_activeRows.ADD();
    }
    m_available->display();
    m_active->display();
    m_available->setSelected(availableRow);
    m_active->setSelected(activeRow);
  }

  // The controls of the current column show its attributes.
  void loadColumn() {
    XPGQ* c = m_e.columnAt(m_e.CurrentCol);
    if (!c) return;
    m_headerText = c->Header;
    m_widthValue = c->WidthDLU;
    m_fixedFlag = c->Fixed;
    m_underlineFlag = c->ULine;
    m_borderFlag = c->Border;
    m_resizeFlag = c->Resize;
    m_hjustValue = std::string(1, c->HJust);
    m_fjustValue = std::string(1, c->FJust);
    m_hoffsetValue = c->HOffset;
    m_foffsetValue = c->FOffset;
    window().display();
  }

  void applyControl(int f) {
    ui::ListControl& l = m_e.list();
    for (int i = 0; i < 4; ++i)
      if (f == m_box[i]) {
        static const int kProps[] = {ui::Prop::Xpos, ui::Prop::Ypos, ui::Prop::Width, ui::Prop::Height};
        int32_t v[] = {m_e.Pars.XPos, m_e.Pars.YPos, m_e.Pars.Width, m_e.Pars.Height};
        l.setProp(kProps[i], std::to_string(v[i]));
        return;
      }
    if (f == m_lineHeight) return l.setProp(ui::Prop::LineHeight, std::to_string(m_e.Pars.LineHeight)), void();
    if (f == m_hscroll) {
      m_e.Pars.HScroll = m_hscrollFlag != 0;
      l.setProp(ui::Prop::HScroll, m_hscrollFlag ? "1" : "0");
      return;
    }
    if (f == m_vscroll) {
      m_e.Pars.VScroll = m_vscrollFlag != 0;
      l.setProp(ui::Prop::VScroll, m_vscrollFlag ? "1" : "0");
      return;
    }
    // Column controls act only while the current column is shown.
    int col = m_e.CurrentCol;
    XPGQ* c = m_e.columnAt(col);
    if (!c) return;
    using namespace ui::PROPLIST;
    if (f == m_header) {
      c->Header = std::string(rt::clipView(m_headerText)).substr(0, 25);
      (void)l.setPropList(Header, col, c->Header);
    } else if (f == m_width) {
      c->WidthDLU = m_widthValue;
      (void)l.setPropList(Width, col, std::to_string(m_widthValue));
    } else if (f == m_fixed) {
      c->Fixed = m_fixedFlag;
      (void)l.setPropList(Fixed, col, m_fixedFlag ? "1" : "0");
    } else if (f == m_underline) {
      c->ULine = m_underlineFlag;
      (void)l.setPropList(Underline, col, m_underlineFlag ? "1" : "0");
    } else if (f == m_border) {
      c->Border = m_borderFlag;
      (void)l.setPropList(RightBorder, col, m_borderFlag ? "1" : "0");
    } else if (f == m_resize) {
      c->Resize = m_resizeFlag;
      (void)l.setPropList(Resize, col, m_resizeFlag ? "1" : "0");
    } else if (f == m_hjust || f == m_hoffset) {
      if (!m_hjustValue.empty()) c->HJust = m_hjustValue[0];
      c->HOffset = m_hoffsetValue;
      m_e.NewColumnHJ();
    } else if (f == m_fjust || f == m_foffset) {
      if (!m_fjustValue.empty()) c->FJust = m_fjustValue[0];
      c->FOffset = m_foffsetValue;
      m_e.NewColumnFJ();
    }
  }

  ui::Level add(int row) {
    if (row < 1 || row > static_cast<int>(m_e.FQ.size())) return ui::Level::Notify;
    m_e.GetColumnInfo(false, true);
    XPGQ f = m_e.FQ[static_cast<size_t>(row - 1)];
    for (size_t i = 0; i < m_e.SQ.size(); ++i)
      if (m_e.SQ[i].QNos == f.QNos) {
        m_active->setSelected(static_cast<int>(i) + 1);
        ui::BEEP();
        return ui::Level::Notify;
      }
    f.Seq = f.Col = static_cast<int>(m_e.SQ.size()) + 1;
    if (f.WidthDLU == 0) f.WidthDLU = 10;
    f.Display = true;
    f.Icon = 1;
    m_e.FQ[static_cast<size_t>(row - 1)].Icon = 1;
    m_e.SQ.push_back(f);
    m_e.ReformatListBox();
    m_e.GetColumnInfo(false, true);
    m_e.CurrentCol = static_cast<int>(m_e.SQ.size());
    fillLists(row, m_e.CurrentCol);
    loadColumn();
    return ui::Level::Notify;
  }

  ui::Level hide(int row) {
    if (m_e.SQ.size() < 2 || row < 1 || row > static_cast<int>(m_e.SQ.size())) return ui::Level::Notify;
    m_e.GetColumnInfo(false, true);
    m_e.CurrentCol = row;
    m_e.HideColumn();
    m_e.CurrentCol = std::min(row, static_cast<int>(m_e.SQ.size()));
    fillLists(m_available->selected(), m_e.CurrentCol);
    loadColumn();
    return ui::Level::Notify;
  }

  ui::Level move(bool right) {
    int row = m_active->selected();
    if (row < 1) return ui::Level::Notify;
    m_e.GetColumnInfo(false, true);
    m_e.CurrentCol = row;
    if (right)
      m_e.MoveColRight();
    else
      m_e.MoveColLeft();
    m_e.ReformatListBox();
    m_e.GetColumnInfo(false, true);
    fillLists(m_available->selected(), m_e.CurrentCol);
    return ui::Level::Notify;
  }

  ExploreClass& m_e;
  rt::Queue<FieldRow> m_availableRows, m_activeRows;
  ui::ListControl* m_available = nullptr;
  ui::ListControl* m_active = nullptr;
  int m_add = 0, m_hide = 0, m_left = 0, m_right = 0, m_reset = 0, m_font = 0, m_colors = 0, m_close = 0;
  int m_header = 0, m_width = 0, m_fixed = 0, m_underline = 0, m_border = 0, m_resize = 0;
  int m_hjust = 0, m_hoffset = 0, m_fjust = 0, m_foffset = 0;
  int m_box[4] = {};
  int m_lineHeight = 0, m_hscroll = 0, m_vscroll = 0;
  std::string m_headerText, m_hjustValue, m_fjustValue;
  int32_t m_widthValue = 0, m_hoffsetValue = 0, m_foffsetValue = 0;
  uint8_t m_fixedFlag = 0, m_underlineFlag = 0, m_borderFlag = 0, m_resizeFlag = 0;
  uint8_t m_hscrollFlag = 0, m_vscrollFlag = 0;
  int m_savedColumn = 0;
  bool m_killed = false;
};

}  // namespace

void ExploreClass::ProcReformat() {
  PropertiesWindow w(*this);
  (void)w.Run();
  ui::SELECT(LB);
}

}  // namespace ov::winclasses
