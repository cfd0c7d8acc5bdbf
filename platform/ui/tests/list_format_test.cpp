// The list format grammar: strings read and written back in the canonical form, field numbering,
// tolerated parts, malformed strings, and headers that hold the format's own marks.
#include "platform/ui/list_format.h"

#include <gtest/gtest.h>

namespace ov::ui {
namespace {

struct RoundTrip {
  const char* name;
  const char* in;
  const char* canonical;
};

const RoundTrip kRoundTrips[] = {
    {"modifiers in canonical order", "80L(2)|M@s60@", "80L(2)M|@s60@"},
    {"icon column shifts the next field", "23R(1)|MI~Active~C(0)@p p@80L(1)|M~Trigger Type~@s20@",
     "23R(1)IM|~Active~C@p p@80L(1)M|~Trigger Type~L@s20@"},
    {"explicit number, then counting on", "40L~A~@s10@#3#40L~B~@s10@", "40L~A~L@s10@#3#40L~B~L@s10@"},
    {"explicit number equal to the default is dropped", "40L@s5@#1#40R@n3@#2#", "40L@s5@40R@n3@"},
    {"colour fields count four", "60L*~Name~@s20@50R~Amount~@n10.2@#6#", "60L*~Name~L@s20@50R~Amount~R@n10.2@"},
    {"colours and icon count five", "20LJ*~A~@s5@30L~B~@s5@#7#", "20L*J~A~L@s5@30L~B~L@s5@"},
    {"default colours with gaps", "40L~X~E(255,,-1,16777215)", "40L~X~LE(255,,,16777215)"},
    {"header justification and offset", "50D(3)~Amt~D(2)@n10.2@", "50D(3)~Amt~D(2)@n10.2@"},
    {"lower-case letters", "40l(1)m~a~r@s5@", "40L(1)M~a~R@s5@"},
    {"no justification is left", "40~A~", "40L~A~L"},
    {"empty header stays a header", "16LI~~@n3@", "16LI~~L@n3@"},
    {"scroll and style parts are dropped", "40L(2)S(200)~A~Z(3)@s5@", "40L(2)~A~L@s5@"},
    {"tree with options", "100LT(R)~Tree~@s30@40L~B~@s5@", "100LT~Tree~L@s30@40L~B~L@s5@"},
    {"column group brackets are dropped", "[40L~A~@s5@40L~B~@s5@]|M~Group~L(2)", "40L~A~L@s5@40L~B~L@s5@"},
    {"picture may hold marks of other parts", "60R~Total~@N~kr~12.2@40L@P###-##P@",
     "60R~Total~R@N~kr~12.2@40L@P###-##P@"},
    {"header holding an at sign", "40L~e@mail~@s20@", "40L~e@mail~L@s20@"},
    {"header holding a doubled tilde", "40L~50~~60~R@s5@", "40L~50~~60~R@s5@"},
    {"no columns", "", ""},
};

TEST(ListFormat, ReadsAndWritesBackInOneForm) {
  for (const RoundTrip& c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    std::vector<ListColumn> cols;
    ListFormatError err;
    ASSERT_TRUE(parseListFormat(c.in, cols, &err)) << err.message << " at " << err.position;
    EXPECT_EQ(listFormatString(cols), c.canonical);
    std::vector<ListColumn> again;
    ASSERT_TRUE(parseListFormat(c.canonical, again, &err)) << err.message;
    EXPECT_EQ(again, cols);
    EXPECT_EQ(listFormatString(again), c.canonical);
  }
}

TEST(ListFormat, ColumnsCarryWhatTheStringSays) {
  std::vector<ListColumn> cols;
  ASSERT_TRUE(parseListFormat("23R(1)|MI~Active~C(0)@p p@60L*F_~A~~B~R(4)@s20@#9#E(1,2,3,4)", cols));
  ASSERT_EQ(cols.size(), 2u);
  const ListColumn& a = cols[0];
  EXPECT_EQ(a.width, 23);
  EXPECT_EQ(a.just, 'R');
  EXPECT_EQ(a.offset, 1);
  EXPECT_TRUE(a.rightBorder && a.resize && !a.fixed && !a.underline);
  EXPECT_EQ(a.icon, 1);
  EXPECT_EQ(a.header, "Active");
  EXPECT_EQ(a.headerJust, 'C');
  EXPECT_EQ(a.picture, "@p p");
  EXPECT_EQ(a.field, 1);
  EXPECT_EQ(a.iconField(), 2);
  const ListColumn& b = cols[1];
  EXPECT_TRUE(b.colors && b.fixed && b.underline);
  EXPECT_EQ(b.header, "A~B");
  EXPECT_EQ(b.headerJust, 'R');
  EXPECT_EQ(b.headerOffset, 4);
  EXPECT_EQ(b.field, 9);
  EXPECT_EQ(b.colorField(), 10);
  EXPECT_EQ(b.color[0], 1);
  EXPECT_EQ(b.color[3], 4);
}

struct Bad {
  const char* in;
  size_t position;
  const char* message;
};

const Bad kBad[] = {
    {"L40", 0, "a column must start with its width"},
    {"40L~abc", 3, "unclosed header"},
    {"40L@s20", 3, "unclosed picture"},
    {"40L@@", 3, "empty picture"},
    {"40L#0#", 4, "field numbers start at 1"},
    {"40L#3", 5, "\"#\" was expected after the field number"},
    {"40LQ", 3, "unexpected \"Q\""},
    {"40L(2", 5, "\")\" was expected after the offset"},
    {"40LE(1,2,3,4,5)", 12, "\",\" or \")\" was expected in the colours"},
    {"40LS200", 4, "\"(\" was expected after \"S\""},
    {"40L~a~R~b~", 7, "the column has two headers"},
    {"40L@s5@@s6@", 7, "the column has two pictures"},
    {"1234567L", 7, "the number is too large"},
};

TEST(ListFormat, MalformedStringsAreRefusedWithThePlace) {
  for (const Bad& c : kBad) {
    SCOPED_TRACE(c.in);
    std::vector<ListColumn> cols(1);
    cols[0].width = 99;
    ListFormatError err;
    EXPECT_FALSE(parseListFormat(c.in, cols, &err));
    EXPECT_EQ(err.message, c.message);
    EXPECT_EQ(err.position, c.position);
    ASSERT_EQ(cols.size(), 1u) << "the columns are left alone";
    EXPECT_EQ(cols[0].width, 99);
  }
}

// A header typed by the user may hold "~" and "@": written back and read again, it and every
// column after it are unchanged.
TEST(ListFormat, HeadersHoldingTheMarksAreKeptSafe) {
  const char* headers[] = {"50% ~ off", "a@b", "~", "~~", "", "@s20@", "#3#", "x~"};
  for (const char* h : headers) {
    SCOPED_TRACE(h);
    std::vector<ListColumn> cols(2);
    cols[0].width = 40;
    cols[0].hasHeader = true;
    cols[0].header = h;
    cols[0].picture = "@s20";
    cols[0].field = 1;
    cols[1].width = 30;
    cols[1].just = 'R';
    cols[1].hasHeader = true;
    cols[1].header = "Next";
    cols[1].headerJust = 'R';
    cols[1].picture = "@n5";
    cols[1].field = 4;
    std::string text = listFormatString(cols);
    std::vector<ListColumn> back;
    ListFormatError err;
    ASSERT_TRUE(parseListFormat(text, back, &err)) << text << ": " << err.message;
    EXPECT_EQ(back, cols) << text;
  }
}

}  // namespace
}  // namespace ov::ui
