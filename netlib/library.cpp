// Start-up, shut-down, the event thread and its timer.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include "netlib/detail/library.h"
#include "netlib/detail/peer.h"
#include "netlib/detail/log.h"
#include "netlib/detail/testing.h"
#include "netlib/net_callback.h"
#include "netlib/net_codec.h"
#include "netlib/net_error.h"
#include "netlib/net_log.h"
#include "netlib/net_registry.h"
#include "platform/os/registry.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::net {
namespace detail {
namespace {

const char* const kGuidKey = "Software\\Hollin\\Wirelet\\GUID";
const char* const kWindowsKey = "Software\\Microsoft\\Windows\\CurrentVersion";
const char* const kWindowsNtKey = "Software\\Microsoft\\Windows NT\\CurrentVersion";
const char* const kTcpipKey = "System\\CurrentControlSet\\Services\\Tcpip\\Parameters";
constexpr size_t kDescriptionMax = 80;
constexpr auto kLoaderWait = std::chrono::seconds(10);

// The event thread and the hand-shake of its start. Lives to the end of the process.
struct EventThread {
  std::mutex loaderMutex;  // one start at a time
  std::thread thread;
  std::mutex readyMutex;
  std::condition_variable readyCv;
  bool ready = false;
  bool ended = true;
  std::uint64_t ticksRequested = 0;
  std::uint64_t ticksDone = 0;
};

EventThread& eventThread() {
  static EventThread* t = new EventThread;
  return *t;
}

bool g_failSocketsStart = false;
bool g_atExitRegistered = false;

// A value of HKEY_LOCAL_MACHINE read without log lines: these keys are usually absent here.
std::string machineValue(const char* key, const char* name, size_t max) {
  os::RegValue value;
  if (os::Registry().queryValue(os::RegRoot::LocalMachine, key, name, value) != 0) return {};
  if (value.type == os::RegType::Dword) return std::to_string(value.asDword());
  std::string text(rt::clipView(value.data.substr(0, value.data.find('\0'))));
  return text.substr(0, rt::utf8CutLength(text, max));
}

std::uint32_t machineNumber(const char* key, const char* name) {
  os::RegValue value;
  if (os::Registry().queryValue(os::RegRoot::LocalMachine, key, name, value) != 0) return 0;
  return value.asDword();
}

bool machineValueExists(const char* key, const char* name) {
  os::RegValue value;
  return os::Registry().queryValue(os::RegRoot::LocalMachine, key, name, value) == 0;
}

std::string osReleaseValue(const char* name) {
  std::ifstream in("/etc/os-release");
  std::string line;
  std::string prefix = std::string(name) + "=";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string v = line.substr(prefix.size());
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
  }
  return {};
}

// "Up_Time = 3d 4h 05m" from /proc/uptime.
std::string upTime() {
  double seconds = 0;
  std::ifstream("/proc/uptime") >> seconds;
  long minutes = static_cast<long>(seconds / 60);
  long days = minutes / 1440, hours = minutes / 60 % 24, mins = minutes % 60;
  char text[64];
  std::snprintf(text, sizeof text, "%ldd %ldh %02ldm", days, hours, mins);
  return text;
}

// The Windows information fields: the registry's values where it has them, else what Linux says.
struct SystemInfo {
  std::string product, version, build, root, organization, owner;
  int major = 0, minor = 0;
  bool isTerm = false;
};

SystemInfo systemInfo() {
  SystemInfo s;
  auto pick = [](const char* name, const char* ntName, size_t max) {
    std::string v = machineValue(kWindowsKey, name, max);
    if (v.empty()) v = machineValue(kWindowsNtKey, ntName, max);
    return v;
  };
  s.product = pick("ProductName", "ProductName", 50);
  s.version = pick("Version", "CurrentVersion", 50);
  s.build = pick("VersionNumber", "CurrentBuildNumber", 50);
  s.root = pick("SystemRoot", "SystemRoot", 260);
  s.organization = pick("RegisteredOrganization", "RegisteredOrganization", 100);
  s.owner = pick("RegisteredOwner", "RegisteredOwner", 100);
  utsname u{};
  ::uname(&u);
  if (s.product.empty()) s.product = osReleaseValue("PRETTY_NAME").substr(0, 50);
  if (s.version.empty()) s.version = std::string(u.release).substr(0, 50);
  if (s.build.empty()) s.build = std::string(u.version).substr(0, 50);
  if (s.root.empty()) s.root = "/";
  std::sscanf(u.release, "%d.%d", &s.major, &s.minor);
  s.isTerm = std::getenv("SSH_CONNECTION") != nullptr || std::getenv("SSH_CLIENT") != nullptr;
  return s;
}

std::string windowsInfoFields(const SystemInfo& s, bool withTerm) {
  std::string line = s.product + "] WindowsVersion = [" + s.version + "] WindowsBuildNumber = [" + s.build +
                     "] GetVersion = " + std::to_string(s.major) + " GetVersionRelease = " + std::to_string(s.minor);
  if (withTerm) line += " Is_Term = " + std::to_string(s.isTerm ? 1 : 0);
  line += " SystemRoot = " + s.root + " RegOrganization = " + s.organization + " RegOwner = " + s.owner +
          " Up_Time = " + upTime();
  return line;
}

std::string describeMachine() {
  for (const char* key : {kWindowsKey, kWindowsNtKey}) {
    std::string owner = machineValue(key, "RegisteredOwner", 100);
    std::string org = machineValue(key, "RegisteredOrganization", 100);
    std::string d = !owner.empty() && !org.empty() ? owner + " at " + org : !owner.empty() ? owner : org;
    if (!d.empty()) return d.substr(0, rt::utf8CutLength(d, kDescriptionMax));
  }
  return "<no description>";
}

std::string littleEndian(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
  return s;
}

std::uint32_t fromLittleEndian(std::string_view s) {
  std::uint32_t v = 0;
  for (size_t i = 0; i < 4 && i < s.size(); ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[i])) << (8 * i);
  return v;
}

void machineIdentity(Library& L) {
  bool found = false;
  std::string guid = NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "GUID");
  if (!found || guid.size() != 8) {
    startupLine(" DLLStartUp() : Having to create a new GUID for this machine. This GUID will be stored in the registry.");
    std::int32_t days = rt::TODAY() - rt::DATE(1, 1, 2000) + 1;
    std::int32_t seconds = (rt::CLOCK() - 1) / 100;
    L.netId.GUID1 = seconds + days * 100000;
    std::this_thread::yield();
    std::random_device rd;
    L.netId.GUID2 = static_cast<std::int32_t>(rd());
    guid = littleEndian(static_cast<std::uint32_t>(L.netId.GUID1)) + littleEndian(static_cast<std::uint32_t>(L.netId.GUID2));
    NetSetRegistry(kHkeyCurrentUser, kRegBinary, kGuidKey, "GUID", guid);
    std::string back = NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "GUID");
    startupLine(found && back == guid ? " DLLStartUp() : GUID stored in Registry."
                                      : " DLLStartUp() : Error. Could not store GUID in the registry.");
  } else {
    L.netId.GUID1 = static_cast<std::int32_t>(fromLittleEndian(guid.substr(0, 4)));
    L.netId.GUID2 = static_cast<std::int32_t>(fromLittleEndian(guid.substr(4, 4)));
  }

  L.description = NetGetRegistry(kHkeyCurrentUser, kRegText, found, kGuidKey, "Description");
  L.description = L.description.substr(0, rt::utf8CutLength(L.description, kDescriptionMax));
  if (!found) {
    L.description = describeMachine();
    NetSetRegistry(kHkeyCurrentUser, kRegText, kGuidKey, "Description", L.description);
  }

  std::string run = NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "RUNID");
  std::uint32_t runId = found ? fromLittleEndian(run) : 0;
  ++runId;
  NetSetRegistry(kHkeyCurrentUser, kRegBinary, kGuidKey, "RUNID", littleEndian(runId));
  std::string back = NetGetRegistry(kHkeyCurrentUser, kRegBinary, found, kGuidKey, "RUNID");
  if (!found || back != littleEndian(runId)) {
    startupLine(" DLLStartUp() : Error. Could not write to the registry (HKEY_CURRENT_USER\\Software\\Hollin\\Wirelet\\GUID). "
                "Some Wirelet objects may not work correctly.");
    L.registryWriteFailed = true;
  }
  L.netId.RunID = static_cast<std::int32_t>(runId);
  L.netId.SPort = 2376;
  L.netId.DGPort = 2326;
}

// Media Sense is a setting of the whole system's network: the library reads it and never changes it.
void mediaSenseCheck() {
  if (machineNumber(kTcpipKey, "DisableDHCPMediaSense") != 0) return;
  if (machineValueExists(kTcpipKey, "WireletDontChangeMediaSense") &&
      machineNumber(kTcpipKey, "WireletDontChangeMediaSense") == 1) {
    startupLine(" DLLStartUp() : Warning. Windows is using Media Sense. This could cause your Network to appear disabled. "
                "This will cause Wirelet to behave unpredictably. The WireletDontChangeMediaSense registry string "
                "prevents Wirelet from disabling Media Sense.");
    return;
  }
  startupLine(" DLLStartUp() : Media Sense is on. The library leaves system network settings as they are.");
}

// The host name and the IPv4 addresses of this machine, the loopback ones last.
void readIpList(Library& L) {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) L.hostName = host;
  L.ipList.clear();
  std::vector<std::uint32_t> loopback;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
    std::uint32_t a = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
    ((i->ifa_flags & IFF_LOOPBACK) ? loopback : L.ipList).push_back(a);
  }
  ::freeifaddrs(list);
  L.ipList.insert(L.ipList.end(), loopback.begin(), loopback.end());
}

void socketsStart(Library& L) {
  startupLine(" DLLStartUp() : About to call WSAStartUp");
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  std::string limits = " Description = POSIX sockets SystemStatus = Running Max Sockets Data Size = " +
                       std::to_string(files.rlim_cur) + " Max DG Data Size = 65507";
  if (g_failSocketsStart) {
    startupLine(" DLLStartUp() : WSA Startup error: 10091 Which means = " + NetErrorStr(10091) +
                " WinSock Asked Version = 1.1 WinSock Version = 0.0 HighVersion = 0.0" + limits);
    startupLine(" DLLStartUp() : WSA Startup error (after calling WSAGetLastError()): 10091 Which means = " +
                NetErrorStr(10091));
    L.winSockLoaded = false;
    return;
  }
  L.sockVersion = 0x0002;
  startupLine(" DLLStartUp() : WSA Startup Okay :  WinSock Asked Version = 2.0 WinSock Version = 2.0 HighVersion = 2.2" +
              limits);
  startupLine(" DLLStartUp() : Cool. WinSock version 2.0 supported.");
  L.winSockLoaded = true;
  L.desKey += "Q7" "zW9";
  readIpList(L);
  if (L.ipList.empty())
    startupLine(" DLLStartUp() : Error. This machine has no IP number. Wirelet wont work without an IP address.");
}

void tick();
void closeDown();

void onMessage(unsigned msg, std::uintptr_t wParam, std::uint32_t lParam) {
  if (msg == kEventCloseDown) return closeDown();
  if (msg == kEventTimer) {
    tick();
    EventThread& t = eventThread();
    {
      std::lock_guard lock(t.readyMutex);
      t.ticksDone = std::max(t.ticksDone, static_cast<std::uint64_t>(wParam));
    }
    t.readyCv.notify_all();
    return;
  }
  if (msg < 1024 || msg == 9226) return;  // the window's own messages: nothing to do here
  if (logAll())
    logLine("CallBackWindowClientCallBack",
            " p_wMsg = " + std::to_string(msg) + " wParam = " + std::to_string(wParam) + " (lParam = " +
                std::to_string(lParam) + ") = Loc:WSAGetSelect.Err = " + std::to_string(selectError(lParam)) +
                " & Loc:WSAGetSelect.Event = " + std::to_string(selectEvent(lParam)) + ". p_hWnd = 1");
  if (msg == kMsgSimpleAsyncDns) return simpleAsyncDns(static_cast<std::uint32_t>(wParam), lParam);
  if (msg >= kMsgSimpleClientFirst && msg <= kMsgSimpleClientLast)
    return simpleClientAsync(msg, static_cast<int>(wParam), lParam);
  if (msg >= kMsgSimpleServerPortFirst && msg <= kMsgSimpleServerPortLast)
    return simpleServerPortMessage(msg, static_cast<int>(wParam), lParam);
  if (msg >= kMsgSimpleServerAcceptFirst && msg <= kMsgSimpleServerAcceptLast)
    return simpleServerAsync(msg, static_cast<int>(wParam), lParam);
  if (peerMessage(msg, static_cast<int>(wParam), lParam)) return;
  if (logAll())
    logLine("CallBackWindowClientCallBack",
            "Attention. Received a message that isn't in one of our queues. p_wMsg = " + std::to_string(msg));
}

void deliverNotifiers(Library& L) {
  if (L.qNotifier.empty()) {
    L.notifierClock = 0;
    return;
  }
  std::int32_t now = rt::CLOCK();
  if (now < L.notifierClock) {  // midnight passed: everything is due
    for (const Notifier& n : L.qNotifier) postEvent(n.EVENT, n.THREAD);
    L.qNotifier.clear();
  } else {
    size_t due = 0;
    while (due < L.qNotifier.size() && L.qNotifier[due].TIME < now) {
      postEvent(L.qNotifier[due].EVENT, L.qNotifier[due].THREAD);
      ++due;
    }
    L.qNotifier.erase(L.qNotifier.begin(), L.qNotifier.begin() + static_cast<long>(due));
  }
  L.notifierClock = now;
}

void tick() {
  Library& L = lib();
  --L.simpleCheckCountdown;
  deliverNotifiers(L);
  checkAsyncOpenTimeouts();
  peerTick();
  if (L.simpleCheckCountdown <= 0) {
    checkToCloseNetSimpleSockets();
    L.simpleCheckCountdown = std::max(1, kSimpleCheckInterval / kTimerPeriod);
  }
}

void closeDown() {
  Library& L = lib();
  if (logOn())
    logLine("CallBackWindowSrc", "Information: Got Event:CloseDown - will close down the DLL process.", kLevelError);
  peerCloseDown();
  CloseAll();
  L.closedDown = true;
  loop().stop();
}

void onReady() {
  Library& L = lib();
  L.inactiveServicesTimerCurr = L.inactiveServiceRetryStart;
  L.simpleCheckCountdown = std::max(1, kSimpleCheckInterval / kTimerPeriod + 1);
  L.callBackWindowUp = true;
  L.closedDown = false;
  EventThread& t = eventThread();
  {
    std::lock_guard lock(t.readyMutex);
    t.ready = true;
  }
  t.readyCv.notify_all();
}

void CallBackWindowSrc() {
  logLine("CallBackWindowSrc", "Being called - will open (NetMainWindow)");
  loop().run(onMessage, tick, onReady, std::chrono::milliseconds(kTimerPeriod * 10));
  {
    std::lock_guard lock(libraryLock());
    lib().callBackWindowUp = false;
    logLine("CallBackWindowSrc", "Wirelet Call Back Window Closed.");
  }
  EventThread& t = eventThread();
  {
    std::lock_guard lock(t.readyMutex);
    t.ended = true;
  }
  t.readyCv.notify_all();
}

int WindowLoaderSrc() {
  EventThread& t = eventThread();
  std::lock_guard loader(t.loaderMutex);
  {
    std::lock_guard lock(libraryLock());
    if (lib().callBackWindowUp) return 0;
  }
  if (t.thread.joinable()) t.thread.join();  // an earlier event thread that has ended
  {
    std::lock_guard lock(t.readyMutex);
    t.ready = false;
    t.ended = false;
  }
  if (logAll()) logLine("WindowLoaderSrc", "About to open Wirelet CallBack Window.");
  try {
    t.thread = std::thread(CallBackWindowSrc);
  } catch (const std::system_error&) {
    {
      std::lock_guard lock(t.readyMutex);
      t.ended = true;
    }
    std::lock_guard lock(libraryLock());
    if (logAll()) logLine("WindowLoaderSrc", "Error. Could not create a new thread.");
    CloseAll();
    return kNetNoNewThread;
  }
  std::unique_lock lock(t.readyMutex);
  if (!t.readyCv.wait_for(lock, kLoaderWait, [&] { return t.ready || t.ended; }) || !t.ready) {
    lock.unlock();
    logLine("WindowLoaderSrc", "Error. The call back window did not report ready in time.", kLevelError);
    loop().stop();
    t.thread.join();
    return kNetWaitTimeout;
  }
  if (logAll())
    logLine("WindowLoaderSrc", "Wirelet Call Back Window Started Okay - received NETDLL:EVENT:CallBackWindowHappy");
  return 0;
}

void stopEventThread() {
  EventThread& t = eventThread();
  std::lock_guard loader(t.loaderMutex);
  if (!t.thread.joinable()) return;
  bool running;
  {
    std::lock_guard lock(t.readyMutex);
    running = !t.ended;
  }
  if (running) loop().postMessage(kEventCloseDown, 0, 0);
  t.thread.join();
}

}  // namespace

std::recursive_mutex& libraryLock() {
  static std::recursive_mutex* m = new std::recursive_mutex;
  return *m;
}

Library& lib() {
  static Library* L = new Library;
  return *L;
}

SelectLoop& loop() {
  static SelectLoop* l = new SelectLoop;  // look-up threads may post to it until the process ends
  return *l;
}

void ensureLoaded() {
  std::lock_guard lock(libraryLock());
  if (!lib().loaded) DLLStartUp();
}

void DLLStartUp() {
  std::lock_guard lock(libraryLock());
  Library& L = lib();
  bool freedBefore = L.notifyListFreed;
  std::vector<Notifier> notifiers = std::move(L.qNotifier);
  L = Library();
  L.notifyListFreed = freedBefore;
  L.qNotifier = std::move(notifiers);
  resetLogging();
  peerStartUp();
  dialUpStartUp();

  if (hasSwitch("/netall")) rt::SETCOMMAND("/netdebugtrace /netdlllogall /wireletlog");
  if (hasSwitch("/neterrors")) rt::SETCOMMAND("/netdebugtrace /netdlllogerrors /wireletlogerrors");
  NetTurnOnLogging();
  L.netDebugTrace = hasSwitch("/netdebugtrace");

  SystemInfo info = systemInfo();
  startupLine(" Windows Information.  WindowsName = [" + windowsInfoFields(info, true));
  machineIdentity(L);
  long n = 0;
  std::string fragment = NetBase64Encode("peer-key", n);
  L.desKey = "OvNet" + fragment.substr(0, 11) + "Lx4";
  mediaSenseCheck();
  startupLine(" NetDLL Info: GUID = " + std::to_string(L.netId.GUID1) + " " + std::to_string(L.netId.GUID2) +
              " RunID = " + std::to_string(L.netId.RunID) + " Description = " + L.description);
  socketsStart(L);
  L.netName = L.hostName;
  L.loaded = true;
  if (!g_atExitRegistered) {
    g_atExitRegistered = true;
    std::atexit(DLLShutDown);
  }
}

void DLLShutDown() {
  {
    std::lock_guard lock(libraryLock());
    if (!lib().loaded) return;
    if (lib().netDebugTrace) NetDebugTrace("[NetDLL] DLLShutDown(). About to try and unload NetDLL.");
  }
  stopEventThread();
  std::lock_guard lock(libraryLock());
  Library& L = lib();
  CloseAll();
  L.winSockLoaded = false;
  if (L.netDebugTrace) {
    NetDebugTrace("[NetDLL] Windows Information. WindowsName = [" + windowsInfoFields(systemInfo(), false));
    NetDebugTrace("[NetDLL] Unloading Wirelet DLL version = 2.5c in application " + programNameLower());
    NetDebugTrace("[NetDLL] Unloaded Wirelet DLL.");
    NetDebugTrace("[NetDLL] ===== [WIRELET] " + std::string(79, '='));
  }
  L.loaded = false;
}

int LoadCallBackWindow() {
  ensureLoaded();
  {
    std::lock_guard lock(libraryLock());
    Library& L = lib();
    L.notifyListFreed = true;  // the peer notify list starts empty: nothing to free here
    if (L.callBackWindowUp) return 0;
    if (!L.winSockLoaded) return kNetCouldNotLoad;
  }
  return WindowLoaderSrc();
}

void CloseAll() {
  std::lock_guard lock(libraryLock());
  logLine("CloseAll", "Information: Closing All", kLevelError);
  logLine("CloseAll", "Information: Closing Sockets", kLevelError);
  closeAllSimpleSockets();
  closeAllPeer();
  if (logAll()) logLine("CloseAll", "End of function - That's all folks");
}

}  // namespace detail

long NetCloseCallBackWindow() {
  detail::ensureLoaded();
  std::lock_guard lock(detail::libraryLock());
  if (!detail::lib().callBackWindowUp) {
    if (detail::logAll()) detail::logLine("NetCloseCallBackWindow", "NetCloseCallBackWindow already closed");
    return kNetCallBackWindowClosed;
  }
  if (detail::logAll()) detail::logLine("NetCloseCallBackWindow", "Closing NetCloseCallBackWindow.");
  detail::loop().postMessage(detail::kEventCloseDown, 0, 0);
  return 0;
}

void NETSETNOTIFIER(std::int32_t time, std::int32_t event, std::int32_t thread) {
  detail::ensureLoaded();
  std::lock_guard lock(detail::libraryLock());
  auto& q = detail::lib().qNotifier;
  auto at = std::upper_bound(q.begin(), q.end(), time,
                             [](std::int32_t t, const detail::Notifier& n) { return t < n.TIME; });
  q.insert(at, detail::Notifier{time, event, thread});
}

namespace detail::testing {

void reloadLibrary() {
  DLLShutDown();
  ensureLoaded();
}

void setSocketsStartFail(bool fail) { g_failSocketsStart = fail; }

bool runTimerTick() {
  EventThread& t = eventThread();
  std::uint64_t ticket;
  {
    std::lock_guard lock(libraryLock());
    if (!lib().callBackWindowUp) return false;
    std::lock_guard ready(t.readyMutex);
    ticket = ++t.ticksRequested;
  }
  loop().postMessage(kEventTimer, static_cast<std::uintptr_t>(ticket), 0);
  std::unique_lock lock(t.readyMutex);
  return t.readyCv.wait_for(lock, std::chrono::seconds(10), [&] { return t.ticksDone >= ticket || t.ended; }) &&
         t.ticksDone >= ticket;
}

bool isCallBackWindowUp() {
  std::lock_guard lock(libraryLock());
  return lib().callBackWindowUp;
}

bool waitCallBackWindowDown(int ms) {
  EventThread& t = eventThread();
  std::unique_lock lock(t.readyMutex);
  return t.readyCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return t.ended; });
}

}  // namespace detail::testing
}  // namespace ov::net
