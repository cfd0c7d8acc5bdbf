#include "prompts.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace ov::files {
namespace {

std::mutex g_mutex;

Prompts defaults() {
  Prompts p;
  p.message = [](std::string_view text, std::string_view title) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(text.size()), text.data());
  };
  p.chooseFolder = [](std::string_view, std::string_view) -> std::optional<std::string> { return std::nullopt; };
  return p;
}

Prompts& current() {
  static Prompts p = defaults();
  return p;
}

}  // namespace

Prompts setPrompts(Prompts prompts) {
  std::lock_guard lock(g_mutex);
  Prompts old = current();
  Prompts base = defaults();
  current().message = prompts.message ? std::move(prompts.message) : base.message;
  current().chooseFolder = prompts.chooseFolder ? std::move(prompts.chooseFolder) : base.chooseFolder;
  return old;
}

void showMessage(std::string_view text, std::string_view title) {
  std::function<void(std::string_view, std::string_view)> f;
  {
    std::lock_guard lock(g_mutex);
    f = current().message;
  }
  f(text, title);
}

std::optional<std::string> chooseFolder(std::string_view title, std::string_view start) {
  std::function<std::optional<std::string>(std::string_view, std::string_view)> f;
  {
    std::lock_guard lock(g_mutex);
    f = current().chooseFolder;
  }
  return f(title, start);
}

}  // namespace ov::files
