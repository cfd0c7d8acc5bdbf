#include "files.h"

#include <string>
#include <utility>

#include "datalib/globals.h"
#include "platform/rt/date_time.h"

// The declarations below name only the members that differ from their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ov::files {
namespace {

using db::AutoNumber;
using db::Driver;
using db::FileDecl;
using db::KeyDecl;

std::string ownerPassword() { return std::string(GLO.MASTERFILEOWNER); }

// A key: name, description, components; the flags follow as designated members.
#define KEY(n, d, ...) KeyDecl{.name = n, .description = d, .parts = {__VA_ARGS__}
#define UNIQUE .unique = true
#define PRIMARY .unique = true, .primary = true
#define WHOLE .autoNumber = AutoNumber::Whole
#define LAST .autoNumber = AutoNumber::Last
#define CASE .caseSensitive = true

// Storage name of a table in the main storage file.
#define ZA97(t) "RO97.ZEZ\\!" t

#define TODO_KEYS(P)                                                                          \
  KEY(P ":KeyDone", "Done", {P ":Done"}, {P ":Priority"}, {P ":ToDo"}), CASE},                \
  KEY(P ":KeyPriority", "Priority", {P ":Priority"}, {P ":Done"}, {P ":ToDo"}), CASE},        \
  KEY(P ":KeyToDo", "To Do", {P ":ToDo"}), CASE},                                             \
  KEY(P ":KeyCategory", "Category", {P ":Category"}, {P ":Priority"}, {P ":ToDo"})}

#define OVUSD_KEYS(P)                                                                         \
  KEY(P ":KeyID", "Schedule ID", {P ":ID"}, {P ":User"}), PRIMARY},                           \
  KEY(P ":KeyUser", "User", {P ":User"}, {P ":Completed"}, {P ":Disabled"}, {P ":Date"},      \
      {P ":Time"})},                                                                          \
  KEY(P ":KeyAdvanced", "Advanced Warning", {P ":User"}, {P ":AdvanceWarned"},                \
      {P ":Disabled"}, {P ":Completed"}, {P ":AdvanceWarnDate"}, {P ":AdvanceWarnTime"})},    \
  KEY(P ":KeyCompleted", "Completed", {P ":ID"}, {P ":Completed"})}

}  // namespace

db::File SCHEDULE{FileDecl{
    .label = "SCHEDULE", .prefix = "SCH", .name = ZA97("s"), .record = &Desc_SCHEDULE,
    .buffer = &SCH, .bufferSize = sizeof SCH, .owner = ownerPassword,
    .keys = {
        KEY("SCH:KeyID", "By System ID", {"SCH:ID"}), PRIMARY, WHOLE},
        KEY("SCH:KeyDate", "Date", {"SCH:Date"}, {"SCH:Time"})},
        KEY("SCH:KeyCategory", "Category", {"SCH:Category"}, {"SCH:Description"})},
        KEY("SCH:KeyCategoryDate", "Category/Date", {"SCH:Category"}, {"SCH:Date"}, {"SCH:Time"})},
        KEY("SCH:KeyTaskName", "Description", {"SCH:Description"}, {"SCH:Category"})},
        KEY("SCH:KeyTaskType", "Task Type", {"SCH:TaskType"}, {"SCH:Description"})},
        KEY("SCH:KeyTaskDate", "Task Type/Date", {"SCH:TaskType"}, {"SCH:Date"}, {"SCH:Time"})},
        KEY("SCH:KeyDateEnabled", "Only used to determine if task is waitin", {"SCH:Disabled"},
            {"SCH:Date"}, {"SCH:Time"})},
        KEY("SCH:KeyAdvanced", "Advanced Warning Date Order", {"SCH:AdvanceWarned"},
            {"SCH:AdvanceWarnDate"}, {"SCH:AdvanceWarnTime"})},
        KEY("SCH:KeyExpiryDate", "Expiry Date", {"SCH:ExpiryDate"}, {"SCH:ExpiryTime"})},
        KEY("SCH:KeyOriginalID", "Original ID", {"SCH:OriginalID"})}},
    .errorLabel = "Schedule [Schedule]", .upgradeName = "Schedule", .version = 17}};

db::File SCRIPTING{FileDecl{
    .label = "SCRIPTING", .prefix = "SCR", .name = ZA97("Script"), .record = &Desc_SCRIPTING,
    .buffer = &SCR, .bufferSize = sizeof SCR, .owner = ownerPassword,
    .keys = {KEY("SCR:KeyID", "Sequence", {"SCR:ID"}, {"SCR:Sequence"}), PRIMARY, LAST},
             KEY("SCR:KeyEmail", "Email", {"SCR:EmailID"})}},
    .errorLabel = "Scripting [Scripting]", .upgradeName = "Scripting", .version = 9}};

db::File OVUSD{FileDecl{
    .label = "OVUSD", .prefix = "US", .name = ZA97("UserScheduleDetails"), .record = &Desc_OVUSD,
    .buffer = &US, .bufferSize = sizeof US, .owner = ownerPassword, .keys = {OVUSD_KEYS("US")},
    .errorLabel = "User Schedule Details [OVUSD]", .upgradeName = "OVUSD", .version = 4}};

db::File OVSCD{FileDecl{
    .label = "OVSCD", .prefix = "SCD", .name = ZA97("ScheduleContacts"), .record = &Desc_OVSCD,
    .buffer = &SCD, .bufferSize = sizeof SCD, .owner = ownerPassword,
    .keys = {KEY("SCD:KeyID", "Schedule ID", {"SCD:ID"}, {"SCD:SCD_ID"}), PRIMARY, LAST},
             KEY("SCD:KeyContact", "Contact", {"SCD:ClientID"})}},
    .errorLabel = "Schedule Contact Details [OVSCD]", .upgradeName = "OVSCD", .version = 2}};

db::File CATEGORIES{FileDecl{
    .label = "CATEGORIES", .prefix = "CAT", .name = ZA97("Categories"), .record = &Desc_CATEGORIES,
    .buffer = &CAT, .bufferSize = sizeof CAT, .owner = ownerPassword,
    .keys = {KEY("CAT:KeyCategory", "Category", {"CAT:Category"}), PRIMARY}},
    .errorLabel = "Categories [Categories]", .upgradeName = "Categories", .version = 20}};

db::File CONFIGURATION{FileDecl{
    .label = "CONFIGURATION", .prefix = "CF", .name = ZA97("CF"), .record = &Desc_CONFIGURATION,
    .buffer = &CF, .bufferSize = sizeof CF, .owner = ownerPassword,
    .keys = {KEY("CF:KeyDataType", "Data Type", {"CF:DataType"}), PRIMARY}},
    .errorLabel = "Configuration [Configuration]", .upgradeName = "Configuration", .version = 20}};

db::File CONTACT{FileDecl{
    .label = "CONTACT", .prefix = "C_", .name = ZA97("Contact"), .record = &Desc_CONTACT,
    .buffer = &C_, .bufferSize = sizeof C_, .owner = ownerPassword,
    .keys = {
        KEY("C_:KeyClientID", "C_:KeyClientID", {"C_:ClientID"}), PRIMARY, WHOLE},
        KEY("C_:KeyUserClientID", "By ID within User", {"C_:User"}, {"C_:ClientID"})},
        KEY("C_:KeyLastName", "Last Name", {"C_:LastName"}, {"C_:FirstName"}, {"C_:PostalCode"})},
        KEY("C_:KeyFirstName", "First Name", {"C_:FirstName"}, {"C_:LastName"}, {"C_:PostalCode"})},
        KEY("C_:KeyCompany", "Company", {"C_:Company"}, {"C_:LastName"})},
        KEY("C_:KeyWorkPhone", "Work/Day Phone", {"C_:WorkDayPhone"})},
        KEY("C_:KeyHomePhone", "Home/Evening Phone", {"C_:HomeEveningPhone"})},
        KEY("C_:KeyFaxNumber", "Fax", {"C_:Fax"})},
        KEY("C_:KeyEmail", "Email", {"C_:Email"})},
        KEY("C_:KeyCategory", "Category", {"C_:ContactCategory"}, {"C_:LastName"}, {"C_:FirstName"})}},
    .errorLabel = "Contacts [Contact]", .upgradeName = "Contact", .version = 6}};

db::File CONTACTCATEGORIES{FileDecl{
    .label = "CONTACTCATEGORIES", .prefix = "CC", .name = ZA97("ConCat"),
    .record = &Desc_CONTACTCATEGORIES, .buffer = &CC, .bufferSize = sizeof CC, .owner = ownerPassword,
    .keys = {KEY("CC:KeyContactCategories", "Contact Categories", {"CC:ContactCategory"}), UNIQUE}},
    .errorLabel = "Contact Categories [ContactCategories]", .upgradeName = "ContactCategories",
    .version = 4}};

db::File CONTACTDETAILS{FileDecl{
    .label = "CONTACTDETAILS", .prefix = "CDT", .name = ZA97("ContactDetails"),
    .record = &Desc_CONTACTDETAILS, .buffer = &CDT, .bufferSize = sizeof CDT, .owner = ownerPassword,
    .keys = {KEY("CDT:K_Contact", "Contact", {"CDT:ClientID"}, {"CDT:Sequence"}), PRIMARY, LAST}},
    .errorLabel = "ContactDetails", .upgradeName = "ContactDetails", .version = 2}};

db::File TODO{FileDecl{
    .label = "TODO", .prefix = "TDO", .name = ZA97("ToDo"), .record = &Desc_TODO, .buffer = &TDO,
    .bufferSize = sizeof TDO, .owner = ownerPassword, .keys = {TODO_KEYS("TDO")},
    .errorLabel = "To Do List [Todo]", .upgradeName = "Todo", .version = 5}};

db::File HOLIDAYS{FileDecl{
    .label = "HOLIDAYS", .prefix = "HOL", .name = ZA97("Holidays"), .record = &Desc_HOLIDAYS,
    .buffer = &HOL, .bufferSize = sizeof HOL, .owner = ownerPassword,
    .keys = {KEY("HOL:KeyHolidayDate", "HOL:KeyHolidayDate", {"HOL:HolidayDate"}), UNIQUE}},
    .errorLabel = "Holidays [Holidays]", .upgradeName = "Holidays", .version = 5,
    .earlierNames = {ZA97("Hol")}}};

db::File MESSAGES{FileDecl{
    .label = "MESSAGES", .prefix = "M_", .name = ZA97("Messages"), .record = &Desc_MESSAGES,
    .buffer = &M_, .bufferSize = sizeof M_, .owner = ownerPassword,
    .keys = {KEY("M_:KeyEmailID", "Email ID", {"M_:EmailID"}), PRIMARY, WHOLE},
             KEY("M_:KeyContact", "Contact", {"M_:ContactID"}, {"M_:EmailID"})},
             KEY("M_:KeySubject", "Subject", {"M_:Subject"})},
             KEY("M_:KeyLastDateSent", "Last Date Sent", {"M_:LastDateSent"})}},
    .errorLabel = "Messages [Messages]", .upgradeName = "Messages", .version = 6}};

db::File TRIGGERS{FileDecl{
    .label = "TRIGGERS", .prefix = "TRI", .name = ZA97("Triggers"), .record = &Desc_TRIGGERS,
    .buffer = &TRI, .bufferSize = sizeof TRI, .owner = ownerPassword,
    .keys = {KEY("TRI:K_TRI_ID", "Trigger sys ID", {"TRI:TRI_ID"}), PRIMARY, WHOLE},
             KEY("TRI:K_ID", "Link to Schedule", {"TRI:ID"}), UNIQUE},
             KEY("TRI:K_Trigger", "Trigger Type", {"TRI:TriggerType"}, {"TRI:Description"})},
             KEY("TRI:K_Active", "Active Triggers Only", {"TRI:Active"}, {"TRI:TriggerType"},
                 {"TRI:Description"})},
             KEY("TRI:K_Description", "Description", {"TRI:Description"})}},
    .errorLabel = "Trigger [Triggers]", .upgradeName = "Triggers", .version = 1}};

db::File SYSHOTKEYS{FileDecl{
    .label = "SYSHOTKEYS", .prefix = "HOT", .name = ZA97("Hotkeys"), .record = &Desc_SYSHOTKEYS,
    .buffer = &HOT, .bufferSize = sizeof HOT, .owner = ownerPassword,
    .keys = {KEY("HOT:K_HotKey", "Hot Keys", {"HOT:HotKey"}), PRIMARY},
             // Every hot key that types text has no task (HOT:ID 0), so the link allows duplicates:
             // a unique key would refuse a second text hot key.
             KEY("HOT:K_ID", "Link to Schedule", {"HOT:ID"})},
             KEY("HOT:K_Active", "Active Hot Keys", {"HOT:Active"}, {"HOT:HotKey"})},
             KEY("HOT:K_Description", "Description", {"HOT:Description"})}},
    .errorLabel = "Hot Keys [SysHotKeys]", .upgradeName = "SysHotKeys", .version = 3}};

db::File USERS{FileDecl{
    .label = "USERS", .prefix = "U_", .name = ZA97("Users"), .record = &Desc_USERS, .buffer = &U_,
    .bufferSize = sizeof U_, .owner = ownerPassword,
    .keys = {KEY("U_:KeyUser", "User", {"U_:User"}), PRIMARY}},
    .errorLabel = "Users [Users]", .upgradeName = "Users", .version = 7}};

db::File CLIPBOARDCATEGORIES{FileDecl{
    .label = "CLIPBOARDCATEGORIES", .prefix = "CLC", .name = ZA97("ClipboardCategories"),
    .record = &Desc_CLIPBOARDCATEGORIES, .buffer = &CLC, .bufferSize = sizeof CLC,
    .owner = ownerPassword, .keys = {KEY("CLC:KeyCategory", "Category", {"CLC:Category"}), PRIMARY}},
    .errorLabel = "Clipboard Categories [ClipboardCategories]", .upgradeName = "ClipboardCategories",
    .version = 20}};

db::File CLIPBOARD{FileDecl{
    .label = "CLIPBOARD", .prefix = "CLI", .name = "OVCLPBRD.TPS", .record = &Desc_CLIPBOARD,
    .buffer = &CLI, .bufferSize = sizeof CLI, .owner = ownerPassword,
    .keys = {KEY("CLI:K_Date", "All by Date", {"CLI:ClipDate", true}, {"CLI:ClipTime", true}), CASE},
             KEY("CLI:K_Save", "Saved Clipboard Records", {"CLI:ClipKeep"}, {"CLI:ClipDate"},
                 {"CLI:ClipTime"})},
             KEY("CLI:K_MRU", "Most Recently Used", {"CLI:MRUDate"}, {"CLI:MRUTime"})},
             KEY("CLI:K_Category", "Category", {"CLI:Category"}, {"CLI:Abbreviation"},
                 {"CLI:ClipHashKey"})},
             KEY("CLI:K_Abbreviation", "Abbreviations", {"CLI:Abbreviation"}, {"CLI:Category"})},
             KEY("CLI:K_Hash", "All by Contents", {"CLI:ClipHashKey"}), PRIMARY}},
    .errorLabel = "Clipboard Entries [Clipboard]", .upgradeName = "Clipboard", .version = 21,
    .earlierNames = {ZA97("Clipboard")}}};

db::File SCRIPTTEMPLATES{FileDecl{
    .label = "SCRIPTTEMPLATES", .prefix = "OVT", .name = "OVTpl\\!ScriptTemplates",
    .record = &Desc_SCRIPTTEMPLATES, .buffer = &OVT, .bufferSize = sizeof OVT, .owner = ownerPassword,
    .keys = {KEY("OVT:K_WIZ_ID", "Script Wizard ID", {"OVT:WIZ_ID"}), PRIMARY, WHOLE},
             KEY("OVT:K_Description", "Description", {"OVT:Description"}), UNIQUE},
             KEY("OVT:K_DOSFilename", "Import/Export Filename", {"OVT:DOSFilename"})}},
    .errorLabel = "Script Templates [ScriptTemplates]", .upgradeName = "ScriptTemplates",
    .version = 3}};

db::File SCRIPTTEMPLATEDETAILS{FileDecl{
    .label = "SCRIPTTEMPLATEDETAILS", .prefix = "OVD", .name = "OVTpl\\!ScriptTemplateDetails",
    .record = &Desc_SCRIPTTEMPLATEDETAILS, .buffer = &OVD, .bufferSize = sizeof OVD,
    .owner = ownerPassword,
    .keys = {KEY("OVD:K_WIZ_ID", "Sequence", {"OVD:WIZ_ID"}, {"OVD:Sequence"}), PRIMARY, LAST}},
    .errorLabel = "Script Template Details [ScriptTemplateDetails]",
    .upgradeName = "ScriptTemplateDetails", .version = 4}};

db::File ACTIONS{FileDecl{
    .label = "ACTIONS", .prefix = "ACT", .name = "OVACTN", .record = &Desc_ACTIONS, .buffer = &ACT,
    .bufferSize = sizeof ACT,
    .keys = {KEY("ACT:KeySeq", "Sequence", {"ACT:Seq"}), PRIMARY, WHOLE},
             KEY("ACT:KeyAction", "Action", {"ACT:Action"}), UNIQUE}},
    .errorLabel = "Script Actions [Actions]", .upgradeName = "Actions", .version = 2}};

db::File MSGLINK{FileDecl{
    .label = "MSGLINK", .prefix = "ML", .name = "MSGLINK", .record = &Desc_MSGLINK, .buffer = &ML,
    .bufferSize = sizeof ML, .keys = {KEY("ML:K_ID", "Unique Sys ID", {"ML:ID"}), PRIMARY, WHOLE}},
    .errorLabel = "Message Link Database [MsgLink]", .upgradeName = "MsgLink", .version = 3}};

db::File SCHEDULEWORKFILE{FileDecl{
    .label = "SCHEDULEWORKFILE", .prefix = "SCW", .name = "ovWrkFil",
    .nameFrom = [] { return GLO.SCHEDULEWORKFILENAME.str(); }, .record = &Desc_SCHEDULEWORKFILE,
    .buffer = &SCW, .bufferSize = sizeof SCW, .owner = ownerPassword,
    .keys = {
        KEY("SCW:KeyID", "By System ID", {"SCW:ID"}), PRIMARY, WHOLE},
        KEY("SCW:KeyUser", "SCW:KeyUser", {"SCW:User"}, {"SCW:ID"})},
        KEY("SCW:KeyDate", "Date", {"SCW:Date"}, {"SCW:Time"})},
        KEY("SCW:KeyUserDate", "By Date for Specific User", {"SCW:User"}, {"SCW:Date"}, {"SCW:Time"})},
        KEY("SCW:KeyCategory", "Category", {"SCW:Category"}, {"SCW:Description"})},
        KEY("SCW:KeyCategoryDate", "Category/Date", {"SCW:Category"}, {"SCW:Date"}, {"SCW:Time"})},
        KEY("SCW:KeyTaskName", "Description", {"SCW:Description"}, {"SCW:Category"})},
        KEY("SCW:KeyTaskType", "Task Type", {"SCW:TaskType"}, {"SCW:Description"})},
        KEY("SCW:KeyTaskDate", "Task Type/Date", {"SCW:TaskType"}, {"SCW:Date"}, {"SCW:Time"})},
        KEY("SCW:KeyDateEnabled", "Only used to determine if task is waitin", {"SCW:Disabled"},
            {"SCW:Date"}, {"SCW:Time"})},
        KEY("SCW:KeyAdvanced", "SCW:KeyAdvanced", {"SCW:AdvanceWarned"}, {"SCW:AdvanceWarnDate"},
            {"SCW:AdvanceWarnTime"})},
        KEY("SCW:KeyUserAdvanced", "By Advance Notice Within User", {"SCW:User"},
            {"SCW:AdvanceWarnDate"}, {"SCW:AdvanceWarnTime"})},
        KEY("SCW:KeyExpiryDate", "Expiry Date", {"SCW:ExpiryDate"}, {"SCW:ExpiryTime"})}},
    .errorLabel = "Schedule Workfile [ScheduleWorkfile]", .upgradeName = "ScheduleWorkfile",
    .version = 8}};

db::File SYNCSCHEDULE{FileDecl{
    .label = "SYNCSCHEDULE", .prefix = "SSCH", .name = "SyncSch.TPS",
    .nameFrom = [] { return GLO.SYNCSCHEDULEFILENAME.str(); }, .record = &Desc_SYNCSCHEDULE,
    .buffer = &SSCH, .bufferSize = sizeof SSCH, .owner = ownerPassword,
    .keys = {KEY("SSCH:KeyID", "By System ID", {"SSCH:ID"}), PRIMARY, WHOLE},
             KEY("SSCH:KeyDate", "Date", {"SSCH:Date"}, {"SSCH:Time"})},
             KEY("SSCH:KeyCategory", "Category", {"SSCH:Category"}, {"SSCH:Description"})},
             KEY("SSCH:KeyTaskType", "Task Type", {"SSCH:TaskType"}, {"SSCH:Description"})},
             KEY("SSCH:KeyOriginalID", "SSch:KeyOriginalID", {"SSCH:OriginalID"})}},
    .errorLabel = "Synchronization File - Schedule [SyncSchedule]", .upgradeName = "SyncSchedule",
    .version = 13}};

db::File SYNCSCRIPTING{FileDecl{
    .label = "SYNCSCRIPTING", .prefix = "SSCR", .name = "SyncScr.TPS",
    .nameFrom = [] { return GLO.SYNCSCRIPTINGFILENAME.str(); }, .record = &Desc_SYNCSCRIPTING,
    .buffer = &SSCR, .bufferSize = sizeof SSCR, .owner = ownerPassword,
    .keys = {KEY("SSCR:KeyID", "Sequence", {"SSCR:ID"}, {"SSCR:Sequence"}), PRIMARY, LAST}},
    .errorLabel = "Script Synchonization File [SyncScripting]", .upgradeName = "SyncScripting",
    .version = 6}};

db::File SYNCTODO{FileDecl{
    .label = "SYNCTODO", .prefix = "STDO", .name = "SyncTodo.TPS",
    .nameFrom = [] { return GLO.SYNCTODOFILENAME.str(); }, .record = &Desc_SYNCTODO,
    .buffer = &STDO, .bufferSize = sizeof STDO, .owner = ownerPassword,
    .keys = {TODO_KEYS("STDO")},
    .errorLabel = "To Do List Synchonization File [SyncTodo]", .upgradeName = "SyncTodo",
    .version = 2}};

db::File SYNCOVUSD{FileDecl{
    .label = "SYNCOVUSD", .prefix = "SUS", .name = "SyncOVUSD.TPS",
    .nameFrom = [] { return GLO.SYNCOVUSDFILENAME.str(); }, .record = &Desc_SYNCOVUSD,
    .buffer = &SUS, .bufferSize = sizeof SUS, .owner = ownerPassword, .keys = {OVUSD_KEYS("SUS")},
    .errorLabel = "Sync User Schedule Details [SyncOVUSD]", .upgradeName = "SyncOVUSD", .version = 4}};

db::File EXPORT{FileDecl{
    .label = "EXPORT", .prefix = "EXP", .name = "Export.txt",
    .nameFrom = [] { return GLO.EXPORTNAME.str(); }, .driver = Driver::Basic, .record = &Desc_EXPORT,
    .buffer = &EXP, .bufferSize = sizeof EXP, .errorLabel = "Export (ASCII) [Export]"}};

db::File OV_LOG{FileDecl{
    .label = "OV_LOG", .prefix = "OVL", .name = "OV_EVENT.LOG",
    .nameFrom = [] { return GLO.LOGFILENAME.str(); }, .driver = Driver::Ascii, .record = &Desc_OV_LOG,
    .buffer = &OVL, .bufferSize = sizeof OVL, .errorLabel = "Ascii Log File [OV_Log]"}};

namespace {
db::File* const kFiles[] = {
    &SCHEDULE, &SCRIPTING, &OVUSD, &OVSCD, &CATEGORIES, &CONFIGURATION, &CONTACT, &CONTACTCATEGORIES,
    &CONTACTDETAILS, &TODO, &HOLIDAYS, &MESSAGES, &TRIGGERS, &SYSHOTKEYS, &USERS, &CLIPBOARDCATEGORIES,
    &CLIPBOARD, &SCRIPTTEMPLATES, &SCRIPTTEMPLATEDETAILS, &ACTIONS, &MSGLINK, &SCHEDULEWORKFILE,
    &SYNCSCHEDULE, &SYNCSCRIPTING, &SYNCTODO, &SYNCOVUSD, &EXPORT, &OV_LOG};
}  // namespace

std::span<db::File* const> dataFiles() { return kFiles; }

// The keys, looked up once the files above exist (same translation unit: in order).
db::Key SCH_KeyID = SCHEDULE.key("SCH:KeyID");
db::Key SCH_KeyDate = SCHEDULE.key("SCH:KeyDate");
db::Key SCH_KeyCategory = SCHEDULE.key("SCH:KeyCategory");
db::Key SCH_KeyCategoryDate = SCHEDULE.key("SCH:KeyCategoryDate");
db::Key SCH_KeyTaskName = SCHEDULE.key("SCH:KeyTaskName");
db::Key SCH_KeyTaskType = SCHEDULE.key("SCH:KeyTaskType");
db::Key SCH_KeyTaskDate = SCHEDULE.key("SCH:KeyTaskDate");
db::Key SCH_KeyDateEnabled = SCHEDULE.key("SCH:KeyDateEnabled");
db::Key SCH_KeyAdvanced = SCHEDULE.key("SCH:KeyAdvanced");
db::Key SCH_KeyExpiryDate = SCHEDULE.key("SCH:KeyExpiryDate");
db::Key SCH_KeyOriginalID = SCHEDULE.key("SCH:KeyOriginalID");
db::Key SCR_KeyID = SCRIPTING.key("SCR:KeyID");
db::Key SCR_KeyEmail = SCRIPTING.key("SCR:KeyEmail");
db::Key US_KeyID = OVUSD.key("US:KeyID");
db::Key US_KeyUser = OVUSD.key("US:KeyUser");
db::Key US_KeyAdvanced = OVUSD.key("US:KeyAdvanced");
db::Key US_KeyCompleted = OVUSD.key("US:KeyCompleted");
db::Key SCD_KeyID = OVSCD.key("SCD:KeyID");
db::Key SCD_KeyContact = OVSCD.key("SCD:KeyContact");
db::Key CAT_KeyCategory = CATEGORIES.key("CAT:KeyCategory");
db::Key CF_KeyDataType = CONFIGURATION.key("CF:KeyDataType");
db::Key C_KeyClientID = CONTACT.key("C_:KeyClientID");
db::Key C_KeyUserClientID = CONTACT.key("C_:KeyUserClientID");
db::Key C_KeyLastName = CONTACT.key("C_:KeyLastName");
db::Key C_KeyFirstName = CONTACT.key("C_:KeyFirstName");
db::Key C_KeyCompany = CONTACT.key("C_:KeyCompany");
db::Key C_KeyWorkPhone = CONTACT.key("C_:KeyWorkPhone");
db::Key C_KeyHomePhone = CONTACT.key("C_:KeyHomePhone");
db::Key C_KeyFaxNumber = CONTACT.key("C_:KeyFaxNumber");
db::Key C_KeyEmail = CONTACT.key("C_:KeyEmail");
db::Key C_KeyCategory = CONTACT.key("C_:KeyCategory");
db::Key CC_KeyContactCategories = CONTACTCATEGORIES.key("CC:KeyContactCategories");
db::Key CDT_K_Contact = CONTACTDETAILS.key("CDT:K_Contact");
db::Key TDO_KeyDone = TODO.key("TDO:KeyDone");
db::Key TDO_KeyPriority = TODO.key("TDO:KeyPriority");
db::Key TDO_KeyToDo = TODO.key("TDO:KeyToDo");
db::Key TDO_KeyCategory = TODO.key("TDO:KeyCategory");
db::Key HOL_KeyHolidayDate = HOLIDAYS.key("HOL:KeyHolidayDate");
db::Key M_KeyEmailID = MESSAGES.key("M_:KeyEmailID");
db::Key M_KeyContact = MESSAGES.key("M_:KeyContact");
db::Key M_KeySubject = MESSAGES.key("M_:KeySubject");
db::Key M_KeyLastDateSent = MESSAGES.key("M_:KeyLastDateSent");
db::Key TRI_K_TRI_ID = TRIGGERS.key("TRI:K_TRI_ID");
db::Key TRI_K_ID = TRIGGERS.key("TRI:K_ID");
db::Key TRI_K_Trigger = TRIGGERS.key("TRI:K_Trigger");
db::Key TRI_K_Active = TRIGGERS.key("TRI:K_Active");
db::Key TRI_K_Description = TRIGGERS.key("TRI:K_Description");
db::Key HOT_K_HotKey = SYSHOTKEYS.key("HOT:K_HotKey");
db::Key HOT_K_ID = SYSHOTKEYS.key("HOT:K_ID");
db::Key HOT_K_Active = SYSHOTKEYS.key("HOT:K_Active");
db::Key HOT_K_Description = SYSHOTKEYS.key("HOT:K_Description");
db::Key U_KeyUser = USERS.key("U_:KeyUser");
db::Key CLC_KeyCategory = CLIPBOARDCATEGORIES.key("CLC:KeyCategory");
db::Key CLI_K_Date = CLIPBOARD.key("CLI:K_Date");
db::Key CLI_K_Save = CLIPBOARD.key("CLI:K_Save");
db::Key CLI_K_MRU = CLIPBOARD.key("CLI:K_MRU");
db::Key CLI_K_Category = CLIPBOARD.key("CLI:K_Category");
db::Key CLI_K_Abbreviation = CLIPBOARD.key("CLI:K_Abbreviation");
db::Key CLI_K_Hash = CLIPBOARD.key("CLI:K_Hash");
db::Key OVT_K_WIZ_ID = SCRIPTTEMPLATES.key("OVT:K_WIZ_ID");
db::Key OVT_K_Description = SCRIPTTEMPLATES.key("OVT:K_Description");
db::Key OVT_K_DOSFilename = SCRIPTTEMPLATES.key("OVT:K_DOSFilename");
db::Key OVD_K_WIZ_ID = SCRIPTTEMPLATEDETAILS.key("OVD:K_WIZ_ID");
db::Key ACT_KeySeq = ACTIONS.key("ACT:KeySeq");
db::Key ACT_KeyAction = ACTIONS.key("ACT:KeyAction");
db::Key ML_K_ID = MSGLINK.key("ML:K_ID");
db::Key SCW_KeyID = SCHEDULEWORKFILE.key("SCW:KeyID");
db::Key SCW_KeyUser = SCHEDULEWORKFILE.key("SCW:KeyUser");
db::Key SCW_KeyDate = SCHEDULEWORKFILE.key("SCW:KeyDate");
db::Key SCW_KeyUserDate = SCHEDULEWORKFILE.key("SCW:KeyUserDate");
db::Key SCW_KeyCategory = SCHEDULEWORKFILE.key("SCW:KeyCategory");
db::Key SCW_KeyCategoryDate = SCHEDULEWORKFILE.key("SCW:KeyCategoryDate");
db::Key SCW_KeyTaskName = SCHEDULEWORKFILE.key("SCW:KeyTaskName");
db::Key SCW_KeyTaskType = SCHEDULEWORKFILE.key("SCW:KeyTaskType");
db::Key SCW_KeyTaskDate = SCHEDULEWORKFILE.key("SCW:KeyTaskDate");
db::Key SCW_KeyDateEnabled = SCHEDULEWORKFILE.key("SCW:KeyDateEnabled");
db::Key SCW_KeyAdvanced = SCHEDULEWORKFILE.key("SCW:KeyAdvanced");
db::Key SCW_KeyUserAdvanced = SCHEDULEWORKFILE.key("SCW:KeyUserAdvanced");
db::Key SCW_KeyExpiryDate = SCHEDULEWORKFILE.key("SCW:KeyExpiryDate");
db::Key SSCH_KeyID = SYNCSCHEDULE.key("SSCH:KeyID");
db::Key SSCH_KeyDate = SYNCSCHEDULE.key("SSCH:KeyDate");
db::Key SSCH_KeyCategory = SYNCSCHEDULE.key("SSCH:KeyCategory");
db::Key SSCH_KeyTaskType = SYNCSCHEDULE.key("SSCH:KeyTaskType");
db::Key SSCH_KeyOriginalID = SYNCSCHEDULE.key("SSCH:KeyOriginalID");
db::Key SSCR_KeyID = SYNCSCRIPTING.key("SSCR:KeyID");
db::Key STDO_KeyDone = SYNCTODO.key("STDO:KeyDone");
db::Key STDO_KeyPriority = SYNCTODO.key("STDO:KeyPriority");
db::Key STDO_KeyToDo = SYNCTODO.key("STDO:KeyToDo");
db::Key STDO_KeyCategory = SYNCTODO.key("STDO:KeyCategory");
db::Key SUS_KeyID = SYNCOVUSD.key("SUS:KeyID");
db::Key SUS_KeyUser = SYNCOVUSD.key("SUS:KeyUser");
db::Key SUS_KeyAdvanced = SYNCOVUSD.key("SUS:KeyAdvanced");
db::Key SUS_KeyCompleted = SYNCOVUSD.key("SUS:KeyCompleted");


// ---- file managers ----

namespace {

using db::FileManager;
using db::Level;

// A file manager whose new records start with primed values.
class PrimedManager : public FileManager {
 public:
  PrimedManager(db::File& file, void (*prime)()) : FileManager(file), m_prime(prime) {}
  void PrimeFields() override { m_prime(); }

 private:
  void (*m_prime)();
};

// TODO and SYNCTODO: a priority outside 1..10 is refused.
class TodoManager : public FileManager {
 public:
  TodoManager(db::File& file, TodoRec& rec, const char* priorityText)
      : FileManager(file), m_rec(rec), m_priorityText(priorityText) {}
  Level ValidateField(const rt::FieldDesc& field) override {
    std::string_view name(field.name);
    if (name.substr(name.find(':') + 1) == "Priority")
      return ValidateRange(m_priorityText, m_rec.Priority, 1, 10, "1 and 10");
    return Level::Benign;
  }

 private:
  TodoRec& m_rec;
  const char* m_priorityText;
};

PrimedManager g_schedule(SCHEDULE, [] {
  SCH.User = GLO.USER.view();
  SCH.Disabled = 1;
  SCH.LastChangeDate = rt::TODAY();
  SCH.LastChangeTime = rt::CLOCK();
});
PrimedManager g_scripting(SCRIPTING, [] { SCR.ID = SCH.ID; });
PrimedManager g_ovusd(OVUSD, [] { US.Disabled = 1; });
FileManager g_ovscd(OVSCD);
FileManager g_categories(CATEGORIES);
FileManager g_configuration(CONFIGURATION);
PrimedManager g_contact(CONTACT, [] { C_.DefaultContact = "None"; });
FileManager g_contactCategories(CONTACTCATEGORIES);
PrimedManager g_contactDetails(CONTACTDETAILS, [] { CDT.ClientID = C_.ClientID; });
TodoManager g_todo(TODO, TDO, "Priority");
PrimedManager g_holidays(HOLIDAYS, [] {
  HOL.HolidayDate = rt::TODAY();
  HOL.HolidayType = "Annual";
});
PrimedManager g_messages(MESSAGES, [] {
  M_.MailType = "E-mail";
  M_.MailFormat = "Text";
});
// The trigger's own number is primed too but then given by its auto-numbered key.
PrimedManager g_triggers(TRIGGERS, [] {
  TRI.TRI_ID = SCH.ID;
  TRI.ID = SCH.ID;
  TRI.TriggerType = "File creation";
  TRI.EventSpec = "Low battery";
  TRI.Active = 1;
});
PrimedManager g_sysHotKeys(SYSHOTKEYS, [] {
  HOT.ID = SCH.ID;
  HOT.HotKey = "CtrlShift";
  HOT.Active = 1;
  HOT.Action = "Text";
  HOT.TextType = "Type";
});
FileManager g_users(USERS);
FileManager g_clipboardCategories(CLIPBOARDCATEGORIES);
PrimedManager g_clipboard(CLIPBOARD, [] {
  CLI.MRUDate = rt::TODAY() - 365;
  CLI.MRUTime = rt::CLOCK();
});
FileManager g_scriptTemplates(SCRIPTTEMPLATES);
PrimedManager g_scriptTemplateDetails(SCRIPTTEMPLATEDETAILS, [] { OVD.WIZ_ID = OVT.WIZ_ID; });
FileManager g_actions(ACTIONS);
PrimedManager g_msgLink(MSGLINK, [] { ML.Category = SCH.Category.view(); });
FileManager g_scheduleWorkFile(SCHEDULEWORKFILE);
PrimedManager g_syncSchedule(SYNCSCHEDULE, [] { SSCH.User = GLO.USER.view(); });
PrimedManager g_syncScripting(SYNCSCRIPTING, [] { SSCR.ID = SCH.ID; });
TodoManager g_syncTodo(SYNCTODO, STDO, "STdo:Priority");
PrimedManager g_syncOvusd(SYNCOVUSD, [] { SUS.Disabled = 1; });
FileManager g_export(EXPORT);
FileManager g_ovLog(OV_LOG);

FileManager* const kManagers[] = {
    &g_schedule, &g_scripting, &g_ovusd, &g_ovscd, &g_categories, &g_configuration, &g_contact,
    &g_contactCategories, &g_contactDetails, &g_todo, &g_holidays, &g_messages, &g_triggers,
    &g_sysHotKeys, &g_users, &g_clipboardCategories, &g_clipboard, &g_scriptTemplates,
    &g_scriptTemplateDetails, &g_actions, &g_msgLink, &g_scheduleWorkFile, &g_syncSchedule,
    &g_syncScripting, &g_syncTodo, &g_syncOvusd, &g_export, &g_ovLog};

}  // namespace

FileManager &Access_SCHEDULE = g_schedule, &Access_SCRIPTING = g_scripting, &Access_OVUSD = g_ovusd,
            &Access_OVSCD = g_ovscd, &Access_CATEGORIES = g_categories,
            &Access_CONFIGURATION = g_configuration, &Access_CONTACT = g_contact,
            &Access_CONTACTCATEGORIES = g_contactCategories, &Access_CONTACTDETAILS = g_contactDetails,
            &Access_TODO = g_todo, &Access_HOLIDAYS = g_holidays, &Access_MESSAGES = g_messages,
            &Access_TRIGGERS = g_triggers, &Access_SYSHOTKEYS = g_sysHotKeys, &Access_USERS = g_users,
            &Access_CLIPBOARDCATEGORIES = g_clipboardCategories, &Access_CLIPBOARD = g_clipboard,
            &Access_SCRIPTTEMPLATES = g_scriptTemplates,
            &Access_SCRIPTTEMPLATEDETAILS = g_scriptTemplateDetails, &Access_ACTIONS = g_actions,
            &Access_MSGLINK = g_msgLink, &Access_SCHEDULEWORKFILE = g_scheduleWorkFile,
            &Access_SYNCSCHEDULE = g_syncSchedule, &Access_SYNCSCRIPTING = g_syncScripting,
            &Access_SYNCTODO = g_syncTodo, &Access_SYNCOVUSD = g_syncOvusd, &Access_EXPORT = g_export,
            &Access_OV_LOG = g_ovLog;

std::span<FileManager* const> fileManagers() { return kManagers; }


// ---- relation managers ----

namespace {

using db::RelationManager;
using db::Rule;

RelationManager g_relSCHEDULE(Access_SCHEDULE);
RelationManager g_relSCRIPTING(Access_SCRIPTING);
RelationManager g_relOVUSD(Access_OVUSD);
RelationManager g_relOVSCD(Access_OVSCD);
RelationManager g_relCATEGORIES(Access_CATEGORIES);
RelationManager g_relCONFIGURATION(Access_CONFIGURATION);
RelationManager g_relCONTACT(Access_CONTACT);
RelationManager g_relCONTACTCATEGORIES(Access_CONTACTCATEGORIES);
RelationManager g_relCONTACTDETAILS(Access_CONTACTDETAILS);
RelationManager g_relTODO(Access_TODO);
RelationManager g_relHOLIDAYS(Access_HOLIDAYS);
RelationManager g_relMESSAGES(Access_MESSAGES);
RelationManager g_relTRIGGERS(Access_TRIGGERS);
RelationManager g_relSYSHOTKEYS(Access_SYSHOTKEYS);
RelationManager g_relUSERS(Access_USERS);
RelationManager g_relCLIPBOARDCATEGORIES(Access_CLIPBOARDCATEGORIES);
RelationManager g_relCLIPBOARD(Access_CLIPBOARD);
RelationManager g_relSCRIPTTEMPLATES(Access_SCRIPTTEMPLATES);
RelationManager g_relSCRIPTTEMPLATEDETAILS(Access_SCRIPTTEMPLATEDETAILS);
RelationManager g_relACTIONS(Access_ACTIONS);
RelationManager g_relMSGLINK(Access_MSGLINK);
RelationManager g_relSCHEDULEWORKFILE(Access_SCHEDULEWORKFILE);
RelationManager g_relSYNCSCHEDULE(Access_SYNCSCHEDULE);
RelationManager g_relSYNCSCRIPTING(Access_SYNCSCRIPTING);
RelationManager g_relSYNCTODO(Access_SYNCTODO);
RelationManager g_relSYNCOVUSD(Access_SYNCOVUSD);
RelationManager g_relEXPORT(Access_EXPORT);
RelationManager g_relOV_LOG(Access_OV_LOG);

// The rules, in the order given for each parent; every child also opens its parents as lookups.
struct Relations {
  Relations() {
    g_relSCHEDULE.AddRelation(g_relSCRIPTING, Rule::None, Rule::Cascade, SCR_KeyID, {{"SCH:ID", "SCR:ID"}});
    g_relSCHEDULE.AddRelation(g_relOVUSD, Rule::Cascade, Rule::Cascade, US_KeyID, {{"SCH:ID", "US:ID"}});
    g_relSCHEDULE.AddRelation(g_relOVSCD, Rule::Cascade, Rule::Cascade, SCD_KeyID, {{"SCH:ID", "SCD:ID"}});
    g_relSCHEDULE.AddRelation(g_relTRIGGERS);
    g_relSCHEDULE.AddRelation(g_relSYSHOTKEYS);
    g_relSCHEDULE.AddRelation(g_relCATEGORIES);
    g_relTRIGGERS.AddRelation(g_relSCHEDULE, Rule::None, Rule::Cascade, SCH_KeyID, {{"TRI:ID", "SCH:ID"}});
    g_relSYSHOTKEYS.AddRelation(g_relSCHEDULE, Rule::None, Rule::Cascade, SCH_KeyID, {{"HOT:ID", "SCH:ID"}});
    g_relCATEGORIES.AddRelation(g_relSCHEDULE, Rule::Restrict, Rule::Restrict, SCH_KeyCategory,
                                {{"CAT:Category", "SCH:Category"}});
    g_relCATEGORIES.AddRelation(g_relTODO, Rule::None, Rule::None, TDO_KeyCategory, {{"CAT:Category", "TDO:Category"}});
    g_relTODO.AddRelation(g_relCATEGORIES);
    g_relMESSAGES.AddRelation(g_relSCRIPTING, Rule::Restrict, Rule::Restrict, SCR_KeyEmail,
                              {{"M_:EmailID", "SCR:EmailID"}});
    g_relMESSAGES.AddRelation(g_relSCRIPTTEMPLATEDETAILS);
    g_relSCRIPTING.AddRelation(g_relMESSAGES);
    g_relSCRIPTING.AddRelation(g_relSCHEDULE);
    g_relSCRIPTTEMPLATES.AddRelation(g_relSCRIPTTEMPLATEDETAILS, Rule::None, Rule::Cascade, OVD_K_WIZ_ID,
                                     {{"OVT:WIZ_ID", "OVD:WIZ_ID"}});
    g_relSCRIPTTEMPLATEDETAILS.AddRelation(g_relMESSAGES, Rule::None, Rule::None, M_KeyEmailID,
                                           {{"OVD:EmailID", "M_:EmailID"}});
    g_relSCRIPTTEMPLATEDETAILS.AddRelation(g_relSCRIPTTEMPLATES);
    g_relUSERS.AddRelation(g_relOVUSD, Rule::Cascade, Rule::Cascade, US_KeyUser, {{"U_:User", "US:User"}});
    g_relUSERS.AddRelation(g_relCONTACT, Rule::None, Rule::None, C_KeyUserClientID, {{"U_:User", "C_:User"}});
    g_relOVUSD.AddRelation(g_relUSERS);
    g_relOVUSD.AddRelation(g_relSCHEDULE);
    g_relCONTACTCATEGORIES.AddRelation(g_relCONTACT, Rule::Restrict, Rule::Restrict, C_KeyCategory,
                                       {{"CC:ContactCategory", "C_:ContactCategory"}});
    g_relCONTACT.AddRelation(g_relCONTACTDETAILS, Rule::None, Rule::Cascade, CDT_K_Contact,
                             {{"C_:ClientID", "CDT:ClientID"}});
    g_relCONTACT.AddRelation(g_relOVSCD, Rule::Cascade, Rule::Cascade, SCD_KeyContact,
                             {{"C_:ClientID", "SCD:ClientID"}});
    g_relCONTACT.AddRelation(g_relUSERS);
    g_relCONTACT.AddRelation(g_relCONTACTCATEGORIES);
    g_relCONTACTDETAILS.AddRelation(g_relCONTACT);
    g_relOVSCD.AddRelation(g_relCONTACT);
    g_relOVSCD.AddRelation(g_relSCHEDULE);
    g_relCLIPBOARDCATEGORIES.AddRelation(g_relCLIPBOARD, Rule::Cascade, Rule::Restrict, CLI_K_Category,
                                         {{"CLC:Category", "CLI:Category"}});
    g_relCLIPBOARD.AddRelation(g_relCLIPBOARDCATEGORIES);
  }
} g_relations;

RelationManager* const kRelationManagers[] = {
    &g_relSCHEDULE, &g_relSCRIPTING, &g_relOVUSD, &g_relOVSCD, &g_relCATEGORIES, &g_relCONFIGURATION, &g_relCONTACT, &g_relCONTACTCATEGORIES, &g_relCONTACTDETAILS, &g_relTODO, &g_relHOLIDAYS, &g_relMESSAGES, &g_relTRIGGERS, &g_relSYSHOTKEYS, &g_relUSERS, &g_relCLIPBOARDCATEGORIES, &g_relCLIPBOARD, &g_relSCRIPTTEMPLATES, &g_relSCRIPTTEMPLATEDETAILS, &g_relACTIONS, &g_relMSGLINK, &g_relSCHEDULEWORKFILE, &g_relSYNCSCHEDULE, &g_relSYNCSCRIPTING, &g_relSYNCTODO, &g_relSYNCOVUSD, &g_relEXPORT, &g_relOV_LOG};

}  // namespace

RelationManager &Relate_SCHEDULE = g_relSCHEDULE,
    &Relate_SCRIPTING = g_relSCRIPTING,
    &Relate_OVUSD = g_relOVUSD,
    &Relate_OVSCD = g_relOVSCD,
    &Relate_CATEGORIES = g_relCATEGORIES,
    &Relate_CONFIGURATION = g_relCONFIGURATION,
    &Relate_CONTACT = g_relCONTACT,
    &Relate_CONTACTCATEGORIES = g_relCONTACTCATEGORIES,
    &Relate_CONTACTDETAILS = g_relCONTACTDETAILS,
    &Relate_TODO = g_relTODO,
    &Relate_HOLIDAYS = g_relHOLIDAYS,
    &Relate_MESSAGES = g_relMESSAGES,
    &Relate_TRIGGERS = g_relTRIGGERS,
    &Relate_SYSHOTKEYS = g_relSYSHOTKEYS,
    &Relate_USERS = g_relUSERS,
    &Relate_CLIPBOARDCATEGORIES = g_relCLIPBOARDCATEGORIES,
    &Relate_CLIPBOARD = g_relCLIPBOARD,
    &Relate_SCRIPTTEMPLATES = g_relSCRIPTTEMPLATES,
    &Relate_SCRIPTTEMPLATEDETAILS = g_relSCRIPTTEMPLATEDETAILS,
    &Relate_ACTIONS = g_relACTIONS,
    &Relate_MSGLINK = g_relMSGLINK,
    &Relate_SCHEDULEWORKFILE = g_relSCHEDULEWORKFILE,
    &Relate_SYNCSCHEDULE = g_relSYNCSCHEDULE,
    &Relate_SYNCSCRIPTING = g_relSYNCSCRIPTING,
    &Relate_SYNCTODO = g_relSYNCTODO,
    &Relate_SYNCOVUSD = g_relSYNCOVUSD,
    &Relate_EXPORT = g_relEXPORT,
    &Relate_OV_LOG = g_relOV_LOG;

std::span<RelationManager* const> relationManagers() { return kRelationManagers; }

}  // namespace ov::files
