#include "winclasses/colour_tab_class.h"

#include <QWidget>

#include "platform/ui/control.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"

namespace ov::winclasses {

namespace {
constexpr int kBold = 700;
constexpr int kNormal = 400;
constexpr int kWeightUnits = 4096;  // the style's weight lies below the italic bit
}  // namespace

void ColourTabClass::Init(int32_t selTabColour, int32_t selTextColour, int32_t boldSelected, int32_t unselTabColour,
                          int32_t unselTextColour, int32_t noWizard, int32_t includeChildren) {
  TABQ = std::make_unique<std::vector<TabEntry>>();
  CHILDQ = std::make_unique<std::vector<TabEntry>>();
  SELTABCOL = selTabColour;
  SELTEXTCOL = selTextColour;
  BOLDSELECTED = boldSelected;
  UNSELTABCOL = unselTabColour;
  UNSELTEXTCOL = unselTextColour;
  NOWIZARD = noWizard;
  INCLCHILD = includeChildren;
  ui::setSystemProp(ui::Prop::ColorTabs, "1");
  m_window = ui::currentWindow();
  if (!m_window) return;
  ui::Window& w = *m_window;
  for (int feq : w.allControls()) {
    ui::Control* c = w.control(feq);
    if (!c || c->parentFeq() == 0) continue;
    ui::Control* parent = w.control(c->parentFeq());
    if (!parent) continue;
    if (c->kind() == ui::Kind::Tab) TABQ->push_back({feq, parent->feq(), parent->parentFeq()});
    if (INCLCHILD && parent->kind() == ui::Kind::Tab) CHILDQ->push_back({feq, parent->feq(), parent->parentFeq()});
  }
}

bool ColourTabClass::skipped(int sheet) const {
  return NOWIZARD && m_window->propInt(sheet, ui::Prop::Wizard) != 0;
}

static bool isChosen(const ui::Window& w, int tab, int sheet) {
  auto* s = w.as<ui::Sheet>(sheet);
  return s && s->selectedTab() == tab;
}

void ColourTabClass::ColourTabs() {
  if (!m_window || !TABQ || TABQ->empty()) return;
  ui::Window& w = *m_window;
  for (const TabEntry& t : *TABQ) {
    if (skipped(t.PARENTFEQ)) continue;
    apply(t.FEQ, isChosen(w, t.FEQ, t.PARENTFEQ));
  }
  if (INCLCHILD && CHILDQ && !CHILDQ->empty()) {
    int32_t bold = BOLDSELECTED;
    BOLDSELECTED = 0;  // captions of controls on a tab keep their weight
    for (const TabEntry& c : *CHILDQ) {
      if (skipped(c.GRANDPARENTFEQ)) continue;
      apply(c.FEQ, isChosen(w, c.PARENTFEQ, c.GRANDPARENTFEQ));
    }
    BOLDSELECTED = bold;
  }
  if (QWidget* v = w.view()) v->update();  // redrawn; the variables are not shown again
}

void ColourTabClass::apply(int feq, bool selected) {
  ui::Window& w = *m_window;
  w.setProp(feq, ui::Prop::Color, selected ? SELTABCOL : UNSELTABCOL);
  w.setProp(feq, ui::Prop::FontColor, selected ? SELTEXTCOL : UNSELTEXTCOL);
  if (BOLDSELECTED) {
    int64_t style = w.propInt(feq, ui::Prop::FontStyle);
    int64_t others = style - style % kWeightUnits;
    w.setProp(feq, ui::Prop::FontStyle, others + (selected ? kBold : kNormal));
    w.setProp(feq, ui::Prop::Text, w.prop(feq, ui::Prop::Text));
  }
}

void ColourTabClass::Kill() {
  TABQ.reset();
  CHILDQ.reset();
}

}  // namespace ov::winclasses
