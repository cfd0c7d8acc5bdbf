// Moving a 200 MB file to and from pyftpdlib on 127.0.0.1 through a whole ovftp operation (the
// event-driven Download and Upload with their progress and log), and the same file with the curl
// program in the same run. Each benchmark prints ours/curl as "ratio".
// Needs /usr/bin/python3 with pyftpdlib (package python3-pyftpdlib) and /usr/bin/curl.
//
//   build/bench/ftp_bench

#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ftp/ftp_command.h"
#include "ftp/ftp_operation.h"
#include "ftp/ftp_session.h"
#include "ftp/tests/support.h"
#include "platform/libs/ftp/tests/ftp_server.h"

namespace {

using ov::ftp::FtpCommand;
using ov::ftp::FtpOperation;
using ov::ftp::FtpSession;
using ov::ftplib::test::FtpServer;
using ov::ftplib::test::TempFolder;
using Clock = std::chrono::steady_clock;

// The file's size: 200 MB, or OV_FTP_BENCH_MB megabytes.
const int64_t kSize = (std::getenv("OV_FTP_BENCH_MB") ? std::atoll(std::getenv("OV_FTP_BENCH_MB")) : 200LL) << 20;

int64_t fileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}

void makeFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = char(i * 131 + 7);
  for (int64_t n = 0; n < kSize; n += int64_t(block.size())) std::fwrite(block.data(), 1, block.size(), f);
  std::fclose(f);
}

// One ovftp operation ("D" or "U") without a window; false when it did not succeed.
bool ours(const std::string& op, const std::string& from, const std::string& to, const FtpServer& server,
          const TempFolder& logs) {
  FtpCommand cmd;
  std::vector<std::string> values = {op, from, to, "127.0.0.1", "probe", "pw", "Y", "Y", std::to_string(server.port())};
  if (!ov::ftp::parseFtpCommand(values, logs.file("OVFTP.INI"), cmd)) return false;
  ov::ftp::test::LoopHost host;
  FtpSession session;
  session.Init(host, false);
  FtpOperation operation(cmd, logs.path(), session, [] {});
  bool ended = host.run(operation, session, 600000);
  int result = operation.result();
  session.Kill();
  return ended && result == 0;
}

bool curl(const std::vector<std::string>& args) {
  pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv("/usr/bin/curl", argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename F>
double seconds(F&& f, bool& ok) {
  auto start = Clock::now();
  ok = f();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void run(benchmark::State& state, bool upload) {
  if (std::string why = FtpServer::unavailable(); !why.empty() || ::access("/usr/bin/curl", X_OK) != 0) {
    state.SkipWithError(why.empty() ? "/usr/bin/curl is missing" : why.c_str());
    return;
  }
  FtpServer& server = FtpServer::shared();
  if (!server.running()) {
    state.SkipWithError(server.error().c_str());
    return;
  }
  TempFolder local, logs;
  const std::string folder = server.freshFolder();
  const std::string source = upload ? local.file("big.bin") : server.root() + "/" + folder + "/big.bin";
  makeFile(source);
  const std::string url = "ftp://127.0.0.1:" + std::to_string(server.port()) + "/" + folder + "/";
  double oursTotal = 0, curlTotal = 0;
  for (auto _ : state) {
    bool ok = false, peerOk = false;
    double t, p;
    if (upload) {
      t = seconds([&] { return ours("U", source, "/" + folder + "/ours.bin", server, logs); }, ok);
      p = seconds([&] { return curl({"curl", "-s", "-S", "-u", "probe:pw", "-T", source, url + "peer.bin"}); }, peerOk);
      ok = ok && fileSize(server.root() + "/" + folder + "/ours.bin") == kSize;
    } else {
      t = seconds([&] { return ours("D", "/" + folder + "/big.bin", local.file("ours.bin"), server, logs); }, ok);
      p = seconds([&] { return curl({"curl", "-s", "-S", "-u", "probe:pw", "-o", local.file("peer.bin"), url + "big.bin"}); },
                  peerOk);
      ok = ok && fileSize(local.file("ours.bin")) == kSize;
    }
    if (!ok || !peerOk) {
      state.SkipWithError(!ok ? "our transfer failed" : "curl failed");
      break;
    }
    state.SetIterationTime(t);
    oursTotal += t;
    curlTotal += p;
  }
  if (curlTotal > 0) {
    state.counters["curl_s"] = curlTotal / double(state.iterations());
    state.counters["ours_s"] = oursTotal / double(state.iterations());
    state.counters["ratio"] = oursTotal / curlTotal;
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSize);
}

void BM_Download200MB(benchmark::State& state) { run(state, false); }
void BM_Upload200MB(benchmark::State& state) { run(state, true); }
BENCHMARK(BM_Download200MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Upload200MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
