// The contact category form and the two-pane window of categories and their contacts, whose two
// lists sort from their headers and keep their layouts each on its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/contact_categories.h"
#include "dialogs/tests/fixture.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/list_driver.h"

using namespace ov;
using ui::test::Driver;
using ui::test::ListDriver;
using ui::test::runScript;
using ui::test::ScriptedHost;
using ui::test::WindowDriver;
using Texts = std::vector<std::string>;

namespace {

class ContactCategories : public dialogs::testing::DataFolder {};

void addContactCategory(const char* name) {
  ASSERT_EQ(files::Access_CONTACTCATEGORIES.Open(), rt::Err::None);
  files::CONTACTCATEGORIES.clear();
  files::CC.ContactCategory = name;
  ASSERT_EQ(files::CONTACTCATEGORIES.add(), rt::Err::None);
  (void)files::Access_CONTACTCATEGORIES.Close();
}

void addContact(const char* first, const char* last, const char* category) {
  ASSERT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
  ASSERT_EQ(files::Access_CONTACT.PrimeRecord(), rt::Err::None);
  files::C_.FirstName = first;
  files::C_.LastName = last;
  files::C_.ContactCategory = category;
  ASSERT_EQ(files::Access_CONTACT.Insert(), rt::Err::None);
  (void)files::Access_CONTACT.Close();
}

std::vector<std::string> storedContactCategories() {
  std::vector<std::string> out;
  EXPECT_EQ(files::Access_CONTACTCATEGORIES.Open(), rt::Err::None);
  rt::Err err = files::CONTACTCATEGORIES.set(files::CC_KeyContactCategories);
  while (err == rt::Err::None && (err = files::CONTACTCATEGORIES.next()) == rt::Err::None)
    out.push_back(files::CC.ContactCategory.str());
  (void)files::Access_CONTACTCATEGORIES.Close();
  return out;
}

// "last name: category" of every contact, by id.
std::vector<std::string> storedContacts() {
  std::vector<std::string> out;
  EXPECT_EQ(files::Access_CONTACT.Open(), rt::Err::None);
  rt::Err err = files::CONTACT.set(files::C_KeyClientID);
  while (err == rt::Err::None && (err = files::CONTACT.next()) == rt::Err::None)
    out.push_back(files::C_.LastName.str() + ": " + files::C_.ContactCategory.str());
  (void)files::Access_CONTACT.Close();
  return out;
}

TEST_F(ContactCategories, TheFormByRequest) {
  addContactCategory("Work");
  ScriptedHost host;
  runScript([&](Driver& d) {
    auto open = [&d](int request) {
      d.later([request] {
        (void)files::Access_CONTACTCATEGORIES.Open();
        files::CC.ContactCategory = "Work";
        (void)files::CONTACTCATEGORIES.get(files::CC_KeyContactCategories);
        files::GLOBALREQUEST = static_cast<uint8_t>(request);
        (void)dialogs::UpdateContactCategories();
        (void)files::Access_CONTACTCATEGORIES.Close();
      });
      return d.waitWindow("UpdateContactCategories");
    };
    WindowDriver form = open(ui::ViewRecord);
    EXPECT_EQ(form.title(), "View Contact Category");
    EXPECT_EQ(form.text("?Cancel"), "Cl&ose");
    EXPECT_FALSE(form.enabled("?CC:ContactCategory"));
    form.press("?Cancel");
    d.waitClosed(form);

    // An empty name is refused; a new one is stored.
    d.later([] {
      files::GLOBALREQUEST = ui::InsertRecord;
      (void)dialogs::UpdateContactCategories();
    });
    form = d.waitWindow("UpdateContactCategories");
    EXPECT_EQ(form.title(), "New Contact Category");
    host.expectMessage("must be entered", ui::BUTTON::Ok);
    form.press("?OK");
    EXPECT_FALSE(host.pending());
    form.type("?CC:ContactCategory", "Family");
    form.press("?OK");
    d.waitClosed(form);

    form = open(ui::DeleteRecord);
    EXPECT_TRUE(form.enabled("?OK"));
    EXPECT_EQ(form.text("?Cancel"), "Cl&ose");
    form.press("?OK");
    d.waitClosed(form);
  });
  EXPECT_EQ(storedContactCategories(), Texts{"Family"});
}

TEST_F(ContactCategories, TheContactsFollowTheHighlightedCategory) {
  addContactCategory("Family");
  addContactCategory("Empty");
  addContactCategory("Work");
  addContact("Ann", "Lee", "Work");
  addContact("Bob", "Ray", "Family");
  addContact("Cid", "Abe", "Work");
  ScriptedHost host;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContactCategories2Pane);
    WindowDriver w = d.waitWindow("BrowseContactCategories2Pane");
    EXPECT_EQ(w.title(), "Contact Categories");
    ListDriver categories(d, w, "?Browse:1");
    ListDriver contacts(d, w, "?List");
    EXPECT_EQ(categories.texts(1), (Texts{"Empty", "Family", "Work"}));
    EXPECT_TRUE(contacts.texts(1).empty());
    EXPECT_FALSE(w.enabled("?CopyContact"));
    categories.select(3);
    EXPECT_EQ(contacts.texts(2), (Texts{"Abe", "Lee"}));
    EXPECT_TRUE(w.enabled("?CopyContact"));
    categories.select(2);
    EXPECT_EQ(contacts.texts(2), Texts{"Ray"});

    // A new contact is filed under the highlighted category.
    w.press("?InsertContact");
    WindowDriver form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.text("?C_:ContactCategory"), "Family");
    form.type("?C_:LastName", "Zed");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(contacts.texts(2), (Texts{"Ray", "Zed"}));

    // A contact filed under another category leaves the list on the highlighted one.
    w.press("?InsertContact");
    form = d.waitWindow("UpdateContacts");
    form.type("?C_:LastName", "Yue");
    form.enter("?C_:ContactCategory", "Work");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(contacts.texts(2), (Texts{"Ray", "Zed"}));

    // Copy: a new contact with the highlighted one's fields.
    contacts.select(1);
    w.press("?CopyContact");
    form = d.waitWindow("UpdateContacts");
    EXPECT_EQ(form.text("?C_:FirstName"), "Bob");
    form.press("?OK");
    d.waitClosed(form);
    EXPECT_EQ(contacts.texts(2), (Texts{"Ray", "Ray", "Zed"}));

    // A category in use cannot be deleted: the data layer says so and the lists stay. (After the
    // contact forms have come and gone, the categories list still reads its file.)
    categories.select(2);
    w.press("?Delete");
    WindowDriver category = d.waitWindow("UpdateContactCategories");
    host.expectMessage("Contact Categories [ContactCategories]", ui::BUTTON::Ok);
    category.press("?OK");
    d.settle();
    EXPECT_FALSE(host.pending());
    if (category.isOpen()) {
      category.press("?Cancel");
      d.waitClosed(category);
    }
    EXPECT_EQ(categories.texts(1), (Texts{"Empty", "Family", "Work"}));

    w.close();
    d.waitClosed(w);
  });
  EXPECT_EQ(storedContacts(), (Texts{"Lee: Work", "Ray: Family", "Abe: Work", "Zed: Family", "Yue: Work", "Ray: Family"}));
}

TEST_F(ContactCategories, EachPaneSortsFromItsHeaderAndKeepsItsOwnLayout) {
  addContactCategory("Family");
  addContactCategory("Work");
  addContact("Cid", "Abe", "Work");
  addContact("Ann", "Lee", "Work");
  addContact("Bob", "Ray", "Work");
  addContact("Dot", "Kim", "Family");
  const Texts byLastName{"Abe", "Lee", "Ray"}, byFirstName{"Lee", "Ray", "Abe"};
  auto headers = [](const ListDriver& rows, int count) {
    Texts h;
    for (int c = 1; c <= count; ++c) h.push_back(rows.propList(ui::PROPLIST::Header, c));
    return h;
  };
  ScriptedHost host;
  Texts moved;
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContactCategories2Pane);
    WindowDriver w = d.waitWindow("BrowseContactCategories2Pane");
    ListDriver categories(d, w, "?Browse:1");
    ListDriver contacts(d, w, "?List");
    categories.select(2);
    d.settle();
    ASSERT_EQ(contacts.texts(2), byLastName);
    contacts.clickHeader(1);
    d.settle();
    EXPECT_EQ(contacts.texts(2), byFirstName) << "the contacts' column sort, within the category";
    EXPECT_EQ(categories.texts(1), (Texts{"Family", "Work"})) << "the other pane keeps its order";
    categories.select(1);
    d.settle();
    EXPECT_EQ(contacts.texts(2), Texts{"Kim"});
    categories.select(2);
    d.settle();
    EXPECT_EQ(contacts.texts(2), byFirstName);
    host.expectPopup("Sort by default key");
    contacts.rightClickHeader(1);
    d.settle();
    EXPECT_EQ(contacts.texts(2), byLastName) << "back to the list's own order";
    contacts.dragHeader(1, 3);
    d.settle();
    moved = headers(contacts, 10);
    EXPECT_NE(moved[0], "First Name") << "the first column moved";
    w.close();
    d.waitClosed(w);
  });
  runScript([&](Driver& d) {
    d.start(dialogs::makeBrowseContactCategories2Pane);
    WindowDriver w = d.waitWindow("BrowseContactCategories2Pane");
    ListDriver categories(d, w, "?Browse:1");
    ListDriver contacts(d, w, "?List");
    EXPECT_EQ(headers(contacts, 10), moved) << "the contacts' layout came back under its own name";
    EXPECT_EQ(headers(categories, 1), Texts{"Categories"}) << "the categories' layout is its own";
    w.close();
    d.waitClosed(w);
  });
  EXPECT_FALSE(host.pending());
}

}  // namespace
