#include "queues.h"

namespace ov::files {

rt::Queue<TokenEntry> TOKENQ;
rt::Queue<VarEntry> VARQ;

const rt::QueueOrder<TokenEntry> TQ_ByPrompt{rt::ascending(&TokenEntry::PROMPT)};
const rt::QueueOrder<VarEntry> VAR_ByName{rt::ascending(&VarEntry::NAME)};

}  // namespace ov::files
