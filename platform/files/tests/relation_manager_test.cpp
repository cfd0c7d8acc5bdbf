// Relations between files: every rule on update and delete, cascades two levels deep across
// storage files, and a failure anywhere leaving every file as it was.
#include "platform/files/relation_manager.h"

#include <gtest/gtest.h>

#include "platform/files/tests/fixture.h"

namespace ov::db {
namespace {

using rt::Err;
using testing::City;
using testing::Person;
using testing::Step;
using testing::TempDir;

// Cities (in CITY.ZEZ) are parents of people (in PEOPLE.TPS) by city name; people are parents
// of their steps (in PEOPLE.TPS too) by id, cascading both ways.
struct World {
  explicit World(Rule onUpdate, Rule onDelete, Rule stepsOnDelete = Rule::Cascade)
      : cities(testing::cityDecl(city, dir / "CITY.ZEZ\\!Cities")),
        people(testing::personDecl(person, dir / "PEOPLE.TPS\\!People")),
        steps(testing::stepDecl(step, dir / "PEOPLE.TPS\\!Steps")),
        cityFm(cities),
        personFm(people),
        stepFm(steps),
        cityRm(cityFm),
        personRm(personFm),
        stepRm(stepFm) {
    errors.setSink([this](const ErrorReport& r) {
      reports.push_back(r);
      return r.level;
    });
    setGlobalErrors(&errors);
    stepFm.LazyAutoInc = true;
    cityRm.AddRelation(personRm, onUpdate, onDelete, people.key("PER:KeyCity"), {{"CIT:Name", "PER:City"}});
    personRm.AddRelation(stepRm, Rule::Cascade, stepsOnDelete, steps.key("STP:KeyID"), {{"PER:ID", "STP:Task"}});
    stepRm.AddRelation(personRm);
    EXPECT_EQ(cityRm.Open(), Err::None);
    EXPECT_EQ(personRm.Open(), Err::None);
    for (const char* c : {"Oslo", "Rome"}) {
      city.name = c;
      EXPECT_EQ(cities.add(), Err::None);
    }
    addPerson(1, "Ann", "Oslo");
    addPerson(2, "Bob", "oslo");  // the city key ignores case
    addPerson(3, "Cid", "Rome");
    for (int task : {1, 1, 2, 3}) {
      step.task = task;
      step.seq = 0;
      EXPECT_EQ(stepFm.Insert(), Err::None);
    }
    reports.clear();
  }
  ~World() { setGlobalErrors(nullptr); }

  void addPerson(int id, const char* name, const char* c) {
    testing::setPerson(person, id, name, c);
    EXPECT_EQ(people.add(), Err::None);
  }
  bool fetchCity(const char* name) {
    city.name = name;
    return cities.get(cities.key(0)) == Err::None;
  }
  // "id:city" of every person, in id order, and the tasks of every step.
  std::string everyone() {
    std::string out;
    EXPECT_EQ(people.set(people.key("PER:KeyID")), Err::None);
    while (people.next() == Err::None) out += std::to_string(person.id) + ":" + person.city.str() + " ";
    return out;
  }
  std::string stepTasks() {
    std::string out;
    EXPECT_EQ(steps.set(steps.key("STP:KeyID")), Err::None);
    while (steps.next() == Err::None) out += std::to_string(step.task) + "." + std::to_string(step.seq) + " ";
    return out;
  }

  TempDir dir;
  ErrorClass errors;
  std::vector<ErrorReport> reports;
  City city;
  Person person;
  Step step;
  File cities, people, steps;
  FileManager cityFm, personFm, stepFm;
  RelationManager cityRm, personRm, stepRm;
};

struct UpdateCase {
  const char* name;
  Rule rule;
  Err want;
  const char* people;
};

TEST(RelationManager, RenamingAParentFollowsTheUpdateRule) {
  const UpdateCase cases[] = {
      {"none: children keep the old name", Rule::None, Err::None, "1:Oslo 2:oslo 3:Rome "},
      {"cascade: children follow", Rule::Cascade, Err::None, "1:Bergen 2:Bergen 3:Rome "},
      {"clear: children lose the link", Rule::Clear, Err::None, "1: 2: 3:Rome "},
      {"restrict: refused while children exist", Rule::Restrict, Err::NoAccess, "1:Oslo 2:oslo 3:Rome "},
  };
  for (const UpdateCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w(c.rule, Rule::None);
    ASSERT_TRUE(w.fetchCity("Oslo"));
    w.city.name = "Bergen";
    EXPECT_EQ(w.cityRm.Update(), c.want);
    EXPECT_EQ(w.everyone(), c.people);
    EXPECT_EQ(w.fetchCity("Bergen"), c.want == Err::None);
    EXPECT_EQ(w.fetchCity("Oslo"), c.want != Err::None);
    if (c.want != Err::None) {
      ASSERT_EQ(w.reports.size(), 1u);
      EXPECT_EQ(w.reports[0].text,
                "This record of Cities [Cities] cannot be changed while records of People [Person] refer to it.");
    } else {
      EXPECT_TRUE(w.reports.empty());
    }
  }
}

TEST(RelationManager, AChangeThatLeavesTheLinkAloneNeedsNoChildren) {
  World w(Rule::Restrict, Rule::Restrict);
  ASSERT_TRUE(w.fetchCity("Oslo"));
  w.city.size = 700000;
  EXPECT_EQ(w.cityRm.Update(), Err::None);
  ASSERT_TRUE(w.fetchCity("Oslo"));
  EXPECT_EQ(w.city.size, 700000);
}

struct DeleteCase {
  const char* name;
  Rule rule;
  Err want;
  const char* people;
  const char* steps;
};

TEST(RelationManager, DeletingAParentFollowsTheDeleteRuleTwoLevelsDeep) {
  const DeleteCase cases[] = {
      {"none: children stay", Rule::None, Err::None, "1:Oslo 2:oslo 3:Rome ", "1.1 1.2 2.1 3.1 "},
      {"cascade: children and their steps go", Rule::Cascade, Err::None, "3:Rome ", "3.1 "},
      {"clear: children stay without the link", Rule::Clear, Err::None, "1: 2: 3:Rome ", "1.1 1.2 2.1 3.1 "},
      {"restrict: refused", Rule::Restrict, Err::NoAccess, "1:Oslo 2:oslo 3:Rome ", "1.1 1.2 2.1 3.1 "},
  };
  for (const DeleteCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w(Rule::None, c.rule);
    ASSERT_TRUE(w.fetchCity("Oslo"));
    EXPECT_EQ(w.cityRm.Delete(), c.want);
    EXPECT_EQ(w.fetchCity("Oslo"), c.want != Err::None);
    EXPECT_EQ(w.everyone(), c.people);
    EXPECT_EQ(w.stepTasks(), c.steps);
  }
}

TEST(RelationManager, AFailureDeepInACascadeRollsBackEveryFile) {
  World w(Rule::None, Rule::Cascade, Rule::Restrict);  // a person with steps may not go
  ASSERT_TRUE(w.fetchCity("Oslo"));
  EXPECT_EQ(w.cityRm.Delete(), Err::NoAccess);
  EXPECT_TRUE(w.fetchCity("Oslo"));
  EXPECT_EQ(w.everyone(), "1:Oslo 2:oslo 3:Rome ");
  EXPECT_EQ(w.stepTasks(), "1.1 1.2 2.1 3.1 ");
  ASSERT_EQ(w.reports.size(), 1u);
  EXPECT_EQ(w.reports[0].id, Msg::RestrictDelete);
}

TEST(RelationManager, CascadedKeyChangeCarriesIntoGrandchildrenAndADuplicateUndoesAll) {
  World w(Rule::Cascade, Rule::Cascade);
  w.person.id = 1;
  ASSERT_EQ(w.people.get(w.people.key("PER:KeyID")), Err::None);
  w.person.id = 10;
  EXPECT_EQ(w.personRm.Update(), Err::None);
  EXPECT_EQ(w.stepTasks(), "2.1 3.1 10.1 10.2 ");
  w.person.id = 2;
  ASSERT_EQ(w.people.get(w.people.key("PER:KeyID")), Err::None);
  w.person.id = 3;  // taken: the steps must not move either
  EXPECT_EQ(w.personRm.Update(), Err::DupKey);
  EXPECT_EQ(w.everyone(), "2:oslo 3:Rome 10:Oslo ");
  EXPECT_EQ(w.stepTasks(), "2.1 3.1 10.1 10.2 ");
}

TEST(RelationManager, ACascadeLeavesTheChildBufferAndSequenceAsTheyWere) {
  World w(Rule::Cascade, Rule::Cascade);
  ASSERT_EQ(w.people.set(w.people.key("PER:KeyID")), Err::None);
  ASSERT_EQ(w.people.next(), Err::None);  // Ann
  ASSERT_TRUE(w.fetchCity("Rome"));
  ASSERT_EQ(w.cityRm.Delete(), Err::None);  // takes Cid (3) with it
  EXPECT_EQ(w.person.name.str(), "Ann");
  ASSERT_EQ(w.people.next(), Err::None);
  EXPECT_EQ(w.person.id, 2);
  EXPECT_EQ(w.people.next(), Err::NotAvailable);
}

}  // namespace
}  // namespace ov::db
