// The install record as an install writes it: N files noted one after the
// other, each read back for its hash and appended to the journal. The
// bytes written are counted: a journal writes each item once, so the bytes
// per item stay the same from 1,000 items to 10,000.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/memory/memory_files.h"
#include "record/install_record.h"

namespace {

const char kFolder[] = "D:\\Tools\\V-VidudOvev";

void BM_NoteFiles(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  platform::MemoryFileSystem files;
  files.AddFolder(kFolder);
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    paths.push_back(std::string(kFolder) + "\\Fonts\\font" + std::to_string(i) + ".shx");
    files.AddFile(paths.back(), "glyphs " + std::to_string(i));
  }
  std::uint64_t written = 0;
  for (auto _ : state) {
    state.PauseTiming();
    files.Remove(std::string(kFolder) + "\\" + CInstallRecord::kFileName);
    state.ResumeTiming();
    CInstallRecord record(files);
    record.Open(kFolder);
    for (const std::string& path : paths) record.NoteFile(path);
    if (record.Failed()) state.SkipWithError("the record could not be written");
    written = record.BytesWritten();
  }
  state.counters["items"] = count;
  state.counters["bytes_written"] = static_cast<double>(written);
  state.counters["bytes_per_item"] = static_cast<double>(written) / count;
  state.SetComplexityN(count);
}

}  // namespace

BENCHMARK(BM_NoteFiles)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
