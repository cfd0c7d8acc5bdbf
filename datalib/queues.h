// The data library's process-wide queues: TOKENQ, the answers given to template tokens, and
// VARQ, the script variables. Both start empty when the library is loaded, live for the whole
// run and are freed when it is unloaded; neither has a lock (their users run on the frame's
// thread).
#pragma once

#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"

namespace ov::files {

// TQ: one answer to a template token, kept by its upper-cased prompt.
struct TokenEntry {
  rt::String<10> KEY;
  rt::String<45> PROMPT;
  rt::String<255> VALUE;
};

// VAR: one script variable; the name is upper case and the key.
struct VarEntry {
  rt::String<32> NAME;
  rt::String<255> STRINGVALUE;
  double VALUE{};  // the numeric value of the text, to 2 places
};

extern rt::Queue<TokenEntry> TOKENQ;
extern rt::Queue<VarEntry> VARQ;

// Their key orders: TQ:PROMPT and VAR:NAME (compared blank-padded, as stored).
extern const rt::QueueOrder<TokenEntry> TQ_ByPrompt;
extern const rt::QueueOrder<VarEntry> VAR_ByName;

}  // namespace ov::files
