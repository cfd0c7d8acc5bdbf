// The small windows of ExploreClass: a numeric attribute, the header text, the column colours,
// the user filter and the graph preferences. Each runs modally inside the event handler that
// opened it and applies its changes to the list as they are made.
#include <QCursor>
#include <cstdlib>
#include <functional>

#include "platform/rt/fixed_string.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "winclasses/explore_class.h"
#include "winclasses/explore_preferences.h"

namespace ov::winclasses {

namespace {

std::string clip(std::string_view s) { return std::string(rt::clipView(s)); }

// A window with one spin field whose every change is applied at once.
class AttributeWindow : public ui::WindowManager {
 public:
  AttributeWindow(std::string caption, std::string prompt, int32_t value, std::function<void(int32_t)> apply)
      : WindowManager("ExploreAttribute"), m_caption(std::move(caption)), m_prompt(std::move(prompt)),
        m_value(value), m_apply(std::move(apply)) {}
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_caption);
    w.at(-1, -1, 130, 44);
    w.prompt("?Attribute:Prompt", m_prompt).at(6, 8, 50, 10);
    m_spin = w.spin("?Attribute:Value", "@n5").range(0, 9999).at(60, 6, 50, 12).use(m_value).feq();
    m_ok = w.button("?Attribute:OK", "&OK").at(40, 26, 50, 14).feq();
    Open();
    return ui::Level::Benign;
  }
  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_ok) {
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    if (ui::ACCEPTED() == m_spin) applyValue();
    return WindowManager::TakeAccepted();
  }
  ui::Level TakeNewSelection() override {
    if (ui::FIELD() == m_spin) applyValue();
    return WindowManager::TakeNewSelection();
  }

 private:
  void applyValue() {
    (void)ui::UPDATE(m_spin);
    if (m_apply) m_apply(m_value);
  }
  std::string m_caption, m_prompt;
  int32_t m_value;
  std::function<void(int32_t)> m_apply;
  int m_spin = 0, m_ok = 0;
};

// The header text window: the entry's text becomes the header when accepted.
class HeaderTextWindow : public ui::WindowManager {
 public:
  HeaderTextWindow(std::string caption, std::string text, bool fill, std::function<void(const std::string&)> apply)
      : WindowManager("ExploreAttribute"), m_caption(std::move(caption)), m_text(std::move(text)), m_fill(fill),
        m_apply(std::move(apply)) {}
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_caption);
    w.at(-1, -1, 160, 44);
    w.prompt("?Attribute:Prompt", "Header Text:").at(6, 8, 50, 10);
    if (!m_fill) m_text.clear();
    m_entry = w.entry("?Attribute:Header", "@s25").at(60, 6, 94, 12).use(m_text).feq();
    m_ok = w.button("?Attribute:OK", "&OK").at(55, 26, 50, 14).feq();
    Open();
    return ui::Level::Benign;
  }
  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_ok) {
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    if (ui::ACCEPTED() == m_entry && m_fill && m_apply) m_apply(m_text);
    return WindowManager::TakeAccepted();
  }

 private:
  std::string m_caption, m_text;
  bool m_fill;
  std::function<void(const std::string&)> m_apply;
  int m_entry = 0, m_ok = 0;
};

std::string colorNames() {
  std::string s;
  for (const ColorName& c : kExploreColors) s += (s.empty() ? "" : "|") + std::string(c.name);
  return s;
}

std::string colorNameOf(int32_t value) {
  for (const ColorName& c : kExploreColors)
    if (c.value == value) return c.name;
  return {};
}

// The column colours window: four drop lists of colour names.
class ColorWindow : public ui::WindowManager {
 public:
  ColorWindow(std::string caption, std::array<int32_t, 4> colours, std::function<void(int, int32_t)> apply)
      : WindowManager("ExploreColumnColors"), m_caption(std::move(caption)), m_apply(std::move(apply)) {
    for (int i = 0; i < 4; ++i) m_names[i] = colorNameOf(colours[static_cast<size_t>(i)]);
  }
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_caption);
    w.at(-1, -1, 170, 100);
    static const char* const kPrompts[] = {"Normal Text:", "Normal Background:", "Selected Text:",
                                           "Selected Background:"};
    for (int i = 0; i < 4; ++i) {
      w.prompt("?Colors:Prompt" + std::to_string(i + 1), kPrompts[i]).at(6, 8 + i * 16, 70, 10);
      m_lists[i] = w.dropList("?Colors:Color" + std::to_string(i + 1), colorNames())
                       .at(80, 6 + i * 16, 80, 12)
                       .use(m_names[i])
                       .feq();
    }
    m_reset = w.button("?Colors:Reset", "&Reset").at(30, 76, 50, 14).feq();
    m_ok = w.button("?Colors:OK", "&OK").at(90, 76, 50, 14).feq();
    Open();
    return ui::Level::Benign;
  }
  ui::Level TakeAccepted() override {
    int f = ui::ACCEPTED();
    if (f == m_ok) {
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    if (f == m_reset) {
      for (int i = 0; i < 4; ++i) {
        m_names[i] = "None";
        window().display(m_lists[i]);
        m_apply(i, -1);
      }
      return ui::Level::Notify;
    }
    for (int i = 0; i < 4; ++i)
      if (f == m_lists[i]) {
        (void)ui::UPDATE(f);
        int32_t v = 0;
        if (ExploreClass::ColorStringToLong(clip(m_names[i]), v)) m_apply(i, v);
      }
    return WindowManager::TakeAccepted();
  }
  ui::Level TakeNewSelection() override {
    for (int i = 0; i < 4; ++i)
      if (ui::FIELD() == m_lists[i]) {
        (void)ui::UPDATE(m_lists[i]);
        int32_t v = 0;
        if (ExploreClass::ColorStringToLong(clip(m_names[i]), v)) m_apply(i, v);
      }
    return WindowManager::TakeNewSelection();
  }

 private:
  std::string m_caption;
  std::string m_names[4];
  std::function<void(int, int32_t)> m_apply;
  int m_lists[4] = {};
  int m_reset = 0, m_ok = 0;
};

// The user filter window: an operator and a value.
class FilterWindow : public ui::WindowManager {
 public:
  FilterWindow(std::string caption, std::string& symbol, std::string& value)
      : WindowManager("ExploreFilter"), m_caption(std::move(caption)), m_symbol(symbol), m_value(value) {}
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_caption);
    w.at(-1, -1, 190, 80);
    int opt = w.option("?Filter:Symbol", "Operator").at(6, 4, 178, 28).use(m_symbol).feq();
    static const char* const kOps[][2] = {{"EQ", "="},  {"LT", "<"},  {"GT", ">"},       {"LE", "<="},
                                          {"GE", ">="}, {"NE", "<>"}, {"CT", "Contains"}};
    int x = 10;
    for (const auto& o : kOps) {
      w.radio(std::string("?Filter:") + o[0], o[1], opt).value(o[0]).at(x, 14, 22, 10);
      x += o[0] == std::string_view("NE") ? 26 : 22;
    }
    w.prompt("?Filter:ValuePrompt", "Value").at(6, 40, 30, 10);
    m_typed = m_value;
    m_entry = w.entry("?Filter:Value", "@s31").at(40, 38, 144, 12).use(m_typed).feq();
    m_search = w.button("?Filter:Search", "Search").setDefault().at(70, 58, 50, 14).feq();
    w.alert(ui::Key::Esc);
    Open();
    return ui::Level::Benign;
  }
  ui::Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_search) {
      (void)ui::UPDATE();
      m_searched = true;
      m_value = m_typed;
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }
  ui::Level TakeFieldEvent() override {
    if (ui::EVENT() == ui::EVENT::AlertKey && ui::KEYCODE() == ui::Key::Esc) return escape();
    return WindowManager::TakeFieldEvent();
  }
  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::AlertKey && ui::KEYCODE() == ui::Key::Esc) return escape();
    return WindowManager::TakeWindowEvent();
  }
  // Only "Search" keeps the value: Escape, or closing the window otherwise, forgets it.
  ui::Level Kill() override {
    if (!m_searched) m_value.clear();
    return WindowManager::Kill();
  }

 private:
  ui::Level escape() {
    m_searched = false;
    m_value.clear();
    ui::POST(ui::EVENT::CloseWindow);
    return ui::Level::Notify;
  }
  std::string m_caption;
  std::string& m_symbol;
  std::string& m_value;
  std::string m_typed;  // the entry's text; the filter value only once "Search" is pressed
  int m_entry = 0, m_search = 0;
  bool m_searched = false;
};

// The preferences window: the colour order and the legend font.
class PreferencesWindow : public ui::WindowManager {
 public:
  PreferencesWindow(ExplorePreferencesData& data, int lowestMovable)
      : WindowManager("ExplorePreferences"), m_data(data), m_working(data), m_lowest(lowestMovable) {}
  bool okPressed() const { return m_okPressed; }
  const ExplorePreferencesData& working() const { return m_working; }
  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle("Preferences");
    w.at(-1, -1, 200, 190);
    int sheet = w.sheet("?Preferences:Sheet").at(4, 4, 192, 160).feq();
    int colours = w.tab("?Preferences:Colors", "&Colors", sheet).feq();
    int font = w.tab("?Preferences:Font", "Font", sheet).feq();
    w.string("?Preferences:ColorsTitle", "Graph Colors").on(colours).at(10, 20, 100, 10);
    m_list = w.dropList("?Preferences:List", listText()).on(colours).at(10, 32, 110, 12).use(m_chosen).feq();
    m_up = w.button("?Preferences:Up", "Up").on(colours).at(130, 32, 50, 14).feq();
    m_down = w.button("?Preferences:Down", "Down").on(colours).at(130, 50, 50, 14).feq();
    m_reset = w.button("?Preferences:Reset", "&Reset").on(colours).at(130, 68, 50, 14).feq();
    w.string("?Preferences:Note", "Note: Only the top 8 colors will be used for graphing").on(colours).at(10, 140, 180, 10);
    m_sample = w.string("?Preferences:Sample", sampleText()).on(font).at(10, 30, 170, 20).feq();
    m_font = w.button("?Preferences:Font", "Change &Font").on(font).at(10, 60, 60, 14).feq();
    m_ok = w.button("?Preferences:OK", "&OK").at(140, 170, 50, 14).feq();
    Open();
    return ui::Level::Benign;
  }
  ui::Level TakeAccepted() override {
    int f = ui::ACCEPTED();
    if (f == m_ok) {
      m_okPressed = true;
      ui::POST(ui::EVENT::CloseWindow);
      return ui::Level::Notify;
    }
    if (f == m_up || f == m_down) {
      (void)ui::UPDATE(m_list);
      int row = window().choice(m_list);
      bool moved = f == m_up ? m_working.moveUp(row, m_lowest) : m_working.moveDown(row, m_lowest);
      if (!moved) {
        ui::BEEP();
      } else {
        refreshList(f == m_up ? row - 1 : row + 1);
      }
      return ui::Level::Notify;
    }
    if (f == m_reset) {
      m_working.reset();
      m_wasReset = true;
      refreshList(1);
      return ui::Level::Notify;
    }
    if (f == m_font) {
      if (ui::FONTDIALOG("Select font for vertical legend on graphs", m_working.fontName, m_working.fontSize,
                         m_working.fontColor, m_working.fontStyle))
        window().setProp(m_sample, ui::Prop::Text, sampleText());
      return ui::Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }
  // What closing writes: the order only when closed by OK; the defaults after Reset.
  ExplorePreferencesData result() const {
    ExplorePreferencesData r = m_data;
    if (m_okPressed)
      r.colors = m_working.colors;
    else if (m_wasReset)
      r.reset();
    r.fontName = m_working.fontName;
    r.fontSize = m_working.fontSize;
    r.fontColor = m_working.fontColor;
    r.fontStyle = m_working.fontStyle;
    return r;
  }

 private:
  std::string listText() const {
    std::string s;
    for (const std::string& c : m_working.colors) s += (s.empty() ? "" : "|") + c;
    return s;
  }
  std::string sampleText() const {
    std::string style = ExplorePreferencesData::styleName(m_working.fontStyle);
    if (!style.empty()) m_style = style;
    return m_working.fontName + " " + std::to_string(m_working.fontSize) + " pt " + m_style;
  }
  void refreshList(int row) {
    if (auto* l = window().as<ui::ListChoice>(m_list)) l->from(listText());
    m_chosen = m_working.colors[static_cast<size_t>(std::max(1, row) - 1)];
    window().display(m_list);
  }
  ExplorePreferencesData& m_data;
  ExplorePreferencesData m_working;
  int m_lowest;
  std::string m_chosen;
  mutable std::string m_style;
  bool m_okPressed = false, m_wasReset = false;
  int m_list = 0, m_up = 0, m_down = 0, m_reset = 0, m_sample = 0, m_font = 0, m_ok = 0;
};

}  // namespace

void ExploreClass::SpinColAttribute(std::string_view code) {
  ui::ListControl& l = list();
  if (l.columnCursor() > 0) CurrentCol = l.columnCursor();
  XPGQ* c = columnAt(CurrentCol);
  std::string header = c ? clip(c->Header) : std::string();
  int col = CurrentCol;
  auto listProp = [&](int prop) { return static_cast<int32_t>(std::atoi(l.prop(prop).c_str())); };
  std::string caption, prompt;
  int32_t value = 0;
  std::function<void(int32_t)> apply;
  if (code == "WID") {
    if (!c) return;
    caption = header, prompt = "Width:";
    value = std::atoi(l.propList(ui::PROPLIST::Width, col).c_str());
    apply = [&, col](int32_t v) { (void)l.setPropList(ui::PROPLIST::Width, col, std::to_string(v)); };
  } else if (code == "HOS" || code == "DOS") {
    if (!c) return;
    bool hdr = code == "HOS";
    caption = header, prompt = hdr ? "Header offset:" : "Data offset:";
    value = hdr ? c->HOffset : c->FOffset;
    apply = [this, hdr, col](int32_t v) {
      XPGQ* e = columnAt(col);
      if (!e) return;
      (hdr ? e->HOffset : e->FOffset) = v;
      if (hdr)
        NewColumnHJ();
      else
        NewColumnFJ();
    };
  } else if (code == "XPS" || code == "YPS" || code == "BWI" || code == "BHI" || code == "LHI") {
    static const struct {
      const char* code;
      const char* caption;
      int prop;
    } kList[] = {{"XPS", "X Pos", ui::Prop::Xpos},
                 {"YPS", "Y Pos", ui::Prop::Ypos},
                 {"BWI", "Width", ui::Prop::Width},
                 {"BHI", "Height", ui::Prop::Height},
                 {"LHI", "Line Height", ui::Prop::LineHeight}};
    for (const auto& k : kList)
      if (code == k.code) {
        caption = k.caption;
        prompt = std::string(k.caption) + ":";
        value = listProp(k.prop);
        int prop = k.prop;
        apply = [&l, prop](int32_t v) { l.setProp(prop, std::to_string(v)); };
      }
  } else {
    return;
  }
  AttributeWindow w(caption, prompt, value, apply);
  (void)w.Run();
  GetColumnInfo(false, true);
}

void ExploreClass::EntryColAttribute(std::string_view code) {
  ui::ListControl& l = list();
  if (l.columnCursor() > 0) CurrentCol = l.columnCursor();
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  int col = CurrentCol;
  std::string present = l.propList(ui::PROPLIST::Header, col);
  std::string caption = "Header Text: " + present.substr(0, 20);
  bool fill = code == "HDR";
  HeaderTextWindow w(caption, present, fill, [this, &l, col](const std::string& text) {
    std::string t = clip(text).substr(0, 25);
    (void)l.setPropList(ui::PROPLIST::Header, col, t);
    if (XPGQ* e = columnAt(col)) e->Header = t;
  });
  (void)w.Run();
}

void ExploreClass::ColorColAttribute() {
  ui::ListControl& l = list();
  if (l.columnCursor() > 0) CurrentCol = l.columnCursor();
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  int col = CurrentCol;
  static const int kProps[] = {ui::PROPLIST::TextColor, ui::PROPLIST::BackColor, ui::PROPLIST::TextSelected,
                               ui::PROPLIST::BackSelected};
  std::array<int32_t, 4> now{};
  for (int i = 0; i < 4; ++i) {
    std::string v = l.propList(kProps[i], col);
    now[static_cast<size_t>(i)] = v.empty() ? -1 : static_cast<int32_t>(std::atoll(v.c_str()));
  }
  ColorWindow w("Colors for Column: " + clip(c->Description), now, [&l, col](int which, int32_t value) {
    (void)l.setPropList(kProps[which], col, std::to_string(value));
  });
  (void)w.Run();
  GetColumnInfo(false, true);
}

void ExploreClass::UserFilter() {
  if (ListType != 1 || !QC || !BC) return;
  XPGQ* c = columnAt(CurrentCol);
  if (!c) return;
  FilterWindow w(clip(c->Description), Symbol, sValue);
  (void)w.Run();
  if (clip(sValue).empty()) return;
  std::string picture = list().propList(ui::PROPLIST::Picture, CurrentCol);
  std::string value = clip(sValue);
  bool text = picture.size() > 1 && std::toupper(static_cast<unsigned char>(picture[1])) == 'S';
  if (!text && !picture.empty()) value = rt::DEFORMAT(value, picture);
  bool caseless = !rt::NUMERIC(value) && Upper;
  std::string name = rt::UPPER(clip(c->Field));
  using Op = ui::QueryClass::Op;
  std::string sym = clip(Symbol);
  static const struct {
    const char* symbol;
    Op op;
  } kOps[] = {{"EQ", Op::Equal},    {"LT", Op::Less},        {"GT", Op::Greater}, {"LE", Op::LessEqual},
              {"GE", Op::GreaterEqual}, {"NE", Op::NotEqual}, {"CT", Op::Contains}};
  for (const auto& o : kOps)
    if (sym == o.symbol) (void)QC->SetLimit(name, o.op, value, caseless);
  BC->ResetSort(true);
}

void ExploreClass::Preferences() {
  ui::SETKEYCODE(0);
  ExplorePreferencesData data;
  data.read(IniFileName);
  PreferencesWindow w(data, LHCol4Moving);
  (void)w.Run();
  (void)w.result().write(IniFileName);  // preferences that cannot be saved are only lost
}

}  // namespace ov::winclasses
