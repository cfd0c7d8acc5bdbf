// The receiver's object layer over netwire: NetAll (logging, one-time initialisation, error texts,
// the error hook) and NetSimple, which owns one simple connection of the library and turns the
// library's posted events into calls of virtual methods.
//
// The owner hands every event its thread receives to TakeEvent; an object reserves three event
// numbers at Init (the first object of a process gets 2053, 2054, 2055). Everything runs on the
// owner's thread; the library's event thread only posts events to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "netlib/net_simple.h"

namespace ov::pop {

constexpr int kLogTrace = 0;
constexpr int kLogError = 100;

class NetAll {
 public:
  virtual ~NetAll() = default;

  // "[Net] procedure - text" through NetDebugTrace, when "/wireletlog" or "/wireletlogerrors" is on
  // the command line (the latter: level 100 only). The first line of the process comes after two
  // banner lines.
  virtual void Log(std::string_view text, std::string_view procedure, int level = kLogTrace);
  // The text for `Error`: the object layer's own for 0 and -1..-56, else the library's.
  virtual std::string InterpretError();
  // Every failure of a method comes here with a text and the procedure's name. The base keeps the
  // text and logs it at error level.
  virtual void ErrorTrap(std::string_view text, std::string_view procedure);

  // Once per process: reads the object layer's logging switches.
  void InitServer();

  long Error = 0;
  std::string ErrorString;
  int UseThisThread = 0;  // the logical thread that receives the events; 0: the initialising one
};

// Connection modes of Init.
constexpr int kModeClient = 0;
constexpr int kModeServer = 1;

class NetSimple : public NetAll {
 public:
  NetSimple();
  ~NetSimple() override;

  virtual void Init(int mode);
  // Closes an open connection and stops the events.
  virtual void Kill();
  virtual void Open(std::string_view server, std::uint16_t port);
  virtual void Close();   // phase 1 of the library's close
  virtual void Abort();   // immediate close
  // Sends `Packet` (BinData, BinDataLen; ToIP and OnSocket in server mode).
  virtual void Send();
  virtual void CloseServerConnection(std::uint32_t socket, std::int32_t sockId);
  virtual void AbortServerConnection(std::uint32_t socket, std::int32_t sockId);
  // 1: packets still queued for the connection; 2: and their bytes.
  virtual void GetInfo(int option, std::uint32_t socket = 0, std::int32_t sockId = 0);
  virtual long Ping(std::string_view host, long timeoutMs);

  // Hooks: data (or an asynchronous open) arrived; the remote side closed the connection.
  virtual void Process() {}
  virtual void ConnectionClosed() {}

  // Call for every event of the owner's thread; events of other objects are ignored.
  void TakeEvent(int event);
  int Event() const { return Connection.Event; }

  net::NetSimplePacket Packet;
  net::NetSimpleConnection Connection;
  bool OpenFlag = false;
  long OutgoingDLLPackets = 0;
  long OutgoingDLLPacketsBytes = 0;
  std::vector<net::NetServerConnection> QServerConnections;
  long ServerConnectionsCount = 0;
  bool SuppressErrorMsg = false;
  bool DontErrorTrapInSendIfConnectionClosed = false;
  bool UseAsyncOpen = false;
  std::int32_t AsyncOpenTimeout = 400;
  bool AsyncOpenBusy = false;

 private:
  bool isServer() const { return Connection.Mode == kModeServer; }
  void refillServerConnections();
  void closedRemotely();   // the first close routine
  void closedLocally();    // the second close routine
  std::string socketText() const;

  bool m_initialised = false;
  bool m_betweenPhaseOneAndTwo = false;
  bool m_ignorePhaseTwo = false;
};

}  // namespace ov::pop
