// Variables in brackets: the date and time words with offsets and base dates, nesting, the
// escapes, CONTACT n, user variables, expressions and the clipboard.
#include "mapisend/variables.h"

#include "mapisend/tests/support.h"
#include "platform/rt/text.h"

namespace ov::mapisend {
namespace {

using test::MailFixture;

class TesselVariables : public MailFixture {
 protected:
  void SetUp() override {
    MailFixture::SetUp();
    setVariable("COUNT", "10");
    setVariable("ZERO", "0");
    setVariable("SUFFIX", "OFMONTH");
    setVariable("START", std::to_string(rt::DATE(1, 1, 2027)));
    setVariable("TRAP", "[=1+1] [TODAY]");
    addContact(1, [](files::ContactRec& c) {
      c.FirstName = "Ann";
      c.LastName = "Lee";
      c.Company = "Acme";
      c.WorkDayPhone = "555 1234";
      c.DefaultContact = "Business";
    });
    addContact(2, [](files::ContactRec& c) {
      c.FirstName = "Bob";
      c.LastName = "Roe";
      c.WorkDayPhone = "1";
      c.HomeEveningPhone = "2";
    });
    addContact(3, [](files::ContactRec& c) {
      c.FirstName = "[=6*7]";
      c.LastName = "Fox";
      c.Email = "fox@example.org";
      c.DefaultContact = "E-mail";
    });
  }
  static void setVariable(const char* name, std::string value) {
    files::VARQ.buf.NAME = name;
    files::VARQ.buf.STRINGVALUE = value;
    files::VARQ.ADD(files::VAR_ByName);
  }
};

TEST_F(TesselVariables, ExpandTable) {
  m_host.setClipboardText("Hi [=2*3] [TODAY]  ");
  struct Case {
    const char* text;
    const char* want;
  };
  const Case kCases[] = {
      // Dates on Sunday 6 December 2026 in the user's picture @d10, with offsets.
      {"[TODAY]", "2026/12/06"},
      {"[TODAY+7]", "2026/12/13"},
      {"[TODAY-1]", "2026/12/05"},
      {"[today+31]", "2027/01/06"},
      {"[YESTERDAY]", "2026/12/05"},
      {"[TOMORROW]", "2026/12/07"},
      {"[DAYOFWEEKTEXT]", "Sun"},
      {"[DAYOFWEEKTEXT+1]", "Mon"},
      {"[DAYOFWEEK]", "0"},
      {"[DAYOFMONTH]", "6"},
      {"[YYYY-MM-DD]", "2026-12-06"},
      {"[YYYY-MM-DD+1]", "2026-12-07"},
      {"[YYYY-MM-DD-1]", ""},  // "-MM" is no offset, so no word matches
      {"[DD-MM-YY]", "06-12-26"},
      {"[MM-DD-YY]", "12-06-26"},
      {"[DDMMYY]", "061226"},
      {"[MMYY]", "1226"},
      {"[YYMM]", "2612"},
      {"[MMDDYY]", "120626"},
      {"[DATE]", "20261206"},
      {"[DATE-1]", "20261205"},
      {"[DATE+1]", "20261207"},
      {"[TIME]", "090500"},
      {"[NOW]", "09:05"},
      // A base date from another name.
      {"[START::YYYY-MM-DD]", "2027-01-01"},
      {"[START::DAYOFWEEKTEXT]", "Fri"},
      // Escapes, several groups, nesting, unclosed groups.
      {"[[TODAY]", "[TODAY]"},
      {"a[]b", "a]b"},
      {"[DAYOFWEEK][NOW]", "009:05"},
      {"On [DAY[SUFFIX]] at [NOW].", "On 6 at 09:05."},
      {"[UNSET][TODAY]", "2026/12/06"},
      {"x[", "x["},
      {"[TODAY", "[TODAY"},
      // User variables and offsets.
      {"[COUNT]", "10"},
      {"[count+5]", "15"},
      {"[ZERO+2]", "2"},
      {"[UNSET+3]", "3"},
      {"[UNSET]", ""},
      // Expressions and contacts.
      {"[=2+3]", "5"},
      {"[CONTACT 1]", "Ann Lee, Acme - 555 1234"},
      {"[contact 2]", "Bob Roe - Bus:1/Res:2"},
      {"[CONTACT 99]", ""},
      // Values are data: their brackets are never expanded.
      {"[CLIPBOARD]", "Hi [=2*3] [TODAY]"},
      {"[TRAP]", "[=1+1] [TODAY]"},
      {"[CONTACT 3]", "[=6*7] Fox - fox@example.org"},
      {"[[CLIPBOARD]]", "[CLIPBOARD]]"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ExpandVariables(c.text), c.want);
  }
}

TEST_F(TesselVariables, SelfReferringValuesStayBounded) {
  setVariable("LOOP", "[LOOP][LOOP]");
  EXPECT_EQ(ExpandVariables("[LOOP]"), "[LOOP][LOOP]");
  // A long text is cut to the work buffer.
  const std::string longText(kExpandWidth + 100, 'x');
  EXPECT_EQ(ExpandVariables(longText).size(), kExpandWidth);
}

TEST_F(TesselVariables, DebugLinesNeedBothSettings) {
  files::LOG.ACTIVE = 1;
  (void)ExpandVariables("[=1+1]");
  EXPECT_TRUE(eventLines().empty());
  files::DEBUG.ACTIVE = 1;
  (void)ExpandVariables("[=1+1]");
  const std::vector<std::string> lines = eventLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(22, 32), std::string("TranslateVariable").append(15, ' '));
  EXPECT_EQ(rt::CLIP(lines[2].substr(54)), "Result:  2");
  EXPECT_EQ(lines[2].size(), 182u);  // the fixed columns of the event log
}

}  // namespace
}  // namespace ov::mapisend
