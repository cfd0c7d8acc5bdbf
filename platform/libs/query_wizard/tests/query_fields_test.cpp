#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/libs/query_wizard/query_wizard.h"
#include "platform/rt/expr.h"

namespace ov::qwizard {
namespace {

// One record of a field table: each field ended by 0xA6, the record by 0xAB.
std::string record(const std::vector<std::string>& fields) {
  std::string s;
  for (const std::string& f : fields) s += f + "\xA6";
  return s + "\xAB";
}

const std::string kContents = record({"Contents", "0", "CLI:ClipContents", "@s255", "16635", "1", "1", "", ""});
const std::string kKeep = record({"Keep", "0", "CLI:ClipKeep", "@n3", "1", "2", "2", "", "Keep this clipboard record", ""});
const std::string kType = record({"Task Type", "0", "SCH:TaskType", "@s20", "20", "1", "3", "",
                                  "Start Program|Display Message|Both|Reminder Only"});

TEST(QueryFields, ReadsLabelsNamesKindsChoicesAndCaptions) {
  QueryFields fields;
  ASSERT_EQ(loadFields(kContents + kKeep + kType, "CLIPBOARD", fields), code::None);
  EXPECT_EQ(fields.fileLabel, "CLIPBOARD");
  ASSERT_EQ(fields.fields.size(), 3u);
  const QueryField& contents = fields.fields[0];
  EXPECT_EQ(contents.label, "Contents");
  EXPECT_EQ(contents.name, "CLI:ClipContents");
  EXPECT_EQ(contents.picture, "@s255");
  EXPECT_EQ(contents.length, 16635);
  EXPECT_EQ(contents.value, ValueKind::Text);
  EXPECT_EQ(contents.entry, EntryKind::Typed);
  const QueryField& keep = fields.fields[1];  // a tenth, empty field is allowed
  EXPECT_EQ(keep.value, ValueKind::Number);
  EXPECT_EQ(keep.entry, EntryKind::Flag);
  EXPECT_EQ(keep.caption, "Keep this clipboard record");
  const QueryField& type = fields.fields[2];
  EXPECT_EQ(type.entry, EntryKind::Choice);
  EXPECT_EQ(type.choices, (std::vector<std::string>{"Start Program", "Display Message", "Both", "Reminder Only"}));
}

TEST(QueryFields, DatesAndTimesAreKnownByTheirPictures) {
  QueryFields fields;
  ASSERT_EQ(loadFields(record({"Date", "0", "CLI:ClipDate", "@d3", "4", "2", "1", "", ""}) +
                           record({"Time", "0", "CLI:ClipTime", "@t3", "4", "2", "1", "", ""}) +
                           record({"Count", "0", "CLI:Count", "@n5", "4", "2", "1", "", ""}),
                       "CLIPBOARD", fields),
            code::None);
  EXPECT_TRUE(fields.fields[0].isDate());
  EXPECT_TRUE(fields.fields[1].isTime());
  EXPECT_FALSE(fields.fields[2].isDate());
  EXPECT_FALSE(fields.fields[2].isTime());
}

struct Malformed {
  const char* name;
  std::string packed;
  int code;
};

TEST(QueryFields, MalformedTablesGiveTheirCodeAndNoFields) {
  const Malformed kCases[] = {
      {"empty text", "", code::NoFields},
      {"only blanks", "  ", code::NoFields},
      {"eight fields", record({"Contents", "0", "CLI:ClipContents", "@s255", "16635", "1", "1", ""}), code::ShortRecord},
      {"last record not ended", kContents + "Keep\xA6" "0\xA6", code::ShortRecord},
      {"record separator missing", kContents.substr(0, kContents.size() - 1), code::ShortRecord},
      {"blank field name", record({"Contents", "0", " ", "@s255", "10", "1", "1", "", ""}), code::BadName},
      {"quote in field name", record({"Contents", "0", "CLI:Clip'", "@s255", "10", "1", "1", "", ""}), code::BadName},
      {"length not a number", record({"Contents", "0", "CLI:A", "@s255", "x", "1", "1", "", ""}), code::BadLength},
      {"length 0", record({"Contents", "0", "CLI:A", "@s255", "0", "1", "1", "", ""}), code::BadLength},
      {"value kind 3", record({"Contents", "0", "CLI:A", "@s255", "10", "3", "1", "", ""}), code::BadValueKind},
      {"entry kind 4", record({"Contents", "0", "CLI:A", "@s255", "10", "1", "4", "", ""}), code::BadEntryKind},
      {"choice list without choices", record({"Type", "0", "CLI:A", "@s20", "20", "1", "3", "", " | "}), code::NoChoices},
      {"bad picture", record({"Date", "0", "CLI:A", "@q9", "4", "2", "1", "", ""}), code::BadPicture},
      {"field listed twice", kContents + record({"Again", "0", "cli:clipcontents", "@s20", "20", "1", "1", "", ""}),
       code::Duplicate},
  };
  for (const Malformed& c : kCases) {
    SCOPED_TRACE(c.name);
    QueryFields fields;
    fields.fields.push_back({});  // whatever was there goes
    EXPECT_EQ(loadFields(c.packed, "CLIPBOARD", fields), c.code);
    EXPECT_TRUE(fields.fields.empty());
  }
}

TEST(QueryFields, CheckAcceptsListedAndAllowedNamesOnly) {
  QueryFields fields;
  ASSERT_EQ(loadFields(kContents + kKeep, "CLIPBOARD", fields), code::None);
  std::string message;
  EXPECT_TRUE(fields.check("CLI:ClipKeep<>0 AND UPPER(CLI:ClipContents)=UPPER('x')"));
  EXPECT_FALSE(fields.check("CLI:Category='Work'", &message));
  EXPECT_NE(message.find("CLI:Category"), std::string::npos) << message;
  EXPECT_FALSE(fields.check("CLI:ClipKeep=", &message));

  struct Rec {
    int32_t Category = 0;
  } rec;
  const rt::FieldDesc desc[] = {{"CLI:Category", rt::FieldType::Long, 4, 0, offsetof(Rec, Category)}};
  const rt::RecordDesc record{"CLI", desc, 4};
  fields.allowRecord(record, &rec);
  EXPECT_TRUE(fields.check("CLI:Category=1"));
  // A listed field the record lacks is refused, as the view would refuse it, unless bound.
  EXPECT_FALSE(fields.check("CLI:Category=1 AND CLI:ClipKeep=0"));
  uint8_t keep = 0;
  rt::PUSHBIND();
  rt::BIND("CLI:ClipKeep", keep);
  EXPECT_TRUE(fields.check("CLI:Category=1 AND CLI:ClipKeep=0"));
  rt::POPBIND();
}

TEST(QueryWizardTexts, StandardTextsAndReplacements) {
  SetQueryWizardTexts();
  EXPECT_EQ(displayText(1), "Is Equal To");
  EXPECT_EQ(displayText(9), "Does NOT Begin With");
  EXPECT_EQ(displayText(8), "Contains");
  EXPECT_EQ(displayText(33), "Invalid Query");
  EXPECT_EQ(displayText(171), "Query Wizard");
  EXPECT_EQ(displayText(999), "");
  TC_SETQWDISPLAYTEXT(1, "Equals");
  EXPECT_EQ(displayText(1), "Equals");
  SetQueryWizardTexts();
  EXPECT_EQ(displayText(1), "Is Equal To");
}

}  // namespace
}  // namespace ov::qwizard
