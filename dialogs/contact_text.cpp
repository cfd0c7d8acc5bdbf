#include "dialogs/contact_text.h"

#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::dialogs {

namespace {

constexpr size_t kNameAndCompanyWidth = 100;
constexpr size_t kPhoneTextWidth = 128;
constexpr size_t kDescriptionWidth = 40;
constexpr size_t kMessageWidth = 4096;
constexpr int32_t kHour = 360000;

}  // namespace

std::string cutText(std::string_view s, size_t width) { return std::string(s.substr(0, rt::utf8CutLength(s, width))); }

std::string contactNameAndCompany(const files::ContactRec& c) {
  std::string text = c.LastName.str();
  if (!c.FirstName.isBlank()) text += ", " + c.FirstName.str();
  if (!c.Company.isBlank()) text += " (" + c.Company.str() + ")";
  return cutText(text, kNameAndCompanyWidth);
}

std::string contactClipboardText(const files::ContactRec& c) {
  std::string text;
  const auto line = [&text](std::string_view s) {
    text += s;
    text += "\r\n";
  };
  // A label alone keeps no trailing blank: "Fax:".
  const auto labelled = [&line](std::string_view label, std::string value) {
    line(value.empty() ? std::string(label) : std::string(label) + " " + value);
  };
  line(c.LastName.str());
  line(c.FirstName.str());
  line(c.AddressLine1.str());
  line(c.AddressLine2.str());
  line(c.AddressLine3.str());
  line(c.PostalCode.str());
  labelled("Work Phone:", c.WorkDayPhone.str());
  labelled("Home Phone:", c.HomeEveningPhone.str());
  labelled("Fax:", c.Fax.str());
  labelled("Other Phone:", c.OtherPhone.str());
  labelled("Email:", c.Email.str());
  labelled("Web Site:", c.WebSite.str());
  labelled("Category:", c.ContactCategory.str());
  return text;
}

std::string contactPhoneText(const files::ContactRec& c) {
  const std::string field = c.DefaultContact.str();
  std::string text;
  if (field == "Business")
    text = c.WorkDayPhone.str();
  else if (field == "Home")
    text = c.HomeEveningPhone.str();
  else if (field == "Other")
    text = c.OtherPhone.str();
  else if (field == "Fax")
    text = c.Fax.str();
  else if (field == "E-mail")
    text = c.Email.str();
  else
    text = "Bus:" + c.WorkDayPhone.str() + "/Res:" + c.HomeEveningPhone.str();
  return cutText(text, kPhoneTextWidth);
}

std::string contactReminderDescription(const files::ContactRec& c) {
  std::string text = c.FirstName.str() + " " + c.LastName.str();
  if (!c.Company.isBlank()) text += ", " + c.Company.str();
  text += " - " + contactPhoneText(c);
  const size_t first = text.find_first_not_of(' ');
  text.erase(0, first == std::string::npos ? text.size() : first);
  return cutText(text, kDescriptionWidth);
}

std::string contactReminderMessage(std::string_view text, int32_t clientId) {
  return cutText(rt::CLIP(text) + "\r\n[CONTACT " + std::to_string(clientId) + "]\r\n", kMessageWidth);
}

int32_t reminderHour(int32_t clock) { return clock / kHour * kHour + 1; }

}  // namespace ov::dialogs
