// The query wizard: lets the user build and edit the filter expression of a list or report over
// the fields its window offers, and hands back the expression as text for the view's filter
// (the language of platform/rt/EXPRESSIONS.md).
//
//   QueryFields fields;
//   if (int code = loadFields(kClipboardQueryFields, "CLIPBOARD", fields); code != 0)
//     ... show "Query Wizard Error# " + code and leave the Query button disabled ...
//   fields.allowRecord(files::Desc_CLIPBOARD, &CLI);     // optional: names a manual query may use
//   if (runQueryWizard(fields, queryText)) ... apply queryText as the filter ...
//
// The field table is one packed text: a run of records, each ended by the byte 0xAB; a record
// holds nine fields, each ended by the byte 0xA6: the label shown, "0", the field name as the
// filter names it ("CLI:Category"), its picture, its length, the value kind (1 text, 2 number),
// the entry kind (1 typed, 2 flag, 3 choice list), an empty field, and the choices ("a|b|c") or
// the flag's caption. Further fields of a record are ignored.
//
// A query is a list of conditions joined by AND and OR; AND binds tighter, so "a AND b OR c"
// selects (a and b) or c. Built queries read back into their conditions, so the wizard opens on
// the conditions of the text it is given; any other text opens as a manual query.
//
// Threading: GUI thread only (the texts and the window); the building and reading functions may
// run on any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/record.h"

namespace ov::qwizard {

// loadFields' error codes ("Query Wizard Error# " + code).
namespace code {
constexpr int None = 0;
constexpr int NoFields = 1;      // the table holds no record
constexpr int ShortRecord = 2;   // a record with fewer than nine fields, or text after the last record
constexpr int BadName = 3;       // a field name that is empty or holds a blank or a quote
constexpr int BadLength = 4;     // a length that is not a whole number above 0
constexpr int BadValueKind = 5;  // a value kind other than 1 or 2
constexpr int BadEntryKind = 6;  // an entry kind other than 1, 2 or 3
constexpr int NoChoices = 7;     // a choice-list field without choices
constexpr int BadPicture = 8;    // a picture the runtime cannot read
constexpr int Duplicate = 9;     // the same field listed twice
}  // namespace code

enum class ValueKind { Text = 1, Number = 2 };
enum class EntryKind { Typed = 1, Flag = 2, Choice = 3 };

struct QueryField {
  std::string label;    // as the field list shows it
  std::string name;     // as the expression names it
  std::string picture;  // dates and times are typed and shown in it
  int length = 0;
  ValueKind value = ValueKind::Text;
  EntryKind entry = EntryKind::Typed;
  std::vector<std::string> choices;  // a choice list's entries
  std::string caption;               // a flag's caption

  bool isDate() const;
  bool isTime() const;
};

struct QueryFields {
  std::string fileLabel;  // the file the fields belong to ("CLIPBOARD")
  std::vector<QueryField> fields;

  // The record the query will filter: a query may name its every field, and of the listed fields
  // only those the record holds or the calling thread has bound (rt::BIND), as the view will.
  // Without it a query is checked against the listed fields. The buffer must outlive the wizard.
  void allowRecord(const rt::RecordDesc& record, const void* buffer) {
    m_record = &record;
    m_buffer = buffer;
  }
  // True when `text` is an expression over the allowed names; else the evaluator's message.
  bool check(std::string_view text, std::string* message = nullptr) const;

 private:
  const rt::RecordDesc* m_record = nullptr;
  const void* m_buffer = nullptr;
};

// Reads the packed field table; code::None, or the first fault's code (then `out` holds no fields).
int loadFields(std::string_view packed, std::string_view fileLabel, QueryFields& out);

// ---- conditions ----------------------------------------------------------------------------------

// Numbered as their display texts.
enum class Op {
  Equal = 1, NotEqual = 2, Greater = 3, Less = 4, GreaterEqual = 5, LessEqual = 6,
  BeginsWith = 7, Contains = 8, NotBeginWith = 9, NotContain = 10, Checked = 11, NotChecked = 12,
};
enum class Link { And, Or };

struct Condition {
  Link link = Link::And;  // how it joins the conditions before it; unused on the first
  int field = 0;          // index into QueryFields::fields
  Op op = Op::Equal;
  std::string value;      // as typed: dates and times in the field's picture
  bool caseSensitive = false;
  friend bool operator==(const Condition&, const Condition&) = default;
};

// The operations a field offers: flags are checked or not; choice lists equal or not; numbers,
// dates and times compare; typed texts also begin with and contain.
std::vector<Op> operationsFor(const QueryField& field);
bool takesValue(Op op);

// The condition as an expression; false (and `error` says why) when its value cannot be read for
// the field: a number, date or time that is not one, an empty text to begin with or to contain,
// or an operation the field does not offer.
bool conditionText(const QueryField& field, const Condition& c, std::string& out, std::string* error = nullptr);
// The whole query; false at the first condition conditionText refuses.
bool buildQuery(const QueryFields& fields, const std::vector<Condition>& conditions, std::string& out,
                std::string* error = nullptr);
// The conditions of a text buildQuery made; false for any other text (a manual query).
bool readQuery(const QueryFields& fields, std::string_view text, std::vector<Condition>& out);
// "Category Begins With 'Work'" as the wizard lists a condition.
std::string describe(const QueryFields& fields, const Condition& c);

// ---- texts and the window ------------------------------------------------------------------------

// The wizard's display texts by number: operators 1-12, messages 31-42, fonts 71-80, the wizard
// page 100-171, saved queries 200-221, the description dialog 230-244, progress 300-303. Every
// number starts with its standard text; SetQueryWizardTexts sets them all again.
void TC_SETQWDISPLAYTEXT(int number, std::string_view text);
std::string displayText(int number);
void SetQueryWizardTexts();

// Runs the wizard modally on the current thread over `queryText`. True when the user finished it:
// `queryText` then holds the query (empty when every condition was deleted). Cancel leaves it as
// it was and gives false.
bool runQueryWizard(const QueryFields& fields, std::string& queryText);

}  // namespace ov::qwizard
