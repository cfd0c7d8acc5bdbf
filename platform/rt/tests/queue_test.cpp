#include "platform/rt/queue.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

using namespace ov::rt;

namespace {

struct Row {
  String<10> Name;
  int32_t Value = 0;
  int32_t Seq = 0;  // insertion number, to see where equal keys went
};

const FieldDesc kRowFields[] = {
    {"ROW:Name", FieldType::String, 10, 0, offsetof(Row, Name)},
    {"ROW:Value", FieldType::Long, 4, 10, offsetof(Row, Value)},
    {"ROW:Seq", FieldType::Long, 4, 14, offsetof(Row, Seq)},
};
const RecordDesc kRowDesc{"ROW", kRowFields, 18};

void add(Queue<Row>& q, const char* name, int value, const QueueOrder<Row>* order = nullptr) {
  q.buf.Name = name;
  q.buf.Value = value;
  q.buf.Seq = q.RECORDS() + 1;
  order ? q.ADD(*order) : q.ADD();
}

// "name:value" of every entry, in queue order.
std::string dump(const Queue<Row>& q) {
  std::string out;
  for (const Row& r : q) out += (out.empty() ? "" : " ") + r.Name.str() + ":" + std::to_string(r.Value);
  return out;
}

std::string seqs(const Queue<Row>& q) {
  std::string out;
  for (const Row& r : q) out += std::to_string(r.Seq);
  return out;
}

}  // namespace

TEST(Queue, AddInKeyOrderPutsEqualKeysAfterTheirEquals) {
  Queue<Row> q;
  const QueueOrder<Row> order{ascending(&Row::Name), descending(&Row::Value)};
  add(q, "b", 1, &order);
  add(q, "a", 1, &order);
  add(q, "b", 5, &order);
  add(q, "a", 1, &order);  // equal to the second: goes after it
  add(q, "c", 0, &order);
  EXPECT_EQ(dump(q), "a:1 a:1 b:5 b:1 c:0");
  EXPECT_EQ(seqs(q), "24315");
  EXPECT_EQ(q.POINTER(), 5);
  q.buf.Name = "b";
  q.buf.Value = 3;
  q.ADD(order);
  EXPECT_EQ(q.POINTER(), 4);  // between b:5 and b:1
}

TEST(Queue, AddAtAPosition) {
  Queue<Row> q;
  add(q, "a", 1);
  add(q, "b", 2);
  q.buf.Name = "first";
  q.ADD(1);
  q.buf.Name = "last";
  q.ADD(99);
  q.buf.Name = "second";
  q.ADD(2);
  EXPECT_EQ(dump(q), "first:2 second:2 a:1 b:2 last:2");
  EXPECT_EQ(q.POINTER(), 2);
}

TEST(Queue, GetByPositionAndByKey) {
  Queue<Row> q;
  add(q, "Alpha", 1);
  add(q, "beta", 2);
  add(q, "BETA", 3);

  ASSERT_EQ(q.GET(2), Err::None);
  EXPECT_EQ(q.buf.Value, 2);
  EXPECT_EQ(q.POINTER(), 2);

  // Outside the queue: an error, the buffer and the pointer untouched.
  for (int bad : {0, 4, -1}) {
    EXPECT_EQ(q.GET(bad), Err::EntryNotFound);
    EXPECT_EQ(ERRORCODE(), 30);
    EXPECT_EQ(q.buf.Value, 2);
    EXPECT_EQ(q.POINTER(), 2);
  }

  const QueueOrder<Row> exact{ascending(&Row::Name)};
  const QueueOrder<Row> caseless{ascending(&Row::Name, true)};
  q.buf.Name = "BETA";
  ASSERT_EQ(q.GET(exact), Err::None);
  EXPECT_EQ(q.buf.Value, 3);
  EXPECT_EQ(ERRORCODE(), 0);
  q.buf.Name = "BETA";
  ASSERT_EQ(q.GET(caseless), Err::None);
  EXPECT_EQ(q.buf.Value, 2);  // the first equal entry
  q.buf.Name = "gamma";
  EXPECT_EQ(q.GET(caseless), Err::EntryNotFound);
  EXPECT_EQ(q.buf.Name, "gamma");
}

TEST(Queue, PutDeleteAndFree) {
  Queue<Row> q;
  const QueueOrder<Row> byValue{ascending(&Row::Value)};
  add(q, "a", 1, &byValue);
  add(q, "b", 2, &byValue);
  add(q, "c", 3, &byValue);

  EXPECT_EQ(Queue<Row>().PUT(), Err::EntryNotFound);  // nothing read yet
  ASSERT_EQ(q.GET(1), Err::None);
  q.buf.Name = "A";
  ASSERT_EQ(q.PUT(), Err::None);
  EXPECT_EQ(dump(q), "A:1 b:2 c:3");

  q.buf.Value = 9;  // written back and moved to its place
  ASSERT_EQ(q.PUT(byValue), Err::None);
  EXPECT_EQ(dump(q), "b:2 c:3 A:9");
  EXPECT_EQ(q.POINTER(), 3);

  ASSERT_EQ(q.GET(1), Err::None);
  ASSERT_EQ(q.DELETE(), Err::None);
  EXPECT_EQ(dump(q), "c:3 A:9");
  ASSERT_EQ(q.GET(2), Err::None);
  ASSERT_EQ(q.DELETE(), Err::None);
  EXPECT_EQ(q.DELETE(), Err::EntryNotFound);  // the pointer is now past the end
  EXPECT_EQ(dump(q), "c:3");

  q.FREE();
  EXPECT_EQ(q.RECORDS(), 0);
  EXPECT_EQ(q.POINTER(), 0);
  EXPECT_EQ(q.buf.Name, "A");  // the buffer survives
}

TEST(Queue, SortIsStableOverSeveralFieldsEitherWay) {
  Queue<Row> q;
  add(q, "b", 1);
  add(q, "a", 2);
  add(q, "b", 2);
  add(q, "a", 2);
  add(q, "c", 1);
  q.SORT({descending(&Row::Value), ascending(&Row::Name)});
  EXPECT_EQ(dump(q), "a:2 a:2 b:2 b:1 c:1");
  EXPECT_EQ(seqs(q), "24315");
  EXPECT_EQ(q.POINTER(), 0);
}

TEST(Queue, OrderFromFieldNames) {
  Queue<Row> q;
  add(q, "b", 10);
  add(q, "a", 9);
  add(q, "c", 10);
  QueueOrder<Row> order;
  ASSERT_TRUE(orderFromNames(kRowDesc, "-value, ROW:Name", order));
  q.SORT(order);
  EXPECT_EQ(dump(q), "b:10 c:10 a:9");  // 10 above 9: numbers compare as numbers, not text

  ASSERT_TRUE(orderFromNames(kRowDesc, "+Name", order));
  q.SORT(order);
  EXPECT_EQ(dump(q), "a:9 b:10 c:10");

  QueueOrder<Row> untouched{ascending(&Row::Seq)};
  EXPECT_FALSE(orderFromNames(kRowDesc, "Name,Missing", untouched));
  EXPECT_FALSE(orderFromNames(kRowDesc, "", untouched));
  q.SORT(untouched);
  EXPECT_EQ(seqs(q), "123");
}
