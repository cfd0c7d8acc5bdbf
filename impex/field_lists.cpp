#include "impex/field_lists.h"

#include <cassert>
#include <vector>

#include "datalib/files.h"
#include "platform/rt/fixed_string.h"

namespace ov::impex {
namespace {

using files::Desc_CONTACT;
using files::Desc_HOLIDAYS;
using files::Desc_SCHEDULE;
using files::Desc_TODO;

ImpexField kTodo[] = {
    {"TDO:Notes", "@s255"},      {"TDO:Resolution", "@s255"}, {"TDO:Done", "@n1"},
    {"TDO:Priority", "@n2"},     {"TDO:Category", "@s20"},    {"TDO:ToDo", "@s80"},
    {"TDO:CompletionDate", "@d17b"}, {"TDO:CompletionTime", "@t7b"},
};

ImpexField kContact[] = {
    {"C_:Notes", "@s255"},        {"C_:LastName", "@s40"},     {"C_:FirstName", "@s20"},
    {"C_:Company", "@s40"},       {"C_:AddressLine1", "@s40"}, {"C_:AddressLine2", "@s40"},
    {"C_:AddressLine3", "@s40"},  {"C_:PostalCode", "@s10"},   {"C_:WorkDayPhone", "@s20"},
    {"C_:HomeEveningPhone", "@s20"}, {"C_:OtherPhone", "@s20"}, {"C_:Fax", "@s20"},
    {"C_:ContactCategory", "@s20"}, {"C_:Email", "@s80"},      {"C_:WebSite", "@s90"},
    {"C_:DefaultContact", "@s8"},
};

ImpexField kHolidays[] = {
    {"HOL:HolidayDate", "@d3"}, {"HOL:Holiday", "@s30"}, {"HOL:HolidayType", "@s12"},
};

ImpexField kSchedule[] = {
    {"SCH:TaskType", "@s20"},     {"SCH:Category", "@s20"},    {"SCH:Description", "@s40"},
    {"SCH:Command", "@s255"},     {"SCH:Path", "@s255"},       {"SCH:Message", "@s255"},
    {"SCH:ScheduleType", "@s15"}, {"SCH:Sunday", "@n3"},       {"SCH:Monday", "@n3"},
    {"SCH:Tuesday", "@n3"},       {"SCH:Wednesday", "@n3"},    {"SCH:Thursday", "@n3"},
    {"SCH:Friday", "@n3"},        {"SCH:Saturday", "@n3"},     {"SCH:MonthRepeat", "@s18"},
    {"SCH:Offset", "@n-2b"},      {"SCH:Every", "@n6"},        {"SCH:Every1st", "@n3"},
    {"SCH:Every2nd", "@n3"},      {"SCH:Every3rd", "@n3"},     {"SCH:Every4th", "@n3"},
    {"SCH:EveryLast", "@n3"},     {"SCH:LastDayofMonth", "@n3"}, {"SCH:EveryType", "@s20"},
    {"SCH:Date", "@d17b"},        {"SCH:Time", "@t7b"},        {"SCH:LastRunDate", "@d17b"},
    {"SCH:LastRunTime", "@t7b"},  {"SCH:SkipNextTime", "@n3"}, {"SCH:Alarm", "@n3"},
    {"SCH:AlarmFile", "@s254"},   {"SCH:AdvanceWarnDate", "@d17b"}, {"SCH:AdvanceWarnTime", "@t7b"},
    {"SCH:AdvanceWarned", "@n3"}, {"SCH:Warn", "@n3"},         {"SCH:SkipIfMissed", "@n3"},
    {"SCH:SkipIfScriptActive", "@n3"}, {"SCH:NoHistory", "@n3"}, {"SCH:UserSkip", "@n3"},
    {"SCH:Disabled", "@n3"},      {"SCH:Completed", "@n3"},    {"SCH:Skipped", "@n3"},
    {"SCH:ExpiryDate", "@d17"},   {"SCH:ExpiryTime", "@t7b"},  {"SCH:ShiftType", "@s20"},
    {"SCH:ExceptWeekends", "@n3"}, {"SCH:ExceptWeekdays", "@n3"}, {"SCH:ExceptHolidays", "@n3"},
    {"SCH:ExceptTime", "@n3"},    {"SCH:ExceptTimeBegin", "@t3"}, {"SCH:ExceptTimeEnd", "@t3"},
    {"SCH:Email", "@s60"},
};
static_assert(std::size(kTodo) == 8 && std::size(kContact) == 16 && std::size(kHolidays) == 3 &&
              std::size(kSchedule) == 52);

// Binds each listed name to its record field once; a name the record lacks is our own fault.
std::span<const ImpexField> bind(std::span<ImpexField> list, const rt::RecordDesc& desc) {
  for (ImpexField& f : list) {
    f.desc = desc.find(f.name);
    assert(f.desc != nullptr);
  }
  return list;
}

struct Tables {
  ImpexTable todo, schedule, contact, holidays;
  const ImpexTable* all[4];
  Tables()
      : todo{"TODO", "Todo", &files::TODO, files::TDO_KeyCategory, {}, nullptr, bind(kTodo, Desc_TODO)},
        schedule{"SCHEDULE", "Schedule", &files::SCHEDULE, files::SCH_KeyCategoryDate, files::SCH_KeyID,
                 Desc_SCHEDULE.find("SCH:ID"), bind(kSchedule, Desc_SCHEDULE), true},
        contact{"CONTACT", "Contact", &files::CONTACT, files::C_KeyClientID, files::C_KeyClientID,
                Desc_CONTACT.find("C_:ClientID"), bind(kContact, Desc_CONTACT)},
        holidays{"HOLIDAYS", "Holidays", &files::HOLIDAYS, files::HOL_KeyHolidayDate, {}, nullptr,
                 bind(kHolidays, Desc_HOLIDAYS)},
        all{&todo, &schedule, &contact, &holidays} {}
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

const ImpexField* ImpexTable::field(std::string_view name) const {
  for (const ImpexField& f : fields)
    if (name == f.name) return &f;
  return nullptr;
}

std::span<const ImpexTable* const> impexTables() { return tables().all; }

const ImpexTable* findImpexTable(std::string_view word) {
  word = rt::clipView(word);
  const Tables& t = tables();
  if (word == "TODO") return &t.todo;
  if (word == "SCHEDULE") return &t.schedule;
  if (word == "CONTACT" || word == "CONTACTS") return &t.contact;
  if (word == "HOLIDAYS") return &t.holidays;
  return nullptr;
}

}  // namespace ov::impex
