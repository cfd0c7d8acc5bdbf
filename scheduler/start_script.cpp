#include "scheduler/start_script.h"

#include <functional>
#include <string>
#include <vector>

#include "datalib/date_string_functions.h"
#include "datalib/globals.h"
#include "datalib/prepare_script_record.h"
#include "datalib/script_actions.h"
#include "datalib/script_exchange.h"
#include "platform/rt/date_time.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "scheduler/scheduler_windows.h"
#include "scheduler/script_queue.h"

namespace ov::scheduler {

bool StartScript(std::string_view fileNameIn, char modeIn) {
  const char mode = char(rt::UPPER(std::string(1, modeIn))[0]);
  const std::string fileName(rt::clipView(fileNameIn));
  files::GLO.EXPORTNAME = fileName;
  std::vector<files::ExportRec> records;
  std::string problem;
  if (files::readExchangeFile(rt::normalizePath(fileName), records, &problem) != rt::Err::None) {
    (void)ui::MESSAGE(problem.empty() ? "Cannot read the script file " + fileName : problem, "Start Script");
    return false;
  }

  const int32_t delay = files::SCRIPT.DELAYLEN;
  int32_t date = rt::TODAY(), time = rt::CLOCK() + 2 * delay;
  files::FIXDATE(date, time);
  const int32_t taskId = ActiveScriptQueue.RECORDS() > 0 ? ActiveScriptQueue.at(1).RECORD.ID : 0;

  std::vector<ScriptEntry> local;
  if (mode == 'I' && ActiveScriptQueue.RECORDS() > 0) local.push_back(ActiveScriptQueue.at(1));
  if (mode == 'A' && ActiveScriptQueue.RECORDS() > 0) {
    const ScriptEntry& last = ActiveScriptQueue.at(ActiveScriptQueue.RECORDS());
    if (last.DATE == date && last.TIME > time) {
      time = last.TIME + delay;
    } else if (last.DATE > date) {
      date = last.DATE;
      time = last.TIME + delay;
    }
    files::FIXDATE(date, time);
    for (const ScriptEntry& e : ActiveScriptQueue) local.push_back(e);
  }
  const int32_t startDate = date, startTime = time;

  // Behind the "Importing Script Items" window; a file of many steps shows how far it got.
  auto load = [&](const std::function<void(int)>& progress) {
    size_t done = 0;
    for (const files::ExportRec& rec : records) {
      progress(int(100 * done++ / records.size()));
      files::ScriptingRec step{};
      const bool known = files::importScriptRecord(rec, step) != 0;
      const std::string action = step.Action.str();
      if (action.empty() || action == files::action::kComment) continue;
      if (!known) {
        (void)ui::MESSAGE("Unrecognized script action: " + action, "Import Error");
        continue;
      }
      step.ID = taskId;
      step.Sequence = 0;
      const int32_t prepDate = date, prepTime = time;
      if (!action.starts_with("Wait")) {
        if (action.find("...") == std::string::npos) time += delay;
      } else {
        const std::string waitMode = rt::LOWER(step.DDEApplicationName.clipped());
        if (waitMode != "or" && waitMode != "either")
          time += step.SecondsToWait * 100;
        else
          step.TimeElapsed = 0;
      }
      files::FIXDATE(date, time);
      ScriptEntry entry;
      entry.RECORD = step;
      entry.DATE = date;
      entry.TIME = time;
      (void)files::PREPARESCRIPTRECORD(entry.RECORD, prepDate, prepTime);  // 1: refused and logged as a Comment
      entry.WINDOWHANDLE = 0;
      local.push_back(entry);
    }
    progress(100);
    return rt::Err::None;
  };
  ProcessWindow window("StartScript", "Importing Script Items", load);
  window.Run();

  if (mode == 'I') {
    const int32_t days = date - startDate, centiseconds = time - startTime;
    for (int i = 2; i <= ActiveScriptQueue.RECORDS(); ++i) {
      ScriptEntry e = ActiveScriptQueue.at(i);
      e.DATE += days;
      e.TIME += centiseconds;
      files::FIXDATE(e.DATE, e.TIME);
      local.push_back(e);
    }
  } else if (mode == 'A' && (local.empty() || local.back().RECORD.Action != kEndMarker)) {
    ScriptEntry end;
    end.RECORD.Action = kEndMarker;
    end.DATE = date;
    end.TIME = time;
    local.push_back(end);
  }
  ActiveScriptQueue.FREE();
  for (const ScriptEntry& e : local) {
    ActiveScriptQueue.buf = e;
    ActiveScriptQueue.ADD();
  }
  return true;
}

}  // namespace ov::scheduler
