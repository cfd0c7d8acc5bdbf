// The four tables the import/export program moves, with the fields it offers for each, in list
// order, and each field's default export picture.
#pragma once

#include <span>
#include <string_view>

#include "platform/files/file.h"
#include "platform/rt/record.h"

namespace ov::impex {

struct ImpexField {
  const char* name;     // as the header line holds it: "TDO:Priority"
  const char* picture;  // default export picture
  const rt::FieldDesc* desc = nullptr;  // the bound record field
};

struct ImpexTable {
  const char* word;         // command-line word: "TODO"
  const char* label;        // "Todo", in messages
  db::File* file;
  db::Key readKey;          // export order
  db::Key idKey;            // numbering of new records (invalid: plain ADD)
  const rt::FieldDesc* idField = nullptr;
  std::span<const ImpexField> fields;
  bool looseNames = false;  // automatic assignment ignores case and the "SCH:" prefix
  void* buffer() const { return file->buffer(); }
  const ImpexField* field(std::string_view name) const;
};

// The tables by command-line word ("TODO", "SCHEDULE", "CONTACT" or "CONTACTS", "HOLIDAYS"),
// compared as whole words, trailing blanks ignored; nullptr for any other word.
const ImpexTable* findImpexTable(std::string_view word);
std::span<const ImpexTable* const> impexTables();

}  // namespace ov::impex
