#include "datalib/file_repair_class.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>

#include "platform/files/decl.h"
#include "platform/files/file.h"
#include "platform/rt/err.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/process.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window.h"
#include "platform/ui/window_manager.h"

namespace ov::files {
namespace {

constexpr int kRunWork = ui::EVENT::User + 1;
constexpr const char* kExampleName = "qvRepair.TPS";

// The window shown while an operation works: its title names the operation and the label, its
// line the file (or the key being built). It runs the work when it has opened and closes after.
class RepairWindow : public ui::WindowManager {
 public:
  RepairWindow(std::string title, std::string line, std::function<int32_t(RepairWindow*)> work)
      : WindowManager("FileRepair"), m_title(std::move(title)), m_text(std::move(line)), m_work(std::move(work)) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_title);
    w.at(-1, -1, 220, 40);
    m_line = w.string("?Line", m_text).at(8, 14, 204, 10).feq();
    Open();
    w.post(kRunWork);
    return ui::Level::Benign;
  }
  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() != kRunWork) return WindowManager::TakeWindowEvent();
    ui::BusyCursor busy;
    m_result = m_work(this);
    SetResponse(ui::RequestCompleted);
    return ui::Level::Notify;
  }
  void setLine(std::string_view text) {
    window().setProp(m_line, ui::Prop::Text, text);
    ui::processEvents();
  }
  int32_t result() const { return m_result; }

 private:
  std::string m_title, m_text;
  std::function<int32_t(RepairWindow*)> m_work;
  int m_line = 0;
  int32_t m_result = -1;
};

// Runs `work` behind its window; directly where the program has no windows.
int32_t withWindow(const std::string& title, const std::string& line,
                   const std::function<int32_t(RepairWindow*)>& work) {
  if (!QCoreApplication::instance()) return work(nullptr);
  RepairWindow window(title, line, work);
  window.Run();
  return window.result();
}

void showLine(RepairWindow* w, std::string_view text) {
  if (w) w->setLine(text);
}

void reportError(std::string_view what, std::string_view label, std::string_view operation) {
  ui::MESSAGE(std::string(what) + " " + std::string(label) + " for " + std::string(operation) +
                  " operation.  Error: " + rt::ERROR() + ".",
              "Error", ui::Icon::Exclamation);
}

// The table part of a storage name ("RO97.ZEZ\!Contact" -> "\!Contact"), "" for a file of its own.
std::string tablePart(std::string_view name) {
  for (size_t i = 0; i + 1 < name.size(); ++i)
    if ((name[i] == '\\' || name[i] == '/') && name[i + 1] == '!') return std::string(name.substr(i));
  return {};
}

}  // namespace

void FileRepairClass::Init(int32_t) {
  Q.clear();
  const int self = ui::THREAD();
  for (int t = 2; t <= ui::kMaxThreads; ++t)
    if (t != self && ui::isThreadRunning(t)) ui::POST(ui::EVENT::CloseWindow, 0, t);
}

void FileRepairClass::Kill() { Q.clear(); }

void FileRepairClass::AddFile(db::File& file, std::string_view label) {
  std::string text(label.substr(0, rt::utf8CutLength(label, 255)));
  if (FileRepairEntry* e = find(text)) {
    e->FILE = &file;
    return;
  }
  const std::string key = rt::UPPER(text);
  auto at = std::upper_bound(Q.begin(), Q.end(), key,
                             [](const std::string& k, const FileRepairEntry& e) { return k < rt::UPPER(e.LABEL); });
  Q.insert(at, FileRepairEntry{&file, std::move(text)});
}

FileRepairEntry* FileRepairClass::find(std::string_view label) {
  const std::string key = rt::UPPER(rt::clipView(label));
  for (FileRepairEntry& e : Q)
    if (rt::UPPER(rt::clipView(e.LABEL)) == key) return &e;
  return nullptr;
}

int32_t FileRepairClass::Pack(std::string_view label) { return operate("Pack", label); }
int32_t FileRepairClass::Build(std::string_view label) { return operate("Build", label); }
int32_t FileRepairClass::Repair(std::string_view label) { return operate("Repair", label); }
int32_t FileRepairClass::Release(std::string_view label) { return operate("Release", label); }

int32_t FileRepairClass::operate(std::string_view operation, std::string_view labelIn) {
  const std::string op(operation);
  const std::string label(rt::clipView(labelIn));
  FileRepairEntry* entry = find(label);
  db::File* file = entry ? entry->FILE : nullptr;
  const std::string shown = file ? file->name() : std::string();

  return withWindow(op + " " + label, shown, [&](RepairWindow* w) -> int32_t {
    if (!file) return -1;
    constexpr int kExclusive = db::kReadWrite | db::kDenyAll;
    auto openExclusive = [&]() -> bool {
      rt::Err err = file->open(kExclusive);
      // A key that must be rebuilt still lets the work go on; so does a damaged file that is to
      // be repaired, which is what the repair is for.
      if (err == rt::Err::None || err == rt::Err::RebuildKey) return true;
      if (op == "Repair" && err == rt::Err::FileSystem) return true;
      reportError("Cannot open", label, op);
      (void)file->close();
      return false;
    };
    auto failed = [&](rt::Err err) -> int32_t {
      rt::setError(err, label);
      ui::MESSAGE("Cannot complete the " + op + " operation on " + label + ".  Error: " + rt::ERROR() + ".", "Error",
                  ui::Icon::Exclamation);
      (void)file->close();
      return -1;
    };
    if (!openExclusive()) return -1;

    if (op == "Pack") {
      rt::Err err = file->pack();
      if (err != rt::Err::None) return failed(err);
      (void)file->close();
      return 0;
    }

    if (op == "Build") {
      (void)file->close();
      file->send("FULLBUILD=ON");
      if (!openExclusive()) return -1;
      rt::Err err = file->build([&](std::string_view key) { showLine(w, key); });
      showLine(w, shown);
      if (err != rt::Err::None) return failed(err);
      (void)file->close();
      return 0;
    }

    if (op == "Repair") {
      const std::string name = file->name();
      const std::string path = file->path();
      (void)file->close();
      if (rt::clipView(name).empty()) return -1;
      // The example: an empty file of the same layout (and owner) in the current folder.
      db::FileDecl example = file->decl();
      const std::string exampleName = kExampleName + tablePart(name);
      example.nameFrom = [exampleName] { return exampleName; };
      example.earlierNames.clear();
      {
        db::File ex(example);
        (void)ex.create();
      }
      const std::string owner = file->decl().owner ? file->decl().owner() : std::string();
      const bool blank = path.find_first_of(" \t") != std::string::npos;
      const std::string command =
          "TPSFIX " + (blank ? "\"" + path + "\"" : path) + " /E:" + kExampleName + " /K";
      int error = 0;
      int32_t code = runRepairProgram(command, owner, error);
      if (error != 0) {
        rt::setError(rt::Err::NoFile, "TPSFIX");
        ui::MESSAGE("Cannot run TPSFIX for the Repair operation on " + label + ".  Error: " + rt::ERROR() + ".",
                    "Error", ui::Icon::Exclamation);
        return -1;
      }
      return code;
    }

    // Release: every record held, by whatever process, is read once more with recovery on,
    // which lets it go.
    (void)file->close();
    file->send("RECOVER=1");
    if (!openExclusive()) return -1;
    file->send("IGNORESTATUS=ON");
    rt::Err err = file->set();
    while (err == rt::Err::None && (err = file->next()) == rt::Err::None) {
      if (file->send("HELD") == "ON") {
        file->send("RECOVER=1");
        err = file->getPosition(file->position());
      }
    }
    int32_t result = 0;
    if (err == rt::Err::NotAvailable) {
      file->send("RECOVER=0");
      file->send("IGNORESTATUS=OFF");
    } else {
      reportError("Cannot retrieve record in", label, op);
      result = -1;
    }
    file->send("RECOVER=0");
    (void)file->close();
    return result;
  });
}

int32_t FileRepairClass::runRepairProgram(const std::string& commandLine, const std::string& owner, int& error) {
  // The owner password goes to the program through its environment, never its command line.
  if (owner.empty())
    ::unsetenv("TPSFIX_OWNER");
  else
    ::setenv("TPSFIX_OWNER", owner.c_str(), 1);
  int code = -1;
  auto run = [&] { error = rt::runProgram(commandLine, code); };
  if (QCoreApplication::instance())
    ui::waitForWorker(run);
  else
    run();
  ::unsetenv("TPSFIX_OWNER");
  return error == 0 ? code : -1;
}

}  // namespace ov::files
