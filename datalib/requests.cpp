#include "datalib/requests.h"

namespace ov::files {

uint8_t GLOBALREQUEST = 0;
uint8_t GLOBALRESPONSE = 0;

}  // namespace ov::files
