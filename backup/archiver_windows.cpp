#include "backup/archiver_windows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWidget>

#include <cstdio>

#include "backup/runner_windows.h"
#include "platform/rt/command_line.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/report/output.h"
#include "platform/rt/picture.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/list_control.h"
#include "platform/ui/window.h"
#include "platform/ui/window_proc.h"

namespace ov::backup {

using ui::EVENT;
using ui::Level;
using namespace archiver;

namespace {

int g_frameThread = 0;
int g_archiveThread = 0;
DisplayArchiveWindow* g_archiveWindow = nullptr;
const char* const kEnvironment = "32-bit Environment";
constexpr int kRefreshList = EVENT::User + 10;

// The progress both libraries report while an operation of the archiver runs.
ProgressBinding& progressSink() {
  static ProgressBinding sink;
  return sink;
}

// A progress window ("Zipping...", "Deleting...", ...): the library call on a worker, the percent
// and the current file on a timer, Cancel stopping the library.
class ArchiveProgressWindow : public ui::WindowManager {
 public:
  ArchiveProgressWindow(std::string title, std::function<long()> call)
      : WindowManager("ArchiveProgress"), m_title(std::move(title)), m_call(std::move(call)) {}
  long result() const { return m_result; }

  Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_title);
    w.at(-1, -1, 220, 70).timer(5);
    m_file = w.string("?MemberText", "").at(6, 6, 208, 10).feq();
    m_bar = w.progress("?Thermometer").at(6, 20, 170, 10).feq();
    m_percent = w.string("?PercentCompleted", "  0%").at(180, 20, 30, 10).feq();
    m_cancel = w.button("?Cancel", "Cancel").at(88, 40, 45, 14).feq();
    Open();
    progressSink().bind(&w, m_bar, 0, m_file, 0, nullptr);
    m_worker.start(m_call);
    return Level::Benign;
  }
  Level TakeWindowEvent() override {
    if (EVENT() == EVENT::Timer) {
      progressSink().show();
      char pct[8];
      std::snprintf(pct, sizeof pct, "%3d%%", static_cast<int>(window().propInt(m_bar, ui::Prop::Progress)));
      window().setProp(m_percent, ui::Prop::Text, pct);
      if (m_worker.isRunning() && m_worker.done()) {
        m_result = m_worker.join();
        ui::POST(EVENT::CloseWindow);
      }
    } else if (EVENT() == EVENT::CloseWindow && m_worker.isRunning()) {
      zip::AbortAll();
      return Level::Notify;
    }
    return WindowManager::TakeWindowEvent();
  }
  Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_cancel) {
      zip::AbortAll();
      return Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }
  Level Kill() override {
    if (m_worker.isRunning()) {
      zip::AbortAll();
      m_result = m_worker.join();
    }
    progressSink().bind(nullptr, 0, 0, 0, 0, nullptr);
    return WindowManager::Kill();
  }

 private:
  std::string m_title;
  std::function<long()> m_call;
  LibraryWorker m_worker;
  long m_result = 0;
  int m_file = 0, m_bar = 0, m_percent = 0, m_cancel = 0;
};

CallRunner progressRunner(const std::string& title) {
  return [title](const std::function<long()>& call) {
    ArchiveProgressWindow w(title, call);
    w.Run();
    return w.result();
  };
}

// A small dialog with OK and Cancel; `declare` adds the controls.
class SimpleDialog : public ui::WindowManager {
 public:
  SimpleDialog(std::string procedure, std::string title, int width, int height,
               std::function<void(ui::Window&)> declare)
      : WindowManager(std::move(procedure)), m_title(std::move(title)), m_w(width), m_h(height),
        m_declare(std::move(declare)) {}
  Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_title);
    w.at(-1, -1, m_w, m_h);
    m_declare(w);
    OkControl = w.button("?OK", "&OK").setDefault().at(m_w - 100, m_h - 20, 45, 14).feq();
    CancelControl = w.button("?Cancel", "&Cancel").at(m_w - 50, m_h - 20, 45, 14).feq();
    Open();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    if (ui::ACCEPTED() == OkControl) {
      Update();
      m_confirmed = true;
      ui::POST(EVENT::CloseWindow);
      return Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }
  bool confirmed() const { return m_confirmed; }

 private:
  std::string m_title;
  int m_w, m_h;
  std::function<void(ui::Window&)> m_declare;
  bool m_confirmed = false;
};

// "Password": two masked entries that must agree; the library gets the password on OK.
class PasswordDialog : public ui::WindowManager {
 public:
  PasswordDialog() : WindowManager("Password") {}
  bool confirmed() const { return m_confirmed; }
  Level Init() override {
    ui::Window& w = window();
    w.setTitle("Password");
    w.at(-1, -1, 200, 80);
    w.prompt("?Prompt:Password", "Enter Password").at(6, 6, 70, 10);
    m_first = w.entry("?Password", "@s64").at(80, 6, 110, 12).use(m_a).feq();
    w.as<ui::Entry>(m_first)->password();
    w.prompt("?Prompt:Password2", "Re-Enter Password").at(6, 22, 70, 10);
    m_second = w.entry("?Password2", "@s64").at(80, 22, 110, 12).use(m_b).feq();
    w.as<ui::Entry>(m_second)->password();
    m_mask = w.check("?Mask", "&Mask Password").at(6, 40, 80, 10).use(m_masked).feq();
    OkControl = w.button("?OK", "&OK").setDefault().at(60, 58, 45, 14).feq();
    CancelControl = w.button("?NoEncryption", "&No Encryption").at(110, 58, 60, 14).feq();
    Open();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_mask) {
      Update();
      window().setProp(m_first, ui::Prop::Password, m_masked ? 1 : 0);
      window().setProp(m_second, ui::Prop::Password, m_masked ? 1 : 0);
      return Level::Notify;
    }
    if (ui::ACCEPTED() == OkControl) {
      Update();
      switch (checkPasswords(m_a, m_b)) {
        case PasswordCheck::Empty:
          ui::POST(EVENT::CloseWindow);
          break;
        case PasswordCheck::Different:
          ui::MESSAGE("The password you typed is incorrect. Please re-enter the passwords.", "LSZip Visual Archiver",
                      ui::Icon::Exclamation);
          m_a.clear();
          m_b.clear();
          ui::DISPLAY();
          ui::SELECT(m_first);
          break;
        case PasswordCheck::Accepted:
          zip::LSZIP_PASSWORD(m_a);
          m_confirmed = true;
          ui::POST(EVENT::CloseWindow);
          break;
      }
      return Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

 private:
  std::string m_a, m_b;
  uint8_t m_masked = 1;
  int m_first = 0, m_second = 0, m_mask = 0;
  bool m_confirmed = false;
};

// Delete, Test and Extract choose their members here.
class SelectionDialog : public ui::WindowManager {
 public:
  enum class Kind { Delete, Test, Extract };
  explicit SelectionDialog(Kind kind) : WindowManager("SelectFiles"), m_kind(kind) {}
  bool confirmed() const { return m_confirmed; }

  Level Init() override {
    ArchiveState& s = Archive;
    ui::Window& w = window();
    static const char* kTitle[] = {"Delete", "Test", "Unzip"};
    static const char* kGroup[] = {"Delete files", "Test files", "Extract files"};
    static const char* kFiles[] = {"Files to delete:", "Files to test:", "Files to unzip:"};
    static const char* kBytes[] = {"Bytes to delete:", "Bytes to test:", "Bytes to unzip:"};
    const int k = static_cast<int>(m_kind);
    w.setTitle(kTitle[k]);
    w.at(-1, -1, 240, m_kind == Kind::Extract ? 170 : 120);
    m_choice = static_cast<int32_t>(initialSelection(s));
    m_option = w.option("?Choice", kGroup[k]).at(6, 4, 120, 56).use(m_choice).feq();
    w.radio("?All", "&All files", m_option).value("1").at(12, 16, 100, 10);
    w.radio("?Selected", "&Selected files", m_option).value("2").at(12, 28, 100, 10);
    w.radio("?WildcardChoice", "&Wildcard", m_option).value("3").at(12, 40, 60, 10);
    m_pattern = w.entry("?ZIPWILDCARD", "@s255").at(74, 40, 50, 12).use(m_wildcard).feq();
    w.prompt("?Prompt:Files", kFiles[k]).at(132, 16, 60, 10);
    m_files = w.string("?Files", "").at(194, 16, 40, 10).feq();
    w.prompt("?Prompt:Bytes", kBytes[k]).at(132, 28, 60, 10);
    m_bytes = w.string("?Bytes", "").at(194, 28, 40, 10).feq();
    int y = 64;
    if (m_kind != Kind::Delete) {
      m_password = s.ZIPPASSWORD;
      w.prompt("?Prompt:Password", "Password").at(6, y, 50, 10);
      int pw = w.entry("?ZIPPASSWORD", "@s65").at(60, y, 100, 12).use(m_password).feq();
      w.as<ui::Entry>(pw)->password();
      y += 16;
    }
    if (m_kind == Kind::Extract) {
      m_dest = s.ZIPDESTDIR;
      w.prompt("?Prompt:UnzipTo", "Unzip to").at(6, y, 50, 10);
      m_destEntry = w.entry("?ZIPDESTDIR", "@s255").at(60, y, 150, 12).use(m_dest).feq();
      m_lookup = w.button("?LookupFolder", "...").at(214, y, 16, 12).feq();
      w.check("?Overwrite", "&Overwrite Existing Files").at(6, y + 16, 120, 10).use(s.OVERWRITEEXISTINGFILES);
      w.check("?SkipOlder", "S&kip Older Files").at(6, y + 28, 120, 10).use(s.SKIPOLDERFILES);
      w.check("?UseFolders", "&Use Folder Names").at(130, y + 16, 100, 10).use(s.USEFOLDERNAMES);
    }
    const int h = m_kind == Kind::Extract ? 170 : 120;
    OkControl = w.button("?OK", "&OK").setDefault().at(140, h - 20, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(190, h - 20, 45, 14).feq();
    Open();
    showTotals();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    const int f = ui::ACCEPTED();
    if (f == m_option) {
      Update();
      showTotals();
      return Level::Notify;
    }
    if (f == m_lookup) {
      Update();
      std::string folder = m_dest;
      if (ui::FILEDIALOG("Unzip to", folder, {}, ui::FILE_::Directory | ui::FILE_::KeepDir)) {
        m_dest = folder;
        ui::DISPLAY(m_destEntry);
      }
      return Level::Notify;
    }
    if (f == OkControl) {
      Update();
      confirmSelection(Archive, static_cast<SelectionChoice>(m_choice), m_wildcard);
      if (m_kind != Kind::Delete) Archive.ZIPPASSWORD = m_password;
      if (m_kind == Kind::Extract) Archive.ZIPDESTDIR = m_dest;
      m_confirmed = true;
      ui::POST(EVENT::CloseWindow);
      return Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

 private:
  void showTotals() {
    SelectionTotals t = selectionTotals(Archive, static_cast<SelectionChoice>(m_choice));
    window().setProp(m_files, ui::Prop::Text, std::to_string(t.files));
    window().setProp(m_bytes, ui::Prop::Text, std::to_string(t.bytes));
  }
  Kind m_kind;
  int32_t m_choice = 1;
  std::string m_wildcard, m_password, m_dest;
  int m_option = 0, m_pattern = 0, m_files = 0, m_bytes = 0, m_destEntry = 0, m_lookup = 0;
  bool m_confirmed = false;
};

// "Zip Preferences": its controls edit the archive state directly.
class PreferencesDialog : public ui::WindowManager {
 public:
  PreferencesDialog() : WindowManager("ZipPreferences") {}
  Level Init() override {
    ArchiveState& s = Archive;
    ui::Window& w = window();
    w.setTitle("Zip Preferences");
    w.at(-1, -1, 260, 190);
    const int32_t today = rt::TODAY();
    m_month = rt::MONTH(today);
    m_day = rt::DAY(today);
    m_year = rt::YEAR(today);
    m_only = s.BEFOREDATE.empty() ? 0 : 1;
    int sheet = w.sheet("?Sheet").at(4, 4, 252, 160).feq();
    int general = w.tab("?General", "&General", sheet).feq();
    int level = w.option("?Compression", "Compression").at(10, 22, 110, 62).use(s.COMPRESSIONLEVELSWITCH).on(general).feq();
    w.radio("?Fast", "&Fast", level).value("1").at(16, 34, 80, 10);
    w.radio("?Normal", "&Normal", level).value("2").at(16, 46, 80, 10);
    w.radio("?Extra", "E&xtra", level).value("3").at(16, 58, 80, 10);
    w.radio("?Store", "&Store", level).value("4").at(16, 70, 80, 10);
    int path = w.option("?PathInformation", "Path Information").at(130, 22, 120, 62).use(s.PATHINFORMATIONSWITCH).on(general).feq();
    w.radio("?NoPath", "&No path information", path).value("1").at(136, 34, 110, 10);
    w.radio("?RelativePath", "&Relative path", path).value("2").at(136, 46, 110, 10);
    w.radio("?FullPath", "&Full path", path).value("3").at(136, 58, 110, 10);
    int action = w.option("?Action", "Action").at(10, 90, 240, 50).use(s.ACTION).on(general).feq();
    w.radio("?AddReplace", "&Add (and Replace) files", action).value("1").at(16, 102, 150, 10);
    w.radio("?Freshen", "&Freshen Existing files", action).value("2").at(16, 114, 150, 10);
    w.radio("?UpdateAdd", "&Update (and Add) files", action).value("3").at(16, 126, 150, 10);
    w.check("?Recurse", "Recurse folders").at(130, 70, 110, 10).use(s.RECURSESUBDIRECTORIESSWITCH).on(general);
    int extra = w.tab("?Extra", "&Extra", sheet).feq();
    int y = 22;
    auto box = [&](const char* name, const char* text, uint8_t& v) {
      w.check(name, text).at(10, y, 230, 10).use(v).on(extra);
      y += 12;
    };
    box("?SystemHidden", "Include &system and hidden Files", s.SYSTEMANDHIDDEN);
    box("?MoveFiles", "Delete orginal file(s) after zipping", s.MOVEFILES);
    box("?LatestDate", "Set .ZIP file date to newest item date", s.LATESTDATE);
    box("?AddFileComment", "Add file comment", s.ADDFILECOMMENT);
    box("?EncryptData", "Password", s.ENCRYPTDATA);
    box("?MultipleVolume", "Create multiple-volume files when zipping", s.CREATEMULTIPLEVOLUME);
    w.prompt("?Prompt:TempDir", "Temporary Working Directory").at(10, y + 2, 100, 10).on(extra);
    m_temp = w.entry("?TEMPDIR", "@s255").at(110, y, 110, 12).use(s.TEMPDIR).on(extra).feq();
    m_tempLookup = w.button("?LookupTemp", "...").at(224, y, 16, 12).on(extra).feq();
    w.check("?UseTempDir", "&Use Temporary Directory").at(10, y + 14, 120, 10).use(s.USETEMPDIR).on(extra);
    y += 30;
    w.prompt("?Prompt:Before", "Process files before").at(10, y, 80, 10).on(extra);
    w.spin("?Month", "@n2").range(1, 12).at(92, y, 24, 12).use(m_month).on(extra);
    w.spin("?Day", "@n2").range(1, 31).at(118, y, 24, 12).use(m_day).on(extra);
    w.spin("?Year", "@n4").range(1980, 2107).at(144, y, 34, 12).use(m_year).on(extra);
    w.check("?BeforeOnly", "Process files before mm/dd/yyyy only").at(10, y + 14, 200, 10).use(m_only).on(extra);
    OkControl = w.button("?OK", "&OK").setDefault().at(160, 170, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(210, 170, 45, 14).feq();
    Open();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_tempLookup) {
      Update();
      std::string folder = Archive.TEMPDIR;
      if (ui::FILEDIALOG("Temporary Working Directory", folder, {}, ui::FILE_::Directory | ui::FILE_::KeepDir)) {
        Archive.TEMPDIR = folder;
        ui::DISPLAY(m_temp);
      }
      return Level::Notify;
    }
    if (ui::ACCEPTED() == OkControl) {
      Update();
      char date[16];
      std::snprintf(date, sizeof date, "%02d%02d%04d", m_month, m_day, m_year);
      Archive.BEFOREDATE = m_only ? date : "";
    }
    return WindowManager::TakeAccepted();
  }

 private:
  int32_t m_month = 1, m_day = 1, m_year = 2000;
  uint8_t m_only = 0;
  int m_temp = 0, m_tempLookup = 0;
};

// "Archive Comment": Save Now writes it, Save Later keeps it for the next add.
class ArchiveCommentDialog : public ui::WindowManager {
 public:
  ArchiveCommentDialog() : WindowManager("ArchiveComment") {}
  Level Init() override {
    ui::Window& w = window();
    w.setTitle("Archive Comment");
    w.at(-1, -1, 240, 120);
    m_text = w.textBox("?ARCHIVECOMMENT").at(6, 6, 228, 86).use(Archive.ARCHIVECOMMENT).feq();
    m_now = w.button("?SaveNow", "Save &Now").at(76, 100, 50, 14).feq();
    m_later = w.button("?SaveLater", "Save &Later").at(130, 100, 50, 14).feq();
    CancelControl = w.button("?Cancel", "&Cancel").at(184, 100, 50, 14).feq();
    Open();
    return Level::Benign;
  }
  Level TakeAccepted() override {
    if (ui::ACCEPTED() == m_now || ui::ACCEPTED() == m_later) {
      Update();
      if (ui::ACCEPTED() == m_now)
        SaveCommentNow(Archive);
      else
        SaveCommentLater(Archive);
      ui::POST(EVENT::CloseWindow);
      return Level::Notify;
    }
    return WindowManager::TakeAccepted();
  }

 private:
  int m_text = 0, m_now = 0, m_later = 0;
};

void showInformation() {
  if (Archive.S_ZIPMEMBERS <= 0) return;
  ArchiveInformation info = Information(Archive);
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.2f%%", info.compression);
  SimpleDialog d("ZipInformation", "ZIP Information", 180, 100, [&](ui::Window& w) {
    int y = 6;
    auto line = [&](const char* label, const std::string& value, const char* name) {
      w.prompt(std::string("?Prompt:") + name, label).at(6, y, 80, 10);
      w.string(std::string("?") + name, value).at(90, y, 84, 10);
      y += 12;
    };
    line("Files:", std::to_string(info.files), "Files");
    line("Archive Size:", std::to_string(info.archiveSize), "ArchiveSize");
    line("Compression:", ratio, "Compression");
    line("Compressed Size:", std::to_string(info.compressedSize), "CompressedSize");
    line("Archive Comment:", info.comment, "ArchiveComment");
  });
  d.Run();
}

void showAbout() {
  class SystemInfo : public ui::WindowManager {
   public:
    SystemInfo() : WindowManager("SystemInfo") {}
    Level Init() override {
      ui::Window& w = window();
      w.setTitle("System Info");
      w.at(-1, -1, 230, 100);
      w.string("?Line1", "This dialog provides important information about the components").at(6, 4, 220, 10);
      w.string("?Line2", "used in this application.").at(6, 14, 220, 10);
      int y = 30;
      auto line = [&](const char* label, const std::string& value, const char* name) {
        w.prompt(std::string("?Prompt:") + name, label).at(6, y, 160, 10);
        w.string(std::string("?") + name, value).at(170, y, 54, 10);
        y += 11;
      };
      line("LSZip Compression Library Release", std::to_string(Archive.DLL_ZIP_VERSION), "ZipVersion");
      line("LSZip Decompression Library Release", std::to_string(Archive.DLL_UNZIP_VERSION), "UnzipVersion");
      line("Archive Class Release", std::to_string(Archive.INTERNALCLASSRELEASE), "ClassRelease");
      line("Runtime Library", "6.0 ", "RuntimeLibrary");
      OkControl = w.button("?OK", "&OK").setDefault().at(92, 80, 45, 14).feq();
      Open();
      return Level::Benign;
    }
    Level TakeAccepted() override {
      if (ui::ACCEPTED() == OkControl) {
        ui::POST(EVENT::CloseWindow);
        return Level::Notify;
      }
      return WindowManager::TakeAccepted();
    }
  };
  class About : public ui::WindowManager {
   public:
    About() : WindowManager("About") {}
    Level Init() override {
      ui::Window& w = window();
      w.setTitle("About");
      w.at(-1, -1, 180, 70);
      w.string("?Title", "QMT Backup Module").at(6, 6, 168, 10);
      w.string("?Environment", kEnvironment).at(6, 18, 168, 10);
      m_info = w.button("?SystemInfo", "System &Info...").at(30, 44, 60, 14).feq();
      CancelControl = w.button("?Close", "Cl&ose").at(96, 44, 45, 14).feq();
      Open();
      return Level::Benign;
    }
    Level TakeAccepted() override {
      if (ui::ACCEPTED() == m_info) {
        SystemInfo info;
        info.Run();
        return Level::Notify;
      }
      return WindowManager::TakeAccepted();
    }

   private:
    int m_info = 0;
  };
  About a;
  a.Run();
}

}  // namespace

int archiveWindowThread() { return g_archiveThread; }

std::string memberLine(const MemberRow& r) {
  char size[32], ratio[16], packed[32], seq[16];
  std::snprintf(seq, sizeof seq, "%04u", static_cast<unsigned>(r.index + 1));
  std::snprintf(size, sizeof size, "%10u", r.size);
  std::snprintf(ratio, sizeof ratio, "%4d%%", r.ratio);
  std::snprintf(packed, sizeof packed, "%10u", r.packed);
  std::string line = std::string(r.mark ? "* " : "  ") + seq + "  " + r.name + "  " + rt::FORMAT(r.date, "@d17") +
                     " " + rt::FORMAT(r.time, "@t7") + " " + size + " " + ratio + " " + packed + " " + r.method +
                     " " + r.crc + " " + r.attributes;
  if (!r.comment.empty()) line += " " + r.comment;
  return line;
}

MemberListRow memberListRow(const MemberRow& r) {
  char seq[16], size[32], ratio[16], packed[32];
  std::snprintf(seq, sizeof seq, "%s%04u", r.mark ? "* " : "", static_cast<unsigned>(r.index + 1));
  std::snprintf(size, sizeof size, "%u", r.size);
  std::snprintf(ratio, sizeof ratio, "%d%%", r.ratio);
  std::snprintf(packed, sizeof packed, "%u", r.packed);
  MemberListRow row;
  row.Seq = seq;
  row.Filename = r.name;
  row.Date = rt::FORMAT(r.date, "@d17");
  row.Time = rt::FORMAT(r.time, "@t7");
  row.Size = size;
  row.Ratio = ratio;
  row.Packed = packed;
  row.Method = r.method;
  row.Crc = r.crc;
  row.Attributes = r.attributes;
  row.Comment = r.comment;
  return row;
}

namespace {

const rt::FieldDesc kMemberListFields[] = {
    {"LSZ:Seq", rt::FieldType::String, 8, 0, offsetof(MemberListRow, Seq)},
    {"LSZ:Filename", rt::FieldType::String, 255, 0, offsetof(MemberListRow, Filename)},
    {"LSZ:Date", rt::FieldType::String, 12, 0, offsetof(MemberListRow, Date)},
    {"LSZ:Time", rt::FieldType::String, 12, 0, offsetof(MemberListRow, Time)},
    {"LSZ:Size", rt::FieldType::String, 12, 0, offsetof(MemberListRow, Size)},
    {"LSZ:Ratio", rt::FieldType::String, 6, 0, offsetof(MemberListRow, Ratio)},
    {"LSZ:Packed", rt::FieldType::String, 12, 0, offsetof(MemberListRow, Packed)},
    {"LSZ:Method", rt::FieldType::String, 12, 0, offsetof(MemberListRow, Method)},
    {"LSZ:Crc", rt::FieldType::String, 10, 0, offsetof(MemberListRow, Crc)},
    {"LSZ:Attributes", rt::FieldType::String, 8, 0, offsetof(MemberListRow, Attributes)},
    {"LSZ:Comment", rt::FieldType::String, 255, 0, offsetof(MemberListRow, Comment)},
};
const rt::RecordDesc kMemberListRow{"MemberListRow", kMemberListFields, sizeof(MemberListRow)};

}  // namespace

// ---- archive window -----------------------------------------------------------------------------

Level DisplayArchiveWindow::Init() {
  ui::Window& w = window();
  w.setTitle("Archive");
  w.kind(ui::WindowKind::Mdi).at(4, 4, 380, 200).resizable();
  m_list = w.add<ui::ListControl>(0, "?List")
               .from(m_rows, kMemberListRow)
               .format("24L(2)|M~Seq~@s8@70L(2)|M~Filename~@s255@38L(2)|M~Date~@s12@26L(2)|M~Time~@s12@"
                       "34R(2)|M~Size~@s12@22R(2)|M~Ratio~@s6@34R(2)|M~Packed~@s12@40L(2)|M~Method~@s12@"
                       "40L(2)|M~CRC-32~@s10@24L(2)|M~Attrb~@s8@100L(2)|M~Comment~@s255@")
               .at(4, 4, 372, 170)
               .feq();
  w.setProp(m_list, ui::Prop::HScroll, 1);  // the comments lie beyond the window's width
  w.prompt("?Prompt:Select", "&Select").at(4, 180, 30, 10);
  m_all = w.button("?All", "&All").at(36, 178, 40, 14).feq();
  m_clear = w.button("?ClearAll", "&Clear All").at(80, 178, 50, 14).feq();
  Open();
  // The right button over the list asks for the pop-up menu.
  m_formerProc = static_cast<int>(w.propInt(m_list, ui::Prop::WndProc));
  m_popupProc = ui::registerWindowProc([this](ui::Handle h, uint32_t msg, ui::WPARAM wp, ui::LPARAM lp) -> ui::LRESULT {
    if (msg == ui::WM::RButtonUp) ui::POST(kMemberPopup);
    return ui::CallWindowProc(m_formerProc, h, msg, wp, lp);
  });
  w.setProp(m_list, ui::Prop::WndProc, static_cast<int64_t>(m_popupProc));
  DisplayArchive(Archive);
  g_archiveWindow = this;
  refresh();
  // The frame's title names the archive.
  for (ui::Window* frame : ui::threadWindows(g_frameThread))
    if (frame->manager() && frame->manager()->procedureName() == "Main") {
      std::string name = Archive.ZIPARCHIVENAME;
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      frame->setTitle("QMT Backup Module - " + name);
    }
  return Level::Benign;
}

void DisplayArchiveWindow::refresh() {
  const int selected = currentRow();
  m_rows.FREE();
  for (const MemberRow& r : Archive.LSZQ) {
    m_rows.buf = memberListRow(r);
    m_rows.ADD();
  }
  window().setProp(m_list, ui::Prop::Selected, selected);
  window().display(m_list);
  // A button that would change no mark is greyed: All with every row marked, Clear All with no
  // row marked but the current one (which it keeps).
  bool allMarked = true, othersMarked = false;
  for (size_t i = 0; i < Archive.LSZQ.size(); ++i) {
    allMarked = allMarked && Archive.LSZQ[i].mark;
    othersMarked = othersMarked || (Archive.LSZQ[i].mark && static_cast<int>(i) + 1 != selected);
  }
  window().setProp(m_all, ui::Prop::Disable, allMarked ? 1 : 0);
  window().setProp(m_clear, ui::Prop::Disable, othersMarked ? 0 : 1);
}

int DisplayArchiveWindow::currentRow() const { return static_cast<int>(window().propInt(m_list, ui::Prop::Selected)); }

Level DisplayArchiveWindow::TakeAccepted() {
  const int f = ui::ACCEPTED();
  if (f == m_all) {
    markAll(Archive);
    refresh();
    return Level::Notify;
  }
  if (f == m_clear) {
    clearMarks(Archive, currentRow());
    refresh();
    return Level::Notify;
  }
  if (f == m_list && ui::KEYCODE() != ui::Key::MouseLeft) {
    // Activating a row (a double click or Enter) extracts, through the frame.
    ui::POST(EVENT::Accepted, kTbUnzip, g_frameThread);
    return Level::Notify;
  }
  return WindowManager::TakeAccepted();
}

Level DisplayArchiveWindow::TakeFieldEvent() {
  if (ui::FIELD() == m_list && EVENT() == EVENT::NewSelection) {
    const Qt::KeyboardModifiers mods = QGuiApplication::keyboardModifiers();
    selectRow(Archive, currentRow(), mods & Qt::ControlModifier, mods & Qt::ShiftModifier);
    refresh();
  }
  return WindowManager::TakeFieldEvent();
}

void DisplayArchiveWindow::memberPopup() {
  const int chosen = ui::POPUP(
      "&Add...|&Delete...|&Extract...|&Test...|Sta&tistics...|&Sort{by &Index|by &Name|by &Original Size|"
      "by Compression &Ratio|by &Compressed Size|by File &Date}|-|Select &All|&Deselect All");
  static const int kFrameCommands[] = {kTbZip, kTbDelete, kTbUnzip, kTbTest, kTbInfo};
  if (chosen >= 1 && chosen <= 5) {
    ui::POST(EVENT::Accepted, kFrameCommands[chosen - 1], g_frameThread);
  } else if (chosen >= 6 && chosen <= 11) {
    sortMembers(Archive, static_cast<SortKey>(chosen - 6), currentRow());
    refresh();
  } else if (chosen == 12) {
    markAll(Archive);
    refresh();
  } else if (chosen == 13) {
    clearMarks(Archive, 0);
    refresh();
  }
}

Level DisplayArchiveWindow::Kill() {
  if (m_popupProc) {
    if (window().propInt(m_list, ui::Prop::WndProc) == m_popupProc)
      window().setProp(m_list, ui::Prop::WndProc, static_cast<int64_t>(m_formerProc));
    ui::unregisterWindowProc(m_popupProc);
    m_popupProc = 0;
  }
  return WindowManager::Kill();
}

Level DisplayArchiveWindow::TakeWindowEvent() {
  if (EVENT() == kRefreshList) refresh();
  if (EVENT() == kMemberPopup) {
    memberPopup();
    return Level::Notify;
  }
  if (EVENT() == EVENT::CloseWindow || EVENT() == EVENT::CloseDown) {
    if (g_archiveWindow == this) g_archiveWindow = nullptr;
  }
  return WindowManager::TakeWindowEvent();
}

// ---- frame --------------------------------------------------------------------------------------

Level ArchiverFrame::Init() {
  ui::Window& w = window();
  w.setTitle("QMT Backup Module");
  w.kind(ui::WindowKind::Frame).at(-1, -1, 420, 260).resizable();
  const int file = w.menu("?FileMenu", "&File").feq();
  w.item("?NewArchive", "&New Archive...", file, kNewArchive);
  w.item("?OpenArchive", "&Open Archive...", file, kOpenArchive);
  w.item("?CloseArchive", "&Close Archive", file, kCloseArchive);
  w.item("?Information", "&Information...", file, kInformation);
  w.separator(file);
  w.item("?PrintSetup", "P&rint Setup...", file, kPrintSetup);
  w.item("?Exit", "E&xit", file, kExit);
  const int edit = w.menu("?EditMenu", "&Edit").feq();
  w.item("?Cut", "Cu&t", edit, kCut);
  w.item("?Copy", "&Copy", edit, kCopy);
  w.item("?Paste", "&Paste", edit, kPaste);
  const int actions = w.menu("?ActionsMenu", "Actions").feq();
  w.item("?Add", "Add...", actions, kAdd);
  w.item("?Delete", "Delete...", actions, kDelete);
  w.item("?Extract", "Extract...", actions, kExtract);
  w.item("?Test", "Test...", actions, kTest);
  const int options = w.menu("?OptionsMenu", "&Options").feq();
  w.item("?Preferences", "&Zip Preferences...", options, kPreferences);
  const int help = w.menu("?HelpMenu", "&Help").feq();
  w.item("?About", "&About...", help, kAbout);
  const int tb = w.toolbar().feq();
  w.button("?TbNew", "New Archive", kTbNew).on(tb).tip("New Archive");
  w.button("?TbOpen", "Open Archive", kTbOpen).on(tb).tip("Open Archive");
  w.button("?TbInfo", "Archive Information", kTbInfo).on(tb).tip("Archive Information");
  w.button("?TbZip", "Zip Items", kTbZip).on(tb).tip("Zip Items");
  w.button("?TbUnzip", "Unzip Items", kTbUnzip).on(tb).tip("Unzip Items");
  w.button("?TbTest", "Test Data Integrity", kTbTest).on(tb).tip("Test Data Integrity");
  w.button("?TbDelete", "Delete Items", kTbDelete).on(tb).tip("Delete Items");
  w.button("?TbComment", "Archive Comment", kTbComment).on(tb).tip("Archive Comment");
  w.button("?TbAbout", "About LSZip", kTbAbout).on(tb).tip("About LSZip");
  Open();
  // The clipboard commands need a text control with the focus: greyed otherwise.
  w.onMenuShow(edit, [this] {
    for (int feq : {kCut, kCopy, kPaste})
      window().setProp(feq, ui::Prop::Disable, ui::Window::focusTakesClipboard() ? 0 : 1);
  });
  g_frameThread = ui::THREAD();
  zip::LSUZ_INIT(&progressSink());
  zip::LSZIP_INIT(&progressSink());
  enableArchiveCommands(false);
  return Level::Benign;
}

Level ArchiverFrame::TakeWindowEvent() {
  if (EVENT() == EVENT::OpenWindow && !m_opened) {
    m_opened = true;
    recommendBackup(m_recommend);
  }
  return WindowManager::TakeWindowEvent();
}

void ArchiverFrame::enableArchiveCommands(bool on) {
  for (int feq : {kCloseArchive, kAdd, kDelete, kExtract, kTest, kInformation, kTbZip, kTbUnzip, kTbTest, kTbInfo, kTbDelete,
                  kTbComment})
    window().setProp(feq, ui::Prop::Disable, on ? 0 : 1);
}

void ArchiverFrame::openArchiveWindow(const std::string& name) {
  if (name.empty()) return;
  if (g_archiveThread && ui::isThreadRunning(g_archiveThread)) ui::POST(EVENT::CloseDown, 0, g_archiveThread);
  g_archiveThread = 0;
  Archive.ZIPARCHIVENAME = name;
  g_archiveThread = ui::START([] { return std::make_unique<DisplayArchiveWindow>(); }, 25000);
  // The menu and the toolbar both enable the archive commands: an archive opened from the toolbar
  // after Close Archive would otherwise be left with them disabled.
  enableArchiveCommands(true);
}

void ArchiverFrame::closeArchive() {
  if (!g_archiveThread || !ui::isThreadRunning(g_archiveThread)) return;
  ui::POST(EVENT::CloseDown, 0, g_archiveThread);
  g_archiveThread = 0;
  window().setTitle("QMT Backup Module");
  CloseArchive(Archive);
  enableArchiveCommands(false);
}

void ArchiverFrame::runAdd() {
  std::string chosen;
  if (!ui::FILEDIALOG("Add", chosen, "All|*.*", ui::FILE_::Multi | ui::FILE_::KeepDir | ui::FILE_::LongName)) return;
  Archive.FILESPEC = fileSpecFromDialog(chosen);
  if (Archive.FILESPEC.empty()) return;
  bool comment = false, password = false;
  if (Archive.ADDFILECOMMENT) {
    std::string text;
    SimpleDialog d("FileComment", "File comment", 220, 60, [&](ui::Window& w) {
      w.prompt("?Prompt:Comment", "Enter File Comment").at(6, 6, 80, 10);
      w.entry("?FileComment", "@s127").at(6, 18, 208, 12).use(text);
    });
    d.Run();
    if (d.confirmed()) {
      zip::LSZIP_SETFILECMT(text);
      comment = true;
    }
  }
  if (Archive.ENCRYPTDATA) {
    PasswordDialog d;
    d.Run();
    password = d.confirmed();
  }
  AddFiles(Archive, comment, password, progressRunner("Zipping..."));
  if (g_archiveThread) ui::POST(kRefreshList, 0, g_archiveThread);
}

void ArchiverFrame::runSelection(int which) {
  if (Archive.S_ZIPMEMBERS <= 0) return;
  const auto kind = static_cast<SelectionDialog::Kind>(which);
  SelectionDialog d(kind);
  d.Run();
  if (!d.confirmed()) return;
  const int row = g_archiveWindow ? g_archiveWindow->currentRow() : 0;
  switch (kind) {
    case SelectionDialog::Kind::Delete: DeleteMembers(Archive, progressRunner("Deleting...")); break;
    case SelectionDialog::Kind::Test: TestMembers(Archive, progressRunner("Testing...")); break;
    case SelectionDialog::Kind::Extract: ExtractMembers(Archive, progressRunner("Unzipping..."), row); break;
  }
  if (g_archiveThread) ui::POST(kRefreshList, 0, g_archiveThread);
}

Level ArchiverFrame::TakeAccepted() {
  switch (ui::ACCEPTED()) {
    case kNewArchive:
    case kTbNew:
      openArchiveWindow(NewArchive(Archive));
      return Level::Notify;
    case kOpenArchive:
    case kTbOpen:
      openArchiveWindow(OpenArchive(Archive));
      return Level::Notify;
    case kCloseArchive: closeArchive(); return Level::Notify;
    case kInformation:
    case kTbInfo: showInformation(); return Level::Notify;
    case kExit: ui::POST(EVENT::CloseWindow); return Level::Notify;
    case kPrintSetup: (void)report::PrintSetup(); return Level::Notify;
    case kCut:
    case kCopy:
    case kPaste: {
      // The clipboard command goes to the text control that has the focus; others ignore it.
      const char* slot = ui::ACCEPTED() == kCut ? "cut" : ui::ACCEPTED() == kCopy ? "copy" : "paste";
      if (QWidget* focus = QApplication::focusWidget()) (void)QMetaObject::invokeMethod(focus, slot);
      return Level::Notify;
    }
    case kAdd:
    case kTbZip: runAdd(); return Level::Notify;
    case kDelete:
    case kTbDelete: runSelection(0); return Level::Notify;
    case kTest:
    case kTbTest: runSelection(1); return Level::Notify;
    case kExtract:
    case kTbUnzip: runSelection(2); return Level::Notify;
    case kPreferences: {
      PreferencesDialog d;
      d.Run();
      return Level::Notify;
    }
    case kTbComment:
      if (!Archive.ZIPARCHIVENAME.empty()) {
        ArchiveCommentDialog d;
        d.Run();
      }
      return Level::Notify;
    case kAbout:
    case kTbAbout: showAbout(); return Level::Notify;
    default: break;
  }
  return WindowManager::TakeAccepted();
}

Level ArchiverFrame::Kill() {
  if (g_archiveThread && ui::isThreadRunning(g_archiveThread)) ui::POST(EVENT::CloseDown, 0, g_archiveThread);
  g_archiveThread = 0;
  zip::LSUZ_INIT(nullptr);
  zip::LSZIP_INIT(nullptr);
  return WindowManager::Kill();
}

int RunArchiverProgram() {
  ArchiveInit(Archive, kArchiveRelease);
  {
    ArchiverFrame frame(rt::COMMAND("1"));
    frame.Run();
  }
  ui::closeAllWindows();
  ArchiveKill(Archive);
  return 0;
}

}  // namespace ov::backup
