// Wizard:NewBirthdays, the "Birthday/Anniversary Wizard": three pages that turn a name, a date and
// an occasion into a new yearly "Display Message" task. With the exact date known the message
// carries an AGE expression that the scheduler works out when the message is shown.
//
// The new task's number is reserved as the wizard opens (the record is stored disabled), stored
// enabled on OK and removed on Cancel, so a cancelled wizard leaves no task behind.
//
// Threading: GUI thread only; started on a logical thread of its own by the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/window_manager.h"

namespace ov::editors {

constexpr int32_t kBirthdayTime = 8640000 / 4;  // 06:00 in hundredths of a second

struct BirthdayInputs {
  std::string who;                  // the name, 40 characters
  std::string when = "Exact";       // "Exact": the birth date is known; "Birthday": month and day only
  int32_t date = 0;                 // the birth date or the next birthday; 0 means today
  bool advanceWarning = false;
  int days = 1;                     // days of advance warning
  std::string occasion = "Birthday";  // "Birthday", "Anniversary" or "Other"
};

struct OccasionTask {
  std::string description;  // 40 characters at most
  std::string message;      // 4096 characters at most
  int32_t date = 0;         // the next day with the month and day of the input, after today
  int32_t time = kBirthdayTime;
  int32_t warnDate = 0;     // 0: no advance warning
  int32_t warnTime = 0;
};

// The task's texts and dates from the wizard's inputs on day `today`. A 29 February falls on
// 28 February in a year without one.
OccasionTask BuildOccasionText(const BirthdayInputs& in, int32_t today);

std::unique_ptr<ui::WindowManager> makeWizardNewBirthdays();
// Runs the wizard modally on the current thread; its response.
int Wizard_NewBirthdays();

}  // namespace ov::editors
