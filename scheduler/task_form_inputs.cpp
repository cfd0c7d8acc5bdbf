#include "scheduler/task_form_inputs.h"

namespace ov::scheduler {

rt::String<20>& TaskFormStartDate() {
  static rt::String<20> date;
  return date;
}

int32_t& SourceTaskID() {
  static int32_t id = 0;
  return id;
}

uint8_t& TempScriptExecution() {
  static uint8_t flag = 0;
  return flag;
}

}  // namespace ov::scheduler
