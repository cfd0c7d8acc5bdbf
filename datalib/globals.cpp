#include "globals.h"

#include "platform/rt/text.h"

namespace ov::files {

DebugGlobals DEBUG;
ClipGlobals CLIP;
EmailGlobals EMAIL;
NewsGlobals NEWS;
FormatGlobals FORMAT;
KeysGlobals KEYS;
LogGlobals LOG;
MsgGlobals MSG;
ReportGlobals REPORT;
ScriptGlobals SCRIPT;
StartGlobals START;
TaskGlobals TASK;
GloGlobals GLO;
AppGlobals APP;
IniGlobals INI;
String<255> EXEPATH;
String<32> PRODUCTNAME;
String<10> VERSIONNUMBER;

GloGlobals::GloGlobals()
    : EXPORTNAME("Export.txt"),
      SCHEDULEWORKFILENAME("ovWrkFil"),
      SYNCSCHEDULEFILENAME("SyncSch.TPS"),
      SYNCSCRIPTINGFILENAME("SyncScr.TPS"),
      SYNCTODOFILENAME("SyncTodo.TPS"),
      SYNCOVUSDFILENAME("SyncOVUSD.TPS") {}

namespace {

using rt::FieldType;

#define B(obj, m) {&obj.m, {#obj ":" #m, FieldType::Byte, 1, 0, 0}}
#define L(obj, m) {&obj.m, {#obj ":" #m, FieldType::Long, 4, 0, 0}}
#define S(obj, m) {&obj.m, {#obj ":" #m, FieldType::String, decltype(obj.m)::size(), 0, 0}}

const GlobalEntry kGlobals[] = {
    B(DEBUG, ACTIVE),
    S(CLIP, DEFAULTACTION), B(CLIP, ONTOP), B(CLIP, USEEXTERNAL), L(CLIP, MAXENTRIES), B(CLIP, MONITOR),
    S(EMAIL, SENDER), S(EMAIL, SENDERNAME), S(EMAIL, SMTPNAME), S(EMAIL, SMTPPASSWORD), S(EMAIL, HOST),
    S(EMAIL, ORGANIZATION), B(EMAIL, USEMAPI), B(EMAIL, USEMAPINOBCC), S(EMAIL, MAPINAME),
    S(EMAIL, MAPIPASSWORD),
    S(NEWS, USER), S(NEWS, PASSWORD), S(NEWS, SENDER), S(NEWS, SENDERNAME), S(NEWS, HOST),
    S(NEWS, ORGANIZATION),
    S(FORMAT, DATE), S(FORMAT, TIME),
    B(KEYS, MAXCHARSPERSEND),
    B(LOG, ACTIVE), B(LOG, ALLEXITCODES), L(LOG, MAXSIZE), B(LOG, USENTEVENT),
    L(MSG, MAXALARMTIME), L(MSG, REPEATALARMINTERVAL), L(MSG, SNOOZEINTERVAL), B(MSG, USEEXTERNAL),
    B(MSG, USEMODAL), B(MSG, USEWIN),
    B(REPORT, IncludeFutureOccurances),
    L(SCRIPT, DELAYLEN), B(SCRIPT, EXCLUDEHIDDENWINDOWS), B(SCRIPT, SAVEONCOMPLETION),
    B(SCRIPT, TRANSLATEFILENAMES),
    B(START, ACTIVEONLY), B(START, ALLDAYS), B(START, CLIPBOARD), B(START, CONTACTS),
    B(START, MINIMIZED), B(START, NOSPLASH), B(START, SCHEDULE), B(START, TODO),
    L(TASK, HISTORYEXPIRES), B(TASK, NEWPROC16), B(TASK, REMOVEUNCOMPLETED),
    B(TASK, RESTOREONRUNPROGRAM), L(TASK, SKIPIFDAYSPASSED), S(TASK, ROUNDING),
    S(GLO, USER), S(GLO, DATAPATH), S(GLO, LOGFILENAME), S(GLO, EXPORTNAME),
    S(GLO, SCHEDULEWORKFILENAME), S(GLO, SYNCSCHEDULEFILENAME), S(GLO, SYNCSCRIPTINGFILENAME),
    S(GLO, SYNCTODOFILENAME), S(GLO, SYNCOVUSDFILENAME), B(GLO, HIDETOOLBAR), B(GLO, NOTRAY),
    B(GLO, TRAYONCLOSE),
    L(APP, STARTUPDATE), L(APP, STARTUPTIME), S(APP, USERID), S(APP, USERNAME), S(APP, PATH),
    S(INI, FILENAME),
    {&EXEPATH, {"EXEPATH", FieldType::String, 255, 0, 0}},
    {&PRODUCTNAME, {"PRODUCTNAME", FieldType::String, 32, 0, 0}},
    {&VERSIONNUMBER, {"VERSIONNUMBER", FieldType::String, 10, 0, 0}},
};

#undef B
#undef L
#undef S

}  // namespace

std::span<const GlobalEntry> globalEntries() { return kGlobals; }

const GlobalEntry* findGlobal(std::string_view name) {
  std::string want = rt::UPPER(name);
  for (const GlobalEntry& g : kGlobals)
    if (rt::UPPER(g.desc.name) == want) return &g;
  return nullptr;
}

void clearGlobals() {
  DEBUG = {};
  CLIP = {};
  EMAIL = {};
  NEWS = {};
  FORMAT = {};
  KEYS = {};
  LOG = {};
  MSG = {};
  REPORT = {};
  SCRIPT = {};
  START = {};
  TASK = {};
  GLO = {};
  APP = {};
  INI = {};
  EXEPATH.clear();
  PRODUCTNAME.clear();
  VERSIONNUMBER.clear();
}

}  // namespace ov::files
