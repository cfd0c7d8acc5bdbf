#include "backup/zip_error_text.h"

#include <map>

namespace ov::backup {

std::string ZipErrorText(long code) {
  // The texts stand as the libraries' users have always seen them, spelling included.
  static const std::map<long, const char*> kTexts = {
      {-30, "Application cancelled operation."},
      // Zip and general codes.
      {-151, "Invalid ZIP archive name."},
      {-152, "Invalid file specification."},
      {-153, "Out of memory."},
      {-154, "Out of memory."},
      {-155, "Out of memory."},
      {-156, "Out of memory."},
      {-157, "Cannot support multiple volumes on this device."},
      {-158, "Internal error."},
      {-159, "Filename not matched."},
      {-162, "Cannot repeat names in ZIP archive."},
      {-163, "List processing error."},
      {-164, "ZIP archive is empty."},
      {-165, "Out of memory."},
      {-166, "ZIP archive is empty."},
      {-167, "Nothing to do."},
      {-168, "Nothing to do."},
      {-169, "Create archive error."},
      {-170, "Memory error."},
      {-171, "ZIP archive is empty."},
      {-172, "Internal error."},
      {-173, "ZIP archive is empty."},
      {-174, "Out of memory."},
      {-175, "Temporary file error."},
      {-176, "Out of memory."},
      {-177, "Internal error."},
      {-178, "Zipping error."},
      {-179, "Copying error."},
      {-180, "Copying error."},
      {-181, "Out of memory."},
      {-182, "Zipping error."},
      {-183, "Write central directory error."},
      {-184, "Write end of central directory error."},
      {-185, "Disk spanning error."},
      {-186, "Temporary file error."},
      {-187, "Disk spanning error."},
      {-188, "Internal error."},
      {-189, "Replave archive error."},
      {-190, "Floppy disk not accessible or media error."},
      {-191, "Fatal error: Write error."},
      {-200, "Fatal error: Target buffer too small."},
      {-201, "Fatal error: Output buffer too small for in-memory compression."},
      {-203, "Create file error."},
      {-206, "Memory compression error (original size)."},
      {-207, "Memory compression error (global lock)."},
      {-208, "Memory compression error (write object)."},
      {-209, "Memory compression error (write)."},
      {-300, "Can't rewrite method."},
      {-301, "Incorrect compressed size."},
      {-400, "Uuencode - Open source file error"},
      {-401, "Uuencode - Create output file error"},
      // Self-extracting archives.
      {-800, "SFX binary not found"},
      {-801, "Can\u00b4t append Zip archive"},
      {-802, "Can\u00b4t convert Zip archive"},
      {-803, "Can\u00b4t modify Self-Extracting archive"},
      {-804, "Can\u00b4t modify Self-Extracting archive"},
      {-805, "Can\u00b4t modify elf-Extracting archive"},
      // Unzip codes.
      {-1, "Filename not matched."},
      {-2, "ZIP format error."},
      {-3, "Error in ZIP archive."},
      {-4, "Out of memory."},
      {-7, "Create directory error."},
      {-9, "Open archive error."},
      {-11, "Internal error."},
      {-13, "Create output file error."},
      {-15, "CRC-32 error."},
      {-17, "Cannot handle a Volume ID."},
      {-50, "Disk full error."},
      {-51, "ZIP archive structure error."},
      {-60, "Internal error."},
      {-61, "Bad or missing decryption key."},
      {-62, "Fatal internal error."},
      {-63, "Fatal read error."},
      {-64, "Fatal write error."},
      {-80, "Uudecode - Open source file error"},
      {-81, "Uudecode - No begin line"},
      {-82, "Uudecode - Create output file error"},
      {-83, "Uudecode - No end line"},
      {-84, "Uudecode - Decode error"},
  };
  if (code == 0) return {};
  auto it = kTexts.find(code);
  if (it == kTexts.end()) return "Unknown error code #" + std::to_string(code);
  return it->second;
}

}  // namespace ov::backup
