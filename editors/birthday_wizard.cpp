#include "editors/birthday_wizard.h"

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/requests.h"
#include "datalib/startup.h"
#include "editors/calendar.h"
#include "editors/form_pictures.h"
#include "editors/style_window_controls.h"
#include "platform/os/sound.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/picture.h"
#include "platform/rt/text.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_position.h"
#include "scheduler/main_frame.h"
#include "scheduler/program_windows.h"
#include "scheduler/schedule_data.h"
#include "scheduler/services.h"
#include "winclasses/entry_completion_class.h"
#include "winclasses/req_fld_class.h"

namespace ov::editors {

namespace {

using files::SCH;

constexpr const char* kCrLf = "\r\n";

std::string mainIni() { return files::INI.FILENAME.str(); }

bool isLeapYear(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Month `m`, day `d` of year `y`; 29 February of a year without one is its 28 February.
int32_t dayOfYear(int32_t m, int32_t d, int32_t y) {
  if (m == 2 && d == 29 && !isLeapYear(y)) d = 28;
  return rt::DATE(m, d, y);
}

bool categoryExists(const std::string& name) {
  const files::CategoryRec keep = files::CAT;
  files::CAT.Category = name;
  const bool found = files::Access_CATEGORIES.TryFetch(files::CAT_KeyCategory) == rt::Err::None;
  files::CAT = keep;
  return found;
}

// The category of a new wizard task: the configured one, else "Birthday", else "Reminders",
// which is added when it is missing too.
std::string startingCategory() {
  std::string candidate = "Birthdays";
  if (std::string configured = rt::CLIP(files::GETCONFIG("BirthdayCategory")); !configured.empty())
    candidate = configured;
  for (const std::string& name : {candidate, std::string("Birthday"), std::string("Reminders")})
    if (categoryExists(name)) return name;
  const files::CategoryRec keep = files::CAT;
  files::CAT = files::CategoryRec{};
  files::CAT.Category = "Reminders";
  (void)files::Access_CATEGORIES.Insert();  // a failure is reported by the data layer
  files::CAT = keep;
  return "Reminders";
}

// The task service program keeps its own copy of the schedule; it is told when tasks changed.
void stampServiceIni() {
  if (!rt::EXISTS("OVNT.EXE")) return;
  const std::string stamp = rt::FORMAT(rt::TODAY(), "@d17") + " " + rt::FORMAT(rt::CLOCK(), "@t4");
  (void)rt::PUTINI("Main", "Last Update", stamp, ".\\OVNT.INI");  // best effort: the service rereads later
}

class ScheduleInsertFile : public ui::UpdateFile {
 public:
  rt::Err PrimeRecord(bool keepBuffer) override { return files::Access_SCHEDULE.PrimeRecord(keepBuffer); }
  rt::Err Insert() override { return files::Access_SCHEDULE.Insert(); }
  rt::Err Change() override { return files::Access_SCHEDULE.Update(); }
  rt::Err Delete() override { return files::Relate_SCHEDULE.Delete(); }
  void CancelAutoInc() override { (void)files::Access_SCHEDULE.CancelAutoInc(); }  // best effort
};

class BirthdayWizard : public ui::WindowManager {
 public:
  BirthdayWizard() : ui::WindowManager("Wizard:NewBirthdays") {}

  ui::Level Init() override {
    const int request = files::GLOBALREQUEST;
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    m_viewOnly = request == ui::ViewRecord;
    m_deleting = request == ui::DeleteRecord;
    Request = ui::InsertRecord;
    if (scheduler::services().passwordValidation && !scheduler::services().passwordValidation())
      return ui::Level::Notify;
    m_date = rt::TODAY();
    if (files::Relate_SCHEDULE.Open() != rt::Err::None) return ui::Level::Fatal;
    m_scheduleOpen = true;
    if (files::Access_CATEGORIES.Open() != rt::Err::None || files::Access_HOLIDAYS.Open() != rt::Err::None) {
      closeFiles();
      return ui::Level::Fatal;
    }
    m_otherFilesOpen = true;
    AddUpdateFile(m_file);
    (void)m_file.PrimeRecord(false);  // stored disabled: primed so by the data library
    SCH.Date = rt::TODAY();
    SCH.Time = kBirthdayTime;
    SCH.ScheduleType = "Yearly";
    SCH.EveryLast = 1;
    SCH.Warn = 1;
    SCH.TaskType = "Display Message";
    SCH.Every = 1;
    SCH.EveryType = "year(s)";
    SCH.Category = startingCategory();
    m_startCategory = SCH.Category.str();
    SCH.Disabled = 0;
    if (SCH.ID == 0)
      (void)ui::MESSAGE("Auto-increment error.  Could not set unique schedule ID.", "Internal Error", ui::Icon::Hand);

    ui::Window& w = window();
    w.setTitle("Birthday/Anniversary Wizard");
    w.at(-1, -1, 370, 180).minSize(370, 164).resizable();
    w.image("?Image", "3hand.jpg").at(4, 4, 80, 150);
    m_sheet = w.sheet("?CurrentTab").at(88, 4, 278, 150).feq();
    w.setProp(m_sheet, ui::Prop::Wizard, 1);

    const int page1 = w.tab("?Tab:Birthdate", "Birthdate", m_sheet).feq();
    w.string("?Heading1", "Birthday...").at(96, 20, 200, 10).on(page1);
    w.prompt("?Who:Prompt", "&Who:").at(96, 36, 40, 10).on(page1);
    m_who = w.entry("?Who", "@s40").at(170, 34, 180, 12).tip("Birthday celebrant's name").required().use(m_name).on(page1).feq();
    const int when = w.option("?When", "When").at(96, 50, 254, 32).use(m_when).on(page1).feq();
    w.radio("?When:Radio1", "I know the e&xact birthdate", when).value("Exact").at(102, 60, 200, 10);
    w.radio("?When:Radio2", "I only know the &month and day", when).value("Birthday").at(102, 70, 200, 10);
    w.prompt("?Date:Prompt", "&Exact birthdate or next birthday:").at(96, 88, 120, 10).on(page1);
    m_dateSpin = w.spin("?Date", configuredDatePicture()).at(220, 86, 70, 12).use(m_date).on(page1).feq();
    m_dateLookup = w.button("?CallLookup", "...").at(292, 86, 14, 12).on(page1).feq();
    w.check("?AdvanceWarning", "I need an &advanced warning").at(96, 104, 130, 10).use(m_advance).on(page1);
    w.prompt("?Days:Prompt", "- number of days in advance:").at(230, 104, 100, 10).on(page1);
    w.spin("?Days", "@n2").at(330, 102, 24, 12).use(m_days).on(page1);
    m_occasion = w.option("?Occasion", "Occasion").at(96, 118, 254, 22).use(m_occasionText).on(page1).feq();
    w.radio("?Occasion:Radio1", "Birthday", m_occasion).at(102, 128, 60, 10);
    w.radio("?Occasion:Radio2", "Anniversary", m_occasion).at(170, 128, 60, 10);
    w.radio("?Occasion:Radio3", "Other", m_occasion).at(240, 128, 60, 10);

    const int page2 = w.tab("?Tab:Details", "Details", m_sheet).feq();
    w.string("?Heading2", "Details...").at(96, 20, 200, 10).on(page2);
    w.prompt("?SCH:Description:Prompt", "&Description:").at(96, 36, 60, 10).on(page2);
    m_description = w.entry("?SCH:Description", "@s40").at(160, 34, 190, 12).required().use(SCH.Description).on(page2).feq();
    w.prompt("?SCH:Message:Prompt", "&Message:").at(96, 52, 60, 10).on(page2);
    m_message = w.textBox("?SCH:Message").at(160, 50, 190, 60).required().use(SCH.Message).on(page2).feq();
    w.prompt("?SCH:Category:Prompt", "&Task category:").at(96, 118, 60, 10).on(page2);
    m_category = w.entry("?SCH:Category", "@s20").at(160, 116, 100, 12).tip("Task category").msg("Task category").use(SCH.Category).on(page2).feq();
    m_categoryLookup = w.button("?CallLookup:2", "...").at(262, 116, 14, 12).tip("Select Task category").msg("Select Task category").on(page2).feq();

    const int page3 = w.tab("?Tab:Advanced", "Advanced", m_sheet).feq();
    w.string("?Heading3", "Alarm...").at(96, 20, 200, 10).on(page3);
    m_alarm = w.check("?SCH:Alarm", "Alarm").at(96, 36, 60, 10).tip("Play a WAV file as an alarm").use(SCH.Alarm).on(page3).feq();
    m_alarmPrompt = w.prompt("?SCH:AlarmFile:Prompt", "WAV F&ile to Play:").at(96, 52, 70, 10).on(page3).feq();
    m_alarmFile = w.entry("?SCH:AlarmFile", "@s255").at(170, 50, 180, 12).required().use(SCH.AlarmFile).on(page3).feq();
    m_browse = w.button("?Browse", "&Browse").at(170, 66, 45, 14).on(page3).feq();
    m_play = w.button("?Play", "&Play").at(220, 66, 45, 14).on(page3).feq();

    m_back = w.button("?Back", "&Back").at(176, 160, 45, 14).disabled().feq();
    m_next = w.button("?Next", "&Next").setDefault().at(224, 160, 45, 14).feq();
    OkControl = w.button("?OK", "&OK").at(272, 160, 45, 14).feq();
    CancelControl = w.button("?Cancel", "Cancel").at(320, 160, 45, 14).feq();
    Open();
    m_required.Init("Missing Information", "@PROMPT must be entered.", false);
    m_required.AddField(m_who, "Who", "Birthday celebrant's name", "", "Who", true);
    m_required.AddField(m_description, "SCH:Description", "", "", "Description", true);
    m_required.AddField(m_message, "SCH:Message", "", "", "Message", true);
    m_required.AddField(m_alarmFile, "SCH:AlarmFile", "", "", "WAV File to Play", true);
    m_completion.Init(SCH.Category, m_category, files::CAT.Category, false, files::Access_CATEGORIES,
                      files::CAT_KeyCategory);
    m_position.Init(*this, files::globalIni(), true);
    alarmFields();
    showStep();
    if (m_viewOnly || m_deleting) StyleWindowControls(*this, m_deleting);
    return ui::Level::Benign;
  }

  ui::Level TakeEvent() override {
    m_completion.TakeEvent();
    if (ui::EVENT() == ui::EVENT::Selected && ui::FIELD() == m_alarmFile && !Dead) {
      Update();
      rememberAlarmFile();
    }
    return ui::WindowManager::TakeEvent();
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_next) {
      Update();
      if (m_required.Incomplete(true)) return ui::Level::Notify;
      if (m_step == 1) {
        buildOccasionText();
        m_step = 2;
      } else if (m_step == 2) {
        alarmFields();
        m_step = 3;
      }
      showStep();
      return ui::Level::Notify;
    }
    if (feq == m_back) {
      if (m_step > 1) --m_step;
      showStep();
      return ui::Level::Notify;
    }
    if (feq == m_occasion && !isAcceptAllPass()) {
      Update();
      buildOccasionText();
      return ui::Level::Notify;
    }
    if (feq == m_dateLookup) {
      Update();
      m_date = Calendar(m_date, "None", "Select Date");
      window().display(m_dateSpin);
      return ui::Level::Notify;
    }
    if (feq == m_alarm) {
      Update();
      alarmFields();
      return ui::Level::Notify;
    }
    if (feq == m_alarmFile) {
      Update();
      rememberAlarmFile();
      return ui::Level::Notify;
    }
    if (feq == m_browse) {
      Update();
      browseAlarmFile();
      return ui::Level::Notify;
    }
    if (feq == m_play) {
      Update();
      playAlarmFile();
      return ui::Level::Notify;
    }
    if ((feq == m_category && !isAcceptAllPass()) || feq == m_categoryLookup) {
      Update();
      const std::string typed = rt::CLIP(SCH.Category.str());
      if (feq == m_category && (typed.empty() || categoryExists(typed))) return ui::Level::Notify;
      if (pickCategory()) window().display(m_category);
      else window().select(m_category);
      return ui::Level::Notify;
    }
    if (feq == OkControl && !m_deleting && !m_viewOnly) {
      Update();
      if (m_required.Incomplete(false)) return ui::Level::Notify;
      scheduler::PrepareTaskRecord();
      SCH.Disabled = 0;
      SCH.Completed = 0;
      if (rt::CLIP(SCH.Category.str()) != m_startCategory) files::PUTCONFIG("BirthdayCategory", SCH.Category.str());
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level TakeCompleted() override {
    stampServiceIni();
    const ui::Level rv = ui::WindowManager::TakeCompleted();
    if (Response == ui::RequestCompleted) refreshOthers();
    return rv;
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    files::GLOBALRESPONSE = static_cast<uint8_t>(Response);
    m_required.Kill();
    m_completion.Kill();
    if (Response == ui::RequestCompleted) refreshOthers();
    const ui::Level rv = ui::WindowManager::Kill();
    closeFiles();
    return rv;
  }

 private:
  BirthdayInputs inputs() const {
    BirthdayInputs in;
    in.who = rt::CLIP(m_name);
    in.when = rt::CLIP(m_when);
    in.date = m_date;
    in.advanceWarning = m_advance != 0;
    in.days = m_days;
    in.occasion = rt::CLIP(m_occasionText);
    return in;
  }

  void buildOccasionText() {
    if (m_date == 0) m_date = rt::TODAY();
    const OccasionTask task = BuildOccasionText(inputs(), rt::TODAY());
    SCH.Description = task.description;
    SCH.Message = task.message;
    SCH.Date = task.date;
    SCH.Time = task.time;
    SCH.AdvanceWarnDate = task.warnDate;
    SCH.AdvanceWarnTime = task.warnTime;
    window().display();
  }

  // The wizard's page becomes the sheet's choice; the focus leaves the page left behind first, or
  // the sheet would follow it back there.
  void showStep() {
    ui::Window& w = window();
    w.select(CancelControl);
    w.setProp(m_sheet, ui::Prop::Selected, m_step);
    w.setProp(m_back, ui::Prop::Disable, m_step == 1 ? 1 : 0);
    w.setProp(m_next, ui::Prop::Disable, m_step == 3 ? 1 : 0);
    w.setProp(OkControl, ui::Prop::Default, m_step == 3 ? 1 : 0);
    w.setProp(m_next, ui::Prop::Default, m_step == 3 ? 0 : 1);
  }

  // The WAV file's controls are live only with the alarm on; an empty file then takes the last one
  // used.
  void alarmFields() {
    const int off = SCH.Alarm ? 0 : 1;
    for (int feq : {m_alarmPrompt, m_alarmFile, m_browse, m_play}) window().setProp(feq, ui::Prop::Disable, off);
    if (SCH.Alarm) rememberAlarmFile();
  }

  void rememberAlarmFile() {
    if (SCH.AlarmFile.isBlank()) {
      SCH.AlarmFile = rt::GETINI("Settings", "LastWAVFile", "", mainIni());
      window().display(m_alarmFile);
    } else {
      (void)rt::PUTINI("Settings", "LastWAVFile", SCH.AlarmFile.str(), mainIni());  // best effort
    }
  }

  void browseAlarmFile() {
    const std::string saved = rt::PATH();
    const std::string start = rt::GETINI("Defaults", "WAVPath", "", mainIni());
    if (!start.empty()) (void)rt::SETPATH(start);  // a folder that is gone leaves the current one
    std::string file = SCH.AlarmFile.str();
    if (ui::FILEDIALOG("Select WAV File for Alarm", file, "WAV Files|*.WAV")) {
      SCH.AlarmFile = file;
      rememberAlarmFile();
    }
    (void)rt::PUTINI("Defaults", "WAVPath", rt::PATH(), mainIni());  // best effort
    (void)rt::SETPATH(saved);
    window().display(m_alarmFile);
  }

  void playAlarmFile() {
    const std::string file = rt::CLIP(SCH.AlarmFile.str());
    if (file.empty()) {
      window().select(m_browse);
      browseAlarmFile();
      return;
    }
    const os::SoundResult played = os::playSound(file);
    if (played == os::SoundResult::NoFile || played == os::SoundResult::BadFormat) window().select(m_browse);
  }

  // The task-category list as a picker; true when a category was chosen.
  bool pickCategory() {
    files::CAT.Category = SCH.Category;
    files::GLOBALREQUEST = ui::SelectRecord;
    const int response = scheduler::callProgramWindow("BrowseTaskCategories");
    files::GLOBALREQUEST = 0;
    files::GLOBALRESPONSE = 0;
    if (response != ui::RequestCompleted) return false;
    SCH.Category = files::CAT.Category;
    return true;
  }

  void refreshOthers() {
    scheduler::BroadcastRefresh();
    if (scheduler::services().post) scheduler::services().post(scheduler::kEventRefreshAll, scheduler::kFrameThread);
    else ui::POST(scheduler::kEventRefreshAll, 0, scheduler::kFrameThread);
  }

  void closeFiles() {
    if (m_otherFilesOpen) {
      (void)files::Access_CATEGORIES.Close();
      (void)files::Access_HOLIDAYS.Close();
    }
    if (m_scheduleOpen) (void)files::Relate_SCHEDULE.Close();
    m_otherFilesOpen = m_scheduleOpen = false;
  }

  ScheduleInsertFile m_file;
  winclasses::ReqFldClass m_required;
  winclasses::EntryCompletionClass m_completion;
  ui::WindowPositionKeeper m_position;
  std::string m_name, m_when = "Exact", m_occasionText = "Birthday", m_startCategory;
  int32_t m_date = 0;
  uint8_t m_advance = 0, m_days = 1;
  int m_step = 1;
  bool m_viewOnly = false, m_deleting = false, m_scheduleOpen = false, m_otherFilesOpen = false;
  int m_sheet = 0, m_who = 0, m_dateSpin = 0, m_dateLookup = 0, m_occasion = 0, m_description = 0, m_message = 0;
  int m_category = 0, m_categoryLookup = 0, m_alarm = 0, m_alarmPrompt = 0, m_alarmFile = 0, m_browse = 0;
  int m_play = 0, m_back = 0, m_next = 0;
};

}  // namespace

OccasionTask BuildOccasionText(const BirthdayInputs& in, int32_t today) {
  const int32_t date = in.date == 0 ? today : in.date;
  const int32_t m = rt::MONTH(date), d = rt::DAY(date), y = rt::YEAR(date);
  const std::string who = rt::CLIP(in.who);
  const bool exact = in.when == "Exact";
  const std::string age = "[= AGE(DATE(" + std::to_string(m) + "," + std::to_string(d) + "," + std::to_string(y) +
                          "),TODAY())]";
  std::string description, message;
  if (in.occasion == "Anniversary") {
    description = "Anniversary: " + in.who;
    message = "It's " + who + "'s anniversary today!" + kCrLf + kCrLf + (exact ? age : "");
  } else if (in.occasion == "Other") {
    description = "Event: " + in.who;
    message = who + " is today!" + kCrLf + kCrLf + (exact ? age : "");
  } else {
    description = "Birthday: " + in.who;
    message = "It's " + who + "'s birthday today!" + kCrLf + kCrLf + (exact ? "Age: " + age : "");
  }
  OccasionTask task;
  task.description = rt::CLIP(rt::String<40>(description).str());
  task.message = rt::String<4096>(message).str();
  const int32_t thisYear = rt::YEAR(today);
  task.date = dayOfYear(m, d, thisYear);
  if (task.date <= today) task.date = dayOfYear(m, d, thisYear + 1);
  task.time = kBirthdayTime;
  if (in.advanceWarning && in.days != 0) {
    task.warnDate = task.date - in.days;
    task.warnTime = task.time;
  }
  return task;
}

std::unique_ptr<ui::WindowManager> makeWizardNewBirthdays() { return std::make_unique<BirthdayWizard>(); }

int Wizard_NewBirthdays() {
  BirthdayWizard wizard;
  return wizard.Run();
}

}  // namespace ov::editors
