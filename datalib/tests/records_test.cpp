#include "datalib/records.h"
#include "platform/rt/text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>

using namespace ov::files;
using ov::rt::FieldType;

namespace {

// Record sizes from the file catalogue.
struct Size { const char* label; uint32_t bytes; };
const Size kCatalogue[] = {
    {"SCHEDULE", 5289}, {"SCRIPTING", 2528}, {"OVUSD", 73}, {"OVSCD", 12}, {"CATEGORIES", 20},
    {"CONFIGURATION", 295}, {"CONTACT", 552}, {"CONTACTCATEGORIES", 20}, {"CONTACTDETAILS", 128},
    {"TODO", 152}, {"HOLIDAYS", 46}, {"MESSAGES", 2864}, {"TRIGGERS", 2647}, {"SYSHOTKEYS", 139},
    {"USERS", 1456}, {"CLIPBOARDCATEGORIES", 20}, {"CLIPBOARD", 197}, {"SCRIPTTEMPLATES", 319},
    {"SCRIPTTEMPLATEDETAILS", 2528}, {"ACTIONS", 4147}, {"MSGLINK", 4495},
    {"SCHEDULEWORKFILE", 5289}, {"SYNCSCHEDULE", 5289}, {"SYNCSCRIPTING", 2528},
    {"SYNCTODO", 152}, {"SYNCOVUSD", 73}, {"EXPORT", 2610}, {"OV_LOG", 182},
};

bool inLayout(const ov::rt::FieldDesc& f) { return f.type != FieldType::Memo && f.type != FieldType::Blob; }

}  // namespace

TEST(Records, EveryLayoutAddsUpToItsCatalogueSize) {
  ASSERT_EQ(recordEntries().size(), std::size(kCatalogue));
  for (const Size& s : kCatalogue) {
    SCOPED_TRACE(s.label);
    const RecordEntry* e = findRecord(s.label);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(ov::rt::layoutWidth(*e->desc), s.bytes);
    EXPECT_EQ(e->desc->declaredSize, s.bytes);
  }
}

// Each declared offset must be where the widths before it end, and the struct must keep the
// declared order; a mistyped width or a swapped member shows here.
TEST(Records, OffsetsAreContiguousAndMembersKeepDeclaredOrder) {
  for (const RecordEntry& e : recordEntries()) {
    SCOPED_TRACE(e.label);
    uint32_t at = 0;
    size_t lastMember = 0;
    std::set<std::string> names;
    for (const auto& f : e.desc->fields) {
      SCOPED_TRACE(f.name);
      EXPECT_TRUE(names.insert(ov::rt::UPPER(f.name)).second) << "duplicate name";
      EXPECT_EQ(std::string(f.name).rfind(std::string(e.desc->prefix) + ":", 0), 0u);
      if (!inLayout(f)) {
        EXPECT_EQ(f.layoutOffset, e.desc->declaredSize);
        continue;
      }
      EXPECT_EQ(f.layoutOffset, at);
      at += f.width;
      if (at != f.width) {
        EXPECT_GT(f.memberOffset, lastMember);
      }
      lastMember = f.memberOffset;
    }
  }
}

TEST(Records, GroupsSpanTheirFields) {
  struct G { const char* label; const char* group; uint32_t offset; uint32_t size; };
  const G kGroups[] = {
      {"SCHEDULE", "SCH:DayOfWeekGroup", 4745, 7},       {"SCHEDULE", "SCH:EveryOrdinal", 4778, 6},
      {"SCHEDULE", "SCH:ScheduleDateAndTime", 4804, 17}, {"SCHEDULE", "SCH:AlarmGroup", 4821, 256},
      {"SCHEDULE", "SCH:AdvancedWarning", 5077, 18},     {"SCHEDULE", "SCH:Expiry", 5103, 8},
      {"SCHEDULE", "SCH:Exceptions", 5111, 56},          {"SCHEDULE", "SCH:Synchonization", 5167, 42},
      {"SYNCSCHEDULE", "SSCH:Exceptions", 5111, 56},     {"SCHEDULEWORKFILE", "SCW:Expiry", 5103, 8},
      {"OVUSD", "US:ScheduleDateAndTime", 44, 17},       {"OVUSD", "US:AdvancedWarning", 61, 9},
      {"SYNCOVUSD", "SUS:AdvancedWarning", 61, 9},
  };
  for (const G& g : kGroups) {
    SCOPED_TRACE(g.group);
    const RecordEntry* e = findRecord(g.label);
    ASSERT_NE(e, nullptr);
    const GroupDesc* found = nullptr;
    for (const GroupDesc& d : e->groups)
      if (std::string(d.name) == g.group) found = &d;
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->declaredSize, g.size);
    const ov::rt::FieldDesc* first = e->desc->find(found->firstField);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->layoutOffset, g.offset);
    size_t index = first - e->desc->fields.data();
    ASSERT_LE(index + found->fieldCount, e->desc->fields.size());
    uint32_t sum = 0;
    for (size_t i = index; i < index + found->fieldCount; ++i) sum += e->desc->fields[i].width;
    EXPECT_EQ(sum, g.size);
  }
}

TEST(Records, TextFieldsPadAndCutToTheirWidth) {
  ScheduleRec r;
  const ov::rt::FieldDesc* alarm = Desc_SCHEDULE.find("SCH:AlarmFile");
  const ov::rt::FieldDesc* descr = Desc_SCHEDULE.find("description");  // without prefix, any case
  ASSERT_NE(alarm, nullptr);
  ASSERT_NE(descr, nullptr);
  ov::rt::setFieldText(&r, *alarm, std::string(300, 'a'));
  EXPECT_EQ(r.AlarmFile.view().size(), 254u);
  ov::rt::setFieldText(&r, *descr, "Backup");
  EXPECT_EQ(r.Description.view(), "Backup" + std::string(34, ' '));
  ov::rt::setFieldText(&r, *descr, std::string(45, 'x'));
  EXPECT_EQ(r.Description.view(), std::string(40, 'x'));
  ov::rt::setFieldNumber(&r, *Desc_SCHEDULE.find("SCH:Date"), 80000);
  EXPECT_EQ(r.Date, 80000);
  EXPECT_EQ(ov::rt::fieldText(&r, *Desc_SCHEDULE.find("SCH:Date")), "80000");
}

TEST(Records, BuffersAreWholeRecordCopyable) {
  static_assert(std::is_trivially_copyable_v<ScheduleRec>);
  static_assert(std::is_trivially_copyable_v<ScriptingRec>);
  static_assert(std::is_trivially_copyable_v<UserScheduleRec>);
  ScriptingRec step;
  step.WIZ_ID = 7;  // a template step's number is the script item's first field
  step.Action = "Start Program";
  SCR = step;
  EXPECT_EQ(SCR.ID, 7);
  OVD = step;
  EXPECT_EQ(ov::rt::fieldNumber(&OVD, *Desc_SCRIPTTEMPLATEDETAILS.find("OVD:WIZ_ID")), 7);
  EXPECT_EQ(ov::rt::fieldText(&SCR, *Desc_SCRIPTING.find("SCR:Action")), "Start Program");
}

TEST(Records, ClearBuffersBlanksTextAndZeroesNumbers) {
  SCH.Date = 5;
  SCH.Description = "x";
  SCH.AlarmFile = "a.wav";
  TDO.Notes = "memo";
  SCH.dayOfWeek(6) = 1;
  EXPECT_EQ(SCH.Saturday, 1);
  clearRecordBuffers();
  EXPECT_EQ(SCH.Date, 0);
  EXPECT_EQ(SCH.Description.view(), std::string(40, ' '));
  EXPECT_EQ(SCH.AlarmFile.view(), "");
  EXPECT_EQ(SCH.Saturday, 0);
  EXPECT_TRUE(TDO.Notes.empty());
  EXPECT_EQ(findRecord("scw")->buffer, static_cast<void*>(&SCW));
  EXPECT_EQ(findRecord("nope"), nullptr);
}
