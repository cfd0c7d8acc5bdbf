// The main program: starts on the data folder and runs until its frame closes.
#include "dialogs/register_windows.h"
#include "editors/register_windows.h"
#include "scheduler/program_body.h"

int main(int argc, char** argv) {
  ov::editors::registerWindows();
  ov::dialogs::registerWindows();
  return ov::scheduler::ProgramBody(argc, argv);
}
