// The FTP client library: one control connection per handle, driven by the calls below, over
// libcurl underneath.
//
// The shape is a classic low-level client: connect, log in, change folder, set the file type,
// ask a file's length, then either open a file and move its bytes with FtpRead/FtpWrite as the
// library signals that data can be read or written (FtpAsyncNotify), or move a whole file in one
// blocking call (FtpGetFile/FtpPutFile). Directory listings come entry by entry.
//
// Results: calls that can fail answer -1 (FtpSetFileType answers 0) and set the last error,
// FtpGetLastError(); an operation that succeeds clears it (FtpGetDirectory, FtpAsyncNotify and
// the listing iterators leave it as it is), and FtpRead/FtpWrite set kWouldBlock when nothing can
// move now. The last error is kept for the whole process (not per
// thread), so a blocking call may run on a worker thread and its caller read the error after it.
//
// Every wait on the server has a time-out (FtpSetTimeout, 30 s by default): the connection, each
// reply, a data connection that stalls, and a reader or writer of an open file that stops
// feeding or draining it. None of them can hang a caller.
//
// The password given to FtpLogin is never written anywhere by the library.
//
// Threading: a handle is used by one caller at a time, except FtpCancel and FtpIsBlocking, which
// may be called from any thread while a blocking call runs, and FtpCancelConnect, which may be
// called from any thread while FtpConnect runs on another. The notification callback runs on
// the library's own transfer thread; once FtpAsyncNotify(handle, nullptr) has returned it is
// never called again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ov::ftplib {

using Handle = int32_t;

// Notification events handed to the callback of FtpAsyncNotify.
constexpr int kNotifyRead = 1;   // data can be read (or the download has ended: FtpRead says how)
constexpr int kNotifyWrite = 2;  // data can be written (or the upload has failed: FtpWrite says so)
using Notify = std::function<void(int event)>;

// File types of FtpSetFileType.
constexpr int kTypeAscii = 0;  // text: line ends are converted by the server
constexpr int kTypeImage = 2;  // binary: the bytes as they are

// Modes of FtpOpenFile.
constexpr int kOpenRead = 0;
constexpr int kOpenWrite = 1;

// Error codes. 0 and kNoErrorNote count as success at the call sites.
namespace err {
constexpr int None = 0;
constexpr int NotInitialized = 25700;
constexpr int InvalidHandle = 25701;
constexpr int ConnectFailed = 25702;
constexpr int HostNotFound = 25703;
constexpr int Timeout = 25704;
constexpr int LoginDenied = 25705;
constexpr int NotLoggedIn = 25706;
constexpr int Busy = 25707;
constexpr int FolderNotFound = 25708;
constexpr int FileNotFound = 25709;
constexpr int AccessDenied = 25710;
constexpr int TransferFailed = 25711;
constexpr int Cancelled = 25712;
constexpr int LocalFile = 25713;
constexpr int BadArgument = 25714;
constexpr int NotOpen = 25715;
constexpr int WouldBlock = 25716;  // nothing can move now: wait for the next notification
constexpr int ServerError = 25717;
constexpr int NoErrorNote = 25732;  // never set by this library; callers treat it as no error
}  // namespace err

// One entry of a remote folder. Times are the server's, in local time.
struct DirEntry {
  std::string name;
  std::string owner, group;
  bool isDirectory = false;
  int64_t size = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Non-zero on success. Needed once before FtpConnect; FtpUninitialize ends every handle.
int FtpInitialize();
void FtpUninitialize();

// Opens a connection to `host` (a name or an address) at `port` and waits for the server's
// greeting, at most `timeoutSeconds`. The handle, or -1.
Handle FtpConnect(std::string_view host, uint32_t port, uint32_t timeoutSeconds);
// Logs on (account: ignored by most servers, may be empty). 0, or -1 (err::LoginDenied when the
// server refused the user or the password).
int FtpLogin(Handle h, std::string_view user, std::string_view password, std::string_view account);
// Logs off and closes the connection; the handle is gone after FtpDisconnect.
void FtpLogout(Handle h);
void FtpDisconnect(Handle h);

// The remote current folder, an absolute path ("/", "/pub/in").
int FtpGetDirectory(Handle h, std::string& folder);
// Changes the remote current folder (absolute, or relative to the current one; ".." goes up).
// -1 (err::FolderNotFound) when the server has no such folder; the current folder stays.
int FtpChangeDirectory(Handle h, std::string_view folder);
void FtpSetPassiveMode(Handle h, int on);  // active mode until switched on
void FtpSetTimeout(Handle h, uint32_t seconds);
// Non-zero on success; 0 for a type other than kTypeAscii and kTypeImage.
int FtpSetFileType(Handle h, int type);

// The length of a remote file (also stored in `bytes`); 0 for an empty file, -1 when it cannot
// be found.
int64_t FtpGetFileLength(Handle h, std::string_view remote, int64_t& bytes);

// Opens a remote file for reading (download) or writing (upload, creating or replacing it). Its
// bytes move with FtpRead/FtpWrite; FtpCloseFile ends it. One file at a time per handle.
int FtpOpenFile(Handle h, std::string_view remote, int mode);
// Up to `size` bytes of the open file; 0 once the whole file has arrived and the server has
// confirmed the transfer; -1 with err::WouldBlock when nothing has arrived yet, -1 with another
// code when the transfer failed.
int FtpRead(Handle h, char* buffer, int size);
// Hands up to `count` bytes on to the server: the number taken (a part when the library's buffer
// is nearly full), or -1 (err::WouldBlock when none could be taken now).
int FtpWrite(Handle h, const char* data, int count);
// Ends the open file. An upload is finished (all bytes written go out) and the server's
// confirmation awaited: 0, or -1 when the server did not take the file. A download not yet
// complete is aborted. 0 when no file is open.
int FtpCloseFile(Handle h);

// Stops what the handle is doing: a blocking call in progress or an open file. Non-zero when
// there was something to stop.
int FtpCancel(Handle h);
// True while a blocking call runs on the handle.
bool FtpIsBlocking(Handle h);
// Stops every FtpConnect of the process that is waiting for its server: each answers -1 with
// err::Cancelled at once. Non-zero when there was one to stop. (A connection has no handle
// before FtpConnect returns, so FtpCancel cannot reach it.)
int FtpCancelConnect();

// Whole files in one blocking call: -1 on failure, with the last error set. A download goes to
// a temporary file beside `local` and replaces `local` only once complete, so a failure keeps
// the old file.
int FtpGetFile(Handle h, std::string_view local, std::string_view remote, int flags);
int FtpPutFile(Handle h, std::string_view local, std::string_view remote, int flags);

// Remote folder entries: FtpOpenDirectory reads the listing of `folder` ("" or "." = current);
// FtpGetFirstFile/FtpGetNextFile answer non-zero while an entry was returned.
int FtpOpenDirectory(Handle h, std::string_view folder);
int FtpGetFirstFile(Handle h, DirEntry& entry);
int FtpGetNextFile(Handle h, DirEntry& entry);
void FtpCloseDirectory(Handle h);

// Remote file and folder commands (relative to the current folder, or absolute).
int FtpDeleteFile(Handle h, std::string_view remote);
int FtpMakeDirectory(Handle h, std::string_view folder);
int FtpRemoveDirectory(Handle h, std::string_view folder);

// Turns the notifications of an open file on (`notify` set) or off (empty).
int FtpAsyncNotify(Handle h, Notify notify);

int FtpGetLastError();
// The text of an error code; for the last error it carries the server's or the system's own
// words in brackets when there were any.
std::string FtpGetErrorString(int code);

// Parses one line of a folder listing (MLSD facts, a Unix "ls -l" line or a DOS "DIR" line) into
// `entry`; false for a line that is none of them (a "total" line, say).
bool parseListLine(std::string_view line, DirEntry& entry);

}  // namespace ov::ftplib
