// A small program the process tests start:
//   exit N               ends with exit code N
//   sleep MS [N]         sleeps MS milliseconds, then ends with N (default 0)
//   args FILE ARG...     writes each ARG and a line feed to FILE
//   pwd FILE             writes its working folder to FILE
//   stubborn FILE        ignores SIGTERM, writes FILE once it does, then sleeps a minute
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

static void writeFile(const char* path, const char* text) {
  FILE* f = std::fopen(path, "w");
  if (!f) std::exit(100);
  std::fputs(text, f);
  std::fclose(f);
}

int main(int argc, char** argv) {
  if (argc < 2) return 99;
  const char* mode = argv[1];
  if (!std::strcmp(mode, "exit") && argc == 3) return std::atoi(argv[2]);
  if (!std::strcmp(mode, "sleep") && argc >= 3) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return argc > 3 ? std::atoi(argv[3]) : 0;
  }
  if (!std::strcmp(mode, "args") && argc >= 3) {
    FILE* f = std::fopen(argv[2], "w");
    if (!f) return 100;
    for (int i = 3; i < argc; ++i) std::fprintf(f, "%s\n", argv[i]);
    std::fclose(f);
    return 0;
  }
  if (!std::strcmp(mode, "pwd") && argc == 3) {
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return 101;
    writeFile(argv[2], buf);
    return 0;
  }
  if (!std::strcmp(mode, "stubborn") && argc == 3) {
    signal(SIGTERM, SIG_IGN);
    writeFile(argv[2], "ready");
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 0;
  }
  return 98;
}
