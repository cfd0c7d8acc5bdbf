#include "err.h"

namespace ov::rt {
namespace {

struct LastError {
  Err code = Err::None;
  std::string file;
  std::string detail;
};

// Set when the thread's last error is destroyed. A thread's thread_local objects are destroyed
// before the objects of static storage (and, within the thread, in reverse order of their
// making), so a file manager of static storage that closes its file at the process's end
// reports through a last error that is gone: from then on errors are dropped and read as none.
// A bool has nothing to destroy, so it can be read at any time.
thread_local bool t_gone = false;

struct ThreadError {
  LastError last;
  ~ThreadError() { t_gone = true; }
};
thread_local ThreadError t_error;

}  // namespace

std::string_view errorText(Err err) {
  switch (err) {
    case Err::None: return "No error";
    case Err::NoFile: return "File Not Found";
    case Err::NoPath: return "Path Not Found";
    case Err::TooManyFiles: return "Too Many Open Files";
    case Err::NoAccess: return "Access Denied";
    case Err::NoMemory: return "Insufficient Memory";
    case Err::EntryNotFound: return "Entry Not Found";
    case Err::IsLocked: return "File Is Already Locked";
    case Err::NotAvailable: return "Record Not Available";
    case Err::NotFound: return "Record Not Found";
    case Err::BadName: return "Invalid Filename";
    case Err::NotOpen: return "File Not Open";
    case Err::DupKey: return "Creates Duplicate Key";
    case Err::IsHeld: return "Record Is Already Held";
    case Err::RebuildKey: return "Key Must Be Rebuilt";
    case Err::BadRecordDecl: return "Invalid Record Declaration";
    case Err::TxnFailed: return "Unable To Log Transaction";
    case Err::AlreadyOpen: return "File Already Open";
    case Err::LogoutActive: return "LOGOUT Already Active";
    case Err::BadParameters: return "Invalid Number Of Parameters";
    case Err::NotSupported: return "Function Not Supported";
    case Err::Changed: return "Record Changed By Another Station";
    case Err::FileSystem: return "File System Error";
    case Err::NoLogout: return "No Logout Active";
    case Err::BadExpression: return "Bad Expression Syntax";
    case Err::UnknownName: return "Unknown Variable Or Function";
    case Err::BadFunctionCall: return "Mismatched Function Arguments";
  }
  return "Unknown Error";
}

void setError(Err err, std::string_view file, std::string_view detail) {
  if (t_gone) return;
  LastError& e = t_error.last;
  e.code = err;
  e.file.assign(file);
  e.detail.assign(detail);
}

void clearError() {
  if (!t_gone) t_error.last = LastError{};
}
int ERRORCODE() { return t_gone ? 0 : static_cast<int>(t_error.last.code); }
std::string ERROR() {
  return t_gone || t_error.last.code == Err::None ? std::string() : std::string(errorText(t_error.last.code));
}
std::string ERRORFILE() { return t_gone ? std::string() : t_error.last.file; }
std::string FILEERROR() { return t_gone ? std::string() : t_error.last.detail; }

}  // namespace ov::rt
