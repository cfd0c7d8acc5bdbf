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
