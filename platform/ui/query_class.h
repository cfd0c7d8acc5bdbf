// QueryClass: limits on the fields of a browse, kept as structured conditions and turned into a
// filter expression for the view (expr.h's language) and into a readable text for headings.
//
// Limits follow the class library's value syntax: a leading "^" compares upper-cased; for an
// equality "~" makes it "not equal" and "*" makes it "contains"; for a low or high limit "=" makes
// it inclusive ("=^smith": at or above SMITH, case ignored). Setting a limit replaces the same kind
// of limit on that field and leaves the others, so quick filters accumulate.
//
// Values never become expression text unquoted: texts are written as quoted literals (quotes
// doubled) and numbers as numbers, so a value holding quotes, parentheses or operators filters by
// itself and cannot change the expression.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/record.h"

namespace ov::ui {

class QueryClass {
 public:
  enum class Op { Equal, NotEqual, Contains, Less, LessEqual, Greater, GreaterEqual };

  struct Condition {
    std::string field;     // as the filter names it ("C_:LASTNAME")
    std::string title;     // as headings show it
    std::string picture;   // how headings show the value ("" = as given)
    Op op = Op::Equal;
    std::string value;     // without the prefix marks
    bool caseless = false; // "^"
    bool numeric = false;  // compared as numbers
  };

  // `record`: the file's fields, whose types decide between text and number comparisons; without
  // it (or for names not in it) a value that is a number compares as a number.
  void Init(const rt::RecordDesc* record = nullptr);
  void Kill();

  // Offers a field to the query; the title defaults to the name.
  void AddItem(std::string_view name, std::string_view title = {}, std::string_view picture = {});
  bool hasItem(std::string_view name) const;

  // Limits; false for a name that was never offered (nothing changes then).
  bool SetEqual(std::string_view name, std::string_view value);
  bool SetLow(std::string_view name, std::string_view value);
  bool SetHigh(std::string_view name, std::string_view value);
  // A limit given as a plain value and its comparison (the value is never read for prefix marks):
  // Equal, NotEqual and Contains set the equality limit, Less/LessEqual the high one,
  // Greater/GreaterEqual the low one. False for a name that was never offered.
  bool SetLimit(std::string_view name, Op op, std::string_view value, bool caseless);
  void ClearLimits(std::string_view name);
  void Reset();  // every limit of every field

  bool isActive() const;
  std::vector<Condition> conditions() const;
  // The filter expression; "" when no limit is set.
  std::string GetFilter() const;
  // "Last Name = Lee AND Date >= 3/15/2026"; "" when no limit is set.
  std::string GetText() const;

 private:
  struct Limit {
    bool set = false;
    std::string raw;
    bool plain = false;  // `raw` is the value itself; the marks below apply
    bool caseless = false, negate = false, contains = false, inclusive = false;
  };
  struct Item {
    std::string name, title, picture;
    bool numeric = false, typed = false;
    Limit eq, low, high;
  };
  Item* find(std::string_view name);
  const Item* find(std::string_view name) const;
  static bool condition(const Item& item, const Limit& limit, int kind, Condition& out);

  const rt::RecordDesc* m_record = nullptr;
  std::vector<Item> m_items;
};

}  // namespace ov::ui
