// Fetching 1,000 messages of 50 KB from dovecot's POP3 service on 127.0.0.1: the receiver looks at
// each message's headers (TOP), downloads it (RETR), splits it and saves its text, as ov_pop does.
// Needs dovecot (package dovecot-pop3d); the messages stay on the server between iterations.
// Each iteration also fetches the same mailbox with python3's poplib (TOP and RETR of every
// message, kept on the server) and the benchmark prints ours/poplib as "ratio".
//
//   build/bench/pop_bench
//
// For a comparison with Debian's fetchmail on the same mailbox (the messages kept, all of them
// fetched, written to one batch file), its rc file was:
//   poll 127.0.0.1 protocol pop3 port PORT user "alice" password "alicepw" keep fetchall
//     bsmtp OUT sslproto ''

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "netlib/net_log.h"
#include "popmail/pop_receiver.h"
#include "popmail/tests/support.h"

namespace {

constexpr int kMessages = 1000;
constexpr size_t kMessageSize = 50 * 1024;

std::string message(int n) {
  std::string m = "From: sender" + std::to_string(n) + "@example.org\r\nTo: alice@example.org\r\nSubject: Message " +
                  std::to_string(n) + "\r\nMessage-ID: <" + std::to_string(n) + "@bench>\r\n\r\n";
  std::string line = std::string(74, static_cast<char>('a' + n % 26)) + "\r\n";
  while (m.size() + line.size() <= kMessageSize) m += line;
  m.append(kMessageSize - m.size() - 2, 'z');
  m += "\r\n";
  return m;
}

// The peer: poplib reads the headers (TOP) and the whole of every message (RETR), and quits.
constexpr const char* kPoplib = R"(
import poplib, sys
p = poplib.POP3('127.0.0.1', int(sys.argv[1]))
p.user('alice'); p.pass_('alicepw')
count = p.stat()[0]
for i in range(1, count + 1):
    p.top(i, 0)
    p.retr(i)
p.quit()
sys.exit(0 if count == int(sys.argv[2]) else 3)
)";

bool poplib(int port) {
  pid_t pid = ::fork();
  if (pid == 0) {
    std::string portText = std::to_string(port), count = std::to_string(kMessages);
    ::execl("/usr/bin/python3", "python3", "-c", kPoplib, portText.c_str(), count.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_FetchFromDovecot(benchmark::State& state) {
  if (std::string why = ov::pop::test::Dovecot::unavailable(); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  ov::net::setDebugSink([](std::string_view) {});
  ov::pop::test::Scratch scratch;
  auto server = std::make_unique<ov::pop::test::Dovecot>();
  if (!server->running()) {
    state.SkipWithError(server->error().c_str());
    return;
  }
  for (int i = 0; i < kMessages; ++i) server->deliver(message(i));
  int run = 0;
  double ours = 0, peer = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    ov::pop::PopOptions options;
    options.Server = "127.0.0.1";
    options.Port = server->port();
    options.User = "alice";
    options.Password = "alicepw";
    options.SaveText = scratch.root() + "/run" + std::to_string(++run) + "/";
    ov::pop::PopReceiver receiver(options);
    if (!ov::pop::test::runFetch(receiver, 600000) || receiver.failed() || !receiver.finished()) {
      state.SkipWithError("the fetch did not complete");
      break;
    }
    if (scratch.list("run" + std::to_string(run)).size() != kMessages) {
      state.SkipWithError("not every message was saved");
      break;
    }
    auto mid = std::chrono::steady_clock::now();
    if (!poplib(server->port())) {
      state.SkipWithError("poplib's fetch failed");
      break;
    }
    ours += std::chrono::duration<double>(mid - start).count();
    peer += std::chrono::duration<double>(std::chrono::steady_clock::now() - mid).count();
    state.SetIterationTime(std::chrono::duration<double>(mid - start).count());
  }
  if (peer > 0) {
    state.counters["ours_s"] = ours / double(state.iterations());
    state.counters["poplib_s"] = peer / double(state.iterations());
    state.counters["ratio"] = ours / peer;
  }
  state.counters["messages/s"] = benchmark::Counter(kMessages, benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMessages * static_cast<int64_t>(kMessageSize));
}
BENCHMARK(BM_FetchFromDovecot)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
