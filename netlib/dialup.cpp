// Dial-up networking: the connection-state and error texts, and the exports, which answer that
// dial-up is not available (Linux has no Remote Access Service to drive).

#include "netlib/net_dialup.h"

#include <mutex>

#include "netlib/detail/library.h"
#include "netlib/detail/log.h"

namespace ov::net {
namespace {

struct StateText {
  std::uint32_t state;
  const char* text;
};
constexpr StateText kStates[] = {
    {1, "Port Opened"},
    {2, "Connecting to Device"},
    {3, "Device Connected"},
    {4, "All Devices Connected"},
    {5, "Authenticating"},
    {6, "Auth Notify"},
    {7, "Auth Retry"},
    {8, "Auth Callback"},
    {9, "Auth ChangePassword"},
    {10, "Auth Project"},
    {11, "Auth LinkSpeed"},
    {12, "Auth Ack"},
    {13, "ReAuthenticating"},
    {14, "Authenticated"},
    {15, "Prepare For Callback"},
    {16, "Wait For Modem Reset"},
    {17, "Wait For Callback"},
    {18, "Projected"},
    {19, "Start Authentication"},
    {20, "Call back Complete"},
    {21, "Log onto Network"},
    {22, "Sub Entry Connected"},
    {23, "Sub Entry Disconnected"},
    {4096, "Interactive"},
    {4097, "Retry Authentication"},
    {4098, "Callback Set By Caller"},
    {4099, "Password Expired"},
    {8192, "Connected"},
    {8193, "Disconnecting"},
};

// Errors 600 to 753, in order.
constexpr const char* kErrors[] = {
    "An operation is pending",  // 600
    "The port handle is invalid",  // 601
    "The port is already open",  // 602
    "Caller's buffer is too small",  // 603
    "Wrong information specified",  // 604
    "Cannot set port information",  // 605
    "The port is not connected",  // 606
    "The event is invalid",  // 607
    "The device does not exist",  // 608
    "The device type does not exist",  // 609
    "The buffer is invalid",  // 610
    "The route is not available",  // 611
    "The route is not allocated",  // 612
    "Invalid compression specified",  // 613
    "Out of buffers",  // 614
    "The port was not found",  // 615
    "An asynchronous request is pending",  // 616
    "The port or device is already disconnecting",  // 617
    "The port is not open",  // 618
    "The port is disconnected",  // 619
    "There are no endpoints",  // 620
    "Cannot open the phone book file",  // 621
    "Cannot load the phone book file",  // 622
    "Cannot find the phone book entry",  // 623
    "Cannot write the phone book file",  // 624
    "Invalid information found in the phone book file",  // 625
    "Cannot load a string",  // 626
    "Cannot find key",  // 627
    "The port was disconnected",  // 628
    "The data link was terminated by the remote machine",  // 629
    "The port was disconnected due to hardware failure",  // 630
    "The port was disconnected by the user",  // 631
    "The structure size is incorrect",  // 632
    "The port is already in use or is not configured for Remote Access dial out",  // 633
    "Cannot register your computer on on the remote network",  // 634
    "Unknown error",  // 635
    "The wrong device is attached to the port",  // 636
    "The string could not be converted",  // 637
    "The request has timed out",  // 638
    "No asynchronous net available",  // 639
    "A NetBIOS error has occurred",  // 640
    "The server cannot allocate NetBIOS resources needed to support the client",  // 641
    "One of your NetBIOS names is already registered on the remote network",  // 642
    "A network adapter at the server failed",  // 643
    "You will not receive network message popups",  // 644
    "Internal authentication error",  // 645
    "The account is not permitted to logon at this time of day",  // 646
    "The account is disabled",  // 647
    "The password has expired",  // 648
    "The account does not have Remote Access permission",  // 649
    "The Remote Access server is not responding",  // 650
    "Your modem (or other connecting device) has reported an error",  // 651
    "Unrecognized response from the device",  // 652
    "A macro required by the device was not found in the device .INF file section",  // 653
    "A command or response in the device .INF file section refers to an undefined macro",  // 654
    "The <message> macro was not found in the device .INF file secion",  // 655
    "The <defaultoff> macro in the device .INF file section contains an undefined macro",  // 656
    "The device .INF file could not be opened",  // 657
    "The device name in the device .INF or media .INI file is too long",  // 658
    "The media .INI file refers to an unknown device name",  // 659
    "The device .INF file contains no responses for the command",  // 660
    "The device .INF file is missing a command",  // 661
    "Attempted to set a macro not listed in device .INF file section",  // 662
    "The media .INI file refers to an unknown device type",  // 663
    "Cannot allocate memory",  // 664
    "The port is not configured for Remote Access",  // 665
    "Your modem (or other connecting device) is not functioning",  // 666
    "Cannot read the media .INI file",  // 667
    "The connection dropped",  // 668
    "The usage parameter in the media .INI file is invalid",  // 669
    "Cannot read the section name from the media .INI file",  // 670
    "Cannot read the device type from the media .INI file",  // 671
    "Cannot read the device name from the media .INI file",  // 672
    "Cannot read the usage from the media .INI file",  // 673
    "Cannot read the maximum connection BPS rate from the media .INI file",  // 674
    "Cannot read the maximum carrier BPS rate from the media .INI file",  // 675
    "The line is busy",  // 676
    "A person answered instead of a modem",  // 677
    "There is no answer",  // 678
    "Cannot detect carrier",  // 679
    "There is no dial tone",  // 680
    "General error reported by device",  // 681
    "ERROR_WRITING_SECTIONNAME",  // 682
    "ERROR_WRITING_DEVICETYPE",  // 683
    "ERROR_WRITING_DEVICENAME",  // 684
    "ERROR_WRITING_MAXCONNECTBPS",  // 685
    "ERROR_WRITING_MAXCARRIERBPS",  // 686
    "ERROR_WRITING_USAGE",  // 687
    "ERROR_WRITING_DEFAULTOFF",  // 688
    "ERROR_READING_DEFAULTOFF",  // 689
    "ERROR_EMPTY_INI_FILE",  // 690
    "Access denied because username and/or password is invalid on the domain",  // 691
    "Hardware failure in port or attached device",  // 692
    "ERROR_NOT_BINARY_MACRO",  // 693
    "ERROR_DCB_NOT_FOUND",  // 694
    "ERROR_STATE_MACHINES_NOT_STARTED",  // 695
    "ERROR_STATE_MACHINES_ALREADY_STARTED",  // 696
    "ERROR_PARTIAL_RESPONSE_LOOPING",  // 697
    "A response keyname in the device .INF file is not in the expected format",  // 698
    "The device response caused buffer overflow",  // 699
    "The expanded command in the device .INF file is too long",  // 700
    "The device moved to a BPS rate not supported by the COM driver",  // 701
    "Device response received when none expected",  // 702
    "The Application does not allow user interaction. The connection requires interaction with the user to complete successfully. ",  // 703
    "ERROR_BAD_CALLBACK_NUMBER",  // 704
    "ERROR_INVALID_AUTH_STATE",  // 705
    "ERROR_WRITING_INITBPS",  // 706
    "X.25 diagnostic indication",  // 707
    "The account has expired",  // 708
    "Error changing password on domain.  The password may be too short or may match a previously used password",  // 709
    "Serial overrun errors were detected while communicating with your modem",  // 710
    "DUNMan initialization failure.  Check the event log",  // 711
    "Biplex port initializing.  Wait a few seconds and redial",  // 712
    "No active ISDN lines are available",  // 713
    "No ISDN channels are available to make the call",  // 714
    "Too many errors occurred because of poor phone line quality",  // 715
    "The Remote Access IP configuration is unusable",  // 716
    "No IP addresses are available in the static pool of Remote Access IP addresses",  // 717
    "Timed out waiting for a valid response from the remote PPP peer",  // 718
    "PPP terminated by remote machine",  // 719
    "No PPP control protocols configured",  // 720
    "Remote PPP peer is not responding",  // 721
    "The PPP packet is invalid",  // 722
    "The phone number including prefix and suffix is too long",  // 723
    "The IPX protocol cannot dial-out on the port because the machine is an IPX router",  // 724
    "The IPX protocol cannot dial-in on the port because the IPX router is not installed",  // 725
    "The IPX protocol cannot be used for dial-out on more than one port at a time",  // 726
    "Cannot access TCPCFG.DLL",  // 727
    "Cannot find an IP adapter bound to Remote Access",  // 728
    "SLIP cannot be used unless the IP protocol is installed",  // 729
    "Computer registration is not complete",  // 730
    "The protocol is not configured",  // 731
    "The PPP negotiation is not converging",  // 732
    "The PPP control protocol for this network protocol is not available on the server",  // 733
    "The PPP link control protocol terminated",  // 734
    "The requested address was rejected by the server",  // 735
    "The remote computer terminated the control protocol",  // 736
    "Loopback detected",  // 737
    "The server did not assign an address",  // 738
    "The authentication protocol required by the remote server cannot use the Windows NT encrypted password.  Redial, entering the password explicitly",  // 739
    "Invalid TAPI configuration",  // 740
    "The local computer does not support the required encryption type",  // 741
    "The remote computer does not support the required encryption type",  // 742
    "The remote computer requires encryption",  // 743
    "Cannot use the IPX network number assigned by remote server.  Check the event log",  // 744
    "ERROR_INVALID_SMM",  // 745
    "ERROR_SMM_UNINITIALIZED",  // 746
    "ERROR_NO_MAC_FOR_PORT",  // 747
    "ERROR_SMM_TIMEOUT",  // 748
    "ERROR_BAD_PHONE_NUMBER",  // 749
    "ERROR_WRONG_MODULE",  // 750
    "Invalid callback number.  Only the characters 0 to 9, T, P, W, (, ), -, @, and space are allowed in the number",  // 751
    "A syntax error was encountered while processing a script",  // 752
    "The connection could not be disconnected because it was created by the Multi-Protocol Router",  // 753
};
static_assert(sizeof kErrors / sizeof kErrors[0] == 754 - 600);

bool g_loadTried = false;

// The dial-up functions never load here; the first attempt is logged, later ones are not tried.
bool loadDialUp(const char* proc) {
  std::lock_guard lock(detail::libraryLock());
  if (!g_loadTried) {
    g_loadTried = true;
    detail::logLine(proc, "Error. Could not load Windows Dial-Up Function. You may to install them on this PC",
                    detail::kLevelError);
  }
  return false;
}

}  // namespace

std::string DUNStateText(std::uint32_t state) {
  if (state == 0) return {};
  for (const StateText& s : kStates)
    if (s.state == state) return s.text;
  return "Unknown State [" + std::to_string(state) + "]";
}

std::string DUNErrorText(std::uint32_t error) {
  if (error == 0) return {};
  if (error == 123) return "Invalid Entry Name";
  if (error >= 600 && error <= 753) return kErrors[error - 600];
  return "Unknown DUN Error [" + std::to_string(error) + "]";
}

long NetDUNObjectManager(long action, long thread, long event) {
  (void)action, (void)thread, (void)event;
  detail::ensureLoaded();
  return loadDialUp("NetDUNObjectManager") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNDialDUN(long thread, long event, std::string_view entry, std::string_view phone, std::string_view user,
                   std::string_view password, std::string_view domain, std::uint32_t& handle) {
  (void)thread, (void)event, (void)entry, (void)phone, (void)user, (void)password, (void)domain;
  detail::ensureLoaded();
  handle = 0;
  return loadDialUp("NetDUNDialRAS") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNHangUp(std::uint32_t handle) {
  (void)handle;
  detail::ensureLoaded();
  return loadDialUp("NetDUNHangUp") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNGetConnections(std::vector<NetDUNConnection>& list) {
  detail::ensureLoaded();
  list.clear();
  return loadDialUp("NetDUNGetConnections") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNGetConnectionsStatus(std::vector<NetDUNConnection>& list) {
  (void)list;
  detail::ensureLoaded();
  return loadDialUp("NetDUNGetConnectionsStatus") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNGetDUNs(std::vector<NetDUNEntry>& list) {
  detail::ensureLoaded();
  list.clear();
  return loadDialUp("NetDUNGetDUNs") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNGetDevices(std::vector<NetDUNDevice>& list) {
  detail::ensureLoaded();
  list.clear();
  return loadDialUp("NetDUNGetDevices") ? 0 : kNetDialUpNotAvailable;
}

void NetDUNGetLastError(long thread, long event, NetDUNLastError& record) {
  (void)thread, (void)event;  // no dial-up object can exist here
  record = NetDUNLastError{};
}

long NetDUNAddDUN() {
  detail::ensureLoaded();
  return loadDialUp("NetDUNAddDUN") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNChangeDUN(std::string_view entry) {
  (void)entry;
  detail::ensureLoaded();
  return loadDialUp("NetDUNChangeDUN") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNRenameDUN(std::string_view oldName, std::string_view newName) {
  (void)oldName, (void)newName;
  detail::ensureLoaded();
  return loadDialUp("NetDUNRenameDUN") ? 0 : kNetDialUpNotAvailable;
}

long NetDUNDeleteDUN(std::string_view entry) {
  (void)entry;
  detail::ensureLoaded();
  return loadDialUp("NetDUNDeleteDUN") ? 0 : kNetDialUpNotAvailable;
}

namespace detail {
void dialUpStartUp() { g_loadTried = false; }
}  // namespace detail

}  // namespace ov::net
