// Printing a finished document (a PDF or a text file): it is handed to the system's print spooler
// with "lp <file>". Tests put a spooler of their own in its place.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <string>

namespace ov::ui {

// Takes the file; true when the spooler accepted the job.
using PrintSpooler = std::function<bool(const std::string& file)>;

// Replaces the spooler; an empty function restores "lp".
void setPrintSpooler(PrintSpooler spooler);

// Prints `file`; true when the spooler accepted it.
bool spoolFile(const std::string& file);

}  // namespace ov::ui
