// ScanReleases over a synthetic registry of about 10,000 keys.
#include <benchmark/benchmark.h>
BENCHMARK_MAIN();
