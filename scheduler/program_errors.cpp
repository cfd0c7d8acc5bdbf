#include "scheduler/program_errors.h"

#include "platform/ui/error_messages.h"

namespace ov::scheduler {

ProgramErrors::ProgramErrors() { setSink(ui::messageBoxSink()); }

db::Level ProgramErrors::TakeNotify(const db::ErrorReport& r) { return ErrorClass::TakeNotify(r); }
db::Level ProgramErrors::TakeFatal(const db::ErrorReport& r) { return ErrorClass::TakeFatal(r); }

}  // namespace ov::scheduler
