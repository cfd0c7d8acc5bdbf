#include "netlib/net_error.h"

#include <string_view>

#include "netlib/detail/log.h"
#include "platform/rt/fixed_string.h"

namespace ov::net {
namespace {

constexpr size_t kTextMax = 255;

// Index = -code - 1. The texts are stored exactly so; callers compare them.
constexpr std::string_view kLibraryTexts[] = {
    "Unknown Error (was previously Wirelet DLL not actively initiated)",
    "Wirelet DLL already active. Certain options can't be set once the DLL is loaded.",
    "Too many Wirelet instances on one machine",
    "Invalid structure size",
    "Main start sequence faile",
    "Wait timeout",
    "Accepted data too short",
    "Data is out of topic",
    "Unknown packet type received",
    "Not all data sent",
    "Not all data received",
    "You are trying to send data to someone who is not in the receivers (servers) list.",
    "No request",
    "Request not found",
    "No servers",
    "Server not found",
    "Service not supported",
    "Bad response address",
    "New thread failed",
    "Address not found",
    "Incorrect DLL version",
    "Bad parameters passed to function",
    "Too many listening sockets. The maximum has been reached",
    "Socket dead. Could not find socket in listening queue",
    "An incompatible packet version was received",
    "This machine has no IP address",
    "The service is marked as inactive, because a previous error occurred",
    "The simple connection was not closed properly",
    "Too many sending sockets. The maximum has been reached",
    "An error occurred while trying to access a memory queue (read or write error). The queue could be full or "
    "there is not enough memory",
    "An error occurred while trying to load the Wirelet DLL. The DLL could not be loaded.",
    "Unable to allocate the requested memory",
    "Host or Socket not specified. Please set the <object>.packet.ToIp and <object>.packet.OnSocket before "
    "NetSimple sending data.",
    "Could not find connected client in Simple Connect Client or Server",
    "An error occurred while trying to access a file",
    "The connection is not open",
    "The Wirelet object requires more properties to contain valid values",
    "This functionality is no longer supported",
    "Could not open a connection to the specified host machine",
    "Could not send NetSimple Data",
    "A General FTP error occurred",
    "Invalid String Size",
    "No Dial-Up Networking Entry. You need a Dial-Up Entry before you can dial.",
    "The DUN (Dial-Up) Object is not in the DLL queue.",
    "The DUN (Dial-Up) Object is busy opening another RAS connection.",
    "Could Not Load the Dial-Up Networking Windows Procedures. DUN will be disabled.",
    "Could not load the WinSock DLL. Wirelet needs this to be able to work.",
    "Call Back Window Already Closed",
    "Could not create new thread to start Wirelet DLL Callback Window",
    "Could not load some run-time procedures",
    "Received a corrupt packet",
    "No Posting Allowed",
    "Timeout error",
    "Ping unsuccessful",
    "Connection Already Open",
    "Wirelet DLL not actively initiated",
};
static_assert(std::size(kLibraryTexts) == 56);

struct SocketText {
  int code;
  std::string_view text;
};

constexpr SocketText kSocketTexts[] = {
    {10013, "(WSAEACCES) Permission denied. The socket was used in a way its access permissions forbid, for "
            "example a broadcast without the broadcast option or a port reserved for privileged programs."},
    {10048, "(WSAEADDRINUSE) Address already in use. Only one use of each socket address (protocol, IP address "
            "and port) is normally permitted. This error occurs when a program tries to bind a socket to an IP "
            "address and port that has already been used for an existing socket, or for a socket that was not "
            "closed properly, or for a socket that is still closing now."},
    {10049, "(WSAEADDRNOTAVAIL) The specified address is not available from the local computer."},
    {10047, "(WSAEAFNOSUPPORT) Address family not supported by protocol family. An address of a family the "
            "protocol cannot use was given."},
    {10037, "(WSAEALREADY) Operation already in progress. A non-blocking operation is already running on the "
            "socket."},
    {10009, "WSAEBADF (BadF)"},
    {10053, "(WSAECONNABORTED) Software caused connection abort. The connection was ended by this computer, "
            "for example after a time-out or a protocol error."},
    {10061, "(WSAECONNREFUSED) Connection refused. The target computer actively refused the connection; "
            "usually no program is listening on that port."},
    {10054, "(WSAECONNRESET) Connection reset by peer. The remote side closed the connection abruptly, for "
            "example because its program ended or its computer restarted."},
    {10039, "(WSAEDESTADDRREQ) Destination address required. An operation on a socket needed an address and "
            "none was given."},
    {10069, "WSAEDQUOT (DQuot)"},
    {10014, "(WSAEFAULT) Bad address. A pointer argument of a socket call was not valid."},
    {10064, "(WSAEHOSTDOWN) Host is down. The remote computer does not answer."},
    {10065, "(WSAEHOSTUNREACH) No route to host. There is no known way to reach the remote computer."},
    {10036, "(WSAEINPROGRESS) Operation now in progress. A blocking operation is running."},
    {10004, "(WSAEINTR) Interrupted function call. A blocking call was interrupted."},
    {10022, "(WSAEINVAL) Invalid argument. An argument was not valid, or the socket is in the wrong state for "
            "the call."},
    {10056, "(WSAEISCONN) Socket is already connected. A connect was asked for on a socket that is already "
            "connected."},
    {10062, "WSAELOOP (loop)"},
    {10024, "(WSAEMFILE) Too many open files. The process has used up the sockets or files it may open."},
    {10040, "(WSAEMSGSIZE) Message too long. A datagram was larger than the buffer or the limit of the "
            "network."},
    {10063, "WSAENAMETOOLONG (name too long)"},
    {10050, "(WSAENETDOWN) Network is down. The network system or its interface failed."},
    {10052, "(WSAENETRESET) Network dropped connection on reset. The connection broke while an operation was "
            "in progress."},
    {10051, "(WSAENETUNREACH) Network is unreachable. There is no route to the network of the remote "
            "computer."},
    {10055, "(WSAENOBUFS) No buffer space available. The system lacks the memory for the operation."},
    {10042, "(WSAENOPROTOOPT) Bad protocol option. An unknown or unsupported socket option was asked for."},
    {10057, "(WSAENOTCONN) Socket is not connected. Data was sent or received on a socket that has no "
            "connection."},
    {10066, "WSAENOTEMPTY (not empty)"},
    {10038, "(WSAENOTSOCK) Socket operation on non-socket. The handle given is not a socket, or it was closed "
            "already."},
    {10045, "(WSAEOPNOTSUPP) Operation not supported. The socket does not support the operation asked for."},
    {10046, "(WSAEPFNOSUPPORT) Protocol family not supported. The protocol family is not configured on this "
            "system."},
    {10067, "(WSAEPROCLIM) Too many processes. The sockets implementation limits the number of programs that "
            "may use it at once."},
    {10043, "(WSAEPROTONOSUPPORT) Protocol not supported. The protocol asked for is not configured on this "
            "system."},
    {10041, "(WSAEPROTOTYPE) Protocol wrong type for socket. The protocol does not support the kind of socket "
            "asked for."},
    {10071, "WSAEREMOTE (remote)"},
    {10058, "(WSAESHUTDOWN) Cannot send after socket shutdown. The socket was shut down for that direction "
            "before."},
    {10044, "(WSAESOCKTNOSUPPORT) Socket type not supported. The kind of socket is not supported by this "
            "address family."},
    {10070, "(WSAESTALE) WSAESTALE (stale)"},
    {10060, "(WSAETIMEDOUT) Connection timed out. The remote computer did not answer in time, or an "
            "established connection failed because it stopped answering."},
    {10059, "(WSAETOOMANYREFS) WSAETOOMANYREFS (too many refs)"},
    {10068, "(WSAEUSERS) WSAEUSERS (users)"},
    {10109, "(WSATYPE_NOT_FOUND) Class type not found. The service type asked for is unknown."},
    {10035, "(WSAEWOULDBLOCK) Resource temporarily unavailable. A non-blocking operation could not be completed "
            "at once; it is normal and the operation should be tried again later."},
    {11001, "(WSAHOST_NOT_FOUND) Host not found. No such host is known; check the name."},
    {6, "(WSA_INVALID_HANDLE) One or more parameters are invalid. A handle given to the call was not valid."},
    {10104, "(WSAEINVALIDPROCTABLE) Invalid procedure table from service provider. A service provider is "
            "damaged."},
    {10105, "(WSAEINVALIDPROVIDER) Invalid service provider version number. A service provider reported a "
            "version that is not supported."},
    {996, "(WSA_IO_INCOMPLETE) Overlapped I/O event object not in signalled state. The operation has not "
          "completed yet."},
    {997, "(WSA_IO_PENDING) Overlapped operations will complete later. The operation was started and goes on "
          "in the background."},
    {8, "(WSA_NOT_ENOUGH_MEMORY) Insufficient memory available. The system could not allocate the memory "
        "needed."},
    {10093, "(WSANOTINITIALISED) Successful WSAStartup not yet performed. The sockets implementation was not "
            "started."},
    {11004, "(WSANO_DATA) Valid name, no data record of requested type. The name is known but has no address "
            "of the kind asked for."},
    {11003, "(WSANO_RECOVERY) This is a non-recoverable error. The name service failed in a way that trying "
            "again will not mend."},
    {10106, "(WSAEPROVIDERFAILEDINIT) Unable to initialize a service provider. A service provider could not be "
            "loaded or started."},
    {10107, "(WSASYSCALLFAILURE) System call failure. A system call that should never fail did."},
    {10091, "(WSASYSNOTREADY) Network subsystem is unavailable. The network system is not ready for use."},
    {11002, "(WSATRY_AGAIN) Non-authoritative host not found. The name server did not answer in time; trying "
            "again later may work."},
    {10092, "(WSAVERNOTSUPPORTED) WINSOCK.DLL version out of range. The sockets version asked for is not "
            "supported."},
    {10101, "(WSAEDISCON) Graceful shutdown in progress. The remote side has begun to close the connection."},
    {995, "(WSA_OPERATION_ABORTED) Overlapped operation aborted. The operation was cancelled because the socket "
          "was closed."},
};
static_assert(std::size(kSocketTexts) == 61);

}  // namespace

std::string NetErrorStr(long code) {
  if (code >= -56 && code <= -1) return std::string(kLibraryTexts[-code - 1]);
  std::string text;
  for (const SocketText& t : kSocketTexts) {
    if (t.code == code) {
      text.assign(t.text.substr(0, rt::utf8CutLength(t.text, kTextMax)));
      break;
    }
  }
  if (text.empty()) text = "General Winsock Error (unknown by NetErrorStr) [" + std::to_string(code) + "]";
  text = std::string(rt::clipView(text));
  if (detail::logOn() || detail::logErrorsOnly())
    detail::logLine("NetErrorStr", "Error (" + std::to_string(code) + ") = " + text, detail::kLevelError);
  return text;
}

}  // namespace ov::net
