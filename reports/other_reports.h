// The reports over the other tables: the task categories, the to-do list (by priority, and one
// category by priority), the contacts (by last name, first name or company, and grouped by
// category) and the stored e-mail messages that tasks will send.
#pragma once

#include <cstdint>
#include <vector>

namespace ov::reports {

int CategoryListReport();
int ToDoByPriorityReport();
int ToDoByCategoryReport();
// Both read GLO.ContactOrder ("Last Name", "First Name", "Company", "Category") and clear it.
int ContactsReport();
int ContactsByCategoryReport();
int ScheduledEmailsReport();

// One (task, message) pair: the task SCH_ID sends the message EMAIL_ID.
struct ScheduledEmail {
  int32_t SCH_ID = 0;
  int32_t EMAIL_ID = 0;
  bool operator==(const ScheduledEmail&) const = default;
};

// Reads the enabled tasks in order of next date and collects which stored message each sends,
// by its "OVEMAIL<number>" command or by the "Send Email" steps of its script; the pairs in
// order of message, then task. With `withWindow` a progress window shows the reading (Cancel
// keeps what was found).
void FindEmailMessages_Schedule(std::vector<ScheduledEmail>& queue, bool withWindow = true);

}  // namespace ov::reports
