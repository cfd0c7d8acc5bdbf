#include "scheduler/globals.h"

namespace ov::scheduler {

uint8_t SchedulerActive = 1;
rt::String<128> Feedback;
rt::String<20> StatusBarNote;

}  // namespace ov::scheduler
