// Feeds arbitrary bytes to the central-directory reader as an archive file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/libs/zip/central_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/ov_cd_fuzz_" + std::to_string(getpid()) + ".zip";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  ov::zip::detail::CentralDirectory cd;
  (void)ov::zip::detail::readCentralDirectory(path, cd);  // any result will do; it must not crash
  return 0;
}
