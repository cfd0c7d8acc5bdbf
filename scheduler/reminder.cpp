#include "scheduler/reminder.h"

#include <memory>

#include <QWidget>

#include "datalib/date_string_functions.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/records.h"
#include "datalib/startup.h"
#include "platform/rt/date_time.h"
#include "platform/rt/err.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/runtime.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_position.h"
#include "scheduler/event_log.h"

namespace ov::scheduler {

using rt::Err;

namespace {

int g_threadCount = 0;

constexpr int kSnoozeButton = 3, kToDoButton = 4, kEmailButton = 5, kCloseButton = 6;

class ReminderWindow : public ui::WindowManager {
 public:
  explicit ReminderWindow(ReminderText reminder)
      : WindowManager(reminder.modal ? "ShowModalMessage" : "ShowMessageNormal"), m_reminder(std::move(reminder)) {}

  ui::Level Init() override {
    ++g_threadCount;
    m_counted = true;
    WriteLog(m_reminder.title + " " + m_reminder.sound, "Message");
    m_alarm.start(rt::TODAY(), rt::CLOCK(), files::MSG.REPEATALARMINTERVAL, files::MSG.MAXALARMTIME);
    ui::Window& w = window();
    w.setTitle(m_reminder.title);
    w.at(-1, -1, 240, 140).resizable().timer(100).minSize(217, 126);
    m_text = m_reminder.message;
    w.textBox("?Message").at(4, 4, 232, 100).use(m_text);
    w.button("?Snooze", "&Snooze", kSnoozeButton).at(4, 118, 52, 16);
    w.button("?ToDo", "Add to &To Do", kToDoButton).at(62, 118, 56, 16);
    w.button("?Email", "&Email", kEmailButton)
        .tip("Send this as an email message")
        .at(124, 118, 52, 16)
        .disabled(!services().generateEmail);
    w.button("?Close", "&Close", kCloseButton).at(182, 118, 52, 16);
    Open();
    m_position.Init(*this, files::globalIni());
    if (m_reminder.modal && w.view()) {
      w.view()->setWindowFlag(Qt::WindowStaysOnTopHint, true);
      w.view()->show();
    }
    return ui::Level::Benign;
  }

  ui::Level Kill() override {
    if (m_counted) --g_threadCount;
    m_counted = false;
    return WindowManager::Kill();
  }

  ui::Level TakeWindowEvent() override {
    if (ui::EVENT() == ui::EVENT::Timer && m_alarm.due(rt::TODAY(), rt::CLOCK()) && !m_reminder.sound.empty() &&
        services().playSound)
      services().playSound(m_reminder.sound);
    return WindowManager::TakeWindowEvent();
  }

  ui::Level TakeAccepted() override {
    switch (ui::ACCEPTED()) {
      case kSnoozeButton:
        (void)SnoozeMessage(m_reminder);
        ui::POST(ui::EVENT::CloseWindow);
        return ui::Level::Notify;
      case kToDoButton:
        // AddMessageToToDo tells the user itself: one box, not a second one after it.
        (void)AddMessageToToDo(m_reminder);
        return ui::Level::Notify;
      case kEmailButton:
        // What the window shows (the text as edited there) goes out; the window keeps its own
        // reminder and shows it again afterwards.
        if (services().generateEmail) {
          Update();
          ReminderText shown = m_reminder;
          shown.message = m_text;
          services().generateEmail(shown);
          window().display();
        }
        return ui::Level::Notify;
      case kCloseButton:
        ui::POST(ui::EVENT::CloseWindow);
        return ui::Level::Notify;
      default:
        return WindowManager::TakeAccepted();
    }
  }

 private:
  ReminderText m_reminder;
  ui::WindowPositionKeeper m_position;
  std::string m_text;
  AlarmRepeat m_alarm;
  bool m_counted = false;
};

}  // namespace

int THREADCOUNT() { return g_threadCount; }

void ShowMessageThread(const ReminderText& reminder) {
  ReminderText copy = reminder;
  if (copy.message.size() > 1024) copy.message.resize(1024);
  if (ui::START([copy] { return std::make_unique<ReminderWindow>(copy); }, 25000) == 0)
    (void)ui::MESSAGE(copy.message, copy.title);
}

void AlarmRepeat::start(int32_t today, int32_t now, int32_t intervalSeconds, int32_t maxMinutes) {
  *this = AlarmRepeat{};
  if (intervalSeconds <= 0) return;
  m_interval = intervalSeconds * 100;
  m_nextDate = today;
  m_nextTime = now + m_interval;
  files::FIXDATE(m_nextDate, m_nextTime);
  if (maxMinutes > 0) {
    m_stopDate = today;
    m_stopTime = now + maxMinutes * 6000;
    files::FIXDATE(m_stopDate, m_stopTime);
  }
}

bool AlarmRepeat::due(int32_t today, int32_t now) {
  if (m_interval <= 0 || m_nextDate <= 0) return false;
  if (files::COMPAREDATE(today, now, m_nextDate, m_nextTime) < 0) return false;
  if (m_stopDate > 0 && files::COMPAREDATE(today, now, m_stopDate, m_stopTime) > 0) {
    m_nextDate = m_nextTime = 0;  // no more repeats
    return false;
  }
  m_nextDate = today;
  m_nextTime = now + m_interval;
  files::FIXDATE(m_nextDate, m_nextTime);
  return true;
}

int32_t SnoozeMessage(const ReminderText& reminder) {
  if (files::Access_SCHEDULE.Open() != Err::None) return 0;
  const files::ScheduleRec saved = files::SCH;
  files::SCHEDULE.clear();
  files::SCH.Message = reminder.message;
  files::SCH.TaskType = "Display Message";
  files::SCH.Category = "Snooze";
  files::SCH.Description = reminder.title;
  files::SCH.ScheduleType = "Once";
  int32_t date = rt::TODAY();
  int32_t time = rt::CLOCK() + (files::MSG.SNOOZEINTERVAL > 0 ? files::MSG.SNOOZEINTERVAL * 6000 : 60000);
  files::FIXDATE(date, time);
  files::SCH.Date = date;
  files::SCH.Time = time;
  files::SCH.SkipIfMissed = 1;
  files::SCH.AlarmFile = reminder.sound;
  files::SCH.Alarm = reminder.sound.empty() ? 0 : 1;
  int32_t id = 0;
  if (files::Access_SCHEDULE.Insert() == Err::None) id = files::SCH.ID;
  files::SCH = saved;
  (void)files::Access_SCHEDULE.Close();
  if (id != 0 && services().post) services().post(kEventRefreshAll, kFrameThread);
  return id;
}

bool AddMessageToToDo(const ReminderText& reminder) {
  if (files::Access_TODO.Open() != Err::None) return false;
  files::TODO.clear();
  files::TDO.Category = "General";
  files::TDO.ToDo = reminder.title;
  files::TDO.Notes = reminder.message;
  files::TDO.Priority = 5;
  files::TDO.Done = 0;
  const bool added = files::Access_TODO.Insert() == Err::None;
  (void)files::Access_TODO.Close();
  if (added) (void)ui::MESSAGE("Added to To Do List:\r" + reminder.title, "Saved");
  return added;
}

}  // namespace ov::scheduler
