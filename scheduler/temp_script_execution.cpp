#include "scheduler/temp_script_execution.h"

namespace ov::scheduler {

uint8_t& TempScriptExecution() {
  static uint8_t flag = 0;
  return flag;
}

}  // namespace ov::scheduler
