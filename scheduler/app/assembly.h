// The parts of the main program put together: every part's windows registered by procedure name
// and the dialogs the scheduler core calls installed. ov98 does this once before its frame opens;
// the tests of the assembled program do the same through this one function.
//
// Threading: GUI thread, before the frame opens.
#pragma once

namespace ov::scheduler {

void AssembleProgram();

}  // namespace ov::scheduler
