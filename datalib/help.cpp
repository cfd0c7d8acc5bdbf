#include "datalib/help.h"

#include <cctype>
#include <filesystem>

#include "platform/rt/ini.h"
#include "platform/rt/process.h"
#include "platform/ui/host.h"

namespace ov::files {
namespace {

namespace fs = std::filesystem;

constexpr const char* kContents = "index.html";

bool hasContents(const fs::path& folder) {
  std::error_code ec;
  return fs::is_regular_file(folder / kContents, ec);
}

// A help id names a page only when it is a plain name: no folder parts, nothing to climb out with.
bool plainName(std::string_view id) {
  if (id.empty()) return false;
  for (char c : id)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ':' || c == '.')) return false;
  return id.find("..") == std::string_view::npos;
}

bool open(const std::string& target, std::string_view what) {
  rt::Started s = rt::shellOpen(target);
  if (s.ok()) {
    rt::closeProgram(s.handle);
    return true;
  }
  ui::MESSAGE("Unable to open " + std::string(what) + ".||" + target +
                  "||Check that a web browser is installed and set as the desktop's default.",
              "Help", ui::Icon::Exclamation);
  return false;
}

}  // namespace

std::string HelpFolder() {
  // Installed, the programs lie in the prefix's lib/orvane (or a deeper library folder).
  const fs::path programs = rt::programFolder();
  if (hasContents(programs / "help")) return (programs / "help").string();
  for (fs::path up = programs.parent_path(); !up.empty() && up != up.root_path(); up = up.parent_path())
    if (hasContents(up / "share/doc/orvane/help")) return (up / "share/doc/orvane/help").string();
  return {};
}

std::string HelpPage(std::string_view helpId) {
  const std::string folder = HelpFolder();
  if (folder.empty()) return {};
  // A window of a procedure ("UpdateScripting:GetAction") shares its procedure's page when it
  // has none of its own.
  for (std::string id(helpId); plainName(id);) {
    std::error_code ec;
    const fs::path page = fs::path(folder) / (id + ".html");
    if (fs::is_regular_file(page, ec)) return page.string();
    const size_t colon = id.rfind(':');
    if (colon == std::string::npos) break;
    id.resize(colon);
  }
  return (fs::path(folder) / kContents).string();
}

bool ShowHelp(std::string_view helpId) {
  const std::string page = HelpPage(helpId);
  if (page.empty()) {
    ui::MESSAGE("The user manual is not installed.||Its pages belong in the folder \"help\" beside the programs.",
                "Help", ui::Icon::Exclamation);
    return false;
  }
  return open(page, "the user manual");
}

std::string WebSiteAddress() { return rt::GETINI("Custom", "WebSite", "", "OV98.INI"); }
std::string SupportAddress() { return rt::GETINI("Custom", "SupportAddress", "", "OV98.INI"); }

bool OpenWebSite() {
  const std::string address = WebSiteAddress();
  return !address.empty() && open(address, "the web site");
}

bool OpenSupportMail() {
  const std::string address = SupportAddress();
  if (address.empty()) return false;
  return open(address.starts_with("mailto:") ? address : "mailto:" + address, "a mail to the support address");
}

}  // namespace ov::files
