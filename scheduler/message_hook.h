// Message boxes of the scheduler core. Every box goes through one replaceable hook, so tests can
// script the answers and the main program can show them through its interaction host.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ov::scheduler {

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };
enum class Icon { None, Information, Exclamation, Question, Hand };

struct MessageBox {
  std::string text;   // "|" is a line break
  std::string title;
  Icon icon = Icon::None;
  Buttons buttons = Buttons::Ok;
  Answer defaultAnswer = Answer::Ok;
};

using MessageHook = std::function<Answer(const MessageBox&)>;

// Shows the box through the installed hook and returns the answer. With no hook installed the
// box is written to standard error and answered with its default.
Answer showMessage(const MessageBox& box);

// Installs `hook` (an empty function restores the default) and returns the previous one.
MessageHook setMessageHook(MessageHook hook);

// A popup menu: items separated by "|", "-" for a separator line. Returns the number of the chosen
// item counting the items that are not separators (1 for the first), or 0 when none was chosen.
// With no hook installed nothing is chosen.
using PopupHook = std::function<int(std::string_view items)>;
int showPopup(std::string_view items);
PopupHook setPopupHook(PopupHook hook);

}  // namespace ov::scheduler
