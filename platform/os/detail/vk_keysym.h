// Windows virtual-key codes and the X key symbols that stand for them. Internal to ov_os.
#pragma once

namespace ov::os::detail {

// The key symbol for a virtual-key code, or 0 (NoSymbol) when there is none. Letters map to their
// lower-case symbol: the key, not the character.
unsigned long keysymForVk(int vk);

// The virtual-key code of a key whose unshifted symbol is `keysym`, or 0.
int vkForKeysym(unsigned long keysym);

}  // namespace ov::os::detail
