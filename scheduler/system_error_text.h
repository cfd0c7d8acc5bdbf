// Names of the Windows system error codes, for the event log, history marks and messages: the
// exit codes of programs and the results of failed starts are reported in these terms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ov::scheduler {

constexpr size_t kSystemErrorNameCount = 649;

// The short upper-case name of a system error code ("FILE NOT FOUND" for 2, "SUCCESS" for 0);
// "Unknown Status" for a code without a name. With `useGiven` false the code is the calling
// thread's last error (errno, taken as its Windows code). Safe on any thread.
std::string SystemErrorText(bool useGiven, int32_t code = 0);

// Row `index` of the name table in its stored order; {0, ""} past the end.
std::pair<int32_t, std::string_view> systemErrorRow(size_t index);

}  // namespace ov::scheduler
