// The expression evaluator: filters of browses, views and reports ("SCH:Date>=TODAY() AND
// SCH:Date<TODAY()+7"), the "=" expressions of scripts ("[= AGE(DATE(3,14,1960),TODAY())]") and
// the runtime's BIND / EVALUATE. The language is described in platform/rt/EXPRESSIONS.md.
//
// Names are bound to variables and record fields (Bindings); an Expression is parsed once against
// them, which resolves every name, and then evaluated as often as wanted: each evaluation reads the
// variables as they are at that moment. Parsing reports malformed text with the runtime's codes
// (800 bad syntax, 801 unknown name or function, 802 wrong number of arguments); evaluation never
// fails. A parsed Expression is immutable and may be evaluated on several threads at once, as long
// as nobody writes the bound variables meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "err.h"
#include "fixed_string.h"
#include "record.h"

namespace ov::rt {

// The names an expression may use. Binding keeps the variable's address: the variable must outlive
// every Expression parsed while it was bound. Names ignore case ("Glo:Category" finds
// "GLO:Category"). Scopes nest: pop() drops every name bound since the matching push(); a name
// bound later hides an earlier one of the same name until it is dropped.
class Bindings {
 public:
  struct Entry {
    std::string name;     // upper case
    const void* base;     // the variable, or the record buffer the field lies in
    FieldDesc field;      // type, width, offset in `base`, array size
  };

  void push();
  void pop();  // without a matching push(): drops every name
  void unbind(std::string_view name);  // the most recent binding of `name`

  template <size_t N>
  void bind(std::string_view name, String<N>& v) { add(name, &v, FieldType::String, N); }
  template <size_t N>
  void bind(std::string_view name, CString<N>& v) { add(name, &v, FieldType::CString, N); }
  void bind(std::string_view name, std::string& v) { add(name, &v, FieldType::Memo, UINT32_MAX); }
  void bind(std::string_view name, int32_t& v) { add(name, &v, FieldType::Long, 4); }  // LONG, DATE, TIME
  void bind(std::string_view name, uint32_t& v) { add(name, &v, FieldType::ULong, 4); }
  void bind(std::string_view name, int16_t& v) { add(name, &v, FieldType::Short, 2); }
  void bind(std::string_view name, uint16_t& v) { add(name, &v, FieldType::UShort, 2); }
  void bind(std::string_view name, uint8_t& v) { add(name, &v, FieldType::Byte, 1); }
  void bind(std::string_view name, double& v) { add(name, &v, FieldType::Real, 8); }
  void bind(std::string_view name, float& v) { add(name, &v, FieldType::SReal, 4); }

  // Every field of a record under its declared name ("SCH:Date"), memos and BLOBs included.
  void bindRecord(const RecordDesc& record, const void* buffer);
  // One field under a name of the caller's choice (a memo as "C_:Notes").
  void bindField(std::string_view name, const FieldDesc& field, const void* buffer);

  // The visible binding of `name`, or null.
  const Entry* find(std::string_view name) const;
  size_t size() const { return m_entries.size(); }

 private:
  void add(std::string_view name, const void* v, FieldType type, uint32_t width);

  std::vector<Entry> m_entries;
  std::vector<size_t> m_scopes;  // m_entries.size() at each push()
};

struct ExprError {
  Err code = Err::None;  // BadExpression, UnknownName or BadFunctionCall
  size_t position = 0;   // 0-based byte offset in the text where the fault was found
  std::string message;   // e.g. "Unknown name SCH:Dat"
};

class Expression {
 public:
  Expression();
  ~Expression();
  Expression(const Expression&);
  Expression& operator=(const Expression&);
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;

  // Parses `text` against `names`. On malformed text returns false, leaves the expression empty
  // and fills `error` when given.
  bool parse(std::string_view text, const Bindings& names, ExprError* error = nullptr);
  bool isValid() const { return m_program != nullptr; }

  // The value now. An empty expression gives "" / 0 / false.
  std::string text() const;   // numbers in plain form ("12", "2.5"); conditions give "1" or "0"
  double number() const;      // texts give their numeric value, 0 when they are not numbers
  bool isTrue() const;        // a number other than 0, or a text that is not blank
  bool isTextResult() const;  // the result is a text (not a number)

  struct Program;

 private:
  friend bool parseExpressionList(std::string_view, const Bindings&, std::vector<Expression>&, ExprError*);
  std::shared_ptr<const Program> m_program;  // shared by the expressions of one list
  int m_root = 0;
};

// A list of expressions separated by commas at the outer level, as a view's order is written
// ("UPPER(SCH:Category),SCH:Date,SCH:Time").
bool parseExpressionList(std::string_view text, const Bindings& names, std::vector<Expression>& out,
                         ExprError* error = nullptr);

// The runtime's calls over the names of the calling thread.
Bindings& threadBindings();
template <typename T>
void BIND(std::string_view name, T& variable) { threadBindings().bind(name, variable); }
inline void BIND(const RecordDesc& record, const void* buffer) { threadBindings().bindRecord(record, buffer); }
inline void PUSHBIND() { threadBindings().push(); }
inline void POPBIND() { threadBindings().pop(); }
inline void UNBIND(std::string_view name) { threadBindings().unbind(name); }

// EVALUATE: the value of `text` with the thread's names. Malformed text gives "" and sets
// ERRORCODE() (800, 801 or 802); a good one clears it.
std::string EVALUATE(std::string_view text);

}  // namespace ov::rt
