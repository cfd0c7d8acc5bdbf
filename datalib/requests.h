// The request and answer between a list and the record form or picker it runs: the list sets
// GLOBALREQUEST before the call, the form reads it once as it opens (and clears both), and
// answers in GLOBALRESPONSE as it closes.
//
// Threading: GUI thread only (every logical thread runs there).
#pragma once

#include <cstdint>

namespace ov::files {

extern uint8_t GLOBALREQUEST;   // 1 insert, 2 change, 3 delete, 4 select (a form: view)
extern uint8_t GLOBALRESPONSE;  // 1 completed, 2 cancelled

}  // namespace ov::files
