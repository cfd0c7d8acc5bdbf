// The library's state, its start-up and shut-down, the event thread and the posting of events
// (internal).
//
// Locking: one library-wide recursive lock. Every export and every event-thread handler holds it
// for its whole run, so each is one atomic step against the others. Blocking work (host-name
// look-ups, a synchronous connect, the wait for the event thread to start) runs without it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "netlib/detail/select_loop.h"
#include "netlib/net_peer.h"

namespace ov::net::detail {

using ov::net::NetID;

struct Notifier {
  std::int32_t TIME;
  std::int32_t EVENT;
  std::int32_t THREAD;
};

// Message numbers and events of the event thread.
constexpr unsigned kMsgSimpleAsyncDns = 3109;
constexpr unsigned kMsgSimpleClientFirst = 6180;
constexpr unsigned kMsgSimpleClientLast = 7180;
constexpr unsigned kMsgSimpleServerPortFirst = 8180;    // listening and UDP ports
constexpr unsigned kMsgSimpleServerPortLast = 9180;
constexpr unsigned kMsgSimpleServerAcceptFirst = 10180; // accepted connections
constexpr unsigned kMsgSimpleServerAcceptLast = 11180;
constexpr unsigned kEventCloseDown = 514;
constexpr unsigned kEventTimer = 523;

// Tick countdowns.
constexpr std::int32_t kTimerPeriod = 100;          // centiseconds
constexpr std::int32_t kSimpleCheckInterval = 2000;  // CheckToCloseNetSimpleSockets

struct Library {
  bool loaded = false;
  bool winSockLoaded = false;
  bool registryWriteFailed = false;
  bool closedDown = false;
  bool callBackWindowUp = false;
  bool notifyListFreed = false;
  bool netDebugTrace = false;  // "/netdebugtrace", read at start-up for the shut-down lines

  NetID netId;
  std::string description;     // up to 80 characters
  std::string hostName;
  std::string netName;
  std::vector<std::uint32_t> ipList;  // IPv4 addresses, network order
  std::string windowsInfo;     // the fields of the Windows information line
  std::string desKey;          // the peer cipher key, 24 characters
  std::uint16_t dgBasePort = 2326;
  std::int32_t maxInstances = 5;
  bool backProtocol = false;
  std::uint16_t sockVersion = 0x0101;
  std::int32_t streamInstance = 0;
  std::int32_t inactiveServiceRetryStart = 100;
  std::int32_t inactiveServicesTimerCurr = 0;
  char oneChar = ' ';
  bool reconnectBeforeResend = true;
  bool resendCheckNetID = true;

  std::vector<Notifier> qNotifier;  // sorted by TIME
  std::int32_t notifierClock = 0;   // the clock of the previous delivery, 0 = none
  std::int32_t simpleCheckCountdown = 0;

  std::uint64_t bytesSent = 0;
  std::uint64_t bytesReceived = 0;
};

std::recursive_mutex& libraryLock();
Library& lib();
SelectLoop& loop();

// Runs the start-up once per process (the library is "loaded" at its first use).
void ensureLoaded();
void DLLStartUp();
void DLLShutDown();

// Starts the event thread unless it runs: 0, -31 (sockets unusable), -6 (it did not report ready in
// time), -49 (no thread). Never call it with the library lock held.
int LoadCallBackWindow();
// Closes every socket of the library and empties every list but the notifiers.
void CloseAll();

// Posts (event, thread) along the route of net_callback.h; never waits.
void postEvent(int event, int thread);

// Hooks of the simple connections for the event thread and for CloseAll (simple_client.cpp).
void simpleClientAsync(unsigned msg, int fd, std::uint32_t lParam);
void simpleAsyncDns(std::uint32_t handle, std::uint32_t lParam);
// A fresh load: dial-up is looked for again at its next use (dialup.cpp).
void dialUpStartUp();
// Listening ports and UDP ports (simple_client.cpp).
void simpleServerPortMessage(unsigned msg, int fd, std::uint32_t lParam);
void simpleServerAsync(unsigned msg, int fd, std::uint32_t lParam);
void checkToCloseNetSimpleSockets();
void checkAsyncOpenTimeouts();
void closeAllSimpleSockets();
void countQueuedPackets(std::uint32_t socket, std::int32_t sockId, std::uint32_t& packets, std::uint32_t& bytes);
// Record counts of the simple-connection lists for the statistics record.
struct SimpleListSizes {
  std::uint32_t clients = 0, outList = 0, outData = 0, inData = 0;
  std::uint32_t accepted = 0, ports = 0;  // accepted connections, listening and UDP ports
};
SimpleListSizes simpleListSizes();

}  // namespace ov::net::detail
