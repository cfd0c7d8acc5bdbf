// What the message form shows for a mail type and a mail format, the configuration key that keeps
// the last value used for a mail type, how chosen attachment files join the attachment list, and
// the text by which a "Send Email" script step names its message.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ov::dialogs {

// The mail types of the form; any other stored value is a plain e-mail.
enum class MailKind { Email, News, MassMailing, MailMerge, MailScript };
MailKind mailKind(std::string_view mailType);

struct MailTypeLayout {
  bool to = false;             // To prompt and entry
  bool toIsNewsgroup = false;  // the To prompt reads "*Newsgroup:" in place of "*To:"
  bool contactButton = false;  // "Select Contact to email"
  bool category = false;       // category prompt, entry and picker
  bool name = false;           // Name prompt and entry
  bool ccBcc = false;
  bool mergeFile = false;      // merge file prompt, entry and browse button
  bool mergeNote = false;
  bool scriptNote = false;
};
MailTypeLayout mailTypeLayout(MailKind kind);

// The field a mail type fills from its last-used value when it is blank, and the value it
// remembers on OK.
enum class RememberedField { To, Category, MergeFile };
RememberedField rememberedField(MailKind kind);
// "LastEmail", "LastNewsgroup", "LastMassMailing", "LastMailMerge", "LastMailScript".
std::string_view lastUsedKey(MailKind kind);
// Whether showing the type fills its blank field from the last-used value (never for e-mail).
bool fillsFromLastUsed(MailKind kind);

// Which of the message controls the mail format shows.
enum class MessageBody { Text, TextFile, HtmlFile };
MessageBody messageBody(std::string_view mailFormat);

// The attachment list after the chosen files: each name is appended after "; " (a single blank
// in a multiple selection whose list's first ";" is its last character); an empty list takes the
// name alone. Names are cut to 260 bytes, the list to 255.
std::string appendAttachments(std::string_view list, const std::vector<std::string>& chosen);

// The subject without trailing blanks, " - " and the recipient: how a "Send Email" step shows
// its message.
std::string messageLinkTitle(std::string_view subject, std::string_view to);

}  // namespace ov::dialogs
