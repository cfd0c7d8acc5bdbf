// netwire: the network library of the POP3 mail receiver. Everything a caller uses:
//   net_callback.h  the event thread, posted events and their queues, timed notifications
//   net_log.h       debug output (standard error by default) and its switches
//   net_error.h     result codes and NetErrorStr
//   net_options.h   NetOptions
//   net_registry.h  NetGetRegistry, NetSetRegistry
//   net_codec.h     Base64, quoted-printable, uudecode, encoded words, the time-zone text
//   net_ping.h      NetPing
//   net_simple.h    NetSimple client connections
// The library is started at its first use: it reads its logging switches from the command line,
// its machine identity from the registry store, and starts its event thread when the first
// connection opens. It never changes a system setting.
#pragma once

#include "netlib/net_callback.h"
#include "netlib/net_codec.h"
#include "netlib/net_error.h"
#include "netlib/net_log.h"
#include "netlib/net_options.h"
#include "netlib/net_ping.h"
#include "netlib/net_registry.h"
#include "netlib/net_simple.h"
