// The texts made from a contact and the message form's rules by mail type: worked by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/contact_text.h"
#include "dialogs/message_layout.h"

using namespace ov;
using dialogs::MailKind;

namespace {

files::ContactRec contact(const char* first, const char* last, const char* company, const char* business,
                          const char* home, const char* defaultField = "None") {
  files::ContactRec c;
  c.FirstName = first;
  c.LastName = last;
  c.Company = company;
  c.WorkDayPhone = business;
  c.HomeEveningPhone = home;
  c.DefaultContact = defaultField;
  return c;
}

TEST(ContactText, ReminderDescriptionAndPhoneText) {
  struct Case {
    const char* name;
    files::ContactRec c;
    const char* want;
  };
  files::ContactRec withFax = contact("Ann", "Lee", "", "555", "777", "Fax");
  withFax.Fax = "999";
  files::ContactRec withMail = contact("Ann", "Lee", "", "555", "777", "E-mail");
  withMail.Email = "ann@example.org";
  const Case cases[] = {
      {"no default field", contact("Ann", "Lee", "Acme", "555", "777"), "Ann Lee, Acme - Bus:555/Res:777"},
      {"blank first name: no leading blank", contact("", "Lee", "Acme", "555", "777"), "Lee, Acme - Bus:555/Res:777"},
      {"blank company: no comma", contact("Ann", "Lee", "", "555", "777"), "Ann Lee - Bus:555/Res:777"},
      {"blank default field", contact("Ann", "Lee", "", "", "", ""), "Ann Lee - Bus:/Res:"},
      {"business", contact("Ann", "Lee", "", "555", "777", "Business"), "Ann Lee - 555"},
      {"home", contact("Ann", "Lee", "", "555", "777", "Home"), "Ann Lee - 777"},
      {"fax", withFax, "Ann Lee - 999"},
      {"e-mail", withMail, "Ann Lee - ann@example.org"},
      {"cut at 40", contact("Annabelle", "Leeuwenhoek", "Acme Industries", "555", "777"),
       "Annabelle Leeuwenhoek, Acme Industries -"},
  };
  for (const Case& c : cases) EXPECT_EQ(dialogs::contactReminderDescription(c.c), c.want) << c.name;
}

TEST(ContactText, ReminderMessageEndsWithTheContactLine) {
  EXPECT_EQ(dialogs::contactReminderMessage("Call back   ", 42), "Call back\r\n[CONTACT 42]\r\n");
  EXPECT_EQ(dialogs::contactReminderMessage("", 7), "\r\n[CONTACT 7]\r\n");
  const std::string longText(5000, 'x');
  EXPECT_EQ(dialogs::contactReminderMessage(longText, 7).size(), 4096u);
}

TEST(ContactText, ReminderStartsOnTheCurrentHour) {
  EXPECT_EQ(dialogs::reminderHour(1), 1);                // midnight
  EXPECT_EQ(dialogs::reminderHour(4500001), 4320001);    // 12:30 gives 12:00
  EXPECT_EQ(dialogs::reminderHour(8639999), 8280001);    // 23:59:59 gives 23:00
}

TEST(ContactText, NameAndCompany) {
  EXPECT_EQ(dialogs::contactNameAndCompany(contact("", "Lee", "Acme", "", "")), "Lee (Acme)");
  EXPECT_EQ(dialogs::contactNameAndCompany(contact("Ann", "Lee", "", "", "")), "Lee, Ann");
  EXPECT_EQ(dialogs::contactNameAndCompany(contact("Ann", "Lee", "Acme", "", "")), "Lee, Ann (Acme)");
  EXPECT_EQ(dialogs::contactNameAndCompany(contact("", "", "", "", "")), "");
}

TEST(ContactText, ClipboardTextHasThirteenLinesWithoutTheCompany) {
  files::ContactRec only = contact("", "Lee", "Acme", "", "");
  EXPECT_EQ(dialogs::contactClipboardText(only),
            "Lee\r\n\r\n\r\n\r\n\r\n\r\nWork Phone:\r\nHome Phone:\r\nFax:\r\nOther Phone:\r\nEmail:\r\n"
            "Web Site:\r\nCategory:\r\n");
  files::ContactRec full = contact("Ann", "Lee", "Acme", "555", "777");
  full.AddressLine1 = "1 Main St";
  full.PostalCode = "12345";
  full.Fax = "999";
  full.OtherPhone = "111";
  full.Email = "ann@example.org";
  full.WebSite = "example.org";
  full.ContactCategory = "Work";
  EXPECT_EQ(dialogs::contactClipboardText(full),
            "Lee\r\nAnn\r\n1 Main St\r\n\r\n\r\n12345\r\nWork Phone: 555\r\nHome Phone: 777\r\nFax: 999\r\n"
            "Other Phone: 111\r\nEmail: ann@example.org\r\nWeb Site: example.org\r\nCategory: Work\r\n");
}

TEST(MessageLayout, ControlsAndRememberedValueByMailType) {
  struct Case {
    const char* type;
    MailKind kind;
    bool to, newsgroup, contact, category, name, ccBcc, merge, mergeNote, scriptNote;
    const char* key;
  };
  const Case cases[] = {
      {"E-mail", MailKind::Email, true, false, true, false, true, true, false, false, false, "LastEmail"},
      {"Email", MailKind::Email, true, false, true, false, true, true, false, false, false, "LastEmail"},
      {"News", MailKind::News, true, true, false, false, false, false, false, false, false, "LastNewsgroup"},
      {"Mass Mailing", MailKind::MassMailing, false, false, false, true, false, false, false, false, false,
       "LastMassMailing"},
      {"Mail Merge", MailKind::MailMerge, false, false, false, false, false, false, true, true, false, "LastMailMerge"},
      {"Mail Script", MailKind::MailScript, false, false, false, false, false, false, true, false, true,
       "LastMailScript"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ASSERT_EQ(dialogs::mailKind(c.type), c.kind);
    const dialogs::MailTypeLayout l = dialogs::mailTypeLayout(c.kind);
    EXPECT_EQ(l.to, c.to);
    EXPECT_EQ(l.toIsNewsgroup, c.newsgroup);
    EXPECT_EQ(l.contactButton, c.contact);
    EXPECT_EQ(l.category, c.category);
    EXPECT_EQ(l.name, c.name);
    EXPECT_EQ(l.ccBcc, c.ccBcc);
    EXPECT_EQ(l.mergeFile, c.merge);
    EXPECT_EQ(l.mergeNote, c.mergeNote);
    EXPECT_EQ(l.scriptNote, c.scriptNote);
    EXPECT_EQ(dialogs::lastUsedKey(c.kind), c.key);
  }
  EXPECT_EQ(dialogs::messageBody("Text file"), dialogs::MessageBody::TextFile);
  EXPECT_EQ(dialogs::messageBody("HTML file"), dialogs::MessageBody::HtmlFile);
  EXPECT_EQ(dialogs::messageBody("Binary"), dialogs::MessageBody::Text);
}

TEST(MessageLayout, AttachmentsJoinTheList) {
  struct Case {
    const char* name;
    const char* list;
    std::vector<std::string> chosen;
    const char* want;
  };
  const Case cases[] = {
      {"two at once into an empty list", "", {"/d/a.txt", "/d/b.txt"}, "/d/a.txt; /d/b.txt"},
      {"one more after one", "/d/a.txt", {"/d/c.txt"}, "/d/a.txt; /d/c.txt"},
      {"one after a list ending in its first semicolon", "a.txt;", {"b.txt"}, "a.txt;; b.txt"},
      {"several after a list ending in its first semicolon", "a.txt;", {"b.txt", "c.txt"}, "a.txt; b.txt; c.txt"},
      {"nothing chosen", "a.txt", {}, "a.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(dialogs::appendAttachments(c.list, c.chosen), c.want) << c.name;
  const std::string longName(200, 'n');
  EXPECT_EQ(dialogs::appendAttachments(longName, {longName}).size(), 255u);
}

TEST(MessageLayout, LinkTitle) {
  EXPECT_EQ(dialogs::messageLinkTitle("Hello   ", "ann@example.org"), "Hello - ann@example.org");
}

}  // namespace
