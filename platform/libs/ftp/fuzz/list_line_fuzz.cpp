// Feeds arbitrary bytes to the folder-listing line parser.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/libs/ftp/ftp_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ov::ftplib::DirEntry entry;
  (void)ov::ftplib::parseListLine(std::string_view(reinterpret_cast<const char*>(data), size), entry);
  return 0;
}
