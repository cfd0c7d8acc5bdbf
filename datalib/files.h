// The data files: one file block per file of the catalogue, its keys, and its file and relation
// managers (Access_SCHEDULE, Relate_SCHEDULE, ...). Files are opened on first use in the current
// folder, the data folder (startup.h), and created empty when missing.
//
// Keys are named as declared with "_" for the colon (SCH:KeyDateEnabled is SCH_KeyDateEnabled);
// for the prefixes C_, M_ and U_ the doubled "_" is written once (C_KeyClientID).
#pragma once

#include <span>

#include "datalib/records.h"
#include "platform/files/file.h"
#include "platform/files/file_manager.h"
#include "platform/files/relation_manager.h"

namespace ov::files {

// Storage files.
inline constexpr const char* kMainStorage = "RO97.ZEZ";

extern db::File SCHEDULE, SCRIPTING, OVUSD, OVSCD, CATEGORIES, CONFIGURATION, CONTACT,
    CONTACTCATEGORIES, CONTACTDETAILS, TODO, HOLIDAYS, MESSAGES, TRIGGERS, SYSHOTKEYS, USERS,
    CLIPBOARDCATEGORIES, CLIPBOARD, SCRIPTTEMPLATES, SCRIPTTEMPLATEDETAILS, ACTIONS, MSGLINK,
    SCHEDULEWORKFILE, SYNCSCHEDULE, SYNCSCRIPTING, SYNCTODO, SYNCOVUSD, EXPORT, OV_LOG;

// The file managers, one per file: open counts, primed values of new records, auto-numbers and
// field checks (the to-do priority lies in 1..10).
extern db::FileManager &Access_SCHEDULE, &Access_SCRIPTING, &Access_OVUSD, &Access_OVSCD,
    &Access_CATEGORIES, &Access_CONFIGURATION, &Access_CONTACT, &Access_CONTACTCATEGORIES,
    &Access_CONTACTDETAILS, &Access_TODO, &Access_HOLIDAYS, &Access_MESSAGES, &Access_TRIGGERS,
    &Access_SYSHOTKEYS, &Access_USERS, &Access_CLIPBOARDCATEGORIES, &Access_CLIPBOARD,
    &Access_SCRIPTTEMPLATES, &Access_SCRIPTTEMPLATEDETAILS, &Access_ACTIONS, &Access_MSGLINK,
    &Access_SCHEDULEWORKFILE, &Access_SYNCSCHEDULE, &Access_SYNCSCRIPTING, &Access_SYNCTODO,
    &Access_SYNCOVUSD, &Access_EXPORT, &Access_OV_LOG;

// The relation managers, one per file, with the rules between the files: deleting a task takes
// its script, per-user details and contact links with it; a category, contact category or
// message in use cannot be deleted or renamed; renaming a clipboard category carries the new
// name into its entries; deleting a trigger or hot key deletes its task.
extern db::RelationManager &Relate_SCHEDULE, &Relate_SCRIPTING, &Relate_OVUSD, &Relate_OVSCD,
    &Relate_CATEGORIES, &Relate_CONFIGURATION, &Relate_CONTACT, &Relate_CONTACTCATEGORIES,
    &Relate_CONTACTDETAILS, &Relate_TODO, &Relate_HOLIDAYS, &Relate_MESSAGES, &Relate_TRIGGERS,
    &Relate_SYSHOTKEYS, &Relate_USERS, &Relate_CLIPBOARDCATEGORIES, &Relate_CLIPBOARD,
    &Relate_SCRIPTTEMPLATES, &Relate_SCRIPTTEMPLATEDETAILS, &Relate_ACTIONS, &Relate_MSGLINK,
    &Relate_SCHEDULEWORKFILE, &Relate_SYNCSCHEDULE, &Relate_SYNCSCRIPTING, &Relate_SYNCTODO,
    &Relate_SYNCOVUSD, &Relate_EXPORT, &Relate_OV_LOG;

// Every file above, in catalogue order.
std::span<db::File* const> dataFiles();
// Their file managers, in the same order.
std::span<db::FileManager* const> fileManagers();
std::span<db::RelationManager* const> relationManagers();

extern db::Key SCH_KeyID, SCH_KeyDate, SCH_KeyCategory, SCH_KeyCategoryDate, SCH_KeyTaskName,
    SCH_KeyTaskType, SCH_KeyTaskDate, SCH_KeyDateEnabled, SCH_KeyAdvanced, SCH_KeyExpiryDate,
    SCH_KeyOriginalID;
extern db::Key SCR_KeyID, SCR_KeyEmail;
extern db::Key US_KeyID, US_KeyUser, US_KeyAdvanced, US_KeyCompleted;
extern db::Key SCD_KeyID, SCD_KeyContact;
extern db::Key CAT_KeyCategory;
extern db::Key CF_KeyDataType;
extern db::Key C_KeyClientID, C_KeyUserClientID, C_KeyLastName, C_KeyFirstName,
    C_KeyCompany, C_KeyWorkPhone, C_KeyHomePhone, C_KeyFaxNumber, C_KeyEmail, C_KeyCategory;
extern db::Key CC_KeyContactCategories;
extern db::Key CDT_K_Contact;
extern db::Key TDO_KeyDone, TDO_KeyPriority, TDO_KeyToDo, TDO_KeyCategory;
extern db::Key HOL_KeyHolidayDate;
extern db::Key M_KeyEmailID, M_KeyContact, M_KeySubject, M_KeyLastDateSent;
extern db::Key TRI_K_TRI_ID, TRI_K_ID, TRI_K_Trigger, TRI_K_Active, TRI_K_Description;
extern db::Key HOT_K_HotKey, HOT_K_ID, HOT_K_Active, HOT_K_Description;
extern db::Key U_KeyUser;
extern db::Key CLC_KeyCategory;
extern db::Key CLI_K_Date, CLI_K_Save, CLI_K_MRU, CLI_K_Category, CLI_K_Abbreviation, CLI_K_Hash;
extern db::Key OVT_K_WIZ_ID, OVT_K_Description, OVT_K_DOSFilename;
extern db::Key OVD_K_WIZ_ID;
extern db::Key ACT_KeySeq, ACT_KeyAction;
extern db::Key ML_K_ID;
extern db::Key SCW_KeyID, SCW_KeyUser, SCW_KeyDate, SCW_KeyUserDate, SCW_KeyCategory,
    SCW_KeyCategoryDate, SCW_KeyTaskName, SCW_KeyTaskType, SCW_KeyTaskDate, SCW_KeyDateEnabled,
    SCW_KeyAdvanced, SCW_KeyUserAdvanced, SCW_KeyExpiryDate;
extern db::Key SSCH_KeyID, SSCH_KeyDate, SSCH_KeyCategory, SSCH_KeyTaskType, SSCH_KeyOriginalID;
extern db::Key SSCR_KeyID;
extern db::Key STDO_KeyDone, STDO_KeyPriority, STDO_KeyToDo, STDO_KeyCategory;
extern db::Key SUS_KeyID, SUS_KeyUser, SUS_KeyAdvanced, SUS_KeyCompleted;

}  // namespace ov::files
