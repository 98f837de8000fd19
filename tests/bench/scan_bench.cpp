// ScanReleases over a synthetic registry of about 11,700 keys, in memory.
#include <benchmark/benchmark.h>

#include "engine/acad_setup.h"
#include "platform/memory/memory_registry.h"
#include "platform/reg_file.h"
#include "tests/bench/synthetic_registry.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"

static void BM_ScanReleases(benchmark::State& state) {
  platform::MemoryRegistry registry;
  int keys = 0;
  if (!platform::ImportRegText(registry, bench::SyntheticRegistryText(&keys))) {
    state.SkipWithError("synthetic registry did not load");
    return;
  }
  testing_support::NullFileSystem files;
  testing_support::ScriptedOwner owner;
  std::size_t found = 0;
  for (auto _ : state) {
    CAcadSetup setup(registry, files, owner);
    setup.ScanReleases();
    found = setup.acadFolders[0].size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["keys"] = keys;
  state.counters["per_release"] = static_cast<double>(found);
}
BENCHMARK(BM_ScanReleases)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
