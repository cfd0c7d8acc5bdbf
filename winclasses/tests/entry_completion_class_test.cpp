// Entry completion over a queue, typed key by key into a real entry: completion with the tail
// selected, Backspace, arrow keys, an empty typed text, must-validate on accept and in the
// accept-all pass, and two completing entries that keep their own typed text.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstddef>
#include <filesystem>

#include "platform/files/file.h"
#include "platform/files/file_manager.h"
#include "winclasses/entry_completion_class.h"
#include "winclasses/tests/support.h"

using namespace ov;
using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ui::test::Driver;
using ui::test::runScript;
using ui::test::WindowDriver;

namespace {

class EntryCompletion : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::test::application();
    fillNames(values, {"Abbey", "Bob"});
  }
  rt::Queue<NameRow> values;
  ui::QueueOf<NameRow> queue{values, kNameRow};
  rt::String<20> name, other;
  EntryCompletionClass first, second;
  int nameFeq = 0, otherFeq = 0;
  TestWindow* win = nullptr;

  WindowDriver open(Driver& d, bool mustValidate) {
    return openTestWindow(d, win, [this, mustValidate](TestWindow& t) {
      t.declare = [this](ui::Window& w) {
        nameFeq = w.entry("?Name", "@s20").at(10, 10, 80, 12).use(name).feq();
        otherFeq = w.entry("?Other", "@s20").at(10, 30, 80, 12).use(other).feq();
        t_ok = w.button("?OK", "OK").at(10, 50, 40, 14).feq();
      };
      t.afterOpen = [this, mustValidate, &t] {
        t.OkControl = t_ok;
        first.Init(name, nameFeq, queue, mustValidate);
        second.Init(other, otherFeq, queue, false);
      };
      t.onEvent = [this] {
        first.TakeEvent();
        second.TakeEvent();
        return ui::Level::Benign;
      };
    });
  }
  // Gives an entry the focus as the user would: the window is told with EVENT:Selected.
  void focus(Driver& d, int feq) {
    d.gui([&] {
      win->window().select(feq);
      win->window().post(ui::EVENT::Selected, feq);
    });
    d.settle();
  }
  std::pair<int, int> selection(WindowDriver& w, const char* control) {
    return {std::stoi(w.prop(control, ui::Prop::SelStart)), std::stoi(w.prop(control, ui::Prop::SelEnd))};
  }
  int t_ok = 0;
};

TEST_F(EntryCompletion, TypingCompletesWithTheRestSelectedAndBackspaceCompletesAgain) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, false);
    focus(d, nameFeq);
    w.key("?Name", 'A');
    w.key("?Name", 'B');
    EXPECT_EQ(w.text("?Name"), "Abbey");
    EXPECT_EQ(selection(w, "?Name"), std::make_pair(3, 5)) << "\"bey\" is selected";
    EXPECT_EQ(name, "Abbey") << "the variable holds the value found";
    EXPECT_EQ(first.lastTyped(), "Ab") << "the typed text is read from the entry: the value's own case";

    w.key("?Name", ui::Key::Backspace);  // removes the selection, then completes "a" again
    EXPECT_EQ(first.lastTyped(), "A");
    EXPECT_EQ(w.text("?Name"), "Abbey");

    // The arrow keys neither complete nor switch completion off.
    w.key("?Name", ui::Key::Left);
    w.key("?Name", ui::Key::shift(ui::Key::Right));
    d.gui([&] { win->window().post(ui::EVENT::NewSelection, nameFeq, ui::Key::Left); });
    d.settle();
    EXPECT_EQ(first.lastTyped(), "A");
    EXPECT_EQ(first.ECON, 1);
    EXPECT_EQ(w.text("?Name"), "Abbey");

    // Typing what nothing begins with switches completion off.
    w.type("?Name", "");
    w.key("?Name", 'Z');
    EXPECT_EQ(w.text("?Name"), "z");
    EXPECT_EQ(first.ECON, 0);
    w.close();
  });
}

TEST_F(EntryCompletion, AnEmptyTypedTextCompletesNothing) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, false);
    focus(d, nameFeq);
    w.key("?Name", 'B');
    EXPECT_EQ(w.text("?Name"), "Bob");
    w.key("?Name", ui::Key::Backspace);  // the selected "ob" goes
    w.key("?Name", ui::Key::Backspace);  // and the typed "b": nothing is typed now
    EXPECT_EQ(first.lastTyped(), "");
    EXPECT_EQ(first.ECON, 1) << "completion stays as it was";
    EXPECT_EQ(w.text("?Name"), "");
    w.close();
  });
}

TEST_F(EntryCompletion, AValueThatMatchesNothingIsRefusedOutsideTheAcceptAllPass) {
  runScript([&](Driver& d) {
    WindowDriver w = open(d, true);
    focus(d, nameFeq);
    w.enter("?Name", "Zed");
    EXPECT_EQ(w.text("?Name"), "");
    EXPECT_EQ(name, "");
    EXPECT_EQ(w.focus(), nameFeq) << "the entry keeps the focus";

    w.enter("?Name", "bob");
    EXPECT_EQ(name, "bob") << "a matching value stays as typed";

    w.type("?Name", "Zed");
    w.press("?OK");  // the accept-all pass leaves the value alone
    d.waitClosed(w);
    EXPECT_EQ(name, "Zed");
  });
}

TEST_F(EntryCompletion, EachEntryKeepsItsOwnTypedText) {
  runScript([&](Driver& d) {
    fillNames(values, {"abbey", "bob"});  // typed and stored texts alike
    WindowDriver w = open(d, false);
    focus(d, nameFeq);
    w.key("?Name", 'A');
    w.key("?Name", 'B');
    EXPECT_EQ(w.text("?Name"), "abbey");
    // The other entry: its first key switches completion on, the second completes.
    d.gui([&] { win->window().select(otherFeq); });
    w.key("?Other", 'A');
    w.key("?Other", 'B');
    EXPECT_EQ(w.text("?Other"), "abbey") << "the first entry's \"ab\" does not count here";
    EXPECT_EQ(first.lastTyped(), "ab");
    EXPECT_EQ(second.lastTyped(), "ab");
    w.close();
  });
}

struct Person {
  int32_t id = 0;
  rt::String<20> name;
};
const rt::FieldDesc kPersonFields[] = {
    {"PER:ID", rt::FieldType::Long, 4, 0, offsetof(Person, id)},
    {"PER:Name", rt::FieldType::String, 20, 4, offsetof(Person, name)},
};
const rt::RecordDesc kPerson{"PER", kPersonFields, 24};

TEST(EntryCompletionFromAFile, TheFirstRecordAtTheTypedTextMustBeginWithItOrMatchIt) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "ov_completion_XXXXXX").string();
  std::string dir = ::mkdtemp(tmpl.data());
  Person PER;
  db::FileDecl decl;
  decl.label = "PEOPLE";
  decl.prefix = "PER";
  decl.name = "PEOPLE";
  decl.nameFrom = [dir] { return dir + "/DATA.ZEZ\\!People"; };
  decl.record = &kPerson;
  decl.buffer = &PER;
  decl.bufferSize = sizeof PER;
  decl.keys = {{.name = "PER:KeyID", .description = "ID", .parts = {{"PER:ID"}}, .unique = true, .primary = true},
               {.name = "PER:KeyName", .description = "Name", .parts = {{"PER:Name"}}}};
  decl.errorLabel = "People [People]";
  {
    db::File PEOPLE(decl);
    db::FileManager fm(PEOPLE);
    ASSERT_EQ(fm.Open(), rt::Err::None);
    int id = 0;
    for (const char* n : {"Abbey", "Bob", "carl"}) {
      PER.id = ++id;
      PER.name = n;
      ASSERT_EQ(PEOPLE.add(), rt::Err::None);
    }
    rt::String<20> typed;
    EntryCompletionClass ec;
    ec.Init(typed, 1, ui::Binding(&PER, kPersonFields[1]), false, fm, PEOPLE.key("PER:KeyName"));
    struct Case { const char* typed; int32_t want; const char* found; };
    const Case cases[] = {
        {"ca", 1, "carl"}, {"AB", 1, "Abbey"}, {"b*", 1, "Bob"}, {"Abz", 0, nullptr}, {"zz", 0, nullptr},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.typed);
      EXPECT_EQ(ec.GetQueueMatch(c.typed), c.want);
      if (c.found) {
        EXPECT_EQ(PER.name, c.found) << "the record lies in the buffer";
      }
    }
    (void)fm.Close();
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace
