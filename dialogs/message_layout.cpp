#include "dialogs/message_layout.h"

#include "dialogs/contact_text.h"
#include "platform/rt/text.h"

namespace ov::dialogs {

namespace {

constexpr size_t kFileNameWidth = 260;
constexpr size_t kAttachmentWidth = 255;
constexpr size_t kTitleWidth = 255;

}  // namespace

MailKind mailKind(std::string_view mailType) {
  const std::string type = rt::CLIP(mailType);
  if (type == "News") return MailKind::News;
  if (type == "Mass Mailing") return MailKind::MassMailing;
  if (type == "Mail Merge") return MailKind::MailMerge;
  if (type == "Mail Script") return MailKind::MailScript;
  return MailKind::Email;
}

MailTypeLayout mailTypeLayout(MailKind kind) {
  MailTypeLayout l;
  switch (kind) {
    case MailKind::Email:
      l.to = l.contactButton = l.name = l.ccBcc = true;
      break;
    case MailKind::News:
      l.to = l.toIsNewsgroup = true;
      break;
    case MailKind::MassMailing:
      l.category = true;
      break;
    case MailKind::MailMerge:
      l.mergeFile = l.mergeNote = true;
      break;
    case MailKind::MailScript:
      l.mergeFile = l.scriptNote = true;
      break;
  }
  return l;
}

RememberedField rememberedField(MailKind kind) {
  switch (kind) {
    case MailKind::MassMailing: return RememberedField::Category;
    case MailKind::MailMerge:
    case MailKind::MailScript: return RememberedField::MergeFile;
    default: return RememberedField::To;
  }
}

std::string_view lastUsedKey(MailKind kind) {
  switch (kind) {
    case MailKind::News: return "LastNewsgroup";
    case MailKind::MassMailing: return "LastMassMailing";
    case MailKind::MailMerge: return "LastMailMerge";
    case MailKind::MailScript: return "LastMailScript";
    default: return "LastEmail";
  }
}

bool fillsFromLastUsed(MailKind kind) { return kind != MailKind::Email; }

MessageBody messageBody(std::string_view mailFormat) {
  const std::string format = rt::CLIP(mailFormat);
  if (format == "Text file") return MessageBody::TextFile;
  if (format == "HTML file") return MessageBody::HtmlFile;
  return MessageBody::Text;
}

std::string appendAttachments(std::string_view list, const std::vector<std::string>& chosen) {
  std::string out = rt::CLIP(list);
  const bool multiple = chosen.size() > 1;
  for (const std::string& file : chosen) {
    const std::string name = cutText(file, kFileNameWidth);
    if (rt::CLIP(out).empty()) {
      out = name;
      continue;
    }
    out = rt::CLIP(out);
    const size_t semicolon = out.find(';');
    const bool endsAtFirstSemicolon = semicolon != std::string::npos && semicolon == out.size() - 1;
    out += (multiple && endsAtFirstSemicolon ? " " : "; ") + name;
  }
  return cutText(out, kAttachmentWidth);
}

std::string messageLinkTitle(std::string_view subject, std::string_view to) {
  return cutText(rt::CLIP(subject) + " - " + rt::CLIP(to), kTitleWidth);
}

}  // namespace ov::dialogs
