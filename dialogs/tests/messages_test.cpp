// The message form and list: layout and remembered values by mail type, the contact found by its
// address, attachments, required fields, Send Now, the link to the script item being edited, and
// the list's queued send, copy, picker mode and system lock, and its column sort and kept layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datalib/config.h"
#include "dialogs/contacts.h"
#include "dialogs/messages.h"
#include "dialogs/tests/fixture.h"
#include "platform/rt/date_time.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"
#include "scheduler/globals.h"
#include "scheduler/open_window_list.h"
#include "scheduler/script_queue.h"
#include "scheduler/services.h"

using namespace ov;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;
using Texts = std::vector<std::string>;

namespace {

const int32_t kToday = rt::DATE(3, 14, 2026);

class Messages : public dialogs::testing::DataFolder {
 protected:
  void SetUp() override {
    DataFolder::SetUp();
    rt::setTestClock(kToday, 4500001);
    files::SCR = files::ScriptingRec{};
    files::OVD = files::ScriptingRec{};
    scheduler::ActiveScriptQueue.FREE();
    scheduler::StatusBarNote.clear();
  }
  void TearDown() override {
    scheduler::ActiveScriptQueue.FREE();
    DataFolder::TearDown();
  }
};

int32_t addMessage(const char* to, const char* subject, const char* attachment = "", int32_t sent = 0) {
  EXPECT_EQ(files::Access_MESSAGES.Open(), rt::Err::None);
  EXPECT_EQ(files::Access_MESSAGES.PrimeRecord(), rt::Err::None);
  files::M_.EmailTo = to;
  files::M_.Subject = subject;
  files::M_.Attachment = attachment;
  files::M_.LastDateSent = sent;
  EXPECT_EQ(files::Access_MESSAGES.Insert(), rt::Err::None);
  const int32_t id = files::M_.EmailID;
  (void)files::Access_MESSAGES.Close();
  return id;
}

std::vector<files::MessageRec> storedMessages() {
  std::vector<files::MessageRec> out;
  EXPECT_EQ(files::Access_MESSAGES.Open(), rt::Err::None);
  rt::Err err = files::MESSAGES.set(files::M_KeyEmailID);
  while (err == rt::Err::None && (err = files::MESSAGES.next()) == rt::Err::None) out.push_back(files::M_);
  (void)files::Access_MESSAGES.Close();
  return out;
}

void newMessage(Driver& d, int32_t contact = 0) {
  d.later([contact] {
    files::GLOBALREQUEST = ui::InsertRecord;
    (void)dialogs::UpdateMessages(contact);
  });
}

TEST_F(Messages, MailTypesRememberTheirLastValues) {
  files::PUTCONFIG("LastNewsgroup", "comp.lang.c");
  ScriptedHost host;
  runScript([&](Driver& d) {
    newMessage(d);
    WindowDriver form = d.waitWindow("UpdateMessages");
    EXPECT_EQ(form.title(), "New E-mail Message");
    EXPECT_TRUE(form.shown("?M_:CC"));
    EXPECT_FALSE(form.shown("?M_:MergeFile"));
    form.choose("?M_:MailType", "News");
    EXPECT_EQ(form.text("?M_:EmailTo"), "comp.lang.c");
    EXPECT_EQ(form.text("?M_:EmailTo:Prompt"), "*Newsgroup:");
    EXPECT_FALSE(form.shown("?M_:CC"));

    // A mail merge: To is hidden and not asked for, the merge file is.
    form.choose("?M_:MailType", "Mail Merge");
    EXPECT_FALSE(form.shown("?M_:EmailTo"));
    form.type("?M_:Subject", "Offer");
    host.expectMessage("\"Merge file\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    EXPECT_FALSE(host.pending());
    form.type("?M_:MergeFile", "/data/list.csv");
    form.press("?OK");
    d.waitClosed(form);

    // Mass mailing: a category and no recipient gives "N/A".
    newMessage(d);
    form = d.waitWindow("UpdateMessages");
    form.choose("?M_:MailType", "Mass Mailing");
    EXPECT_TRUE(form.shown("?M_:EmailToGroup"));
    form.enter("?M_:EmailToGroup", "Friends");
    form.type("?M_:Subject", "Party");
    form.press("?OK");
    d.waitClosed(form);

    // A new mail merge starts from the file used last; a plain e-mail needs its subject.
    newMessage(d);
    form = d.waitWindow("UpdateMessages");
    form.choose("?M_:MailType", "Mail Merge");
    EXPECT_EQ(form.text("?M_:MergeFile"), "/data/list.csv");
    form.choose("?M_:MailType", "E-mail");
    form.type("?M_:EmailTo", "x@example.org");
    host.expectMessage("\"Subject\" must be entered.", ui::BUTTON::Ok);
    form.press("?OK");
    EXPECT_FALSE(host.pending());
    form.press("?Cancel");
    d.waitClosed(form);
  });
  const auto messages = storedMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].MailType.str(), "Mail Merge");
  EXPECT_EQ(messages[0].EmailTo.str(), "/data/list.csv");
  EXPECT_EQ(messages[0].EmailToName.str(), "/data/list.csv");
  EXPECT_EQ(messages[1].EmailTo.str(), "N/A");
  EXPECT_EQ(messages[1].EmailToGroup.str(), "Friends");
  EXPECT_EQ(files::GETCONFIG("LastMailMerge"), "/data/list.csv");
  EXPECT_EQ(files::GETCONFIG("LastMassMailing"), "Friends");
  EXPECT_EQ(files::GETCONFIG("LastEmail"), "") << "the cancelled message is not remembered";
}

TEST_F(Messages, AKnownAddressNamesItsContactAndAttachmentsJoin) {
  ASSERT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
  ASSERT_EQ(files::Access_CONTACT.PrimeRecord(), rt::Err::None);
  files::C_.FirstName = "Ann";
  files::C_.LastName = "Lee";
  files::C_.Email = "ann@example.org";
  ASSERT_EQ(files::Access_CONTACT.Insert(), rt::Err::None);
  const int32_t ann = files::C_.ClientID;
  (void)files::Access_CONTACT.Close();
  ScriptedHost host;
  runScript([&](Driver& d) {
    newMessage(d);
    WindowDriver form = d.waitWindow("UpdateMessages");
    form.enter("?M_:EmailTo", "nobody@example.org");
    EXPECT_EQ(form.text("?M_:EmailToName"), "");
    form.enter("?M_:EmailTo", "ann@example.org");
    EXPECT_EQ(form.text("?M_:EmailToName"), "Ann Lee");
    form.type("?M_:EmailToName", "Dr Lee");
    form.enter("?M_:EmailTo", "ann@example.org");
    EXPECT_EQ(form.text("?M_:EmailToName"), "Dr Lee") << "a name entered stays";

    host.expectFile("Choose a File", {"/docs/a.pdf", "/docs/b.pdf"});
    form.press("?AttachmentLookup");
    EXPECT_EQ(form.text("?M_:Attachment"), "/docs/a.pdf; /docs/b.pdf");
    host.expectFile("Choose a File", {"/docs/c.pdf"});
    form.press("?AttachmentLookup");
    EXPECT_EQ(form.text("?M_:Attachment"), "/docs/a.pdf; /docs/b.pdf; /docs/c.pdf");
    form.accept("?M_:Attachment");
    EXPECT_EQ(form.text("?M_:Subject"), "/docs/a.pdf; /docs/b.pdf; /docs/c.pdf");
    form.press("?OK");
    d.waitClosed(form);

    // "Select Contact to email" picks the recipient from the contact list.
    newMessage(d);
    form = d.waitWindow("UpdateMessages");
    form.press("?ContactLookup");
    WindowDriver picker = d.waitWindow("BrowseContacts");
    picker.press("?Select");
    d.waitClosed(picker);
    EXPECT_EQ(form.text("?M_:EmailTo"), "ann@example.org");
    EXPECT_EQ(form.text("?M_:EmailToName"), "Ann Lee");
    form.press("?Cancel");
    d.waitClosed(form);

    // Written from the contact list's "Email...": the contact is the recipient.
    newMessage(d, ann);
    form = d.waitWindow("UpdateMessages");
    EXPECT_EQ(form.text("?M_:EmailTo"), "ann@example.org");
    EXPECT_EQ(form.text("?M_:EmailToName"), "Ann Lee");
    form.press("?Cancel");
    d.waitClosed(form);
  });
  const auto messages = storedMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].ContactID, ann);
  EXPECT_EQ(files::SCR.EmailID, messages[0].EmailID) << "OK links the message to the item being edited";
  EXPECT_EQ(files::SCR.WindowTitleToCheckFor.str(), "/docs/a.pdf; /docs/b.pdf; /docs/c.pdf - ann@example.org");
  EXPECT_EQ(files::OVD.EmailID, messages[0].EmailID);
}

TEST_F(Messages, SendNowTellsWhatHappened) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    newMessage(d);
    WindowDriver form = d.waitWindow("UpdateMessages");
    form.type("?M_:EmailTo", "x@example.org");
    form.type("?M_:Subject", "Hi");
    // No mail server set up: the sender says so, then the form.
    host.expectMessage("E-mail not setup.", ui::BUTTON::Ok);
    host.expectMessage("Could not send:  x@example.org", ui::BUTTON::Ok);
    form.press("?SendNow");
    EXPECT_FALSE(host.pending());

    // A news article cannot go out: the box says why.
    d.gui([] { files::EMAIL.HOST = "127.0.0.1:1"; files::EMAIL.SENDER = "me@example.org"; });
    form.choose("?M_:MailType", "News");
    host.expectMessage("Could not send:  x@example.org\r\n\r\nNews articles cannot be posted", ui::BUTTON::Ok);
    form.press("?SendNow");
    EXPECT_FALSE(host.pending());
    form.choose("?M_:MailType", "E-mail");

    // The mail client program reads the stored message: an unstored one is not sent stale.
    d.gui([] { files::EMAIL.USEMAPI = 1; });
    host.expectMessage("Press OK to store this message", ui::BUTTON::Ok);
    form.press("?SendNow");
    EXPECT_FALSE(host.pending());
    EXPECT_TRUE(form.isOpen());
    form.press("?Cancel");
    d.waitClosed(form);
  });
  EXPECT_TRUE(storedMessages().empty()) << "Send Now stores nothing";
}

TEST_F(Messages, TheHistoryKeyBringsBackAFieldOfTheMessageSavedLast) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    newMessage(d);
    WindowDriver form = d.waitWindow("UpdateMessages");
    form.type("?M_:EmailTo", "a@example.org");
    form.type("?M_:Subject", "Weekly report");
    form.with([](ui::Window& w) { w.select(w.feq("?Cancel")); });  // the focus leaves the page first
    form.selectTab("Overrides");
    form.type("?M_:Mail:Server", "mail.example.org");
    form.press("?OK");
    d.waitClosed(form);
    newMessage(d);
    form = d.waitWindow("UpdateMessages");
    EXPECT_EQ(form.text("?M_:Subject"), "");
    form.key("?M_:Subject", ui::Key::ctrl(ui::Key::Quote));
    EXPECT_EQ(form.text("?M_:Subject"), "Weekly report");
    form.with([](ui::Window& w) { w.select(w.feq("?Cancel")); });
    form.selectTab("Overrides");
    form.key("?M_:Mail:Server", ui::Key::ctrl(ui::Key::Quote));
    EXPECT_EQ(form.text("?M_:Mail:Server"), "mail.example.org");
    EXPECT_EQ(form.text("?M_:EmailTo"), "") << "only the field the key was pressed in";
    form.press("?Cancel");
    d.waitClosed(form);
  });
}

TEST_F(Messages, OpenedToSelectTheFormOnlyShows) {
  const int32_t id = addMessage("a@example.org", "Alpha");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.later([id] {
      (void)files::Access_MESSAGES.Open();
      files::M_.EmailID = id;
      (void)files::MESSAGES.get(files::M_KeyEmailID);
      files::GLOBALREQUEST = ui::ViewRecord;
      (void)dialogs::UpdateMessages(0);
      (void)files::Access_MESSAGES.Close();
    });
    WindowDriver form = d.waitWindow("UpdateMessages");
    EXPECT_EQ(form.title(), "View E-mail Message");
    EXPECT_EQ(form.text("?M_:Subject"), "Alpha");
    for (const char* field : {"?M_:EmailTo", "?M_:Subject", "?M_:MailType", "?AttachmentLookup"})
      EXPECT_FALSE(form.enabled(field)) << field;
    EXPECT_EQ(form.text("?Cancel"), "Cl&ose");
    form.press("?Cancel");
    d.waitClosed(form);
  });
}

TEST_F(Messages, ListQueuesTheHighlightedMessageAndCopies) {
  const int32_t first = addMessage("a@example.org", "Alpha", "/f/one.txt", kToday - 3);
  addMessage("b@example.org", "Beta", "", kToday - 9);
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseMessages);
    WindowDriver list = d.waitWindow("BrowseMessages");
    EXPECT_EQ(list.title(), "E-mail Messages");
    EXPECT_FALSE(list.shown("?Select"));
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(4), (Texts{"Alpha", "Beta"}));
    list.selectTab("Last Date Sent");
    EXPECT_EQ(rows.texts(4), (Texts{"Beta", "Alpha"}));
    list.selectTab("Controls");
    EXPECT_EQ(rows.texts(4), (Texts{"Alpha", "Beta"}));

    rows.select(1);
    host.expectMessage("The e-mail message has been queued for delivery.", ui::BUTTON::Ok);
    list.press("?SendEmail");
    EXPECT_FALSE(host.pending());
    d.gui([first] {
      ASSERT_EQ(scheduler::ActiveScriptQueue.RECORDS(), 1);
      ASSERT_EQ(scheduler::ActiveScriptQueue.GET(1), rt::Err::None);
      const scheduler::ScriptEntry& e = scheduler::ActiveScriptQueue.buf;
      EXPECT_EQ(e.RECORD.Action.str(), "Send Email");
      EXPECT_EQ(e.RECORD.EmailID, first);
      EXPECT_EQ(e.DATE, kToday);
      EXPECT_EQ(e.TIME, 4500001);
      EXPECT_EQ(scheduler::StatusBarNote.str(), "Sending Email...");
    });

    list.press("?Copy");
    WindowDriver form = d.waitWindow("UpdateMessages");
    EXPECT_EQ(form.text("?M_:Attachment"), "/f/one.txt");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(rows.texts(4), (Texts{"Alpha", "Beta", "Alpha"}));
    list.close();
    d.waitClosed(list);
  });
  const auto messages = storedMessages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].Attachment.str(), "/f/one.txt");
  EXPECT_NE(messages[2].EmailID, first);
}

TEST_F(Messages, ListSortsFromTheHeaderUntilATabIsChosenAndKeepsItsLayout) {
  addMessage("c@example.org", "Zulu", "", kToday - 1);
  addMessage("b@example.org", "Alpha", "", kToday - 9);
  addMessage("a@example.org", "Mike", "", kToday - 3);
  const Texts bySubject{"Alpha", "Mike", "Zulu"}, byAddress{"Mike", "Alpha", "Zulu"};
  auto headers = [](const ListDriver& rows) {
    Texts h;
    for (int c = 1; c <= 8; ++c) h.push_back(rows.propList(ui::PROPLIST::Header, c));
    return h;
  };
  ScriptedHost host;
  Texts moved;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseMessages);
    WindowDriver list = d.waitWindow("BrowseMessages");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(rows.texts(4), (Texts{"Zulu", "Alpha", "Mike"}));
    list.selectTab("Subject");
    d.settle();
    EXPECT_EQ(rows.texts(4), bySubject);
    rows.clickHeader(3);
    d.settle();
    EXPECT_EQ(rows.texts(4), byAddress) << "the column sort comes before the tab's order";
    host.expectPopup("Sort by default key");
    rows.rightClickHeader(3);
    d.settle();
    EXPECT_EQ(rows.texts(4), bySubject) << "back to the chosen tab's order";
    rows.clickHeader(3);
    d.settle();
    ASSERT_EQ(rows.texts(4), byAddress);
    list.selectTab("Last Date Sent");
    d.settle();
    EXPECT_EQ(rows.texts(4), (Texts{"Alpha", "Mike", "Zulu"})) << "choosing a tab ends the column sort";
    rows.dragHeader(1, 3);
    d.settle();
    moved = headers(rows);
    EXPECT_NE(moved[0], "E-mail ID") << "the ID column moved";
    list.close();
    d.waitClosed(list);
  });
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseMessages);
    WindowDriver list = d.waitWindow("BrowseMessages");
    ListDriver rows(d, list, "?Browse:1");
    EXPECT_EQ(headers(rows), moved) << "the layout came back from POSITION.INI";
    list.close();
    d.waitClosed(list);
  });
  EXPECT_FALSE(host.pending());
}

TEST_F(Messages, AnEmptyListQueuesNothingAndSaysSo) {
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseMessages);
    WindowDriver list = d.waitWindow("BrowseMessages");
    EXPECT_FALSE(list.enabled("?Copy"));
    host.expectMessage("There is no e-mail message to send.", ui::BUTTON::Ok);
    list.press("?SendEmail");
    EXPECT_FALSE(host.pending());
    d.gui([] {
      EXPECT_EQ(scheduler::ActiveScriptQueue.RECORDS(), 0);
      EXPECT_TRUE(scheduler::StatusBarNote.isBlank());
    });
    list.close();
    d.waitClosed(list);
  });
}

TEST_F(Messages, PickerLinksTheMessageToTheScriptItem) {
  addMessage("a@example.org", "Alpha");
  const int32_t beta = addMessage("b@example.org", "Beta  ");
  ScriptedHost host;
  runScript([&](Driver& d) {
    int response = 0;
    d.later([&] {
      files::GLOBALREQUEST = ui::SelectRecord;
      response = dialogs::BrowseMessages();
    });
    WindowDriver picker = d.waitWindow("BrowseMessages");
    EXPECT_FALSE(picker.shown("?SendEmail"));
    ListDriver rows(d, picker, "?Browse:1");
    rows.select(2);
    picker.press("?Select");
    d.waitClosed(picker);
    EXPECT_EQ(response, ui::RequestCompleted);
  });
  EXPECT_EQ(files::SCR.EmailID, beta);
  EXPECT_EQ(files::SCR.WindowTitleToCheckFor.str(), "Beta - b@example.org");
  EXPECT_EQ(files::OVD.EmailID, 0) << "no script template list is open";
}

TEST_F(Messages, ARefusedSystemLockOpensNothing) {
  scheduler::services().passwordValidation = [] { return false; };
  ScriptedHost host;
  runScript([&](Driver& d) {
    const int thread = d.start(dialogs::makeBrowseMessages);
    d.settle();
    d.gui([thread] {
      EXPECT_FALSE(ui::isThreadRunning(thread));
      EXPECT_TRUE(scheduler::OpenWindowList().empty());
    });
  });
}

}  // namespace
