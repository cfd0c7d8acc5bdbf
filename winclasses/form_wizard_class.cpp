#include "winclasses/form_wizard_class.h"

#include <QWidget>

#include "platform/ui/event.h"
#include "platform/ui/runtime.h"

namespace ov::winclasses {

namespace {
void show(ui::Window& w, int feq, bool on) {
  if (feq) w.setProp(feq, ui::Prop::Hide, on ? 0 : 1);
}
void enable(ui::Window& w, int feq, bool on) {
  if (feq) w.setProp(feq, ui::Prop::Disable, on ? 0 : 1);
}
void makeDefault(ui::Window& w, int feq, bool on) {
  if (feq) w.setProp(feq, ui::Prop::Default, on ? 1 : 0);
}
}  // namespace

int FormWizardClass::tabCount() const {
  auto* s = m_window ? m_window->as<ui::Sheet>(SHEETFEQ) : nullptr;
  return s ? static_cast<int>(s->tabs().size()) : 0;
}

bool FormWizardClass::tabHidden(int n) const {
  auto* s = w().as<ui::Sheet>(SHEETFEQ);
  std::vector<int> tabs = s ? s->tabs() : std::vector<int>{};
  return n >= 1 && n <= static_cast<int>(tabs.size()) && w().propInt(tabs[n - 1], ui::Prop::Hide) != 0;
}

void FormWizardClass::Init(int32_t sheet, int32_t back, int32_t next, int32_t ok, int32_t cancel, bool skipHidden,
                           bool okNextCoexist, bool validateOnNext, int32_t mode) {
  m_window = ui::currentWindow();
  if (!m_window) return;
  SHEETFEQ = sheet;
  BACKFEQ = back;
  NEXTFEQ = next;
  OKFEQ = ok;
  CANCELFEQ = cancel;
  SKIPHIDDEN = skipHidden;
  COEXISTOKNEXT = okNextCoexist;
  VALIDATEONNEXT = validateOnNext;
  auto* s = w().as<ui::Sheet>(SHEETFEQ);
  CURTABFEQ = s && !s->tabs().empty() ? s->tabs().front() : 0;
  ResetRange();
  CURTABNUM = MINTAB;
  WIZARDACTIVE = mode == 1;
  if (WIZARDACTIVE) {
    w().setProp(SHEETFEQ, ui::Prop::Wizard, 1);
    if (COEXISTOKNEXT) {
      w().setProp(OKFEQ, ui::Prop::Xpos, w().propInt(NEXTFEQ, ui::Prop::Xpos));
      show(w(), OKFEQ, false);
      show(w(), NEXTFEQ, true);
    }
  } else {
    show(w(), OKFEQ, true);
    show(w(), BACKFEQ, false);
    show(w(), NEXTFEQ, false);
  }
  TakeNewSelection();
}

void FormWizardClass::FindMinTab() {
  MINTAB = 1;
  if (!SKIPHIDDEN) return;
  int n = tabCount();
  for (int i = 1; i <= n; ++i)
    if (!tabHidden(i)) {
      MINTAB = i;
      return;
    }
}

void FormWizardClass::FindMaxTab() {
  MAXTAB = tabCount();
  if (!SKIPHIDDEN) return;
  for (int i = MAXTAB; i >= 1; --i)
    if (!tabHidden(i)) {
      MAXTAB = i;
      return;
    }
}

void FormWizardClass::ResetRange() {
  FindMinTab();
  FindMaxTab();
}

void FormWizardClass::ApplyRange() {
  if (CURTABNUM < MINTAB) CURTABNUM = MINTAB;
  if (CURTABNUM > MAXTAB) CURTABNUM = MAXTAB;
}

void FormWizardClass::TakeNext() {
  if (VALIDATEONNEXT && Validate() != 0) return;
  ResetRange();
  if (SKIPHIDDEN) {
    while (CURTABNUM < MAXTAB) {
      ++CURTABNUM;
      if (!tabHidden(CURTABNUM)) break;
    }
  } else {
    ++CURTABNUM;
  }
  ApplyRange();
}

void FormWizardClass::TakeBack() {
  ResetRange();
  if (SKIPHIDDEN) {
    while (CURTABNUM > MINTAB) {
      --CURTABNUM;
      if (!tabHidden(CURTABNUM)) break;
    }
  } else {
    --CURTABNUM;
  }
  ApplyRange();
}

int32_t FormWizardClass::NextControl() const { return WIZARDACTIVE && CURTABNUM != MAXTAB ? NEXTFEQ : OKFEQ; }

void FormWizardClass::TakeNewSelection() {
  if (!WIZARDACTIVE || !m_window) return;
  makeDefault(w(), NEXTFEQ, true);
  makeDefault(w(), OKFEQ, false);
  if (COEXISTOKNEXT) {
    show(w(), OKFEQ, false);
    show(w(), NEXTFEQ, true);
  }
  enable(w(), BACKFEQ, true);
  enable(w(), NEXTFEQ, true);
  if (CURTABNUM == 0) {
    int chosen = static_cast<int>(w().propInt(SHEETFEQ, ui::Prop::Selected));
    for (int i = 1; i <= MAXTAB; ++i)
      if (i == chosen) {
        CURTABNUM = i;
        break;
      }
  }
  if (CURTABNUM == MINTAB) enable(w(), BACKFEQ, false);
  if (CURTABNUM == MAXTAB) {
    if (COEXISTOKNEXT) {
      show(w(), OKFEQ, true);
      show(w(), NEXTFEQ, false);
    }
    makeDefault(w(), OKFEQ, true);
    makeDefault(w(), NEXTFEQ, false);
    enable(w(), NEXTFEQ, false);
  }
  w().setProp(SHEETFEQ, ui::Prop::Selected, CURTABNUM);
  w().post(ui::EVENT::NewSelection, SHEETFEQ);
  // Redrawn, not redisplayed: what the user typed and has not accepted yet stays.
  if (QWidget* v = w().view()) v->update();
}

void FormWizardClass::TakeAccepted() {
  if (!m_window) return;
  int field = ui::ACCEPTED();
  if (!field) return;
  if (field == BACKFEQ) {
    TakeBack();
    TakeBackEmbed();
    TakeNewSelection();
  } else if (field == NEXTFEQ) {
    TakeNext();
    TakeNextEmbed();
    TakeNewSelection();
    if (VALIDATEONNEXT && Validate() != 0) enable(w(), NextControl(), false);
  } else if (ui::Control* c = w().control(field);
             c && (c->kind() == ui::Kind::Sheet || c->kind() == ui::Kind::Tab)) {
    TakeNewSelection();
  }
}

void FormWizardClass::ShrinkSheet(int32_t height) {
  if (!WIZARDACTIVE || !m_window) return;
  w().setProp(SHEETFEQ, ui::Prop::Height, w().propInt(SHEETFEQ, ui::Prop::Height) - height);
  for (int feq : w().fields()) {
    ui::Control* c = w().control(feq);
    switch (c->kind()) {
      case ui::Kind::Menu:
      case ui::Kind::Item:
      case ui::Kind::MenuBar:
      case ui::Kind::Sheet:
      case ui::Kind::Tab:
      case ui::Kind::Toolbar: continue;
      default: break;
    }
    w().setProp(feq, ui::Prop::Ypos, w().propInt(feq, ui::Prop::Ypos) - height);
  }
  w().setProp(0, ui::Prop::Height, w().propInt(0, ui::Prop::Height) - height);
  w().post(ui::EVENT::Sized);
}

void FormWizardClass::InitMultiUseForm(int32_t image, int32_t textBox) {
  if (!WIZARDACTIVE || !m_window) return;
  IMAGEFEQ = image;
  TEXTBOXFEQ = textBox;
  if (IMAGEFEQ) {
    show(w(), IMAGEFEQ, true);
    int64_t shift = w().propInt(IMAGEFEQ, ui::Prop::Width) + 8;
    w().setProp(0, ui::Prop::Width, w().propInt(0, ui::Prop::Width) + shift);
    for (int feq : w().fields()) {
      if (feq == IMAGEFEQ || feq == TEXTBOXFEQ) continue;
      ui::Control* c = w().control(feq);
      if (c->kind() == ui::Kind::Tab) continue;
      if (c->kind() == ui::Kind::Sheet)
        w().setProp(feq, ui::Prop::Width, w().propInt(feq, ui::Prop::Width) + shift);
      else
        w().setProp(feq, ui::Prop::Xpos, w().propInt(feq, ui::Prop::Xpos) + shift);
    }
    w().post(ui::EVENT::Sized);
  }
  if (TEXTBOXFEQ) show(w(), TEXTBOXFEQ, true);
}

}  // namespace ov::winclasses
