// What the data library asks of the user: a message box and the data-folder chooser.
//
// Both go through replaceable functions, so the library works without a windows layer and tests
// can answer them: a program with windows installs its own (message box, folder dialog) before
// it calls OV_FILES_INIT. Until one is installed, messages go to standard error and the folder
// chooser answers "cancelled".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ov::files {

struct Prompts {
  // Shows `text` under `title` with an OK button and returns when it is dismissed.
  std::function<void(std::string_view text, std::string_view title)> message{};
  // Offers a folder dialog titled `title` opened at `start`; the chosen folder, or nothing when
  // the user cancelled.
  std::function<std::optional<std::string>(std::string_view title, std::string_view start)> chooseFolder{};
};

// Installs `prompts` (an empty member restores the default) and returns the previous set.
Prompts setPrompts(Prompts prompts);

// MESSAGE(text, title) through the installed prompt.
void showMessage(std::string_view text, std::string_view title);
std::optional<std::string> chooseFolder(std::string_view title, std::string_view start);

}  // namespace ov::files
