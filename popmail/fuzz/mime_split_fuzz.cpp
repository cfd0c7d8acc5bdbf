// libFuzzer target: splits arbitrary bytes as a fetched message (headers, MIME walk, decoders,
// uuencoded files). Attachments are listed, never written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "popmail/net_email_receive.h"

namespace {

class Splitter : public ov::pop::NetEmailReceive {
 public:
  void ErrorTrap(std::string_view, std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Splitter s;
  s.OptionsDontSaveAttachments = true;
  s.OptionsDontSaveEmbeds = true;
  s.OptionsUserFilter = "X-FILTER:";
  s.WholeMessage.assign(reinterpret_cast<const char*>(data), size);
  s.WholeMessage += "\r\n.\r\n";
  (void)s.ProcessSplitWholeMessage();
  return 0;
}
