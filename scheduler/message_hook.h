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

}  // namespace ov::scheduler
