// SPDX-License-Identifier: MIT
// Line reading and the string built-ins over large inputs: time per byte
// should stay flat as lines and strings grow.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/builtins.h"
#include "runtime/files.h"

namespace {

constexpr std::int64_t total_bytes = 8 << 20;  // per file, whatever the line length

// A scratch file of equal lines, removed when the benchmark ends.
class LineFile {
public:
  explicit LineFile(std::int64_t line_length) {
    char pattern[] = "/tmp/kit-bench-XXXXXX";
    const int fd = ::mkstemp(pattern);
    path_ = pattern;
    const std::string line(static_cast<std::size_t>(line_length) - 1, 'x');
    kit::File out(::fdopen(fd, "w"));
    for (std::int64_t written = 0; written < total_bytes; written += line_length) {
      std::fputs(line.c_str(), out.get());
      std::fputc('\n', out.get());
    }
  }
  ~LineFile() { ::unlink(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

private:
  std::string path_;
};

template <kit::Text (*read)(std::FILE*)> void read_all(benchmark::State& state) {
  const LineFile file(state.range(0));
  for (auto _ : state) {
    const kit::File in(std::fopen(file.path(), "r"));
    std::size_t bytes = 0;
    while (!std::feof(in.get())) bytes += static_cast<std::size_t>(read(in.get()).length());
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(state.iterations() * total_bytes);
}

void BM_ReadLine(benchmark::State& state) { read_all<kit::read_line>(state); }
void BM_ReadWholeLine(benchmark::State& state) { read_all<kit::read_whole_line>(state); }
BENCHMARK(BM_ReadLine)->Arg(80)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWholeLine)->Arg(80)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_Translate(benchmark::State& state) {
  const std::string s(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state) benchmark::DoNotOptimize(kit::translate(s.c_str(), "abc", "xyz"));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Translate)->Arg(1 << 10)->Arg(1 << 20);

void BM_CountOf(benchmark::State& state) {
  const std::string s(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state) benchmark::DoNotOptimize(kit::count_of(s.c_str(), "aa"));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CountOf)->Arg(1 << 10)->Arg(1 << 20);

void BM_Pad(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(kit::pad("abc", static_cast<int>(state.range(0)), "-=", kit::pad_centre));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Pad)->Arg(1 << 10)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
