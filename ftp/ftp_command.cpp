#include "ftp/ftp_command.h"

#include <cctype>
#include <cstdlib>

#include "platform/rt/ini.h"
#include "platform/rt/paths.h"
#include "platform/rt/text.h"

namespace ov::ftp {
namespace {

std::string firstChar(const std::string& s) { return s.empty() ? std::string() : rt::UPPER(s.substr(0, 1)); }

// A number as the runtime reads one: leading digits, 0 when there are none.
int32_t toNumber(const std::string& s) {
  long v = std::strtol(s.c_str(), nullptr, 10);
  return v < 0 || v > 0x7fffffff ? 0 : int32_t(v);
}

}  // namespace

std::string overridesFile(const std::string& programFolder) {
  return rt::resolvePath(programFolder + "/OVFTP.INI");
}

bool parseFtpCommand(const std::vector<std::string>& values, const std::string& overridesIni, FtpCommand& out) {
  auto value = [&](size_t n) { return n <= values.size() ? values[n - 1] : std::string(); };
  out = FtpCommand{};
  std::string op = rt::UPPER(rt::CLIP(value(1)));
  out.from = value(2);
  out.to = value(3);
  out.host = rt::CLIP(value(4));
  out.user = value(5);
  out.password = value(6);
  out.overwrite = firstChar(value(7));
  out.passive = firstChar(value(8));
  out.port = toNumber(value(9));
  if (std::string v = rt::GETINI("Overrides", "Overwrite", "", overridesIni); !v.empty()) out.overwrite = firstChar(v);
  if (std::string v = rt::GETINI("Overrides", "Passive", "", overridesIni); !v.empty()) out.passive = firstChar(v);
  if (std::string v = rt::GETINI("Overrides", "Port", "", overridesIni); !v.empty()) out.port = toNumber(v);
  if (op.size() > 1 && op[0] == 'A') {
    out.transferType = 0;
    op.erase(0, 1);
  }
  out.operation = op;
  return op == "D" || op == "U" || op == "P" || op == "G" || out.isRemoteCommand();
}

}  // namespace ov::ftp
