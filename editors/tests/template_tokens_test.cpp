#include "editors/template_tokens.h"

#include <gtest/gtest.h>

#include <deque>

#include "datalib/files.h"
#include "datalib/queues.h"
#include "scheduler/tests/data_fixture.h"

namespace ov::editors {
namespace {

// Questions answered from a script; each question asked is recorded as kind + prompt line.
struct ScriptedAnswers {
  std::deque<std::string> answers;  // "!cancel" cancels
  std::vector<std::string> asked;
  std::vector<std::string> offered;  // the earlier answer each question came with
  TokenAsker asker() {
    return [this](TokenQuestion kind, std::string_view line, std::string& answer) {
      static const char* kNames[] = {"FILE", "WINDOW", "TEXT"};
      asked.push_back(std::string(kNames[static_cast<int>(kind)]) + " " + std::string(line));
      offered.push_back(answer);
      if (answers.empty()) ADD_FAILURE() << "unexpected question " << asked.back();
      std::string next = answers.empty() ? "!cancel" : answers.front();
      if (!answers.empty()) answers.pop_front();
      if (next == "!cancel") return false;
      answer = next;
      return true;
    };
  }
};

class TemplateTokens : public ::testing::Test {
 protected:
  void SetUp() override {
    files::TOKENQ.FREE();
    files::TOKENQ.buf = {};
  }
  ScriptedAnswers user;
};

TEST_F(TemplateTokens, QuestionsAndRememberedAnswers) {
  user.answers = {"/tmp/a.log", "/tmp/b.log"};
  std::string f = "Copy [?FILE Source] to [?FILE Target]; again [?Source] and [?source]";
  ASSERT_TRUE(ReplaceTemplateTokens(f, 255, user.asker()));
  EXPECT_EQ(f, "Copy /tmp/a.log to /tmp/b.log; again /tmp/a.log and /tmp/a.log");
  EXPECT_EQ(user.asked, (std::vector<std::string>{"FILE Source:", "FILE Target:"}));

  // Asked again: the earlier answer is offered.
  user.answers = {"/tmp/c.log"};
  std::string g = "[?file source]";
  ASSERT_TRUE(ReplaceTemplateTokens(g, 255, user.asker()));
  EXPECT_EQ(g, "/tmp/c.log");
  EXPECT_EQ(user.offered.back(), "/tmp/a.log");
}

TEST_F(TemplateTokens, TokenForms) {
  struct Case {
    const char* field;
    std::vector<std::string> answers;
    const char* result;
    std::vector<std::string> asked;
  };
  const Case cases[] = {
      {"[? Text Name]", {"Bob"}, "Bob", {"TEXT Name:"}},
      {"[?FILE]", {"x"}, "x", {"TEXT FILE:"}},  // a plain prompt "FILE", asked as a text
      {"[?FILE ]", {"y"}, "y", {"FILE Enter file path and name:"}},
      {"[?WINDOW Editor] then [?]", {"*Edit*"}, "*Edit* then *Edit*", {"WINDOW Editor:"}},
      {"no tokens [here]", {}, "no tokens [here]", {}},
      {"open [?Name", {}, "open [?Name", {}},            // no closing bracket: plain text
      {"[?Loop]", {"[?Loop]"}, "[?Loop]", {"TEXT Loop:"}},  // an answer holding a token is not asked again
  };
  for (const Case& c : cases) {
    SetUp();
    user = {};
    user.answers.assign(c.answers.begin(), c.answers.end());
    std::string f = c.field;
    ASSERT_TRUE(ReplaceTemplateTokens(f, 255, user.asker())) << c.field;
    EXPECT_EQ(f, c.result) << c.field;
    EXPECT_EQ(user.asked, c.asked) << c.field;
  }
  // Before any question the empty token inserts nothing.
  SetUp();
  std::string e = "a[?]b";
  ASSERT_TRUE(ReplaceTemplateTokens(e, 255, user.asker()));
  EXPECT_EQ(e, "ab");
}

TEST_F(TemplateTokens, CancelKeepsTheFieldAndTheResultIsCutToItsWidth) {
  user.answers = {"!cancel"};
  std::string f = "x [?TEXT Name] y";
  EXPECT_FALSE(ReplaceTemplateTokens(f, 255, user.asker()));
  EXPECT_EQ(f, "x [?TEXT Name] y");

  user.answers = {std::string(100, 'a')};
  std::string g = "[?TEXT Long] end";
  ASSERT_TRUE(ReplaceTemplateTokens(g, 80, user.asker()));
  EXPECT_EQ(g, std::string(80, 'a'));
}

TEST_F(TemplateTokens, StartProgramTakesTheCommandsFolder) {
  files::ScriptingRec r;
  r.Action = "Start Program";
  r.Command = "[?FILE Program]";
  user.answers = {"/opt/tool/run.sh"};
  ASSERT_TRUE(ReplaceItemTokens(r, user.asker()));
  EXPECT_EQ(r.Command.str(), "/opt/tool/run.sh");
  EXPECT_EQ(r.Path.str(), "/opt/tool");
}

class TemplateCopy : public scheduler::testing::DataFixture {
 protected:
  void SetUp() override {
    DataFixture::SetUp();
    files::TOKENQ.FREE();
    ASSERT_EQ(files::Access_SCRIPTTEMPLATEDETAILS.Open(), rt::Err::None);
    auto add = [](int32_t seq, const char* action, const char* command) {
      files::SCRIPTTEMPLATEDETAILS.clear();
      files::OVD.WIZ_ID = 3;
      files::OVD.Sequence = seq;
      files::OVD.Action = action;
      files::OVD.Command = command;
      ASSERT_EQ(files::SCRIPTTEMPLATEDETAILS.add(), rt::Err::None);
    };
    add(1, "Comment", "first [?TEXT Who]");
    add(2, "", "skipped: no action");
    add(3, "Comment", "second [?Who] [?TEXT Where]");
    (void)files::Access_SCRIPTTEMPLATEDETAILS.Close();
  }
  std::vector<std::pair<int32_t, std::string>> stored(int32_t task) {
    std::vector<std::pair<int32_t, std::string>> out;
    EXPECT_EQ(files::Access_SCRIPTING.Open(), rt::Err::None);
    rt::Err err = files::SCRIPTING.set(files::SCR_KeyID);
    while (err == rt::Err::None && (err = files::SCRIPTING.next()) == rt::Err::None)
      if (files::SCR.ID == task) out.emplace_back(files::SCR.Sequence, files::SCR.Command.str());
    (void)files::Access_SCRIPTING.Close();
    return out;
  }
  ScriptedAnswers user;
};

TEST_F(TemplateCopy, ItemsFollowTheTasksLastItemWithTheirAnswers) {
  addScriptItems(8, 5);
  user.answers = {"Ann", "Home"};
  std::string why;
  int copied = 0;
  ASSERT_EQ(CopyScriptTemplateToScript(3, 8, user.asker(), &why, &copied), rt::Err::None) << why;
  EXPECT_EQ(copied, 2);
  const auto items = stored(8);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[5], (std::pair<int32_t, std::string>{6, "first Ann"}));
  EXPECT_EQ(items[6], (std::pair<int32_t, std::string>{7, "second Ann Home"}));

  user.answers = {"!cancel"};
  files::TOKENQ.FREE();
  EXPECT_NE(CopyScriptTemplateToScript(3, 9, user.asker(), &why), rt::Err::None);
  EXPECT_TRUE(stored(9).empty());  // a cancelled copy stores nothing
}

TEST_F(TemplateCopy, StoppedPartWayKeepsTheItemsAddedSoFar) {
  user.answers = {"Ann", "Home"};
  {
    TemplateCopier copier;
    ASSERT_EQ(copier.begin(3, 12, user.asker()), rt::Err::None);
    EXPECT_EQ(copier.total(), 2u);
    EXPECT_TRUE(copier.step());  // one more to go; the progress window's Cancel stops here
    std::string why;
    EXPECT_EQ(copier.finish(&why), rt::Err::None) << why;
    EXPECT_EQ(copier.added(), 1);
  }
  EXPECT_EQ(stored(12), (std::vector<std::pair<int32_t, std::string>>{{1, "first Ann"}}));
}

}  // namespace
}  // namespace ov::editors
