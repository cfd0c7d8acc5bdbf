// What the task and script editors give the main program: its windows by procedure name and the
// scheduler core's seams they fill (the date picker). Called once in main() before the frame opens.
#pragma once

namespace ov::editors {

void registerWindows();

}  // namespace ov::editors
