// What the records and settings dialogs give the main program: their windows by procedure name,
// for the frame to start. Called once in main() before the frame opens.
#pragma once

namespace ov::dialogs {

void registerWindows();

}  // namespace ov::dialogs
