// Dial-up networking: phone-book entries, devices and connections of the system's dial-up
// service, and the texts of its connection states and errors.
//
// Linux offers no dial-up service of that kind: every export except NetDUNGetLastError answers
// -46 (dial-up not available) and changes nothing; the first call logs that the dial-up functions
// could not be loaded, later calls do not look again. The text functions work everywhere.
//
// Records are the caller's; their byte layouts (packed) are fixed. Strings are blank-padded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov::net {

constexpr int kNetDialUpNotAvailable = -46;

#pragma pack(push, 1)
// One connection (681 bytes).
struct NetDUNConnection {
  char EntryName[256] = {};
  char StateStr[100] = {};
  char ErrorStr[100] = {};
  std::uint32_t State = 0;
  std::uint32_t Error = 0;
  char IP[32] = {};
  char ServerIP[32] = {};
  char Name[128] = {};
  char Type[16] = {};
  std::uint32_t Handle = 0;
  std::uint32_t Size = 0;
  std::uint8_t WireletOnlyData = 0;
};

// One phone-book entry (1057 bytes).
struct NetDUNEntry {
  char EntryName[256] = {};
  char Blank[128] = {};
  std::int32_t CountryCode = 0;
  char AreaCode[10] = {};
  char LocalPhoneNumber[128] = {};
  char UserName[256] = {};
  char Password[256] = {};
  char Domain[15] = {};
  std::int32_t EntryNameSize = 264;
};

// One device (144 bytes).
struct NetDUNDevice {
  char DeviceType[16] = {};
  char DeviceName[128] = {};
};

// The state and error of a dial-up object's last failure (208 bytes).
struct NetDUNLastError {
  char LastStateStr[100] = {};
  char LastErrorStr[100] = {};
  std::uint32_t LastState = 0;
  std::uint32_t LastError = 0;
};
#pragma pack(pop)

static_assert(sizeof(NetDUNConnection) == 681);
static_assert(offsetof(NetDUNConnection, State) == 456 && offsetof(NetDUNConnection, IP) == 464);
static_assert(offsetof(NetDUNConnection, Handle) == 672 && offsetof(NetDUNConnection, WireletOnlyData) == 680);
static_assert(offsetof(NetDUNEntry, CountryCode) == 384 && offsetof(NetDUNEntry, LocalPhoneNumber) == 398);
static_assert(offsetof(NetDUNEntry, Password) == 782 && offsetof(NetDUNEntry, EntryNameSize) == 1053);
static_assert(sizeof(NetDUNDevice) == 144);
static_assert(sizeof(NetDUNLastError) == 208);

// The text of a connection state ("" for 0, "Unknown State [n]" for numbers without one).
std::string DUNStateText(std::uint32_t state);
// The text of a dial-up error ("" for 0, "Unknown DUN Error [n]" for numbers without one).
std::string DUNErrorText(std::uint32_t error);

long NetDUNObjectManager(long action, long thread, long event);
long NetDUNDialDUN(long thread, long event, std::string_view entry, std::string_view phone, std::string_view user,
                   std::string_view password, std::string_view domain, std::uint32_t& handle);
long NetDUNHangUp(std::uint32_t handle);
long NetDUNGetConnections(std::vector<NetDUNConnection>& list);
long NetDUNGetConnectionsStatus(std::vector<NetDUNConnection>& list);
long NetDUNGetDUNs(std::vector<NetDUNEntry>& list);
long NetDUNGetDevices(std::vector<NetDUNDevice>& list);
// Clears `record`; no dial-up object can have failed here.
void NetDUNGetLastError(long thread, long event, NetDUNLastError& record);
long NetDUNAddDUN();
long NetDUNChangeDUN(std::string_view entry);
long NetDUNRenameDUN(std::string_view oldName, std::string_view newName);
long NetDUNDeleteDUN(std::string_view entry);

}  // namespace ov::net
