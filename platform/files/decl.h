// Declarations of data files: what a program states once about each file it uses.
//
// A file is declared by a FileDecl: its label, its storage ("RO97.ZEZ\!Contact": the table
// `Contact` of the storage file RO97.ZEZ; a name without "\!" is a storage file of its own that
// holds one table named after the label), its driver, its record buffer with the buffer's
// descriptor, its keys, its memos and BLOBs (held beside the record), its owner password, the
// label under which errors about it are reported and the name and version of its layout.
//
// The declaration is plain data and is copied into the File that it declares (file.h), so it
// may be built in place:
//
//   ov::db::File SCHEDULE{{
//       .label = "SCHEDULE", .prefix = "SCH", .name = "RO97.ZEZ\\!s",
//       .record = &SCH_TYPE, .buffer = &SCH, .bufferSize = sizeof SCH,
//       .owner = [] { return GLO.MASTERFILEOWNER.str(); },
//       .keys = {{.name = "SCH:KeyID", .description = "By System ID", .parts = {{"SCH:ID"}},
//                 .unique = true, .primary = true, .autoNumber = ov::db::AutoNumber::Whole}},
//       .errorLabel = "Schedule [Schedule]", .upgradeName = "Schedule", .version = 17}};
//   ov::db::Key SCH_KeyID = SCHEDULE.key("SCH:KeyID");
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rt/record.h"

namespace ov::db {

enum class Driver : uint8_t {
  Tps,    // a table of an (optionally encrypted) multi-table storage file
  Ascii,  // text lines, one record per line, read into the record as fixed text
  Basic,  // comma-delimited text, one field per value
  Dos,    // fixed-length binary records in the declared layout
};

// How an auto-numbered key numbers a new record.
enum class AutoNumber : uint8_t {
  None,
  Whole,  // the single component: one above the highest in the file
  Last,   // the last component: one above the highest among records equal in the leading ones
};

// What happens to the children of a relation when the parent's link changes or it is deleted.
enum class Rule : uint8_t { None, Clear, Restrict, Cascade };

// The runtime's open modes: access in the low nibble, sharing in the high nibble.
constexpr int kReadOnly = 0x00;
constexpr int kWriteOnly = 0x01;
constexpr int kReadWrite = 0x02;
constexpr int kDenyAll = 0x10;
constexpr int kDenyWrite = 0x20;
constexpr int kDenyRead = 0x30;
constexpr int kDenyNone = 0x40;
constexpr int kSharedReadWrite = kReadWrite | kDenyNone;  // 42h, how every data file is opened

struct KeyPart {
  const char* field;        // the component's field, as the record descriptor names it
  bool descending = false;
};

struct KeyDecl {
  const char* name;         // "SCH:KeyID"
  const char* description;  // shown by browses as the name of a sort order
  std::vector<KeyPart> parts;
  bool unique = false;
  bool primary = false;
  bool caseSensitive = false;  // text components compare with case ignored unless set
  AutoNumber autoNumber = AutoNumber::None;
};

// A memo (text) or BLOB (bytes) field, stored beside the record in a value of its own.
struct MemoDecl {
  const char* name;          // "C_:Notes"
  uint32_t size;             // the most bytes it holds; longer values are cut
  std::string* value;        // the buffer beside the record buffer
  bool isBlob = false;
};

struct FileDecl {
  const char* label;         // "SCHEDULE": the file's name in code and in the storage's catalogue
  const char* prefix;        // "SCH"
  const char* name;          // the storage name when `nameFrom` is empty
  // The storage name read at each open (a file named by a global); overrides `name`.
  std::function<std::string()> nameFrom;
  Driver driver = Driver::Tps;
  const rt::RecordDesc* record = nullptr;
  void* buffer = nullptr;    // the record buffer the descriptor describes
  size_t bufferSize = 0;     // sizeof the buffer
  // The owner password read at each open; empty or returning "" stores the file unencrypted.
  std::function<std::string()> owner;
  std::vector<KeyDecl> keys;
  std::vector<MemoDecl> memos;
  const char* errorLabel = "";
  const char* upgradeName = nullptr;  // null: no layout version is kept
  int version = 0;
  bool create = true;        // created empty by the file manager when missing
  // Earlier storage names of the table ("RO97.ZEZ\!Clipboard"); a missing table found under one
  // of them is moved to its current name on open.
  std::vector<const char*> earlierNames;
};

}  // namespace ov::db
