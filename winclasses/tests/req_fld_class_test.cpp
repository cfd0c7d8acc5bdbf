// Required fields on a small form: found by Init with their prompts, checked in order by
// Incomplete (numbers and dates of 0, text boxes of line breaks, tabs not shown), the message
// template, AddField and RemoveField, and the message of a missing Init.
#include <gtest/gtest.h>

#include "platform/ui/host.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/req_fld_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;

namespace {

class RequiredFields : public ::testing::Test {
 protected:
  void SetUp() override { ui::test::application(); }
  ReqFldClass req;
  TestWindow* win = nullptr;
  int32_t date = 0, count = 0;
  rt::String<20> name, onTab2, optional;
  std::string notes;
  int dateFeq = 0, countFeq = 0, nameFeq = 0, notesFeq = 0, tab2Feq = 0, optionalFeq = 0;

  WindowDriver open(Driver& d, std::string_view text) {
    std::string t(text);
    return openTestWindow(d, win, [this, t](TestWindow& tw) {
      tw.declare = [this](ui::Window& w) {
        w.prompt("?Prompt:Date", "&Next date:").at(4, 4, 40, 10);
        dateFeq = w.entry("?Date", "@d2").at(50, 4, 60, 12).use(date).required().msg("When it runs next").feq();
        w.prompt("?Prompt:Count", "&Count:").at(4, 20, 40, 10);
        countFeq = w.entry("?Count", "@n5").at(50, 20, 60, 12).use(count).required().tip("How many").feq();
        w.prompt("?Prompt:Name", "N&ame").at(4, 36, 40, 10);
        nameFeq = w.entry("?Name", "@s20").at(50, 36, 60, 12).use(name).required().feq();
        notesFeq = w.textBox("?Notes").at(50, 52, 60, 24).use(notes).required().feq();
        optionalFeq = w.entry("?Optional", "@s20").at(50, 80, 60, 12).use(optional).feq();
        int sheet = w.sheet("?Sheet").at(120, 4, 150, 100).feq();
        int tab1 = w.tab("?Tab1", "One", sheet).feq();
        int tab2 = w.tab("?Tab2", "Two", sheet).feq();
        w.string("?Label", "On tab one").at(130, 30, 60, 10).on(tab1);
        tab2Feq = w.entry("?OnTab2", "@s20").at(130, 30, 60, 12).use(onTab2).required().on(tab2).feq();
      };
      tw.afterOpen = [this, t] { req.Init("Missing", t, false); };
    });
  }
};

TEST_F(RequiredFields, TheFirstEmptyFieldGetsTheFocusAndItsMessage) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    WindowDriver w = open(d, "@PROMPT must be entered. (@msg/@Tip/@FIELD)");
    ASSERT_EQ(req.REQFLDQ->size(), 5u);
    EXPECT_EQ(req.REQFLDQ->at(dateFeq).PROMPT, "Next date");

    struct Step { const char* name; std::function<void()> fill; int want; const char* message; };
    const Step steps[] = {
        {"no date", [] {}, dateFeq, "\"Next date\" must be entered. (When it runs next//\"Date\")"},
        {"a count of 0", [&] { w.type("?Date", "3/15/2026"); }, countFeq, "\"Count\" must be entered. (/How many/\"Count\")"},
        {"a blank name", [&] { w.type("?Count", "5"); w.type("?Name", "   "); }, nameFeq, "\"Name\" must be entered."},
        // The prompt before the name is still the current one at the text box.
        {"notes of line breaks only", [&] { w.type("?Name", "Ann"); w.type("?Notes", "\r\n \n"); }, notesFeq,
         "\"Name\" must be entered. (//\"Notes\")"},
        {"all filled on the tab shown", [&] { w.type("?Notes", "x"); }, 0, nullptr},
    };
    for (const Step& s : steps) {
      SCOPED_TRACE(s.name);
      s.fill();
      if (s.message) host.expectMessage(s.message, 1);
      int32_t got = -1;
      d.gui([&] { got = req.Incomplete(true); });
      d.settle();
      EXPECT_EQ(got, s.want);
      if (s.want) {
        EXPECT_EQ(w.focus(), s.want);
      }
    }
    EXPECT_EQ(notes, "x");
    auto shown = host.messages();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text, "\"Next date\" must be entered. (When it runs next//\"Date\")");
    EXPECT_EQ(shown[0].title, "Missing");
    EXPECT_EQ(shown[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(shown[0].custom, std::vector<std::string>{"&OK"});

    // The field on the tab that is not shown counts once every field is asked for.
    host.expectMessage("must be entered", 1);
    int32_t got = -1;
    d.gui([&] { got = req.Incomplete(false); });
    EXPECT_EQ(got, tab2Feq);
    w.close();
  });
}

TEST_F(RequiredFields, TheTextBoxOfLineBreaksIsEmptied) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    WindowDriver w = open(d, "@PROMPT");
    w.type("?Date", "1/2/2026");
    w.type("?Count", "1");
    w.type("?Name", "x");
    w.type("?Notes", "\r\n\n");
    host.expectMessage("\"Name\"", 1);
    int32_t got = 0;
    d.gui([&] { got = req.Incomplete(true); });
    d.settle();
    EXPECT_EQ(got, notesFeq);
    EXPECT_EQ(notes, "");
    EXPECT_EQ(w.text("?Notes"), "");
    w.close();
  });
}

TEST_F(RequiredFields, AddFieldAndRemoveField) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    WindowDriver w = open(d, "@PROMPT is needed");
    d.gui([&] {
      req.AddField(optionalFeq, "Optional", "tip", "msg", "Other:", false);
      EXPECT_EQ(req.REQFLDQ->count(optionalFeq), 0u) << "not found by Init, not replaced: unregistered";
      req.AddField(countFeq, "COUNT", "", "", "&Number:", false);
      EXPECT_EQ(req.REQFLDQ->at(countFeq).PROMPT, "Number") << "a registered field takes the new texts";
      req.AddField(optionalFeq, "Own title", "Please fill in the optional field.");
      req.RemoveField(dateFeq);
      req.RemoveField(nameFeq);
      req.RemoveField(notesFeq);
    });
    host.expectMessage("\"Number\" is needed", 1);
    int32_t got = 0;
    d.gui([&] { got = req.Incomplete(true); });
    EXPECT_EQ(got, countFeq);
    w.type("?Count", "3");
    host.expectMessage("Own title", 1);
    d.gui([&] { got = req.Incomplete(true); });
    EXPECT_EQ(got, optionalFeq);
    EXPECT_EQ(host.messages().back().text, "Please fill in the optional field.");
    w.close();
  });
}

TEST(RequiredFieldsAlone, CallsBeforeInitAreRefusedWithAMessage) {
  ui::test::application();
  ScriptedHost host;
  host.expectMessage("ReqFldClass not initialized.", ui::BUTTON::Ok);
  host.expectMessage("ReqFldClass not initialized.", ui::BUTTON::Ok);
  ReqFldClass req;
  req.AddField(5, "t", "x");
  req.RemoveField(5);
  EXPECT_FALSE(req.REQFLDQ);
  EXPECT_EQ(host.messages().at(0).title, "Error");
}

TEST(RequiredFieldsAlone, TokensAreReplacedInAnyCaseAndNeverAgainInTheValue) {
  struct Case { const char* name; const char* text; const char* token; const char* value; const char* want; };
  const Case cases[] = {
      {"every occurrence", "@P and @p", "@P", "x", "x and x"},
      {"a value holding its token", "@PROMPT!", "@PROMPT", "\"@PROMPT\"", "\"@PROMPT\"!"},
      {"no token", "plain", "@MSG", "x", "plain"},
      {"an empty value", "a@MSGb", "@msg", "", "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReqFldClass::ReplaceToken(c.text, c.token, c.value), c.want);
  }
  EXPECT_EQ(ReqFldClass::ReplaceToken(std::string(1020, 'a') + "@X", "@X", "bcdefg").size(), 1024u);
}

}  // namespace
