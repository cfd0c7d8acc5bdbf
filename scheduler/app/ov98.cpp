// The main program: starts on the data folder and runs until its frame closes.
#include "scheduler/app/assembly.h"
#include "scheduler/program_body.h"

int main(int argc, char** argv) {
  ov::scheduler::AssembleProgram();
  return ov::scheduler::ProgramBody(argc, argv);
}
