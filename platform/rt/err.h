// The runtime's error codes: the error model of every library here.
//
// A function that can fail returns an Err; the most recent one of the calling thread is
// also kept for ERRORCODE() / ERROR() / ERRORFILE(), as the runtime does.
#pragma once

#include <string>
#include <string_view>

namespace ov::rt {

enum class Err : int {
  None = 0,
  NoFile = 2,              // File Not Found
  NoPath = 3,              // Path Not Found
  TooManyFiles = 4,        // Too Many Open Files
  NoAccess = 5,            // Access Denied
  NoMemory = 8,            // Insufficient Memory
  EntryNotFound = 30,      // Entry Not Found (queue GET, PUT or DELETE found no entry)
  IsLocked = 32,           // File Is Already Locked
  NotAvailable = 33,       // Record Not Available (end of file, no current record)
  NotFound = 35,           // Record Not Found (GET by key or position found nothing)
  BadName = 36,            // Invalid Filename
  NotOpen = 37,            // File Not Open
  DupKey = 40,             // Creates Duplicate Key
  IsHeld = 43,             // Record Is Already Held
  RebuildKey = 46,         // Key Must Be Rebuilt
  BadRecordDecl = 47,      // Invalid Record Declaration
  TxnFailed = 48,          // Unable To Log Transaction
  AlreadyOpen = 52,        // File Already Open
  LogoutActive = 56,       // LOGOUT Already Active
  BadParameters = 78,      // Invalid Number Of Parameters
  NotSupported = 80,       // Function Not Supported
  Changed = 89,            // Record Changed By Another Station
  FileSystem = 90,         // File System Error (FILEERROR() holds the detail)
  NoLogout = 91,           // No Logout Active
  BadExpression = 800,     // EVALUATE: Bad Expression Syntax
  UnknownName = 801,       // EVALUATE: Unknown Variable Or Function
  BadFunctionCall = 802,   // EVALUATE: Mismatched Function Arguments
};

// The runtime's text for a code ("File Not Found", "Creates Duplicate Key", ...).
std::string_view errorText(Err err);

// Thread-local last error, as ERRORCODE()/ERROR()/ERRORFILE() read it.
// `detail` is the driver's own text (FILEERROR()), e.g. SQLCipher's message for code 90.
void setError(Err err, std::string_view file = {}, std::string_view detail = {});
void clearError();
int ERRORCODE();
std::string ERROR();
std::string ERRORFILE();
std::string FILEERROR();

}  // namespace ov::rt
