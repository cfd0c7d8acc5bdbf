// The SCHEDULE record as the scheduler core sees it: the data library's layout.
#pragma once

#include "datalib/records.h"

namespace ov::scheduler {

using ScheduleRecord = files::ScheduleRec;

}  // namespace ov::scheduler
