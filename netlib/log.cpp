#include "netlib/net_log.h"

#include <unistd.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "netlib/detail/log.h"
#include "platform/rt/command_line.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::net {
namespace {

struct LogState {
  std::mutex mutex;
  DebugSink sink;
  std::deque<std::string> startupLog;  // qStartupLog
};

LogState& logState() {
  static LogState* state = new LogState;  // lives to the very end: the library logs at exit
  return *state;
}

std::atomic<bool> g_logOn{false};
std::atomic<bool> g_logErrorsOnly{false};
std::atomic<bool> g_logAll{false};

constexpr size_t kLongLine = 1022;   // from this passed length on, a line is clipped
constexpr size_t kClippedTo = 1012;
constexpr size_t kStartupLineMax = 1024;

void writeToStderr(std::string_view line) {
  std::string out(line);
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.replace(out.size() - 2, 2, "\n");
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::write(STDERR_FILENO, out.data() + done, out.size() - done);
    if (n <= 0) return;  // nowhere to write: logging never fails the caller
    done += static_cast<size_t>(n);
  }
}

void emit(std::string_view line) {
  LogState& s = logState();
  std::lock_guard lock(s.mutex);
  if (s.sink) s.sink(line);
  else writeToStderr(line);
}

const std::string kRule = "[NetDLL] ===== [WIRELET] " + std::string(79, '=');

void writeBanner() {
  NetDebugTrace(kRule);
  NetDebugTrace("[NetDLL] Using Wirelet DLL version = 2.5c in application " + detail::programNameLower() +
                " : Wirelet DLL Logging turned On ");
  NetDebugTrace(
      "[NetDLL] NetDLL Info: NetDLL:CompatableVersion = 12 Net:MaxBinData = 16384 MaxDataPacketSize = 16735"
      " MaxICanDoPacketSize = 1254 MaxAckPacketSize = 9060 PacketInfoLen = 24 ICanDoHeaderLen = 68"
      " DataHeaderLen = 108 AckHeaderLen = 60 AckDataLen = 9 MaxAcksInPackets = 1000"
      " Size(Net:PacketType) = 17687 Size(Net:PublicServicesQType) = 599 Size(Net:ServiceType) = 1117"
      " Size(Net:RemoteType) = 149");
  NetDebugTrace("[NetDLL] Built with GCC " __VERSION__ " (C++20) over POSIX sockets and one event thread");
  std::deque<std::string> past;
  {
    LogState& s = logState();
    std::lock_guard lock(s.mutex);
    past.swap(s.startupLog);  // each replayed line is gone: a second banner has none
  }
  for (const std::string& line : past) NetDebugTrace("[NetDLL]  [Past Info] " + std::string(rt::clipView(line)));
}

}  // namespace

long NetDebugTrace(std::string_view text) {
  std::string line;
  if (text.size() >= kLongLine) {
    line.assign(text.substr(0, kClippedTo));
    line += " <clipped>";
  } else {
    line.assign(rt::clipView(text));
  }
  line += "\r\n";
  emit(line);
  return 0;
}

long NetTurnOnLogging() {
  if (detail::hasSwitch("/netdlllog")) g_logOn = true;
  if (detail::hasSwitch("/netdlllogerrors")) {
    g_logErrorsOnly = true;
    g_logAll = false;
    g_logOn = false;
    detail::logLine("NetTurnOnLogging", "======== DLL Logging : Errors only (/netdlllogerrors) option on ========",
                    detail::kLevelError);
  }
  if (detail::hasSwitch("/netdlllogall")) {
    g_logAll = true;
    detail::logLine("NetTurnOnLogging", "Log All (/netdlllogall) option on", detail::kLevelError);
  }
  if (g_logOn) writeBanner();
  return 0;
}

void setDebugSink(DebugSink sink) {
  LogState& s = logState();
  std::lock_guard lock(s.mutex);
  s.sink = std::move(sink);
}

namespace detail {

void logLine(std::string_view procedure, std::string_view text, int level) {
  if (!g_logOn && !(g_logErrorsOnly && level == kLevelError)) return;
  std::string line = "[NetDLL]  ";
  line += rt::clipView(procedure);
  line += "() : ";
  line += rt::clipView(text);
  NetDebugTrace(line);
}

bool logAll() { return g_logAll; }
bool logOn() { return g_logOn; }
bool logErrorsOnly() { return g_logErrorsOnly; }
void setLogOn(bool on) { g_logOn = on; }
void setLogAll(bool on) { g_logAll = on; }
void setLogErrorsOnly(bool on) { g_logErrorsOnly = on; }

void startupLine(std::string_view line) {
  std::string kept(line.substr(0, rt::utf8CutLength(line, kStartupLineMax)));
  {
    LogState& s = logState();
    std::lock_guard lock(s.mutex);
    s.startupLog.push_back(kept);
  }
  if (g_logOn) NetDebugTrace("[NetDLL] " + kept);
}

void resetLogging() {
  g_logOn = g_logErrorsOnly = g_logAll = false;
  LogState& s = logState();
  std::lock_guard lock(s.mutex);
  s.startupLog.clear();
}

bool hasSwitch(std::string_view word) { return !rt::COMMAND(word).empty(); }

std::string programNameLower() { return rt::LOWER(rt::clipView(rt::COMMAND("0"))); }

}  // namespace detail
}  // namespace ov::net
