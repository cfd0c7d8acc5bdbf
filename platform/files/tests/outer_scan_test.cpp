// The outer-level walk that filters and orders are taken apart by: what lies inside quotes or
// parentheses must never split a filter into terms or an order into elements.
#include "platform/files/outer_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ov::db {
namespace {

// The characters the walk reports at depth 0, in order.
std::string outerText(std::string_view text) {
  std::string out;
  for (OuterScan s(text); s.next();)
    if (s.depth() == 0) out += s.ch();
  return out;
}

bool balanced(std::string_view text) {
  OuterScan s(text);
  while (s.next()) {
  }
  return s.balanced();
}

TEST(OuterScan, FiltersAndOrdersAtTheOuterLevel) {
  struct Case {
    const char* name;
    std::string_view text;
    std::string_view outer;            // the characters at depth 0 outside quotes
    std::vector<std::string_view> parts;  // split at outer commas
    bool balanced;
  };
  const Case cases[] = {
      {"empty", "", "", {""}, true},
      {"plain comparison", "A:B=1 AND A:C<2", "A:B=1 AND A:C<2", {"A:B=1 AND A:C<2"}, true},
      {"commas split", "+A:B, -A:C,A:D", "+A:B, -A:C,A:D", {"+A:B", " -A:C", "A:D"}, true},
      {"a quoted comma and operator", "A:N='x,y=z',A:M", "A:N='',A:M", {"A:N='x,y=z'", "A:M"}, true},
      {"a doubled quote inside a text", "A:N='it''s, ok' AND B", "A:N='''' AND B", {"A:N='it''s, ok' AND B"}, true},
      {"parentheses inside a text do not count", "A:N='(' OR A:N=')',Z", "A:N='' OR A:N='',Z",
       {"A:N='(' OR A:N=')'", "Z"}, true},
      {"a comma in a call", "UPPER(A:N),A:D", "UPPER(),A:D", {"UPPER(A:N)", "A:D"}, true},
      {"nested calls and texts", "SUB(A:N,INSTRING(',',A:N,1,1),3)='a)b',X", "SUB()='',X",
       {"SUB(A:N,INSTRING(',',A:N,1,1),3)='a)b'", "X"}, true},
      {"wrapped conjunction", "(A:B=1 AND (A:C=2 OR A:D=3))", "()", {"(A:B=1 AND (A:C=2 OR A:D=3))"}, true},
      {"a parenthesis left open", "(A:B=1,2", "(", {"(A:B=1,2"}, false},
      {"a quote left open", "A:N='x,y", "A:N='", {"A:N='x,y"}, false},
      {"closed before opened", "A:B) OR (A:C", "A:BA:C", {"A:B) OR (A:C"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(outerText(c.text), c.outer);
    EXPECT_EQ(splitOuter(c.text), c.parts);
    EXPECT_EQ(balanced(c.text), c.balanced);
  }
}

// A parenthesis stands at the depth of the text it opens or closes; the characters between at
// one more. Positions are those of the text.
TEST(OuterScan, DepthAndPositionOfEachCharacter) {
  const std::string_view text = "a('(',(b))";
  std::string seen;
  for (OuterScan s(text); s.next();) seen += std::string(1, s.ch()) + std::to_string(s.depth()) + std::to_string(s.at()) + " ";
  EXPECT_EQ(seen, "a00 (01 '12 '14 ,15 (16 b27 )18 )09 ");
}

}  // namespace
}  // namespace ov::db
