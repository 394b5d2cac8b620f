// Copying a dictionary costs the same whatever its size: the steps copy the
// ticket's parameter dictionary for every job, so a copy that grew with the
// dictionary would make a conversion of many jobs quadratic.
#include <benchmark/benchmark.h>

#include <string>

#include "qxtypes.h"

namespace {

QX_TDict MakeDict(int entries) {
  QX_TDict dict;
  for (int i = 0; i < entries; ++i) dict.Add("key" + std::to_string(i), QX_TString("value " + std::to_string(i)));
  return dict;
}

void BM_CopyDict(benchmark::State& state) {
  const QX_TDict dict = MakeDict(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QX_TDict copy(dict, 0);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyDict)->Arg(10)->Arg(10000);

// A copy handed around as a QX_TAny (as the jobs array holds its jobs).
void BM_CopyDictAsAny(benchmark::State& state) {
  const QX_TAny any = MakeDict(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QX_TAny copy = any;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyDictAsAny)->Arg(10)->Arg(10000);

// The first write to a copy pays for detaching it once; that is linear, and
// is the price of never changing the original.
void BM_CopyThenWrite(benchmark::State& state) {
  const QX_TDict dict = MakeDict(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QX_TDict copy(dict, 0);
    copy.Add("extra", QX_TInt32(1));
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyThenWrite)->Arg(10)->Arg(10000);

}  // namespace
