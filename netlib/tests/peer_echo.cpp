// A second instance of the library for the peer tests: offers the service "Echo" and answers every
// packet it receives with a reply to the sender's "Client" service, its data prefixed "echo:".
// Usage: netwire_peer_echo <datagram base port> <stream base port>. Prints "ready <result>" once its
// service is declared; ends when its standard input closes.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <cstring>
#include <string>

#include "netlib/net_callback.h"
#include "netlib/net_options.h"
#include "netlib/net_peer.h"

using namespace ov::net;

namespace {
void setOption(long option, const std::string& value) {
  char buffer[16] = {};
  std::memcpy(buffer, value.data(), std::min(value.size(), sizeof buffer));
  NetOptions(option, buffer);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  setOption(kNetSetDgPort, argv[1]);
  setOption(kNetSetSPort, argv[2]);
  CallbackQueue queue(7);
  NetServiceRecord service;
  std::strcpy(service.ServiceName, "Echo");
  service.Thread = 7;
  service.Event = 5000;
  service.Options = kServiceStart;
  long rc = NetSetService(sizeof service, service);
  std::printf("ready %ld\n", rc);
  std::fflush(stdout);
  for (;;) {
    pollfd in{0, POLLIN, 0};
    if (::poll(&in, 1, 0) > 0) {
      char c;
      if (::read(0, &c, 1) <= 0) break;
    }
    int event;
    queue.take(event, std::chrono::milliseconds(20));
    auto packet = std::make_unique<NetPacketRecord>();
    while (NetReceive(sizeof *packet, *packet) == 0) {
      std::string data = "echo:" + std::string(packet->BinData, static_cast<size_t>(packet->BinDataLen));
      std::memset(packet->BinData, 0, sizeof packet->BinData);
      std::memcpy(packet->BinData, data.data(), data.size());
      packet->BinDataLen = static_cast<std::int32_t>(data.size());
      std::memset(packet->ServiceName, 0, sizeof packet->ServiceName);
      std::strcpy(packet->ServiceName, "Client");
      packet->Options |= kPacketReply;
      if (long sent = NetASend(sizeof *packet, *packet, 0); sent != 0) std::printf("send %ld\n", sent);
      std::fflush(stdout);
      *packet = NetPacketRecord{};
    }
  }
  NetCloseCallBackWindow();
  return 0;
}
