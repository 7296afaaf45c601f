// SPDX-License-Identifier: MIT
// Loading a generated 100 MB XML document into a tree, against Expat alone
// parsing the same file with callbacks that do nothing, fed the same way.
//
// The summary after the benchmarks gives the median of each, on the wall
// clock and in processor time, and their ratio. The benchmark runs follow
// one another in one process, so a load may reuse memory an earlier one
// released; the summary adds each work run alone in fresh child processes:
// the median of their processor times and their peak resident memory.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tree/loader.h"

namespace {

constexpr long document_bytes = 100L << 20;

std::string document_path;

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Seconds on the wall clock and of processor time, one pair a run.
struct Runs {
  std::vector<double> wall;
  std::vector<double> cpu;
};
Runs bare_runs;
Runs load_runs;

// Times one call of the work into the runs.
class Timed {
public:
  explicit Timed(Runs& runs)
      : runs_(runs), wall_(std::chrono::steady_clock::now()), cpu_(std::clock()) {}
  ~Timed() {
    runs_.wall.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count());
    runs_.cpu.push_back(static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC);
  }
  Timed(const Timed&) = delete;
  Timed& operator=(const Timed&) = delete;

private:
  Runs& runs_;
  std::chrono::steady_clock::time_point wall_;
  std::clock_t cpu_;
};

// A catalog of sections, each with a title and items; every item carries
// four attributes, a label, a note with an entity and a comment.
void generate(const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return;
  std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog generated=\"bench\">\n", out);
  long written = 0;
  for (int section = 0; written < document_bytes; ++section) {
    written += std::fprintf(out,
                            "  <!-- section %d -->\n"
                            "  <section id=\"s%d\" name=\"section-%d\" kind=\"group\">\n"
                            "    <title>Section %d of the generated catalog</title>\n",
                            section, section, section, section);
    for (int item = 0; item < 20; ++item) {
      written += std::fprintf(
          out,
          "    <item id=\"i%d-%d\" name=\"item-%d\" value=\"%d\" enabled=\"%s\">\n"
          "      <label>Item %d in section %d</label>\n"
          "      <note lang=\"en\">A line of descriptive text &amp; more words,\n"
          "        continued on a second line for item %d.</note>\n"
          "      <!-- item %d -->\n"
          "    </item>\n",
          section, item, item, section * 31 + item, item % 3 ? "true" : "false", item, section,
          item, item);
    }
    written += std::fprintf(out, "  </section>\n");
  }
  std::fputs("</catalog>\n", out);
  std::fclose(out);
}

void XMLCALL ignore_start(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL ignore_end(void*, const XML_Char*) {}
void XMLCALL ignore_text(void*, const XML_Char*, int) {}
void XMLCALL ignore_comment(void*, const XML_Char*) {}

// The loader's reading loop without the loader: blocks of the same size
// through XML_Parse, every callback registered and doing nothing.
bool bare_parse(const std::string& path) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) return false;
  XML_SetElementHandler(parser, ignore_start, ignore_end);
  XML_SetCharacterDataHandler(parser, ignore_text);
  XML_SetCommentHandler(parser, ignore_comment);
  std::FILE* in = std::fopen(path.c_str(), "r");
  bool parsed = in != nullptr;
  char block[kit::read_block_bytes];
  while (parsed) {
    const std::size_t got = std::fread(block, 1, sizeof block, in);
    const bool final = std::feof(in) != 0;
    parsed = std::ferror(in) == 0 &&
             XML_Parse(parser, block, static_cast<int>(got), final) != XML_STATUS_ERROR;
    if (final) break;
  }
  if (in != nullptr) std::fclose(in);
  XML_ParserFree(parser);
  return parsed;
}

void BM_BareExpat(benchmark::State& state) {
  for (auto _ : state) {
    Timed timed(bare_runs);
    if (!bare_parse(document_path)) state.SkipWithError("parse failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(std::filesystem::file_size(document_path)) *
                          state.iterations());
}

void BM_LoadXml(benchmark::State& state) {
  int nodes = 0;
  for (auto _ : state) {
    auto dom = std::make_unique<kit::Dom>();
    {
      Timed timed(load_runs);
      if (!kit::load_xml(*dom, document_path.c_str())) state.SkipWithError("load failed");
    }
    nodes = dom->node_count();
    state.PauseTiming();
    dom.reset();  // releasing the tree is not part of loading it
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(std::filesystem::file_size(document_path)) *
                          state.iterations());
  state.counters["nodes"] = nodes;
}

// Each timed once a repetition: a run takes about a second, and the
// medians come from the repetitions.
constexpr int repetitions = 7;
BENCHMARK(BM_BareExpat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)
    ->Repetitions(repetitions);
BENCHMARK(BM_LoadXml)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)
    ->Repetitions(repetitions);

struct Alone {
  double cpu_seconds = 0;  // median
  long peak_kib = -1;      // largest; -1 when a child failed
};

constexpr int child_runs = 5;

// The work run once in each of a few child processes.
Alone run_alone(bool (*work)(const std::string&)) {
  std::vector<double> cpu;
  Alone alone;
  for (int run = 0; run < child_runs; ++run) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return Alone();
    if (child == 0) ::_exit(work(document_path) ? 0 : 1);
    int status = 0;
    struct rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      return Alone();
    }
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    cpu.push_back(seconds(usage.ru_utime) + seconds(usage.ru_stime));
    alone.peak_kib = std::max(alone.peak_kib, usage.ru_maxrss);
  }
  alone.cpu_seconds = median(cpu);
  return alone;
}

bool load_once(const std::string& path) {
  kit::Dom dom;
  return kit::load_xml(dom, path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const auto dir = std::filesystem::temp_directory_path() /
                   ("loader_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  document_path = (dir / "catalog.xml").string();
  generate(document_path);
  const double file_mib =
      static_cast<double>(std::filesystem::file_size(document_path)) / (1 << 20);

  // Before the benchmarks, while this process is still small.
  const Alone bare_alone = run_alone(bare_parse);
  const Alone load_alone = run_alone(load_once);

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nfile: %.1f MiB, %zu runs each\n", file_mib, load_runs.wall.size());
  std::printf("median seconds             wall    cpu\n");
  const double bare_wall = median(bare_runs.wall);
  const double bare_cpu = median(bare_runs.cpu);
  const double load_wall = median(load_runs.wall);
  const double load_cpu = median(load_runs.cpu);
  std::printf("bare Expat parse:        %6.3f %6.3f\n", bare_wall, bare_cpu);
  std::printf("load_xml:                %6.3f %6.3f\n", load_wall, load_cpu);
  std::printf("load_xml / bare parse:   %6.2f %6.2f\n",
              bare_wall > 0 ? load_wall / bare_wall : 0.0,
              bare_cpu > 0 ? load_cpu / bare_cpu : 0.0);
  std::printf("alone in %d fresh processes: cpu median, peak memory\n", child_runs);
  std::printf("bare Expat parse:        %6.3f s %7.1f MiB\n", bare_alone.cpu_seconds,
              bare_alone.peak_kib / 1024.0);
  std::printf("load_xml:                %6.3f s %7.1f MiB (%.2f times the file)\n",
              load_alone.cpu_seconds, load_alone.peak_kib / 1024.0,
              load_alone.peak_kib / 1024.0 / file_mib);
  std::printf("load_xml / bare parse:   %6.2f\n",
              bare_alone.cpu_seconds > 0 ? load_alone.cpu_seconds / bare_alone.cpu_seconds : 0.0);
  std::filesystem::remove_all(dir);
  return 0;
}
