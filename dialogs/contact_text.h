// The texts made from a contact: the list's "Name and Company" column, the text that "&Copy to
// Clipboard" puts on the clipboard, and the reminder task a contact form may write (its
// description, phone text and message, and its starting hour).
//
// Every field is taken without its trailing blanks; the results are cut to their widths without
// splitting a character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datalib/records.h"

namespace ov::dialogs {

// "Lee, Ann (Acme)": the last name, ", " and the first name when there is one, " (" company ")"
// when there is one; 100 bytes at most.
std::string contactNameAndCompany(const files::ContactRec& c);

// Thirteen lines, each ended by CR LF: last name, first name, the three address lines, postal
// code, then "Work Phone:", "Home Phone:", "Fax:", "Other Phone:", "Email:", "Web Site:" and
// "Category:", each with a blank and its value when the value is not empty.
std::string contactClipboardText(const files::ContactRec& c);

// The phone text of the default contact field ("Business", "Home", "Other", "Fax", "E-mail");
// any other value gives "Bus:<business>/Res:<home>". 128 bytes at most.
std::string contactPhoneText(const files::ContactRec& c);

// "Ann Lee, Acme - <phone text>", without leading blanks; 40 bytes at most.
std::string contactReminderDescription(const files::ContactRec& c);

// The reminder text without trailing blanks, CR LF, "[CONTACT <id>]", CR LF; 4096 bytes at most.
std::string contactReminderMessage(std::string_view text, int32_t clientId);

// The current hour on the hour, as a time of the runtime (hundredths since midnight, plus 1).
int32_t reminderHour(int32_t clock);

// `s` cut to `width` bytes, never inside a character.
std::string cutText(std::string_view s, size_t width);

}  // namespace ov::dialogs
