#include "scheduler/globals.h"

namespace ov::scheduler {

uint8_t SchedulerActive = 1;
rt::String<128> Feedback;

}  // namespace ov::scheduler
