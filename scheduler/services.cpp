#include "scheduler/services.h"

namespace ov::scheduler {

Services& services() {
  static Services s;
  return s;
}

}  // namespace ov::scheduler
