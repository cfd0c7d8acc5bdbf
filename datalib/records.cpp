#include "records.h"

#include <cstddef>
#include <type_traits>

#include "platform/rt/text.h"

namespace ov::files {

ScheduleRec SCH, SSCH, SCW;
ScriptingRec SCR, SSCR, OVD;
UserScheduleRec US, SUS;
ScheduleContactRec SCD;
CategoryRec CAT, CLC;
ContactCategoryRec CC;
ConfigurationRec CF;
ContactRec C_;
ContactDetailRec CDT;
TodoRec TDO, STDO;
HolidayRec HOL;
MessageRec M_;
MsgLinkRec ML;
TriggerRec TRI;
HotKeyRec HOT;
UserRec U_;
ClipboardRec CLI;
ActionRec ACT;
ScriptTemplateRec OVT;
ExportRec EXP;
LogRec OVL;

uint8_t& ScheduleRec::dayOfWeek(int weekday) {
  switch (weekday) {
    case 0: return Sunday;
    case 1: return Monday;
    case 2: return Tuesday;
    case 3: return Wednesday;
    case 4: return Thursday;
    case 5: return Friday;
    default: return Saturday;
  }
}

void ScheduleRec::clearDayOfWeekGroup() {
  Sunday = Monday = Tuesday = Wednesday = Thursday = Friday = Saturday = 0;
}

void ScheduleRec::clearExceptions() {
  ShiftType.clear();
  ExceptWeekends = ExceptWeekdays = ExceptHolidays = ExceptTime = 0;
  ExceptTimeBegin = ExceptTimeEnd = 0;
  ExceptOther.clear();
  ExceptionLink = 0;
}

String<255>* ExportRec::field(int n) {
  String<255>* fields[] = {&Field1, &Field2, &Field3, &Field4, &Field5,
                           &Field6, &Field7, &Field8, &Field9, &Field10};
  return n >= 1 && n <= 10 ? fields[n - 1] : nullptr;
}

namespace {

using rt::FieldDesc;
using rt::FieldType;

// The member type each declared type needs; checked against the struct at compile time, so a
// descriptor can't drift from its struct.
template <FieldType T, uint32_t W>
struct MemberOf;
template <> struct MemberOf<FieldType::Long, 4> { using type = int32_t; };
template <> struct MemberOf<FieldType::Byte, 1> { using type = uint8_t; };
template <uint32_t W> struct MemberOf<FieldType::String, W> { using type = String<W>; };
template <uint32_t W> struct MemberOf<FieldType::CString, W> { using type = CString<W>; };
template <uint32_t W> struct MemberOf<FieldType::Memo, W> { using type = std::string; };
template <uint32_t W> struct MemberOf<FieldType::Blob, W> { using type = std::string; };

template <typename M, FieldType T, uint32_t W>
constexpr FieldDesc field(const char* name, uint32_t layoutOffset, size_t memberOffset) {
  static_assert(std::is_same_v<M, typename MemberOf<T, W>::type>, "member type differs from its declaration");
  return FieldDesc{name, T, W, layoutOffset, memberOffset};
}

// D(member, type, width, offset) declares a field named PFX ":" member; N(...) gives the name
// explicitly where it is not the member's spelling. Memos and BLOBs lie outside the layout and
// take the record size as their offset.
#define D(m, t, w, off) field<decltype(REC::m), FieldType::t, w>(PFX ":" #m, off, offsetof(REC, m))
#define N(m, name, t, w, off) field<decltype(REC::m), FieldType::t, w>(PFX ":" name, off, offsetof(REC, m))

#define SCHEDULE_FIELDS(FIRST)                                                                  \
  D(ID, Long, 4, 0), D(User, String, 40, 4), D(TaskType, String, 20, 44),                       \
  D(Category, String, 20, 64), D(Description, String, 40, 84), D(Command, String, 255, 124),   \
  D(Path, String, 255, 379), D(Message, String, 4096, 634), D(ScheduleType, String, 15, 4730), \
  D(Sunday, Byte, 1, 4745), D(Monday, Byte, 1, 4746), D(Tuesday, Byte, 1, 4747),                \
  D(Wednesday, Byte, 1, 4748), D(Thursday, Byte, 1, 4749), D(Friday, Byte, 1, 4750),            \
  D(Saturday, Byte, 1, 4751), D(MonthRepeat, String, 18, 4752), D(Offset, Long, 4, 4770),       \
  D(Every, Long, 4, 4774), D(Every1st, Byte, 1, 4778), D(Every2nd, Byte, 1, 4779),              \
  D(Every3rd, Byte, 1, 4780), D(Every4th, Byte, 1, 4781), D(EveryLast, Byte, 1, 4782),          \
  D(LastDayOfMonth, Byte, 1, 4783), D(EveryType, String, 20, 4784), D(Date, Long, 4, 4804),     \
  D(Time, Long, 4, 4808), D(LastRunDate, Long, 4, 4812), D(LastRunTime, Long, 4, 4816),         \
  D(SkipNextTime, Byte, 1, 4820), D(Alarm, Byte, 1, 4821), D(AlarmFile, CString, 255, 4822),    \
  D(AdvanceWarnDate, Long, 4, 5077), D(AdvanceWarnTime, Long, 4, 5081),                         \
  D(AdvanceWarned, Byte, 1, 5085), D(LastWarnDate, Long, 4, 5086),                              \
  D(LastWarnTime, Long, 4, 5090), D(AdvanceWarnRepeat, Byte, 1, 5094), D(Warn, Byte, 1, 5095),  \
  D(SkipIfMissed, Byte, 1, 5096), D(SkipIfScriptActive, Byte, 1, 5097),                         \
  D(NoHistory, Byte, 1, 5098), D(UserSkip, Byte, 1, 5099), D(Disabled, Byte, 1, 5100),          \
  D(Completed, Byte, 1, 5101), D(Skipped, Byte, 1, 5102), D(ExpiryDate, Long, 4, 5103),         \
  D(ExpiryTime, Long, 4, 5107), D(ShiftType, String, 20, 5111),                                 \
  D(ExceptWeekends, Byte, 1, 5131), D(ExceptWeekdays, Byte, 1, 5132),                           \
  D(ExceptHolidays, Byte, 1, 5133), D(ExceptTime, Byte, 1, 5134),                               \
  D(ExceptTimeBegin, Long, 4, 5135), D(ExceptTimeEnd, Long, 4, 5139),                           \
  D(ExceptOther, String, 20, 5143), D(ExceptionLink, Long, 4, 5163),                            \
  D(NetworkUser, String, 30, 5167), D(LastChangeDate, Long, 4, 5197),                           \
  D(LastChangeTime, Long, 4, 5201), D(OriginalID, Long, 4, 5205), D(Email, String, 60, 5209),   \
  D(Password, String, 20, 5269)

#define SCRIPTING_FIELDS(FIRST)                                                                 \
  FIRST, D(Sequence, Long, 4, 4), D(Action, String, 27, 8), D(Keystrokes, String, 255, 35),     \
  D(SecondsToWait, Long, 4, 290), D(WaitForWindow, String, 255, 294),                           \
  D(FocusOnWindow, String, 255, 549), D(WindowExistance, String, 20, 804),                      \
  D(WindowTitleToCheckFor, String, 255, 824), D(IfTimeElapsed, String, 20, 1079),               \
  D(TimeElapsed, Long, 4, 1099), D(NextTaskID, Long, 4, 1103), D(NetworkUser, String, 30, 1107),\
  D(LastChangeDate, Long, 4, 1137), D(LastChangeTime, Long, 4, 1141),                           \
  D(OriginalID, Long, 4, 1145), D(EmailID, Long, 4, 1149), D(Command, String, 255, 1153),       \
  D(Path, String, 255, 1408), D(DDEType, String, 20, 1663),                                     \
  D(DDEApplicationName, String, 255, 1683), D(DDEApplicationTopic, String, 255, 1938),          \
  D(DDELinkItem, String, 80, 2193), D(DDECommand, String, 255, 2273)

#define USERSCHEDULE_FIELDS(FIRST)                                                              \
  D(User, String, 40, 0), D(ID, Long, 4, 40), D(Date, Long, 4, 44), D(Time, Long, 4, 48),       \
  D(LastRunDate, Long, 4, 52), D(LastRunTime, Long, 4, 56), D(SkipNextTime, Byte, 1, 60),       \
  D(AdvanceWarnDate, Long, 4, 61), D(AdvanceWarnTime, Long, 4, 65),                             \
  D(AdvanceWarned, Byte, 1, 69), D(Disabled, Byte, 1, 70), D(Completed, Byte, 1, 71),           \
  D(Skipped, Byte, 1, 72)

#define TODO_FIELDS(FIRST)                                                                      \
  D(Done, Byte, 1, 0), D(Priority, Byte, 1, 1), D(Category, String, 20, 2),                     \
  D(ToDo, String, 80, 22), D(CompletionDate, Long, 4, 102), D(CompletionTime, Long, 4, 106),    \
  D(NetworkUser, String, 30, 110), D(LastChangeDate, Long, 4, 140),                             \
  D(LastChangeTime, Long, 4, 144), D(OriginalID, Long, 4, 148), D(Notes, Memo, 4096, 152),      \
  D(Resolution, Memo, 1000, 152)

#define CATEGORY_FIELDS(FIRST) D(Category, String, 20, 0)

// One descriptor table per file: the layout's list expanded with the file's prefix.
#define REC ScheduleRec
#define PFX "SCH"
constexpr FieldDesc kSchedule[] = {SCHEDULE_FIELDS(_)};
#undef PFX
#define PFX "SSCH"
constexpr FieldDesc kSyncSchedule[] = {SCHEDULE_FIELDS(_)};
#undef PFX
#define PFX "SCW"
constexpr FieldDesc kScheduleWork[] = {SCHEDULE_FIELDS(_)};
#undef PFX
#undef REC

#define REC ScriptingRec
#define PFX "SCR"
constexpr FieldDesc kScripting[] = {SCRIPTING_FIELDS(D(ID, Long, 4, 0))};
#undef PFX
#define PFX "SSCR"
constexpr FieldDesc kSyncScripting[] = {SCRIPTING_FIELDS(D(ID, Long, 4, 0))};
#undef PFX
#define PFX "OVD"
constexpr FieldDesc kTemplateDetails[] = {SCRIPTING_FIELDS(D(WIZ_ID, Long, 4, 0))};
#undef PFX
#undef REC

#define REC UserScheduleRec
#define PFX "US"
constexpr FieldDesc kUserSchedule[] = {USERSCHEDULE_FIELDS(_)};
#undef PFX
#define PFX "SUS"
constexpr FieldDesc kSyncUserSchedule[] = {USERSCHEDULE_FIELDS(_)};
#undef PFX
#undef REC

#define REC ScheduleContactRec
#define PFX "SCD"
constexpr FieldDesc kScheduleContact[] = {D(ID, Long, 4, 0), D(SCD_ID, Long, 4, 4), D(ClientID, Long, 4, 8)};
#undef PFX
#undef REC

#define REC CategoryRec
#define PFX "CAT"
constexpr FieldDesc kCategories[] = {CATEGORY_FIELDS(_)};
#undef PFX
#define PFX "CLC"
constexpr FieldDesc kClipboardCategories[] = {CATEGORY_FIELDS(_)};
#undef PFX
#undef REC

#define REC ContactCategoryRec
#define PFX "CC"
constexpr FieldDesc kContactCategories[] = {D(ContactCategory, String, 20, 0)};
#undef PFX
#undef REC

#define REC ConfigurationRec
#define PFX "CF"
constexpr FieldDesc kConfiguration[] = {D(DataType, String, 40, 0), D(DataValue, String, 255, 40)};
#undef PFX
#undef REC

#define REC ContactRec
#define PFX "C_"
constexpr FieldDesc kContact[] = {
    D(ClientID, Long, 4, 0), D(LastName, String, 40, 4), D(FirstName, String, 20, 44),
    D(Company, String, 40, 64), D(AddressLine1, String, 40, 104), D(AddressLine2, String, 40, 144),
    D(AddressLine3, String, 40, 184), D(PostalCode, String, 10, 224),
    D(WorkDayPhone, String, 20, 234), D(HomeEveningPhone, String, 20, 254),
    D(OtherPhone, String, 20, 274), D(Fax, String, 20, 294), D(ContactCategory, String, 20, 314),
    D(Email, String, 80, 334), D(WebSite, String, 90, 414), D(User, String, 40, 504),
    D(DefaultContact, String, 8, 544), D(Notes, Memo, 1024, 552)};
#undef PFX
#undef REC

#define REC ContactDetailRec
#define PFX "CDT"
constexpr FieldDesc kContactDetails[] = {D(ClientID, Long, 4, 0), D(Sequence, Long, 4, 4),
                                         D(DataLabel, String, 30, 8), D(DataValue, String, 90, 38)};
#undef PFX
#undef REC

#define REC TodoRec
#define PFX "TDO"
constexpr FieldDesc kTodo[] = {TODO_FIELDS(_)};
#undef PFX
#define PFX "STDO"
constexpr FieldDesc kSyncTodo[] = {TODO_FIELDS(_)};
#undef PFX
#undef REC

#define REC HolidayRec
#define PFX "HOL"
constexpr FieldDesc kHolidays[] = {D(HolidayDate, Long, 4, 0), D(Holiday, String, 30, 4),
                                   D(HolidayType, String, 12, 34)};
#undef PFX
#undef REC

#define REC MessageRec
#define PFX "M_"
constexpr FieldDesc kMessages[] = {
    D(EmailID, Long, 4, 0), D(MailType, String, 12, 4), D(MailFormat, String, 12, 16),
    D(ContactID, Long, 4, 28), D(EmailTo, String, 255, 32), D(EmailToName, String, 255, 287),
    D(EmailToGroup, String, 20, 542), D(CC, String, 255, 562), D(BCC, String, 255, 817),
    D(Subject, String, 255, 1072), D(HTMLFile, String, 255, 1327), D(MergeFile, String, 255, 1582),
    D(Attachment, String, 255, 1837), D(LastDateSent, Long, 4, 2092), D(Sender, String, 128, 2096),
    D(SenderName, String, 128, 2224), N(Mail_Server, "Mail:Server", String, 128, 2352),
    N(News_Server, "News:Server", String, 128, 2480), N(News_User, "News:User", String, 128, 2608),
    N(News_Password, "News:Password", String, 128, 2736), D(Message, Memo, 10000, 2864)};
#undef PFX
#undef REC

#define REC MsgLinkRec
#define PFX "ML"
constexpr FieldDesc kMsgLink[] = {D(ID, Long, 4, 0), D(Title, String, 60, 4),
                                  D(Message, String, 4096, 64), D(Category, String, 20, 4160),
                                  D(AlarmFile, String, 255, 4180), D(Email, String, 60, 4435)};
#undef PFX
#undef REC

#define REC TriggerRec
#define PFX "TRI"
constexpr FieldDesc kTriggers[] = {
    D(TRI_ID, Long, 4, 0), D(ID, Long, 4, 4), D(TriggerType, String, 20, 8),
    D(Description, String, 40, 28), D(FileSpec, String, 2048, 68), D(WindowSpec, String, 255, 2116),
    D(WindowChildSpec, String, 255, 2371), D(EventSpec, String, 20, 2626), D(Active, Byte, 1, 2646)};
#undef PFX
#undef REC

#define REC HotKeyRec
#define PFX "HOT"
constexpr FieldDesc kHotKeys[] = {
    D(ID, Long, 4, 0), D(HotKey, String, 20, 4), D(Active, Byte, 1, 24),
    D(Description, String, 40, 25), D(QuickText, String, 40, 65), D(Action, String, 4, 105),
    D(TextType, String, 30, 109), D(Text, Memo, 10000, 139)};
#undef PFX
#undef REC

#define REC UserRec
#define PFX "U_"
constexpr FieldDesc kUsers[] = {
    D(User, String, 40, 0), D(Password, String, 40, 40), D(ConfirmPassword, String, 40, 80),
    D(UsePassword, Byte, 1, 120), D(Notes, String, 1000, 121), D(Security, String, 20, 1121),
    D(SourcePath, String, 255, 1141), D(Email, String, 60, 1396)};
#undef PFX
#undef REC

#define REC ClipboardRec
#define PFX "CLI"
constexpr FieldDesc kClipboard[] = {
    D(Abbreviation, String, 20, 0), D(Category, String, 20, 20), D(ClipDate, Long, 4, 40),
    D(ClipTime, Long, 4, 44), D(MRUDate, Long, 4, 48), D(MRUTime, Long, 4, 52),
    D(ClipHashKey, String, 120, 56), D(ClipKeep, Byte, 1, 176), D(Format, String, 20, 177),
    D(ClipContents, Blob, 16635, 197)};
#undef PFX
#undef REC

#define REC ActionRec
#define PFX "ACT"
constexpr FieldDesc kActions[] = {D(Seq, Long, 4, 0), D(Action, String, 27, 4),
                                  D(Category, String, 20, 31), D(ActionDescription, String, 4096, 51)};
#undef PFX
#undef REC

#define REC ScriptTemplateRec
#define PFX "OVT"
constexpr FieldDesc kScriptTemplates[] = {D(WIZ_ID, Long, 4, 0), D(Description, String, 60, 4),
                                          D(DOSFilename, String, 255, 64)};
#undef PFX
#undef REC

#define REC ExportRec
#define PFX "EXP"
constexpr FieldDesc kExport[] = {
    D(Type, String, 60, 0), D(Field1, String, 255, 60), D(Field2, String, 255, 315),
    D(Field3, String, 255, 570), D(Field4, String, 255, 825), D(Field5, String, 255, 1080),
    D(Field6, String, 255, 1335), D(Field7, String, 255, 1590), D(Field8, String, 255, 1845),
    D(Field9, String, 255, 2100), D(Field10, String, 255, 2355)};
#undef PFX
#undef REC

#define REC LogRec
#define PFX "OVL"
constexpr FieldDesc kLog[] = {D(LogDate, String, 12, 0), D(LogTime, String, 10, 12),
                              D(LogLabel, String, 32, 22), D(LogData, String, 128, 54)};
#undef PFX
#undef REC

#undef D
#undef N

// Groups of SCHEDULE and its copies, and of OVUSD and its copy.
#define SCHEDULE_GROUPS(P)                                                  \
  {P ":DayOfWeekGroup", P ":Sunday", 7, 7}, {P ":EveryOrdinal", P ":Every1st", 6, 6}, \
  {P ":ScheduleDateAndTime", P ":Date", 5, 17}, {P ":AlarmGroup", P ":Alarm", 2, 256}, \
  {P ":AdvancedWarning", P ":AdvanceWarnDate", 6, 18}, {P ":Expiry", P ":ExpiryDate", 2, 8}, \
  {P ":Exceptions", P ":ShiftType", 9, 56}, {P ":Synchonization", P ":NetworkUser", 4, 42}
#define USERSCHEDULE_GROUPS(P) \
  {P ":ScheduleDateAndTime", P ":Date", 5, 17}, {P ":AdvancedWarning", P ":AdvanceWarnDate", 3, 9}

constexpr GroupDesc kScheduleGroups[] = {SCHEDULE_GROUPS("SCH")};
constexpr GroupDesc kSyncScheduleGroups[] = {SCHEDULE_GROUPS("SSCH")};
constexpr GroupDesc kScheduleWorkGroups[] = {SCHEDULE_GROUPS("SCW")};
constexpr GroupDesc kUserScheduleGroups[] = {USERSCHEDULE_GROUPS("US")};
constexpr GroupDesc kSyncUserScheduleGroups[] = {USERSCHEDULE_GROUPS("SUS")};

}  // namespace

const rt::RecordDesc Desc_SCHEDULE{"SCH", kSchedule, 5289};
const rt::RecordDesc Desc_SCRIPTING{"SCR", kScripting, 2528};
const rt::RecordDesc Desc_OVUSD{"US", kUserSchedule, 73};
const rt::RecordDesc Desc_OVSCD{"SCD", kScheduleContact, 12};
const rt::RecordDesc Desc_CATEGORIES{"CAT", kCategories, 20};
const rt::RecordDesc Desc_CONFIGURATION{"CF", kConfiguration, 295};
const rt::RecordDesc Desc_CONTACT{"C_", kContact, 552};
const rt::RecordDesc Desc_CONTACTCATEGORIES{"CC", kContactCategories, 20};
const rt::RecordDesc Desc_CONTACTDETAILS{"CDT", kContactDetails, 128};
const rt::RecordDesc Desc_TODO{"TDO", kTodo, 152};
const rt::RecordDesc Desc_HOLIDAYS{"HOL", kHolidays, 46};
const rt::RecordDesc Desc_MESSAGES{"M_", kMessages, 2864};
const rt::RecordDesc Desc_TRIGGERS{"TRI", kTriggers, 2647};
const rt::RecordDesc Desc_SYSHOTKEYS{"HOT", kHotKeys, 139};
const rt::RecordDesc Desc_USERS{"U_", kUsers, 1456};
const rt::RecordDesc Desc_CLIPBOARDCATEGORIES{"CLC", kClipboardCategories, 20};
const rt::RecordDesc Desc_CLIPBOARD{"CLI", kClipboard, 197};
const rt::RecordDesc Desc_SCRIPTTEMPLATES{"OVT", kScriptTemplates, 319};
const rt::RecordDesc Desc_SCRIPTTEMPLATEDETAILS{"OVD", kTemplateDetails, 2528};
const rt::RecordDesc Desc_ACTIONS{"ACT", kActions, 4147};
const rt::RecordDesc Desc_MSGLINK{"ML", kMsgLink, 4495};
const rt::RecordDesc Desc_SCHEDULEWORKFILE{"SCW", kScheduleWork, 5289};
const rt::RecordDesc Desc_SYNCSCHEDULE{"SSCH", kSyncSchedule, 5289};
const rt::RecordDesc Desc_SYNCSCRIPTING{"SSCR", kSyncScripting, 2528};
const rt::RecordDesc Desc_SYNCTODO{"STDO", kSyncTodo, 152};
const rt::RecordDesc Desc_SYNCOVUSD{"SUS", kSyncUserSchedule, 73};
const rt::RecordDesc Desc_EXPORT{"EXP", kExport, 2610};
const rt::RecordDesc Desc_OV_LOG{"OVL", kLog, 182};

namespace {

const RecordEntry kEntries[] = {
    {"SCHEDULE", &SCH, &Desc_SCHEDULE, kScheduleGroups},
    {"SCRIPTING", &SCR, &Desc_SCRIPTING, {}},
    {"OVUSD", &US, &Desc_OVUSD, kUserScheduleGroups},
    {"OVSCD", &SCD, &Desc_OVSCD, {}},
    {"CATEGORIES", &CAT, &Desc_CATEGORIES, {}},
    {"CONFIGURATION", &CF, &Desc_CONFIGURATION, {}},
    {"CONTACT", &C_, &Desc_CONTACT, {}},
    {"CONTACTCATEGORIES", &CC, &Desc_CONTACTCATEGORIES, {}},
    {"CONTACTDETAILS", &CDT, &Desc_CONTACTDETAILS, {}},
    {"TODO", &TDO, &Desc_TODO, {}},
    {"HOLIDAYS", &HOL, &Desc_HOLIDAYS, {}},
    {"MESSAGES", &M_, &Desc_MESSAGES, {}},
    {"TRIGGERS", &TRI, &Desc_TRIGGERS, {}},
    {"SYSHOTKEYS", &HOT, &Desc_SYSHOTKEYS, {}},
    {"USERS", &U_, &Desc_USERS, {}},
    {"CLIPBOARDCATEGORIES", &CLC, &Desc_CLIPBOARDCATEGORIES, {}},
    {"CLIPBOARD", &CLI, &Desc_CLIPBOARD, {}},
    {"SCRIPTTEMPLATES", &OVT, &Desc_SCRIPTTEMPLATES, {}},
    {"SCRIPTTEMPLATEDETAILS", &OVD, &Desc_SCRIPTTEMPLATEDETAILS, {}},
    {"ACTIONS", &ACT, &Desc_ACTIONS, {}},
    {"MSGLINK", &ML, &Desc_MSGLINK, {}},
    {"SCHEDULEWORKFILE", &SCW, &Desc_SCHEDULEWORKFILE, kScheduleWorkGroups},
    {"SYNCSCHEDULE", &SSCH, &Desc_SYNCSCHEDULE, kSyncScheduleGroups},
    {"SYNCSCRIPTING", &SSCR, &Desc_SYNCSCRIPTING, {}},
    {"SYNCTODO", &STDO, &Desc_SYNCTODO, {}},
    {"SYNCOVUSD", &SUS, &Desc_SYNCOVUSD, kSyncUserScheduleGroups},
    {"EXPORT", &EXP, &Desc_EXPORT, {}},
    {"OV_LOG", &OVL, &Desc_OV_LOG, {}},
};

}  // namespace

std::span<const RecordEntry> recordEntries() { return kEntries; }

const RecordEntry* findRecord(std::string_view labelOrPrefix) {
  std::string want = rt::UPPER(labelOrPrefix);
  for (const RecordEntry& e : kEntries)
    if (want == e.label || want == e.desc->prefix) return &e;
  return nullptr;
}

void clearRecordBuffers() {
  SCH = SSCH = SCW = ScheduleRec{};
  SCR = SSCR = OVD = ScriptingRec{};
  US = SUS = UserScheduleRec{};
  SCD = ScheduleContactRec{};
  CAT = CLC = CategoryRec{};
  CC = ContactCategoryRec{};
  CF = ConfigurationRec{};
  C_ = ContactRec{};
  CDT = ContactDetailRec{};
  TDO = STDO = TodoRec{};
  HOL = HolidayRec{};
  M_ = MessageRec{};
  ML = MsgLinkRec{};
  TRI = TriggerRec{};
  HOT = HotKeyRec{};
  U_ = UserRec{};
  CLI = ClipboardRec{};
  ACT = ActionRec{};
  OVT = ScriptTemplateRec{};
  EXP = ExportRec{};
  OVL = LogRec{};
}

}  // namespace ov::files
