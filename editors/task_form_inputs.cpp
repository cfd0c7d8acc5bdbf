#include "editors/task_form_inputs.h"

namespace ov::editors {

rt::String<20>& TaskFormStartDate() {
  static rt::String<20> date;
  return date;
}

int32_t& TaskFormSourceID() {
  static int32_t id = 0;
  return id;
}

}  // namespace ov::editors
