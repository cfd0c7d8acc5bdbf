#include "backup/runner_windows.h"

#include "platform/rt/paths.h"
#include "platform/rt/process.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/text_list.h"
#include "platform/ui/window.h"

namespace ov::backup {

using ui::EVENT;
using ui::Level;

void LibraryWorker::start(std::function<long()> call) {
  join();
  m_done = false;
  m_thread = std::thread([this, call = std::move(call)] {
    m_result = call();
    m_done = true;
  });
}

long LibraryWorker::join() {
  if (m_thread.joinable()) m_thread.join();
  return m_result;
}

namespace {

constexpr int kPollHundredths = 5;

// The controls both progress windows share; the backup window adds its status line.
struct ProgressControls {
  int archive, file, bar1, bar2, list, cancel;
};

ProgressControls declareProgress(ui::Window& w, int top) {
  ProgressControls c{};
  w.prompt("?Prompt:Archive", "Archive").at(6, top, 40, 10);
  c.archive = w.string("?Archive", "").at(50, top, 200, 10).feq();
  w.prompt("?Prompt:File", "Working on:").at(6, top + 14, 40, 10);
  c.file = w.string("?File", "").at(50, top + 14, 200, 10).feq();
  c.bar1 = w.progress("?Progress1").at(6, top + 28, 244, 8).feq();
  c.bar2 = w.progress("?Progress2").at(6, top + 40, 244, 8).feq();
  c.list = w.add<ui::TextList>(0, "?Files").at(6, top + 52, 244, 70).feq();
  c.cancel = w.button("?Cancel", "Cancel").at(105, top + 128, 45, 14).feq();
  return c;
}

}  // namespace

// ---- Backup -------------------------------------------------------------------------------------

Level BackupWindow::Init() {
  ui::Window& w = window();
  w.setTitle("Archiving...");
  w.at(-1, -1, 256, 162).timer(kPollHundredths);
  m_status = w.string("?Status", "").at(6, 4, 244, 10).feq();
  ProgressControls c = declareProgress(w, 18);
  m_archive = c.archive;
  m_file = c.file;
  m_bar1 = c.bar1;
  m_bar2 = c.bar2;
  m_list = c.list;
  m_cancel = c.cancel;
  Open();
  return Level::Benign;
}

Level BackupWindow::TakeWindowEvent() {
  ui::Window& w = window();
  if (EVENT() == EVENT::OpenWindow && !m_worker.isRunning() && !m_finished) {
    if (m_op.Prepare(&w, m_bar1, m_list, m_file, m_bar2, &m_files)) {
      w.setProp(m_archive, ui::Prop::Text, m_op.archiveName());
      w.setProp(m_status, ui::Prop::Text, m_op.statusLine());
      m_worker.start([this] { return m_op.Run(); });
    } else {
      w.setProp(m_archive, ui::Prop::Text, m_op.archiveName());
      m_finished = true;
      m_exit = m_op.Finish(0);
      ui::POST(EVENT::CloseWindow);
    }
  } else if (EVENT() == EVENT::Timer && m_worker.isRunning()) {
    m_op.zip().ShowProgress();
    if (m_worker.done()) {
      long r = m_worker.join();
      m_finished = true;
      m_exit = m_op.Finish(r);
      ui::POST(EVENT::CloseWindow);
    }
  } else if (EVENT() == EVENT::CloseWindow && m_worker.isRunning()) {
    m_op.zip().Cancel();  // closing asks the library to stop; the window closes when it has
    return Level::Notify;
  }
  return WindowManager::TakeWindowEvent();
}

Level BackupWindow::TakeAccepted() {
  if (ui::ACCEPTED() == m_cancel) {
    if (m_worker.isRunning()) m_op.zip().Cancel();
    return Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

Level BackupWindow::Kill() {
  if (m_worker.isRunning()) {
    m_op.zip().Cancel();
    m_worker.join();
  }
  m_op.Close();
  return WindowManager::Kill();
}

// ---- Restore ------------------------------------------------------------------------------------

Level RestoreWindow::Init() {
  ui::Window& w = window();
  w.setTitle("Restoring...");
  w.at(-1, -1, 256, 150).timer(kPollHundredths);
  ProgressControls c = declareProgress(w, 6);
  m_archive = c.archive;
  m_file = c.file;
  m_bar1 = c.bar1;
  m_bar2 = c.bar2;
  m_list = c.list;
  m_cancel = c.cancel;
  Open();
  return Level::Benign;
}

Level RestoreWindow::TakeWindowEvent() {
  ui::Window& w = window();
  if (EVENT() == EVENT::OpenWindow && !m_worker.isRunning() && !m_finished) {
    m_op.Prepare(&w, m_bar1, m_list, m_file, m_bar2, &m_files);
    w.setProp(m_archive, ui::Prop::Text, m_op.job().archive);
    m_worker.start([this] { return m_op.Run(); });
  } else if (EVENT() == EVENT::Timer && m_worker.isRunning()) {
    m_op.unzip().ShowProgress();
    if (m_worker.done()) {
      long r = m_worker.join();
      m_finished = true;
      m_exit = m_op.Finish(r);
      ui::POST(EVENT::CloseWindow);
    }
  } else if (EVENT() == EVENT::CloseWindow && m_worker.isRunning()) {
    m_op.unzip().Cancel();
    return Level::Notify;
  }
  return WindowManager::TakeWindowEvent();
}

Level RestoreWindow::TakeAccepted() {
  if (ui::ACCEPTED() == m_cancel) {
    if (m_worker.isRunning()) m_op.unzip().Cancel();
    return Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

Level RestoreWindow::Kill() {
  if (m_worker.isRunning()) {
    m_op.unzip().Cancel();
    m_worker.join();
  }
  m_op.Close();
  return WindowManager::Kill();
}

// ---- Main ---------------------------------------------------------------------------------------

Level BackupMainWindow::Init() {
  ui::Window& w = window();
  w.setTitle("Backup / Restore");
  w.at(-1, -1, 250, 130);
  w.string("?Intro1", "This utility allows you to create or restore from a standard").at(8, 6, 236, 10);
  w.string("?Intro2", "\"ZIP\" format archive.").at(8, 16, 236, 10);
  w.prompt("?Prompt:Operation", "Select an operation:").at(8, 32, 120, 10);
  m_operation = w.option("?GLO:Operation", "").at(8, 42, 236, 26).use(GLO.Operation).feq();
  w.radio("?Backup", "&Backup to an archive", m_operation).value(kBackupOperation).at(14, 44, 150, 10);
  w.radio("?Restore", "&Restore from an archive", m_operation).value(kRestoreOperation).at(14, 56, 150, 10);
  w.prompt("?Prompt:Archive", "Select a name (and location) for the &archive:").at(8, 74, 200, 10);
  m_archive = w.entry("?GLO:ArchiveName", "@s255").at(8, 86, 214, 12).use(GLO.ArchiveName).feq();
  m_lookup = w.button("?LookupArchive", "...").at(226, 86, 16, 12).feq();
  OkControl = w.button("?OK", "&OK").setDefault().at(86, 108, 45, 14).feq();
  CancelControl = w.button("?Cancel", "Cancel").at(136, 108, 45, 14).feq();
  m_advanced = w.button("?Advanced", "&Advanced").at(196, 108, 48, 14).feq();
  Open();
  return Level::Benign;
}

Level BackupMainWindow::TakeAccepted() {
  const int f = ui::ACCEPTED();
  if (f == m_lookup || f == OkControl || f == m_advanced) Update();
  if (f == m_lookup) {
    const bool backup = GLO.Operation == kBackupOperation;
    std::string file = GLO.ArchiveName;
    int flags = ui::FILE_::KeepDir | ui::FILE_::LongName | (backup ? ui::FILE_::Save : 0);
    if (ui::FILEDIALOG(backup ? "Select Archive (Backup to...)" : "Select Archive (Restore from...)", file,
                       "Archives|*.ZIP", flags)) {
      GLO.ArchiveName = file;
      ui::DISPLAY(m_archive);
    }
    return Level::Notify;
  }
  if (f == OkControl) {
    if (isBackupOperation(GLO.Operation)) {
      BackupWindow progress(BackupSetup(m_cmd, GLO.ArchiveName, "", "", m_folder));
      progress.Run();
      m_exit = progress.exitCode();
    } else if (isRestoreOperation(GLO.Operation)) {
      RestoreWindow progress(RestoreSetup(m_cmd, GLO.ArchiveName, "", m_folder));
      progress.Run();
      m_exit = progress.exitCode();
      // Refused while a program has the data open: the window stays, so that the user can close
      // that program and press OK again.
      if (progress.refused()) return Level::Notify;
    } else {
      ui::SELECT(m_operation);
      return Level::Notify;
    }
    ui::POST(EVENT::CloseWindow);
    return Level::Notify;
  }
  if (f == m_advanced) {
    rt::Started started = rt::startProgram(advancedCommand(m_cmd));
    if (!started.ok()) {
      ui::MESSAGE("Unable to run QMTBACKA.EXE.", "Error", ui::Icon::Exclamation);
      return Level::Notify;
    }
    rt::closeProgram(started.handle);  // not waited for
    ui::POST(EVENT::CloseWindow);
    return Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

int RunBackupProgram() {
  loadPreserved();
  const RunnerCommand cmd = readRunnerCommand();
  MainPlan plan = MainSetup(cmd);
  int code = kExitSucceeded;
  switch (plan.kind) {
    case MainPlan::Kind::Backup: {
      BackupWindow w(plan.backup);
      w.Run();
      code = w.exitCode();
      break;
    }
    case MainPlan::Kind::Restore: {
      RestoreWindow w(plan.restore);
      w.Run();
      code = w.exitCode();
      break;
    }
    case MainPlan::Kind::Window: {
      BackupMainWindow w(cmd, plan.folder);
      w.Run();
      code = w.exitCode();
      break;
    }
  }
  savePreserved();
  return code;
}

}  // namespace ov::backup
