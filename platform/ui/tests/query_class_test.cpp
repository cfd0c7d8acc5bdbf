// QueryClass: the value syntax of limits, the filter it builds (checked by evaluating it on
// records) and the readable text, and values that try to change the expression.
#include "platform/ui/query_class.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/rt/expr.h"
#include "platform/rt/fixed_string.h"

namespace ov::ui {
namespace {

struct Item {
  rt::String<20> name;
  rt::String<12> city;
  double amount = 0;
};
const rt::FieldDesc kFields[] = {
    {"ITM:Name", rt::FieldType::String, 20, 0, offsetof(Item, name)},
    {"ITM:City", rt::FieldType::String, 12, 20, offsetof(Item, city)},
    {"ITM:Amount", rt::FieldType::Real, 8, 32, offsetof(Item, amount)},
};
const rt::RecordDesc kItem{"ITM", kFields, 40};

struct Case {
  const char* name;
  std::function<void(QueryClass&)> set;
  const char* filter;
  const char* text;
  std::vector<int> matches;  // of the three records below, 0-based
};

TEST(QueryClass, LimitsBecomeAFilterAndAText) {
  const Case cases[] = {
      {"equal, case ignored", [](QueryClass& q) { q.SetEqual("ITM:NAME", "^lee"); }, "UPPER(ITM:NAME) = 'LEE'",
       "Name = lee", {0}},
      {"not equal", [](QueryClass& q) { q.SetEqual("ITM:NAME", "~bob"); }, "ITM:NAME <> 'bob'", "Name <> bob", {0, 1}},
      {"contains, case ignored, with a quote", [](QueryClass& q) { q.SetEqual("ITM:NAME", "*^o'B"); },
       "INSTRING('O''B',UPPER(ITM:NAME),1,1) > 0", "Name contains o'B", {1}},
      {"inclusive low, exclusive high",
       [](QueryClass& q) {
         q.SetLow("ITM:AMOUNT", "=10");
         q.SetHigh("ITM:AMOUNT", "20");
       },
       "ITM:AMOUNT >= 10 AND ITM:AMOUNT < 20", "Amount >= 10.00 AND Amount < 20.00", {0, 1}},
      {"a value written to break out of its quotes", [](QueryClass& q) { q.SetEqual("ITM:NAME", "x' OR 1=1 OR 'a"); },
       "ITM:NAME = 'x'' OR 1=1 OR ''a'", "Name = x' OR 1=1 OR 'a", {}},
      {"a number field given text", [](QueryClass& q) { q.SetEqual("ITM:AMOUNT", "1) OR (1"); },
       "ITM:AMOUNT = 0", "Amount = 0.00", {}},
      {"limits on two fields accumulate",
       [](QueryClass& q) {
         q.SetEqual("ITM:CITY", "Oslo");
         q.SetLow("ITM:AMOUNT", "12");
       },
       "ITM:AMOUNT > 12 AND ITM:CITY = 'Oslo'", "Amount > 12.00 AND City = Oslo", {0}},
      {"a later limit of a kind replaces the earlier",
       [](QueryClass& q) {
         q.SetEqual("ITM:CITY", "Rome");
         q.SetEqual("ITM:CITY", "Kyiv");
       },
       "ITM:CITY = 'Kyiv'", "City = Kyiv", {2}},
      {"a plain value keeps its leading marks as data",
       [](QueryClass& q) { q.SetLimit("ITM:NAME", QueryClass::Op::Equal, "~^bob", false); }, "ITM:NAME = '~^bob'",
       "Name = ~^bob", {}},
      {"a plain value compared case ignored",
       [](QueryClass& q) { q.SetLimit("ITM:NAME", QueryClass::Op::Equal, "LEE", true); }, "UPPER(ITM:NAME) = 'LEE'",
       "Name = LEE", {0}},
      {"plain inclusive high and contains",
       [](QueryClass& q) {
         q.SetLimit("ITM:AMOUNT", QueryClass::Op::LessEqual, "15", false);
         q.SetLimit("ITM:CITY", QueryClass::Op::Contains, "*o", false);
       },
       "ITM:AMOUNT <= 15 AND INSTRING('*o',ITM:CITY,1,1) > 0", "Amount <= 15.00 AND City contains *o", {}},
  };
  Item records[3];
  records[0].name = "Lee";
  records[0].city = "Oslo";
  records[0].amount = 15;
  records[1].name = "o'brien";
  records[1].city = "Rome";
  records[1].amount = 10;
  records[2].name = "bob";
  records[2].city = "Kyiv";
  records[2].amount = 20;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QueryClass q;
    q.Init(&kItem);
    q.AddItem("ITM:NAME", "Name");
    q.AddItem("ITM:AMOUNT", "Amount", "@n10.2");
    q.AddItem("ITM:CITY", "City");
    c.set(q);
    EXPECT_TRUE(q.isActive());
    EXPECT_EQ(q.GetFilter(), c.filter);
    EXPECT_EQ(q.GetText(), c.text);
    // The evaluator is the oracle: the filter keeps exactly the records it should.
    Item buffer;
    rt::Bindings names;
    names.bindRecord(kItem, &buffer);
    rt::Expression e;
    rt::ExprError err;
    ASSERT_TRUE(e.parse(q.GetFilter(), names, &err)) << err.message;
    std::vector<int> kept;
    for (int i = 0; i < 3; ++i) {
      buffer = records[i];
      if (e.isTrue()) kept.push_back(i);
    }
    EXPECT_EQ(kept, c.matches);
  }
}

TEST(QueryClass, ClearingLimitsAndUnknownNames) {
  QueryClass q;
  q.Init(&kItem);
  q.AddItem("ITM:NAME");
  q.AddItem("ITM:CITY");
  EXPECT_FALSE(q.SetEqual("ITM:NOSUCH", "x")) << "a field never offered";
  EXPECT_FALSE(q.isActive());
  EXPECT_EQ(q.GetFilter(), "");
  q.SetEqual("itm:name", "a");  // names ignore case
  q.SetEqual("ITM:CITY", "b");
  q.ClearLimits("ITM:NAME");
  EXPECT_EQ(q.GetFilter(), "ITM:CITY = 'b'");
  EXPECT_EQ(q.GetText(), "ITM:CITY = b") << "the title defaults to the name";
  q.Reset();
  EXPECT_FALSE(q.isActive());
  EXPECT_EQ(q.GetText(), "");
  // Without a record description a number value compares as a number.
  QueryClass loose;
  loose.Init();
  loose.AddItem("X:A");
  loose.SetEqual("X:A", "12");
  loose.SetLow("X:A", "=^abc");
  EXPECT_EQ(loose.GetFilter(), "X:A = 12 AND UPPER(X:A) >= 'ABC'");
}

}  // namespace
}  // namespace ov::ui
