// libFuzzer target: the POP3 client reading a server's replies. The input is what a server sends,
// cut into packets of the sizes its first bytes choose, read from the greeting on (status lines,
// STAT, LIST, UIDL, TOP and RETR replies with dot-stuffing, errors). The client's decisions at
// each message come from the input too, so that skipping, header-only fetches, deletes and quits
// are all reached. Nothing is sent anywhere and no file is written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "popmail/net_email_receive.h"

namespace {

constexpr long kDecisions[] = {ov::pop::kDecideDownload, ov::pop::kDecideFetchHeaders, ov::pop::kDecideSkip,
                               ov::pop::kDecideQuit, ov::pop::kDecideDeleteUnread, 77};

class Client : public ov::pop::NetEmailReceive {
 public:
  explicit Client(std::string_view choices) : m_choices(choices) {
    Command = ov::pop::kAskFetch;
    State = ov::pop::kStateConnecting;
    OpenFlag = true;
    User = "user";
    Password = "password";
    OptionsDontSaveAttachments = true;
    OptionsDontSaveEmbeds = true;
    OptionsUserFilter = "X-FILTER:";
  }
  void Send() override {}
  void Close() override {
    OpenFlag = false;
    State = ov::pop::kStateIdle;
  }
  void Abort() override { Close(); }
  void ErrorTrap(std::string_view, std::string_view) override {}
  void Log(std::string_view, std::string_view, int) override {}
  void Decide(int) override {
    if (m_choices.empty()) return;
    DecideAction = kDecisions[static_cast<unsigned char>(m_choices[m_next++ % m_choices.size()]) %
                              (sizeof kDecisions / sizeof kDecisions[0])];
  }
  void Done(long, bool finished) override {
    if (!finished && !m_choices.empty() && (m_choices[0] & 1)) KeepOnServer = true;
  }
  // One packet from the server.
  void feed(std::string_view data) {
    Packet.BinDataLen = static_cast<std::int32_t>(std::min(data.size(), sizeof Packet.BinData));
    std::memcpy(Packet.BinData, data.data(), static_cast<size_t>(Packet.BinDataLen));
    Error = 0;
    Process();
  }

 private:
  std::string_view m_choices;
  size_t m_next = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Layout: [n][n decision bytes][packet size byte][server bytes...]
  std::string_view in(reinterpret_cast<const char*>(data), size);
  if (in.size() < 2) return 0;
  const size_t choices = std::min<size_t>(static_cast<unsigned char>(in[0]) % 16, in.size() - 2);
  Client client(in.substr(1, choices));
  client.OptionsDelete = choices > 0 && (in[1] & 2);
  const size_t packet = 1 + static_cast<unsigned char>(in[1 + choices]) * 16;
  std::string_view server = in.substr(2 + choices);
  for (size_t at = 0; at < server.size() && client.OpenFlag; at += packet)
    client.feed(server.substr(at, std::min(packet, server.size() - at)));
  return 0;
}
