#include "popmail/net_simple.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "netlib/net_callback.h"
#include "netlib/net_error.h"
#include "netlib/net_log.h"
#include "netlib/net_options.h"
#include "netlib/net_ping.h"
#include "platform/rt/command_line.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::pop {
namespace {

// The object layer's process-wide state.
struct ObjectLayer {
  std::mutex mutex;
  bool initialised = false;
  bool logOn = false;
  bool errorsOnly = false;
  bool bannerWritten = false;
  int eventCounter = 1024;
};

ObjectLayer& layer() {
  static ObjectLayer s;
  return s;
}

constexpr size_t kErrorTextMax = 512;

// Index = -code - 1.
constexpr std::string_view kObjectTexts[] = {
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
    "Host or Socket not specified. Please set the <object>.packet.ToIp and <object>.packet.OnSocket before sending "
    "data.",
    "Could not find connected client in Simple Connect Client or Server",
    "An error occurred while trying to access a file",
    "The connection is not open",
    "The Wirelet object requires more properties to contain valid values",
    "This functionality is no longer supported",
    "Could not open a connection to the specified host machine",
    "Could not send NetSimple Data",
    "a General FTP error occurred",
    "Invalid String Size",
    "No Phone Book Entry. You need a Phone Book Entry before you can dial.",
    "The Ras Object is not in the DLL queue.",
    "The Ras Object is busy opening another RAS connection.",
    "Could Not Load the Dial-Up Networking Windows Procedures. DUN will be disabled.",
    "Could not load the WinSock DLL. Wirelet needs this to be able to work.",
    "Call Back Window Already Closed",
    "Could not create new thread to start Wirelet DLL Callback Window",
    "Could not load some run-time procedures",
    "Received a corrupt packet",
    "No Posting allowing",
    "Timeout error",
    "Ping unsuccessful",
    "Connection already open",
    "Wirelet DLL not actively initiated",
};
static_assert(std::size(kObjectTexts) == 56);

std::string commandLineLower() { return rt::LOWER(rt::clipView(rt::COMMAND(""))); }

std::string num(long long v) { return std::to_string(v); }

}  // namespace

// ---- NetAll -------------------------------------------------------------------------------------

void NetAll::InitServer() {
  ObjectLayer& s = layer();
  {
    std::lock_guard lock(s.mutex);
    if (s.initialised) return;
    s.initialised = true;
    s.logOn = !rt::COMMAND("/wireletlog").empty() || !rt::COMMAND("/wireletlogerrors").empty();
    s.errorsOnly = !rt::COMMAND("/wireletlogerrors").empty();
  }
  if (s.errorsOnly) Log("======== Object Logging : Errors only (/wireletlogerrors) ========", "", kLogError);
  Log("Initialisation", "_NetAll.InitServer");
}

void NetAll::Log(std::string_view text, std::string_view procedure, int level) {
  ObjectLayer& s = layer();
  {
    std::lock_guard lock(s.mutex);
    if (!s.logOn || !s.initialised || (s.errorsOnly && level != kLogError)) return;
    if (!s.bannerWritten) {
      s.bannerWritten = true;
      net::NetDebugTrace("[Net] Using Wirelet (Object) version 2.5c in application " + commandLineLower());
      net::NetDebugTrace(
          "[Net] Wirelet (Object) Information: Net:MaxBinData = 16384 Size(Net:PacketType) = 17687 "
          "Size(Net:PublicServicesQType) = 599 Size(Net:ServiceType) = 1117 Size(Net:RemoteType) = 149");
    }
  }
  net::NetDebugTrace("[Net] " + std::string(rt::clipView(procedure)) + " - " + std::string(rt::clipView(text)));
}

std::string NetAll::InterpretError() {
  std::string text;
  if (Error == 0) {
    text = "General Object level error";
  } else if (Error >= -56 && Error <= -1) {
    text = std::string(kObjectTexts[-Error - 1]);
  } else {
    Log("Not an object level error - need to ask the Wirelet DLL (NetErrorStr)", "_NetAll.InterpretError", kLogError);
    std::string library = net::NetErrorStr(Error);
    Log("Error = " + num(Error) + " NetErrorStr returned : " + library, "_NetAll.InterpretError", kLogError);
    text = library + " [listed by NetErrorStr]";
  }
  return text.substr(0, rt::utf8CutLength(text, kErrorTextMax));
}

void NetAll::ErrorTrap(std::string_view text, std::string_view procedure) {
  ErrorString = std::string(text);
  Log(std::string(text) + " Error = " + num(Error) + " " + InterpretError(), procedure, kLogError);
}

// ---- NetSimple ----------------------------------------------------------------------------------

NetSimple::NetSimple() = default;
NetSimple::~NetSimple() = default;

void NetSimple::Init(int mode) {
  QServerConnections.clear();
  InitServer();
  Log(std::string("Initialising a new ") + (mode == kModeServer ? "Server" : "Client"), "NetSimple.Init");
  Connection.Mode = static_cast<std::uint8_t>(mode);
  Connection.Thread = UseThisThread != 0 ? UseThisThread : net::currentThread();
  UseAsyncOpen = false;
  AsyncOpenTimeout = 400;
  if (!m_initialised) {
    std::lock_guard lock(layer().mutex);
    layer().eventCounter += 5;
    Connection.Event = layer().eventCounter + 1024;
    m_initialised = true;
  }
}

void NetSimple::Kill() {
  if (OpenFlag || AsyncOpenBusy) Close();
  Connection.Thread = 0;
  QServerConnections.clear();
}

std::string NetSimple::socketText() const {
  return " On Socket = " + num(Connection.Socket) + " SockID = " + num(Connection.SockID);
}

void NetSimple::refillServerConnections() {
  if (!isServer()) return;
  std::vector<net::NetServerConnection> list;
  if (net::NetSimpleGetServerConnections(Connection, list) == 0) QServerConnections = std::move(list);
}

void NetSimple::Open(std::string_view server, std::uint16_t port) {
  if (OpenFlag && !isServer()) {
    Error = net::kNetConnectionAlreadyOpen;
    Log("Connection already open. Please close the connection before trying to open a new connection.",
        "NetSimple(Client).Open");
  }
  if (isServer())
    Log(std::string("Attempting Listen on ") + (Connection.UDPMode ? "UDP" : "TCP") + " Port " + num(port), "NetSimple.Open");
  else
    Log("Attempting to connect to " + std::string(server) + " on Port " + num(port), "NetSimple.Open");
  Error = 0;
  AsyncOpenBusy = false;
  if (m_betweenPhaseOneAndTwo) {
    m_ignorePhaseTwo = true;
    Log("Setting IgnorePhaseTwo = true. We weren't able to call PhaseTwo Close Down before this object is being used to "
        "open another connection. That's fine the Wirelet DLL will clean up our old connection for us.",
        "NetSimple.Open");
  }
  std::memset(Connection.Server, 0, sizeof Connection.Server);
  std::memcpy(Connection.Server, server.data(), std::min(server.size(), sizeof Connection.Server - 1));
  Connection.Port = port;
  if (UseAsyncOpen && !isServer()) {
    Connection.AsyncOpenTimeout = AsyncOpenTimeout;
    Log("Will use Asynchronous Open", "NetSimple.Open");
  } else {
    Connection.AsyncOpenTimeout = 0;
  }
  Error = net::NetSimpleConnectOpen(Connection);
  if (Error != 0) {
    if (isServer())
      ErrorTrap(Connection.UDPMode ? "Unable to Listen on UDP Port" : "Unable to Listen on TCP Port", "NetSimple(Server).Open");
    else
      ErrorTrap("Unable to Open Connection", "NetSimple(Client).Open");
    return;
  }
  if (isServer()) {
    OpenFlag = true;
    Log(std::string("Successfully listening on ") + (Connection.UDPMode ? "UDP" : "TCP") + " Port = " + num(port) +
            socketText(), "NetSimple.Open");
    QServerConnections.clear();
    ServerConnectionsCount = 0;
  } else if (Connection.AsyncOpenTimeout == 0) {
    OpenFlag = true;
    Log("Connection opened on Socket = " + num(Connection.Socket) + " SockID = " + num(Connection.SockID), "NetSimple.Open");
  } else {
    OpenFlag = false;
    AsyncOpenBusy = true;
    Log("Opening Connection Asynchrously (will wait for Process() or Err0rTrap() to be called). on Socket = " +
            num(Connection.Socket) + " SockID = " + num(Connection.SockID), "NetSimple.Open");
  }
}

void NetSimple::Close() {
  if (isServer())
    Log("Closing Listening Server Socket = " + num(Connection.Socket) + " SockID = " + num(Connection.SockID) +
            " on local Server = " + std::string(Connection.Server) + " Listening on Port = " + num(Connection.Port),
        "NetSimple.Close");
  else
    Log("Closing Client Socket = " + num(Connection.Socket) + " SockID = " + num(Connection.SockID) + " to Server = " +
            std::string(Connection.Server) + " Originally Connected to Port = " + num(Connection.Port),
        "NetSimple.Close");
  if (!OpenFlag && !AsyncOpenBusy) return;
  Error = net::NetSimpleConnectClose(Connection, 0, 0, net::kClosePhaseOne);
  m_betweenPhaseOneAndTwo = true;
  m_ignorePhaseTwo = false;
  OpenFlag = false;
  AsyncOpenBusy = false;
  if (Error != 0) {
    ErrorTrap("Unable to Close connection", "NetSimple.Close");
    return;
  }
  if (isServer()) QServerConnections.clear();
  ServerConnectionsCount = 0;
}

void NetSimple::Abort() {
  Log(std::string(isServer() ? "Aborting (immediately closing) Listening Server Socket = "
                             : "Aborting (immediately closing) Client Socket = ") +
          num(Connection.Socket) + " SockID = " + num(Connection.SockID),
      "NetSimple.Abort");
  if (!OpenFlag && !AsyncOpenBusy) return;
  Error = net::NetSimpleConnectClose(Connection, 0, 0, net::kCloseAbort);
  OpenFlag = false;
  AsyncOpenBusy = false;
  if (Error != 0) {
    ErrorTrap("Unable to Abort (Close) connection", "NetSimple.Abort");
    return;
  }
  if (isServer()) QServerConnections.clear();
  ServerConnectionsCount = 0;
}

void NetSimple::CloseServerConnection(std::uint32_t socket, std::int32_t sockId) {
  Log("Closing Socket = " + num(socket) + " SockID = " + num(sockId) + " Originally Connected to Listening Port = " +
          num(Connection.Port), "NetSimple.CloseServerConnection");
  Error = net::NetSimpleConnectClose(Connection, socket, sockId, net::kClosePhaseOne);
  if (Error != 0) ErrorTrap("Unable to Close connection", "NetSimple.CloseServerConnection");
  refillServerConnections();
  if (ServerConnectionsCount > 0) --ServerConnectionsCount;
}

void NetSimple::AbortServerConnection(std::uint32_t socket, std::int32_t sockId) {
  Log("Aborting (Immediately Closing) Server Connection on Socket = " + num(socket) + " SockID = " + num(sockId) +
          " Originally Connected to Listening Port = " + num(Connection.Port), "NetSimple.AbortServerConnection");
  Error = net::NetSimpleConnectClose(Connection, socket, sockId, net::kCloseAbort);
  if (Error != 0) ErrorTrap("Unable to Abort connection", "NetSimple.AbortServerConnection");
  refillServerConnections();
  if (ServerConnectionsCount > 0) --ServerConnectionsCount;
}

void NetSimple::Send() {
  auto fail = [&](long code, std::string_view text) {
    Error = code;
    ErrorTrap(text, "NetSimple.Send");
  };
  if (Packet.BinDataLen > net::kMaxBinData)
    return fail(net::kNetBadStructureSize, "Trying to send too much data in self.packet.binData and self.packet.binDataLen");
  if (!OpenFlag && !(isServer() && Connection.UDPMode))
    return fail(net::kNetNotOpen, "The connection is not open and therefore the data can not be sent.");
  if (Packet.BinDataLen <= 0) return fail(net::kNetBadStructureSize, "Data length is less than or equal to zero");
  if (!isServer() && (Connection.Server[0] == 0 || Connection.Port == 0))
    return fail(net::kNetHostOrSocketNotGiven, "Hostname or Port are not set to anything. (You must call self.open first).");
  if (isServer() && Connection.UDPMode && (Packet.ToIP[0] == 0 || Packet.UDPToPort == 0))
    return fail(net::kNetHostOrSocketNotGiven,
                "Hostname or Port are not set to anything. (You must set self.packet.ToIp and UDPToPort)");
  if (isServer() && !Connection.UDPMode && (Packet.ToIP[0] == 0 || Packet.OnSocket == 0))
    return fail(net::kNetHostOrSocketNotGiven,
                "Hostname or Socket are not set to anything. (You must set self.packet.ToIp and OnSocket)");
  if (isServer())
    Log("Sending Data to ToIP = " + std::string(Packet.ToIP) + " Data Length = " + num(Packet.BinDataLen), "NetSimple.Send");
  else
    Log("Sending Data to HostName = " + std::string(Connection.Server) + " Data Length = " + num(Packet.BinDataLen),
        "NetSimple.Send");
  Error = net::NetSimpleConnectSend(Connection, Packet);
  if (Error == 0) return;
  if (Error == net::kNetClientNotFound && !isServer()) OpenFlag = false;
  if (Error == net::kNetClientNotFound && DontErrorTrapInSendIfConnectionClosed) {
    Log("While trying to send data, we discover the connection has been closed down. The programmer has chosen to "
        "handle the error himself.", "NetSimple.Send");
    return;
  }
  Log("Error. Note to the programmer - look at the docs for info on the self.DontErrorTrapInSendIfConnectionClosed in "
      "the NetSimpleConnection property section.", "NetSimple.Send");
  ErrorTrap("Error sending data", "NetSimple.Send");
}

void NetSimple::GetInfo(int option, std::uint32_t socket, std::int32_t sockId) {
  refillServerConnections();
  if (socket == 0 && sockId == 0) {
    socket = Connection.Socket;
    sockId = Connection.SockID;
  }
  if (option != 1 && option != 2) {
    Log("Illegal p_Options = " + num(option), "NetSimple.GetInfo", kLogError);
    return;
  }
  char group[8];
  std::memcpy(group, &socket, 4);
  std::memcpy(group + 4, &sockId, 4);
  net::NetOptions(option == 1 ? net::kNetGetQueuedPackets : net::kNetGetQueuedBytes, group);
  std::uint32_t first, second;
  std::memcpy(&first, group, 4);
  std::memcpy(&second, group + 4, 4);
  OutgoingDLLPackets = second;
  OutgoingDLLPacketsBytes = option == 2 ? first : 0;
}

long NetSimple::Ping(std::string_view host, long timeoutMs) { return net::NetPing(host, timeoutMs); }

void NetSimple::closedRemotely() {
  if (isServer()) {
    Log("The Server connection on Socket = " + num(Packet.OnSocket) + " SockID = " + num(Packet.SockID) +
            " has been closed remotely. Will call NetSimpleConnectClose and then the ConnectionClosed() method.",
        "NetSimple.TakeEvent.ConClosed1");
    net::NetSimpleConnectClose(Connection, Packet.OnSocket, Packet.SockID, net::kClosePhaseTwo);
    refillServerConnections();
    if (ServerConnectionsCount > 0) --ServerConnectionsCount;
  } else {
    Log("The client connection on Socket = " + num(Packet.OnSocket) + " SockID = " + num(Packet.SockID) +
            " has been closed remotely. Will call NetSimpleConnectClose and then the ConnectionClosed() method.",
        "NetSimple.TakeEvent.ConClosed1");
    net::NetSimpleConnectClose(Connection, Packet.OnSocket, Packet.SockID, net::kClosePhaseTwo);
    OpenFlag = false;
    AsyncOpenBusy = false;
  }
  ConnectionClosed();
}

void NetSimple::closedLocally() {
  if (m_ignorePhaseTwo) {
    Log("Attention. 2nd Phase NOT Called! The Connection property has changed, since calling Phase One. Can't call Phase "
        "Two, the DLL will clear up in 5 minutes. The server connection on Socket = " + num(Packet.OnSocket),
        "NetSimple.TakeEvent.ConClosed2");
    return;
  }
  Log(std::string(isServer() ? "The server connection on Socket = " : "The client connection on Socket = ") +
          num(Packet.OnSocket) + " SockID = " + num(Packet.SockID) +
          " was closed locally. Will call NetSimpleConnectClose for 2nd Phase",
      "NetSimple.TakeEvent.ConClosed2");
  if (!isServer()) {
    OpenFlag = false;
    AsyncOpenBusy = false;
  }
  net::NetSimpleConnectClose(Connection, Packet.OnSocket, Packet.SockID, net::kClosePhaseTwo);
  m_betweenPhaseOneAndTwo = false;
}

void NetSimple::TakeEvent(int event) {
  if (!m_initialised || event < Connection.Event || event > Connection.Event + 2) return;
  if (event == Connection.Event) {
    Error = net::NetSimpleConnectReceive(Connection, Packet);
    if (Error == net::kNetNoRequest) {
      Log("Attention. This is not normally a problem. The DLL could not find a packet matching this connection.",
          "NetSimple.TakeEvent");
      return;
    }
    if (Error != 0) {
      ErrorTrap("An error occurred while trying receive data", "NetSimple.TakeEvent");
      return;
    }
    Log("Received a message. PacketType = " + num(Packet.PacketType) + " Reserved2 = " + num(Packet.Reserved2) +
            " Mode = " + num(Connection.Mode), "NetSimple.TakeEvent");
    switch (Packet.PacketType) {
      case net::kPacketNewConnection:
        refillServerConnections();
        ++ServerConnectionsCount;
        Log("PacketType -> New Connection to local Port = " + num(Connection.Port) + " On Socket = " +
                num(Packet.OnSocket) + " SockID = " + num(Packet.SockID), "NetSimple.TakeEvent");
        Process();
        return;
      case net::kPacketData:
        Log("PacketType -> Normal Data Packet Received  Data Length = " + num(Packet.BinDataLen) + " On Socket = " +
                num(Packet.OnSocket) + " SockID = " + num(Packet.SockID), "NetSimple.TakeEvent");
        refillServerConnections();
        Process();
        return;
      case 4:
        Log("PacketType -> No Connection!! Warning!", "NetSimple.TakeEvent");
        return;
      case net::kPacketClosedRemotely:
        Log("PacketType -> Calls ConClosed(1) (Remote)", "NetSimple.TakeEvent");
        closedRemotely();
        return;
      case net::kPacketClosedLocally:
        Log("PacketType -> Calls ConClosed(2)", "NetSimple.TakeEvent");
        closedLocally();
        return;
      case net::kPacketAsyncOpenOk:
        Log("PacketType -> \"AsyncOpenSuccessful\" to " + std::string(Connection.Server) + ":" + num(Connection.Port) +
                " On Socket = " + num(Packet.OnSocket) + " SockID = " + num(Packet.SockID) + " Local_IP = " +
                std::string(Connection.LocalIP), "NetSimple.TakeEvent");
        OpenFlag = true;
        AsyncOpenBusy = false;
        Process();
        return;
      case net::kPacketAsyncOpenFailed:
        Log("Error. PacketType -> \"AsyncOpenFailed\" to " + std::string(Connection.Server) + ":" + num(Connection.Port) +
                " On Socket = " + num(Packet.OnSocket) + " SockID = " + num(Packet.SockID) + " Error = " +
                num(Packet.Error), "NetSimple.TakeEvent", kLogError);
        OpenFlag = false;
        AsyncOpenBusy = false;
        Error = net::kNetWaitTimeout;
        net::NetSimpleConnectClose(Connection, Packet.OnSocket, Packet.SockID, net::kClosePhaseTwo);
        ErrorTrap("The requested connection could not be opened.", "NetSimple.TakeEvent");
        return;
      default:
        Log("Error. PacketType -> Unknown = " + num(Packet.PacketType), "NetSimple.TakeEvent");
        return;
    }
  }
  if (event == Connection.Event + 1) {
    Log("Received a message+1 about a ConClose(1) (Remote). PacketType = " + num(Packet.PacketType) + " Mode = " +
            num(Connection.Mode), "NetSimple.TakeEvent");
    closedRemotely();
    return;
  }
  Log("Received a message+2 about a Close (2). PacketType = " + num(Packet.PacketType) + " Mode = " + num(Connection.Mode),
      "NetSimple.TakeEvent");
  if (!m_ignorePhaseTwo) {
    net::NetSimpleConnectClose(Connection, 0, 0, net::kClosePhaseTwo);
  } else {
    Log("Attention. 2nd Phase NOT Called! The Connection property has changed, since calling Phase One. Can't call Phase "
        "Two, the DLL will clear up in 5 minutes.", "NetSimple.TakeEvent.Message+2");
  }
}

}  // namespace ov::pop
