// Fetching 1,000 messages of 50 KB from dovecot's POP3 service on 127.0.0.1: the receiver looks at
// each message's headers (TOP), downloads it (RETR), splits it and saves its text, as ov_pop does.
// Needs dovecot (package dovecot-pop3d); the messages stay on the server between iterations.
//
//   build/bench/pop_bench
//
// For a comparison with Debian's fetchmail on the same mailbox (the messages kept, all of them
// fetched, written to one batch file), its rc file was:
//   poll 127.0.0.1 protocol pop3 port PORT user "alice" password "alicepw" keep fetchall
//     bsmtp OUT sslproto ''

#include <benchmark/benchmark.h>

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
  for (auto _ : state) {
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
  }
  state.counters["messages/s"] = benchmark::Counter(kMessages, benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMessages * static_cast<int64_t>(kMessageSize));
}
BENCHMARK(BM_FetchFromDovecot)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
