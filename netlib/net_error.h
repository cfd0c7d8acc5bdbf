// Result codes of the network library and their texts.
//
// Every export answers 0 for success, a negative code from -1 to -56 for one of the library's
// own conditions, or a positive Windows Sockets error number (errno values are mapped onto those
// numbers, so ECONNREFUSED comes back as 10061). NetErrorStr gives the text for any code.
#pragma once

#include <string>

namespace ov::net {

// The codes the library itself raises (texts in NetErrorStr).
constexpr int kNetBadStructureSize = -4;
constexpr int kNetStartSequenceFailed = -5;
constexpr int kNetWaitTimeout = -6;
constexpr int kNetNotAllDataSent = -10;
constexpr int kNetNoRequest = -13;
constexpr int kNetServiceNotSupported = -17;
constexpr int kNetAddressNotFound = -20;
constexpr int kNetBadParameters = -22;
constexpr int kNetSocketDead = -24;
constexpr int kNetTooManySendingSockets = -29;
constexpr int kNetQueueError = -30;
constexpr int kNetCouldNotLoad = -31;
constexpr int kNetHostOrSocketNotGiven = -33;
constexpr int kNetClientNotFound = -34;
constexpr int kNetFileError = -35;
constexpr int kNetNotOpen = -36;
constexpr int kNetCouldNotSend = -40;
constexpr int kNetBadStringSize = -42;
constexpr int kNetCallBackWindowClosed = -48;
constexpr int kNetNoNewThread = -49;
constexpr int kNetCouldNotLoadProcedures = -50;
constexpr int kNetTimeout = -53;
constexpr int kNetPingUnsuccessful = -54;
constexpr int kNetConnectionAlreadyOpen = -55;
constexpr int kNetNotInitiated = -56;

// Windows Sockets numbers the library reports most.
constexpr int kWsaWouldBlock = 10035;
constexpr int kWsaNotSocket = 10038;
constexpr int kWsaConnReset = 10054;
constexpr int kWsaTimedOut = 10060;
constexpr int kWsaConnRefused = 10061;
constexpr int kWsaHostNotFound = 11001;

// The text for a code, at most 255 characters: the library's own text for -1..-56, the Windows
// Sockets text for the numbers it knows, else "General Winsock Error (unknown by NetErrorStr) [n]".
// For a code that is not the library's own, the line "Error (n) = text" is logged at error level.
std::string NetErrorStr(long code);

}  // namespace ov::net
