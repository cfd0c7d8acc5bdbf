// Small records and a temporary data folder shared by the table tests.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/record.h"

namespace ov::db::testing {

// A folder of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov_db_XXXXXX").string();
    m_path = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// A person: an id, a name, a city, a flag and a date.
struct Person {
  int32_t id = 0;
  rt::String<20> name;
  rt::String<12> city;
  uint8_t flag = 0;
  int32_t date = 0;
};

inline const rt::FieldDesc kPersonFields[] = {
    {"PER:ID", rt::FieldType::Long, 4, 0, offsetof(Person, id)},
    {"PER:Name", rt::FieldType::String, 20, 4, offsetof(Person, name)},
    {"PER:City", rt::FieldType::String, 12, 24, offsetof(Person, city)},
    {"PER:Flag", rt::FieldType::Byte, 1, 36, offsetof(Person, flag)},
    {"PER:Date", rt::FieldType::Date, 4, 37, offsetof(Person, date)},
};
inline const rt::RecordDesc kPersonRecord{"PER", kPersonFields, 41};

// A person file named `name`, with its keys: by id (unique, whole auto-number), by name (case
// ignored), by city and name, and by flag, date and name.
inline FileDecl personDecl(Person& buffer, std::string name, std::string password = "secret-01",
                           const char* label = "PERSON") {
  FileDecl d;
  d.label = label;
  d.prefix = "PER";
  d.name = label;
  d.nameFrom = [name] { return name; };
  d.record = &kPersonRecord;
  d.buffer = &buffer;
  d.bufferSize = sizeof buffer;
  if (!password.empty()) d.owner = [password] { return password; };
  d.keys = {
      {.name = "PER:KeyID", .description = "By ID", .parts = {{"PER:ID"}}, .unique = true, .primary = true,
       .autoNumber = AutoNumber::Whole},
      {.name = "PER:KeyName", .description = "Name", .parts = {{"PER:Name"}}},
      {.name = "PER:KeyCity", .description = "City", .parts = {{"PER:City"}, {"PER:Name"}}},
      {.name = "PER:KeyFlagDate", .description = "Flag/Date", .parts = {{"PER:Flag"}, {"PER:Date"}, {"PER:Name"}}},
  };
  d.errorLabel = "People [Person]";
  d.upgradeName = "Person";
  d.version = 1;
  return d;
}

// A note with a memo and a BLOB held in the record buffer.
struct Note {
  int32_t id = 0;
  rt::String<10> title;
  std::string text;
  std::string data;
};

inline const rt::FieldDesc kNoteFields[] = {
    {"NOT:ID", rt::FieldType::Long, 4, 0, offsetof(Note, id)},
    {"NOT:Title", rt::FieldType::String, 10, 4, offsetof(Note, title)},
    {"NOT:Text", rt::FieldType::Memo, 12, 14, offsetof(Note, text)},
    {"NOT:Data", rt::FieldType::Blob, 8, 14, offsetof(Note, data)},
};
inline const rt::RecordDesc kNoteRecord{"NOT", kNoteFields, 14};

inline FileDecl noteDecl(Note& buffer, std::string name) {
  FileDecl d;
  d.label = "NOTES";
  d.prefix = "NOT";
  d.name = "NOTES";
  d.nameFrom = [name] { return name; };
  d.record = &kNoteRecord;
  d.buffer = &buffer;
  d.bufferSize = sizeof buffer;
  d.keys = {{.name = "NOT:KeyID", .description = "ID", .parts = {{"NOT:ID"}}, .unique = true, .primary = true}};
  d.errorLabel = "Notes";
  return d;
}

// A script step of a task: numbered 1, 2, 3... within its task.
struct Step {
  int32_t task = 0;
  int32_t seq = 0;
  rt::String<20> action;
};

inline const rt::FieldDesc kStepFields[] = {
    {"STP:Task", rt::FieldType::Long, 4, 0, offsetof(Step, task)},
    {"STP:Seq", rt::FieldType::Long, 4, 4, offsetof(Step, seq)},
    {"STP:Action", rt::FieldType::String, 20, 8, offsetof(Step, action)},
};
inline const rt::RecordDesc kStepRecord{"STP", kStepFields, 28};

inline FileDecl stepDecl(Step& buffer, std::string name, std::string password = "secret-01") {
  FileDecl d;
  d.label = "STEPS";
  d.prefix = "STP";
  d.name = "STEPS";
  d.nameFrom = [name] { return name; };
  d.record = &kStepRecord;
  d.buffer = &buffer;
  d.bufferSize = sizeof buffer;
  if (!password.empty()) d.owner = [password] { return password; };
  d.keys = {{.name = "STP:KeyID", .description = "Sequence", .parts = {{"STP:Task"}, {"STP:Seq"}}, .unique = true,
             .primary = true, .autoNumber = AutoNumber::Last},
            {.name = "STP:KeyAction", .description = "Action", .parts = {{"STP:Action"}}}};
  d.errorLabel = "Steps [Steps]";
  d.upgradeName = "Steps";
  d.version = 1;
  return d;
}

// A city: the parent of the people who live there.
struct City {
  rt::String<12> name;
  int32_t size = 0;
};

inline const rt::FieldDesc kCityFields[] = {
    {"CIT:Name", rt::FieldType::String, 12, 0, offsetof(City, name)},
    {"CIT:Size", rt::FieldType::Long, 4, 12, offsetof(City, size)},
};
inline const rt::RecordDesc kCityRecord{"CIT", kCityFields, 16};

inline FileDecl cityDecl(City& buffer, std::string name, std::string password = "secret-01") {
  FileDecl d;
  d.label = "CITIES";
  d.prefix = "CIT";
  d.name = "CITIES";
  d.nameFrom = [name] { return name; };
  d.record = &kCityRecord;
  d.buffer = &buffer;
  d.bufferSize = sizeof buffer;
  if (!password.empty()) d.owner = [password] { return password; };
  d.keys = {{.name = "CIT:KeyName", .description = "Name", .parts = {{"CIT:Name"}}, .unique = true, .primary = true}};
  d.errorLabel = "Cities [Cities]";
  d.version = 1;
  d.upgradeName = "Cities";
  return d;
}

inline void setPerson(Person& p, int id, const char* name, const char* city, int flag = 0, int date = 0) {
  p.id = id;
  p.name = name;
  p.city = city;
  p.flag = static_cast<uint8_t>(flag);
  p.date = date;
}

}  // namespace ov::db::testing
