// The frame's commands: which can act, and what each does, for windows other parts register,
// companion programs in the program's folder, reports, the script queue and the frame's own.
#include "scheduler/frame_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "datalib/globals.h"
#include "platform/rt/ini.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window_manager.h"
#include "scheduler/program_windows.h"
#include "scheduler/tests/data_fixture.h"

using namespace ov;
using namespace ov::scheduler;
using namespace ov::scheduler::testing;
using ui::test::Driver;

namespace {

class Named : public ui::WindowManager {
 public:
  explicit Named(std::string name) : WindowManager(name) {}
  ui::Level Init() override {
    window().setTitle(procedureName());
    Open();
    return ui::Level::Benign;
  }
};

struct FrameCommands : DataFixture {
  void SetUp() override {
    DataFixture::SetUp();
    ui::test::application();
    programs = dir() / "programs";
    std::filesystem::create_directories(programs);
    files::EXEPATH = programs.string();
    services().runNoWait = [this](std::string_view line) {
      ran.emplace_back(line);
      return runCode;
    };
    frame.exit = [this] { events.push_back("exit"); };
    frame.reset = [this] { events.push_back("reset"); };
    frame.end = [this] { events.push_back("end"); };
    frame.explorerView = [this] { return explorer; };
    frame.queuedScripts = [this] { return queued; };
    frame.stopScripts = [this] { events.push_back("stop"); };
  }
  void TearDown() override {
    for (const std::string& name : registered) registerProgramWindow(name, {});
    ui::closeAllWindows();
    ui::processEvents();
    DataFixture::TearDown();
  }
  void registerWindow(const std::string& name) {
    registerProgramWindow(name, [name] { return std::make_unique<Named>(name); });
    registered.push_back(name);
  }
  void addProgram(const std::string& name) {
    const std::filesystem::path p = programs / name;
    std::ofstream(p) << "#!/bin/sh\nexit 0\n";
    ::chmod(p.c_str(), 0755);
  }
  // Runs command `feq` on the GUI thread; the procedures of the windows open afterwards.
  std::vector<std::string> run(int feq) {
    std::vector<std::string> open;
    ui::test::runScript([&](Driver& d) {
      d.gui([&] { EXPECT_TRUE(RunCommand(feq, frame)) << feq; });
      d.settle();
      d.gui([&] {
        for (ui::Window* w : ui::openWindows())
          if (w->manager()) open.push_back(w->manager()->procedureName());
        ui::closeAllWindows();
      });
    });
    return open;
  }

  std::filesystem::path programs;
  CommandFrame frame;
  std::vector<std::string> ran, events, registered;
  int runCode = 0, queued = 0;
  bool explorer = false;
};

}  // namespace

TEST_F(FrameCommands, WindowsActOnceRegisteredAndToolbarButtonsFollowTheirTargets) {
  struct Case {
    int feq;
    const char* procedure;  // registered before the command runs
  } cases[] = {
      {-42, "BrowseToDoList"},  {-109, "BrowseToDoList"}, {-130, "BrowseToDoList"},
      {-3, "BrowseTaskCategories"}, {-47, "BrowseTaskCategories"}, {-21, "ViewAscii:Log"},
      {-58, "UpdateHotKeys"},   {-107, "UpdateHotKeys"},  {-128, "UpdateHotKeys"},
      {-113, "BrowseHotKeys"},  {-134, "BrowseHotKeys"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.feq);
    EXPECT_FALSE(CommandAvailable(c.feq)) << "nothing registered yet";
    registerWindow(c.procedure);
    EXPECT_TRUE(CommandAvailable(c.feq));
    EXPECT_EQ(run(c.feq), std::vector<std::string>{c.procedure});
    registerProgramWindow(c.procedure, {});
  }
  EXPECT_FALSE(RunCommand(-1, frame)) << "not a command of the frame";
  EXPECT_FALSE(RunCommand(5, frame));
}

TEST_F(FrameCommands, TaskFormStartsWithItsPresetTaskType) {
  registerWindow("UpdateSchedule");
  const std::pair<int, const char*> cases[] = {
      {-51, "Display Message"}, {-104, "Display Message"}, {-125, "Display Message"},
      {-52, "Run Program"},     {-103, "Run Program"},     {-124, "Run Program"},
      {-53, "Script"},          {-105, "Script"},          {-54, "E-mail"},
      {-106, "E-mail"},         {-55, ""},
  };
  for (const auto& [feq, type] : cases) {
    SCOPED_TRACE(feq);
    PresetTaskType() = "stale";
    EXPECT_TRUE(CommandAvailable(feq));
    EXPECT_EQ(run(feq), std::vector<std::string>{"UpdateSchedule"});
    EXPECT_EQ(PresetTaskType().str(), type);
  }
}

TEST_F(FrameCommands, ScheduleOpensTheExplorerOrTheDayList) {
  registerWindow("BrowseSchedule");
  EXPECT_EQ(run(-39), std::vector<std::string>{"BrowseSchedule"});
  explorer = true;
  EXPECT_EQ(run(-108), std::vector<std::string>{"BrowseSchedule"}) << "no explorer yet: the day list";
  registerWindow("ExploreSchedule");
  EXPECT_EQ(run(-129), std::vector<std::string>{"ExploreSchedule"});
}

TEST_F(FrameCommands, CompanionProgramsRunFromTheProgramsFolderWhenThere) {
  const std::string folder = programs.string() + "/";
  EXPECT_FALSE(CommandAvailable(-13));
  addProgram("ov_impex");
  addProgram("qmtback");
  addProgram("ov_dbase");
  for (int feq : {-11, -12, -13, -14, -16, -17, -18, -19, -22, -31}) EXPECT_TRUE(CommandAvailable(feq)) << feq;
  (void)run(-13);
  (void)run(-16);
  (void)run(-22);
  EXPECT_EQ(ran, (std::vector<std::string>{folder + "OV_IMPEX I TODO", folder + "OV_IMPEX E SCHEDULE",
                                           folder + "QMTBACK.EXE RO97.ZEZ"}));
  EXPECT_EQ(events, std::vector<std::string>{"reset"}) << "the backup resets the frame";

  events.clear();
  runCode = 2;
  (void)run(-31);
  runCode = 0;
  (void)run(-31);
  EXPECT_EQ(events, (std::vector<std::string>{"reset", "end"})) << "the database program ends the frame once started";
}

TEST_F(FrameCommands, ReportsNeedTheReportProgramAndSayWhenItFailsToStart) {
  EXPECT_FALSE(CommandAvailable(-63));
  addProgram("ov_rpts");
  EXPECT_TRUE(CommandAvailable(-63));
  EXPECT_EQ(ReportName(-64), "?PrintSCH:KeyDate");
  EXPECT_EQ(ReportName(-69), "") << "no report has that number";
  (void)run(-63);
  EXPECT_EQ(ran, std::vector<std::string>{programs.string() + "/OV_RPTS.EXE ?ReportsCalendar"});
  EXPECT_TRUE(host.messages.empty());
  runCode = 2;
  (void)run(-80);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Error");
  EXPECT_NE(host.messages[0].text.find("Unable to start OV_RPTS.EXE."), std::string::npos);
}

TEST_F(FrameCommands, ScriptQueueCommandsActOnlyWhenScriptsAreQueued) {
  registerWindow("ViewQueue:Script");
  EXPECT_TRUE(run(-101).empty());
  (void)run(-100);
  EXPECT_TRUE(events.empty());
  queued = 2;
  EXPECT_EQ(run(-101), std::vector<std::string>{"ViewQueue:Script"});
  (void)run(-100);
  (void)run(-137);
  EXPECT_EQ(events, (std::vector<std::string>{"stop", "stop"}));
  (void)run(-33);
  EXPECT_EQ(events.back(), "exit");
}

TEST_F(FrameCommands, HelpOpensTheManualAndTheLinksFollowTheirSettings) {
  // A desktop whose opener records what it is handed.
  const std::filesystem::path bin = dir() / "desktop";
  std::filesystem::create_directories(bin);
  const std::string log = (dir() / "opened.txt").string();
  std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << log << "'\n";
  ::chmod((bin / "xdg-open").c_str(), 0755);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
  auto opened = [&] {
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  };

  EXPECT_TRUE(CommandAvailable(Command::Help));
  EXPECT_FALSE(CommandAvailable(Command::WebSite)) << "no address set";
  EXPECT_FALSE(CommandAvailable(Command::SupportMail));
  EXPECT_TRUE(run(Command::WebSite).empty());
  EXPECT_TRUE(opened().empty()) << "an empty address opens nothing";

  EXPECT_TRUE(run(Command::Help).empty());
  ASSERT_EQ(opened().size(), 1u);
  EXPECT_TRUE(opened()[0].ends_with("/help/index.html")) << opened()[0];
  EXPECT_TRUE(std::filesystem::is_regular_file(opened()[0]));

  ASSERT_EQ(rt::PUTINI("Custom", "WebSite", "https://orvane.example/", "OV98.INI"), rt::Err::None);
  ASSERT_EQ(rt::PUTINI("Custom", "SupportAddress", "help@orvane.example", "OV98.INI"), rt::Err::None);
  EXPECT_TRUE(CommandAvailable(Command::WebSite));
  EXPECT_TRUE(CommandAvailable(Command::SupportMail));
  (void)run(Command::WebSite);
  (void)run(Command::SupportMail);
  ::setenv("PATH", path.c_str(), 1);
  const std::vector<std::string> all = opened();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[1], "https://orvane.example/");
  EXPECT_EQ(all[2], "mailto:help@orvane.example");
}
