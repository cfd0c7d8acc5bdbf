// libFuzzer target for the runtime's readers of outside text: pictures and what users type
// against them, wildcard patterns, numbers in text, and INI files.
// The input is "picture \n text \n rest"; the whole input is also read as an INI file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rt/ini.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  size_t a = all.find('\n');
  std::string_view picture = all.substr(0, a);
  std::string_view rest = a == std::string_view::npos ? std::string_view() : all.substr(a + 1);
  size_t b = rest.find('\n');
  std::string_view text = rest.substr(0, b);

  (void)ov::rt::FORMAT(text, picture);
  (void)ov::rt::FORMAT(ov::rt::textToNumber(text), picture);
  (void)ov::rt::FORMAT(static_cast<double>(size) * 1e300, picture);
  (void)ov::rt::DEFORMAT(text, picture);
  (void)ov::rt::deformatValue(text, picture);
  (void)ov::rt::wildcardMatch(text, picture);
  (void)ov::rt::NUMERIC(text);
  (void)ov::rt::SUB(text, static_cast<int>(size % 7) - 3, static_cast<int>(size % 5));
  (void)ov::rt::UPPER(text);

  static int fd = ::memfd_create("ini", 0);
  if (fd >= 0 && ::ftruncate(fd, 0) == 0 && ::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size)) {
    std::string file = "/proc/self/fd/" + std::to_string(fd);
    (void)ov::rt::GETINI(picture, text, "", file);
  }
  return 0;
}
