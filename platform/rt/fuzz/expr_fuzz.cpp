// libFuzzer target: any text given to the expression parser parses or reports an error, and
// whatever parses evaluates, without a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/expr.h"

using namespace ov::rt;

namespace {

struct Names {
  String<20> category = "Work";
  CString<16> user = "ann";
  std::string notes = "a memo";
  int32_t date = 80000;
  uint8_t flag = 1;
  double amount = 12.5;
  int32_t numbers[3] = {1, 2, 3};
  FieldDesc array{"ARR:N", FieldType::Long, 4, 0, 0, 0, 3};
  Bindings bindings;
  Names() {
    bindings.bind("SCH:Category", category);
    bindings.bind("GLO:User", user);
    bindings.bind("C_:Notes", notes);
    bindings.bind("SCH:Date", date);
    bindings.bind("SCH:Completed", flag);
    bindings.bind("X", amount);
    bindings.bindField("ARR:N", array, numbers);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Names names;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  Expression e;
  ExprError error;
  if (e.parse(text, names.bindings, &error)) {
    (void)e.text();
    (void)e.number();
    (void)e.isTrue();
  } else if (error.code == Err::None || error.position > size) {
    __builtin_trap();  // a failure must say why and where
  }
  std::vector<Expression> list;
  if (parseExpressionList(text, names.bindings, list))
    for (const Expression& x : list) (void)x.text();
  return 0;
}
