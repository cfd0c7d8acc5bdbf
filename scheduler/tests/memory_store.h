// An exception store in memory for the scheduler tests.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "scheduler/exceptions.h"

namespace ov::scheduler::testing {

// Tasks, their script items and holidays in memory, numbered like the SCHEDULE file.
struct MemoryStore : ExceptionStore {
  std::map<int32_t, ScheduleRecord> tasks;
  std::map<int32_t, int> scriptItems;  // task ID -> number of items
  std::set<int32_t> holidays;
  bool failInserts = false;
  std::vector<std::pair<std::string, std::string>> log;  // (label, text)

  bool isHoliday(int32_t date) override { return holidays.count(date) != 0; }
  bool fetchTask(int32_t id, ScheduleRecord& out) override {
    auto it = tasks.find(id);
    if (it == tasks.end()) return false;
    out = it->second;
    return true;
  }
  void deleteTask(int32_t id) override {
    tasks.erase(id);
    scriptItems.erase(id);
  }
  int32_t insertCopy(const ScheduleRecord& copy, int32_t sourceId) override {
    if (failInserts) return 0;
    const int32_t id = tasks.empty() ? 1 : tasks.rbegin()->first + 1;
    tasks[id] = copy;
    tasks[id].ID = id;
    if (scriptItems.count(sourceId)) scriptItems[id] = scriptItems[sourceId];
    return id;
  }
  void writeLog(std::string_view text, std::string_view label) override { log.emplace_back(label, text); }
  std::vector<const ScheduleRecord*> onceCopies() const {
    std::vector<const ScheduleRecord*> out;
    for (const auto& [id, t] : tasks)
      if (t.ScheduleType == "Once") out.push_back(&t);
    return out;
  }
};

}  // namespace ov::scheduler::testing
