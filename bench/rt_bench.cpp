#include <benchmark/benchmark.h>

#include "platform/rt/date_time.h"
#include "platform/rt/text.h"

static void BM_DateParts(benchmark::State& state) {
  int32_t d = ov::rt::DATE(1, 1, 2000);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ov::rt::DAY(d) + ov::rt::MONTH(d) + ov::rt::YEAR(d));
    ++d;
  }
}
BENCHMARK(BM_DateParts);

static void BM_Upper(benchmark::State& state) {
  std::string s = "Reminder: call Günther about the Café order";
  for (auto _ : state) benchmark::DoNotOptimize(ov::rt::UPPER(s));
}
BENCHMARK(BM_Upper);

#include "platform/rt/picture.h"

namespace {

void setForms() {
  ov::rt::setSystemFormats({"M/d/yyyy", "dddd, MMMM d, yyyy", "h:mm AP", "h:mm:ss AP"});
}

void BM_FormatDate(benchmark::State& state, const char* picture) {
  setForms();
  int32_t d = ov::rt::DATE(1, 1, 2000);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ov::rt::FORMAT(d, picture));
    d = d % 100000 + 1;
  }
}
BENCHMARK_CAPTURE(BM_FormatDate, d3, "@d3");
BENCHMARK_CAPTURE(BM_FormatDate, d17b, "@d17b");

void BM_DeformatDate(benchmark::State& state, const char* text, const char* picture) {
  setForms();
  for (auto _ : state) benchmark::DoNotOptimize(ov::rt::deformatValue(text, picture));
}
BENCHMARK_CAPTURE(BM_DeformatDate, d2, "10/31/1959", "@d2");
BENCHMARK_CAPTURE(BM_DeformatDate, d4, "October 31, 1959", "@d4");

void BM_FormatTime(benchmark::State& state, const char* picture) {
  setForms();
  int32_t t = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ov::rt::FORMAT(t, picture));
    t = (t + 6001) % ov::rt::kCentisecondsPerDay;
  }
}
BENCHMARK_CAPTURE(BM_FormatTime, t3, "@t3");
BENCHMARK_CAPTURE(BM_FormatTime, t7b, "@t7b");

void BM_DeformatTime(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ov::rt::deformatValue("5:30:05 PM", "@t6"));
}
BENCHMARK(BM_DeformatTime);

void BM_FormatNumber(benchmark::State& state, const char* picture) {
  double v = -1234567.891;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ov::rt::FORMAT(v, picture));
    v += 1.25;
  }
}
BENCHMARK_CAPTURE(BM_FormatNumber, n_6, "@n_6");
BENCHMARK_CAPTURE(BM_FormatNumber, money, "@N$(15.2)");

void BM_DeformatNumber(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ov::rt::deformatValue("$(1,234,567.89)", "@N$(15.2)"));
}
BENCHMARK(BM_DeformatNumber);

}  // namespace
