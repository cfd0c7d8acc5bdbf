#include "mapisend/tests/support.h"

#include <fstream>

namespace ov::mapisend::test {

std::vector<std::string> MailFixture::eventLines() const {
  closeEventLog();
  std::ifstream in(std::string(files::GLO.LOGFILENAME.clipped()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace ov::mapisend::test
