// The record layouts of the data files and their record buffers.
//
// One struct per layout; files that share a layout share the struct (SCHEDULE, SYNCSCHEDULE and
// SCHEDULEWORKFILE use ScheduleRec). Members keep the declared widths and order; the structs are
// not packed, since only the stored form must keep the layout. Groups are not members: fields of a
// group follow one another and the group tables below name their span. Memo and BLOB fields are
// held beside the layout as std::string members (type Memo/Blob in the descriptor).
//
// Every file has one record buffer, a global named by its prefix (SCH, SCR, C_, ...), and one
// descriptor table (Desc_SCHEDULE, ...) that binds its fields by name ("SCH:Date"). The global
// holds the record of the logical thread that runs; each logical thread has a record of its own
// (doc/logical_threads.md).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/rt/fixed_string.h"
#include "platform/rt/record.h"

namespace ov::files {

using rt::CString;
using rt::String;

// SCHEDULE, SYNCSCHEDULE, SCHEDULEWORKFILE: one task (5289 bytes).
struct ScheduleRec {
  int32_t ID{};
  String<40> User;
  String<20> TaskType;
  String<20> Category;
  String<40> Description;
  String<255> Command;
  String<255> Path;
  String<4096> Message;
  String<15> ScheduleType;
  // DayOfWeekGroup: Sunday first
  uint8_t Sunday{}, Monday{}, Tuesday{}, Wednesday{}, Thursday{}, Friday{}, Saturday{};
  String<18> MonthRepeat;
  int32_t Offset{};
  int32_t Every{};
  // EveryOrdinal
  uint8_t Every1st{}, Every2nd{}, Every3rd{}, Every4th{}, EveryLast{};
  uint8_t LastDayOfMonth{};
  String<20> EveryType;
  // ScheduleDateAndTime
  int32_t Date{};
  int32_t Time{};
  int32_t LastRunDate{};
  int32_t LastRunTime{};
  uint8_t SkipNextTime{};
  // AlarmGroup
  uint8_t Alarm{};
  CString<255> AlarmFile;
  // AdvancedWarning
  int32_t AdvanceWarnDate{};
  int32_t AdvanceWarnTime{};
  uint8_t AdvanceWarned{};
  int32_t LastWarnDate{};
  int32_t LastWarnTime{};
  uint8_t AdvanceWarnRepeat{};
  uint8_t Warn{};
  uint8_t SkipIfMissed{};
  uint8_t SkipIfScriptActive{};
  uint8_t NoHistory{};
  uint8_t UserSkip{};
  uint8_t Disabled{};
  uint8_t Completed{};
  uint8_t Skipped{};
  // Expiry
  int32_t ExpiryDate{};
  int32_t ExpiryTime{};
  // Exceptions
  String<20> ShiftType;
  uint8_t ExceptWeekends{};
  uint8_t ExceptWeekdays{};
  uint8_t ExceptHolidays{};
  uint8_t ExceptTime{};
  int32_t ExceptTimeBegin{};
  int32_t ExceptTimeEnd{};
  String<20> ExceptOther;
  int32_t ExceptionLink{};
  // Synchonization
  String<30> NetworkUser;
  int32_t LastChangeDate{};
  int32_t LastChangeTime{};
  int32_t OriginalID{};
  String<60> Email;
  String<20> Password;

  // The weekday flag of DayOfWeekGroup, 0 = Sunday .. 6 = Saturday.
  uint8_t& dayOfWeek(int weekday);
  uint8_t dayOfWeek(int weekday) const { return const_cast<ScheduleRec*>(this)->dayOfWeek(weekday); }
  // CLEAR() of the groups that callers reset as a unit.
  void clearDayOfWeekGroup();
  void clearExceptions();
};

// SCRIPTING, SYNCSCRIPTING, SCRIPTTEMPLATEDETAILS: one script step (2528 bytes). The first field
// is the task number, or the template number (WIZ_ID) in SCRIPTTEMPLATEDETAILS.
struct ScriptingRec {
  union {
    int32_t ID{};
    int32_t WIZ_ID;
  };
  int32_t Sequence{};
  String<27> Action;
  String<255> Keystrokes;
  int32_t SecondsToWait{};
  String<255> WaitForWindow;
  String<255> FocusOnWindow;
  String<20> WindowExistance;
  String<255> WindowTitleToCheckFor;
  String<20> IfTimeElapsed;
  int32_t TimeElapsed{};
  int32_t NextTaskID{};
  String<30> NetworkUser;
  int32_t LastChangeDate{};
  int32_t LastChangeTime{};
  int32_t OriginalID{};
  int32_t EmailID{};
  String<255> Command;
  String<255> Path;
  String<20> DDEType;
  String<255> DDEApplicationName;
  String<255> DDEApplicationTopic;
  String<80> DDELinkItem;
  String<255> DDECommand;
};

// OVUSD, SYNCOVUSD: one task's next occurrence for one user (73 bytes). Its groups share names
// with SCHEDULE's but not their layout: AdvancedWarning here is 9 bytes.
struct UserScheduleRec {
  String<40> User;
  int32_t ID{};
  // ScheduleDateAndTime
  int32_t Date{};
  int32_t Time{};
  int32_t LastRunDate{};
  int32_t LastRunTime{};
  uint8_t SkipNextTime{};
  // AdvancedWarning
  int32_t AdvanceWarnDate{};
  int32_t AdvanceWarnTime{};
  uint8_t AdvanceWarned{};
  uint8_t Disabled{};
  uint8_t Completed{};
  uint8_t Skipped{};
};

// OVSCD: a link between a task and a contact (12 bytes).
struct ScheduleContactRec {
  int32_t ID{};
  int32_t SCD_ID{};
  int32_t ClientID{};
};

// CATEGORIES and CLIPBOARDCATEGORIES (20 bytes).
struct CategoryRec {
  String<20> Category;
};

// CONTACTCATEGORIES (20 bytes).
struct ContactCategoryRec {
  String<20> ContactCategory;
};

// CONFIGURATION: one setting (295 bytes).
struct ConfigurationRec {
  String<40> DataType;
  String<255> DataValue;
};

// CONTACT (552 bytes, memo Notes of 1024).
struct ContactRec {
  int32_t ClientID{};
  String<40> LastName;
  String<20> FirstName;
  String<40> Company;
  String<40> AddressLine1;
  String<40> AddressLine2;
  String<40> AddressLine3;
  String<10> PostalCode;
  String<20> WorkDayPhone;
  String<20> HomeEveningPhone;
  String<20> OtherPhone;
  String<20> Fax;
  String<20> ContactCategory;
  String<80> Email;
  String<90> WebSite;
  String<40> User;
  String<8> DefaultContact;
  std::string Notes;  // memo
};

// CONTACTDETAILS (128 bytes).
struct ContactDetailRec {
  int32_t ClientID{};
  int32_t Sequence{};
  String<30> DataLabel;
  String<90> DataValue;
};

// TODO, SYNCTODO (152 bytes, memos Notes 4096 and Resolution 1000).
struct TodoRec {
  uint8_t Done{};
  uint8_t Priority{};
  String<20> Category;
  String<80> ToDo;
  int32_t CompletionDate{};
  int32_t CompletionTime{};
  String<30> NetworkUser;
  int32_t LastChangeDate{};
  int32_t LastChangeTime{};
  int32_t OriginalID{};
  std::string Notes;       // memo
  std::string Resolution;  // memo
};

// HOLIDAYS (46 bytes).
struct HolidayRec {
  int32_t HolidayDate{};
  String<30> Holiday;
  String<12> HolidayType;
};

// MESSAGES (2864 bytes, memo Message of 10000). The declared names "M_:Mail:Server" and the
// three "M_:News:..." fields are spelt with "_" for the inner colon.
struct MessageRec {
  int32_t EmailID{};
  String<12> MailType;
  String<12> MailFormat;
  int32_t ContactID{};
  String<255> EmailTo;
  String<255> EmailToName;
  String<20> EmailToGroup;
  String<255> CC;
  String<255> BCC;
  String<255> Subject;
  String<255> HTMLFile;
  String<255> MergeFile;
  String<255> Attachment;
  int32_t LastDateSent{};
  String<128> Sender;
  String<128> SenderName;
  String<128> Mail_Server;
  String<128> News_Server;
  String<128> News_User;
  String<128> News_Password;
  std::string Message;  // memo
};

// MSGLINK (4495 bytes).
struct MsgLinkRec {
  int32_t ID{};
  String<60> Title;
  String<4096> Message;
  String<20> Category;
  String<255> AlarmFile;
  String<60> Email;
};

// TRIGGERS (2647 bytes).
struct TriggerRec {
  int32_t TRI_ID{};
  int32_t ID{};
  String<20> TriggerType;
  String<40> Description;
  String<2048> FileSpec;
  String<255> WindowSpec;
  String<255> WindowChildSpec;
  String<20> EventSpec;
  uint8_t Active{};
};

// SYSHOTKEYS (139 bytes, memo Text of 10000).
struct HotKeyRec {
  int32_t ID{};
  String<20> HotKey;
  uint8_t Active{};
  String<40> Description;
  String<40> QuickText;
  String<4> Action;
  String<30> TextType;
  std::string Text;  // memo
};

// USERS (1456 bytes).
struct UserRec {
  String<40> User;
  String<40> Password;
  String<40> ConfirmPassword;
  uint8_t UsePassword{};
  String<1000> Notes;
  String<20> Security;
  String<255> SourcePath;
  String<60> Email;
};

// CLIPBOARD (197 bytes, BLOB ClipContents).
struct ClipboardRec {
  String<20> Abbreviation;
  String<20> Category;
  int32_t ClipDate{};
  int32_t ClipTime{};
  int32_t MRUDate{};
  int32_t MRUTime{};
  String<120> ClipHashKey;
  uint8_t ClipKeep{};
  String<20> Format;
  std::string ClipContents;  // BLOB
};

// ACTIONS (4147 bytes).
struct ActionRec {
  int32_t Seq{};
  String<27> Action;
  String<20> Category;
  String<4096> ActionDescription;
};

// SCRIPTTEMPLATES (319 bytes).
struct ScriptTemplateRec {
  int32_t WIZ_ID{};
  String<60> Description;
  String<255> DOSFilename;
};

// EXPORT: one line of the script exchange file (2610 bytes).
struct ExportRec {
  String<60> Type;
  String<255> Field1, Field2, Field3, Field4, Field5, Field6, Field7, Field8, Field9, Field10;

  // Field1..Field10 by number (1-based); nullptr outside 1..10.
  String<255>* field(int n);
};

// OV_LOG: one line of the event log (182 bytes).
struct LogRec {
  String<12> LogDate;
  String<10> LogTime;
  String<32> LogLabel;
  String<128> LogData;
};

// The record buffers, one per file, named by the file's prefix.
extern ScheduleRec SCH, SSCH, SCW;
extern ScriptingRec SCR, SSCR, OVD;
extern UserScheduleRec US, SUS;
extern ScheduleContactRec SCD;
extern CategoryRec CAT, CLC;
extern ContactCategoryRec CC;
extern ConfigurationRec CF;
extern ContactRec C_;
extern ContactDetailRec CDT;
extern TodoRec TDO, STDO;
extern HolidayRec HOL;
extern MessageRec M_;
extern MsgLinkRec ML;
extern TriggerRec TRI;
extern HotKeyRec HOT;
extern UserRec U_;
extern ClipboardRec CLI;
extern ActionRec ACT;
extern ScriptTemplateRec OVT;
extern ExportRec EXP;
extern LogRec OVL;

// The descriptor of each file's record, named after the file's label.
extern const rt::RecordDesc Desc_SCHEDULE, Desc_SYNCSCHEDULE, Desc_SCHEDULEWORKFILE;
extern const rt::RecordDesc Desc_SCRIPTING, Desc_SYNCSCRIPTING, Desc_SCRIPTTEMPLATEDETAILS;
extern const rt::RecordDesc Desc_OVUSD, Desc_SYNCOVUSD, Desc_OVSCD;
extern const rt::RecordDesc Desc_CATEGORIES, Desc_CLIPBOARDCATEGORIES, Desc_CONTACTCATEGORIES;
extern const rt::RecordDesc Desc_CONFIGURATION, Desc_CONTACT, Desc_CONTACTDETAILS;
extern const rt::RecordDesc Desc_TODO, Desc_SYNCTODO, Desc_HOLIDAYS, Desc_MESSAGES, Desc_MSGLINK;
extern const rt::RecordDesc Desc_TRIGGERS, Desc_SYSHOTKEYS, Desc_USERS, Desc_CLIPBOARD;
extern const rt::RecordDesc Desc_ACTIONS, Desc_SCRIPTTEMPLATES, Desc_EXPORT, Desc_OV_LOG;

// A group: a named span of consecutive fields of a record ("SCH:Exceptions").
struct GroupDesc {
  const char* name;
  const char* firstField;  // name of its first field
  uint32_t fieldCount;
  uint32_t declaredSize;   // bytes: the sum of its fields' widths
};

// One data file's record: its label, buffer, descriptor and groups.
struct RecordEntry {
  const char* label;  // "SCHEDULE"
  void* buffer;       // the global record buffer
  const rt::RecordDesc* desc;
  std::span<const GroupDesc> groups;
};

// Every file's record entry, in catalogue order.
std::span<const RecordEntry> recordEntries();
// The entry of a file by label or by prefix ("SCHEDULE" or "SCH"), ignoring case; nullptr if none.
const RecordEntry* findRecord(std::string_view labelOrPrefix);

// Clears every record buffer (text blank, numbers 0, memos empty), as at load.
void clearRecordBuffers();

}  // namespace ov::files
