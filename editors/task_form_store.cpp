#include <functional>
#include <map>
#include <string>

#include "datalib/files.h"
#include "datalib/records.h"
#include "editors/task_form.h"
#include "platform/files/file.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "scheduler/schedule_data.h"

namespace ov::editors {

using files::M_;
using files::SCH;
using rt::Err;

namespace {
NewTaskNote g_newTask;

// The message in M_ stored: changed when it has a number and is there, else added with a new one.
Err storeMessage(bool insert) {
  if (!insert && M_.EmailID != 0) {
    // The stored message becomes the file's current record, then takes the edited one's place.
    const files::MessageRec edited = M_;
    const bool there = files::Access_MESSAGES.TryFetch(files::M_KeyEmailID) == Err::None;
    M_ = edited;
    if (there && files::Access_MESSAGES.TryUpdate() == Err::None) return Err::None;
  }
  M_.EmailID = 0;  // numbered as it is added
  return files::Access_MESSAGES.TryInsert();
}

// Sets the skip mark of the task the new one was rescheduled from. SCH is kept.
void markSourceSkipped(int32_t sourceId) {
  const files::ScheduleRec kept = SCH;
  SCH.ID = sourceId;
  if (Err err = files::Access_SCHEDULE.TryFetch(files::SCH_KeyID); err != Err::None) {
    ui::MESSAGE("Could not set SKIP status  ID #" + std::to_string(sourceId) + "|Error: " + rt::ERROR(), "Error",
                ui::Icon::Exclamation);
  } else {
    SCH.SkipNextTime = 1;
    if (files::Access_SCHEDULE.TryUpdate() != Err::None)
      ui::MESSAGE("Could not change SKIP status " + rt::ERROR(), "Error", ui::Icon::Exclamation);
  }
  SCH = kept;
}

}  // namespace

Err storeTask(const TaskStore& given, std::string& failure) {
  TaskStore store = given;
  failure.clear();
  const bool email = store.email && store.request != ui::DeleteRecord;
  std::vector<db::File*> involved{&files::SCHEDULE, &files::SCRIPTING};
  if (email) involved.push_back(&files::MESSAGES);
  // Without a transaction (another one is running) the writes go on one by one.
  const bool own = db::LOGOUT(1, involved) == Err::None;
  Err err = Err::None;
  if (store.prepare) store.prepare(store);
  if (email) {
    if (err = storeMessage(store.request == ui::InsertRecord); err != Err::None) {
      failure = "Could not add message to database.";
    } else {
      SCH.Command = emailCommand(M_.EmailID);
    }
  }
  if (err == Err::None && store.skipSource && store.sourceId != 0) markSourceSkipped(store.sourceId);
  if (err == Err::None && store.request != ui::InsertRecord) {
    // The stored task becomes the file's current record, whatever the form read meanwhile.
    const files::ScheduleRec edited = SCH;
    err = files::Access_SCHEDULE.TryFetch(files::SCH_KeyID);
    SCH = edited;
    if (err != Err::None) failure = rt::ERROR();
  }
  if (err == Err::None) {
    switch (store.request) {
      case ui::InsertRecord: err = files::Access_SCHEDULE.Insert(); break;
      case ui::ChangeRecord: err = files::Relate_SCHEDULE.Update(); break;
      case ui::DeleteRecord: err = files::Relate_SCHEDULE.Delete(); break;
      default: break;
    }
    if (err != Err::None && failure.empty()) failure = rt::ERROR();
  }
  if (own) {
    if (err == Err::None) {
      if (err = db::COMMIT(); err != Err::None) failure = rt::ERROR();
    } else {
      (void)db::ROLLBACK();  // nothing of the task, its message or its source's mark stays
    }
  }
  if (err == Err::None && store.request == ui::InsertRecord) g_newTask = {g_newTask.count + 1, SCH.ID};
  return err;
}

NewTaskNote lastNewTask() { return g_newTask; }

void discardNewTask(int32_t id) {
  if (id != 0) (void)scheduler::deleteScriptItems(id);  // best effort: reported by nothing but the file
  (void)files::Access_SCHEDULE.CancelAutoInc();
}

namespace {
std::map<std::string, std::function<void()>, std::less<>>& scriptCommands() {
  static std::map<std::string, std::function<void()>, std::less<>> commands;
  return commands;
}
}  // namespace

void registerScriptCommand(std::string name, std::function<void()> command) {
  if (command)
    scriptCommands()[std::move(name)] = std::move(command);
  else
    scriptCommands().erase(name);
}

bool scriptCommandRegistered(std::string_view name) { return scriptCommands().count(name) != 0; }

bool runScriptCommand(std::string_view name) {
  const auto it = scriptCommands().find(name);
  if (it == scriptCommands().end()) return false;
  const std::function<void()> command = it->second;  // the command may register others
  command();
  return true;
}

bool ChooseProgramToStart() {
  const std::string saved = rt::PATH();
  if (!SCH.Path.isBlank()) (void)rt::SETPATH(SCH.Path.clipped());  // the dialog opens there when it can
  std::string file;
  const bool chosen =
      ui::FILEDIALOG("Choose a Program to Start", file,
                     "All Files|*.*|EXEs|*.EXE|COMs|*.COM|BATs|*.BAT|Shortcuts|*.LNK", ui::FILE_::LongName) &&
      !file.empty();
  if (chosen) {
    SCH.Command = file;
    if (SCH.Path.isBlank()) SCH.Path = programFolder(file);
  }
  (void)rt::SETPATH(saved);
  return chosen;
}

}  // namespace ov::editors
