#include <cstdint>

namespace ov::editors {

int32_t NewScriptItemOwner = 0;

}  // namespace ov::editors
