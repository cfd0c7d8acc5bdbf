// Seams for the library's own tests (internal; programs never use them).
#pragma once

namespace ov::net::detail::testing {

// Shuts the library down (as at process end) and loads it again: start-up reads the registry and
// the command line anew, as a second process would.
void reloadLibrary();
// Makes the next start-up behave as if the sockets layer could not start (or could again).
void setSocketsStartFail(bool fail);
// Runs one timer tick on the event thread now and waits for it; false when the thread is down.
bool runTimerTick();
bool isCallBackWindowUp();
// Waits until the event thread has ended; false when it still runs after `ms` milliseconds.
bool waitCallBackWindowDown(int ms);
// The time a synchronous connect may take before it fails with 10060 (WSAETIMEDOUT).
void setConnectTimeoutMs(int ms);
// Makes the next ping find no ICMP socket (or look again); forgets what earlier pings found.
void setIcmpUnavailable(bool unavailable);

}  // namespace ov::net::detail::testing
