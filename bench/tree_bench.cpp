// SPDX-License-Identifier: MIT
// Building and storing element trees: a flat tree of a million elements and a
// nested one of a hundred thousand, each element with three short attributes.
//
// Counters: nodes_per_second for building, bytes_per_second for storing
// (the size of the file written), bytes_per_node for the resident memory a
// built tree adds to the process.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tree/dom.h"
#include "tree/writer.h"

namespace {

using kit::Dom;
using kit::Element;
using kit::Text;

constexpr int flat_elements = 1000000;
constexpr int nested_elements = 100000;
constexpr int nested_fanout = 10;  // children of each element
constexpr int nested_levels = 5;   // levels below the root

// Large trees map their memory directly, past malloc's count: the resident
// set tells what they hold.
std::size_t resident_bytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  unsigned long size = 0;
  unsigned long resident = 0;
  const bool read = statm != nullptr && std::fscanf(statm, "%lu %lu", &size, &resident) == 2;
  if (statm != nullptr) std::fclose(statm);
  return read ? resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// <item id="42" name="n42" kind="k2" />
Element make_item(int n) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  const std::string_view number(digits, static_cast<std::size_t>(end - digits));
  Element item{Text("item")};
  item.set_attribute("id", Text(number));
  item.set_attribute("name", Text(std::string("n").append(number)));
  item.set_attribute("kind", Text(std::string("k").append(1, static_cast<char>('0' + n % 10))));
  return item;
}

void build_flat(Dom& dom, int count) {
  dom.add_element_child(make_item(0));
  for (int n = 1; n < count; ++n) dom.add_element_next(make_item(n));
}

// Depth first, the way a loader meets the elements: ten children under each
// element, five levels deep, until `count` elements are made.
void build_nested(Dom& dom, int count) {
  std::vector<int> made_at_level;  // elements made so far under each open parent
  int made = 0;
  while (made < count) {
    if (static_cast<int>(made_at_level.size()) < nested_levels) {
      dom.add_element_child(make_item(made++));
      made_at_level.push_back(1);
      continue;
    }
    while (!made_at_level.empty() && made_at_level.back() == nested_fanout) {
      dom.up();
      made_at_level.pop_back();
    }
    if (made_at_level.empty()) break;
    dom.add_element_next(make_item(made++));
    ++made_at_level.back();
  }
}

using Builder = void (*)(Dom&, int);

void build(benchmark::State& state, Builder builder, int count) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto dom = std::make_unique<Dom>();
    const std::size_t before = resident_bytes();
    state.ResumeTiming();
    builder(*dom, count);
    state.PauseTiming();
    bytes = resident_bytes() - before;
    benchmark::DoNotOptimize(dom->node_count());
    dom.reset();
    state.ResumeTiming();
  }
  state.counters["nodes_per_second"] = benchmark::Counter(
      static_cast<double>(count) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
  state.counters["bytes_per_node"] = static_cast<double>(bytes) / count;
}

void store(benchmark::State& state, Builder builder, int count, int format) {
  Dom dom;
  builder(dom, count);
  const std::string path =
      (std::filesystem::temp_directory_path() / "tree_bench_store.xml").string();
  for (auto _ : state) {
    if (!kit::store(dom, path.c_str(), format)) state.SkipWithError("store failed");
  }
  const auto size = std::filesystem::file_size(path);
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(size) * state.iterations());
  state.counters["file_bytes"] = static_cast<double>(size);
}

void BM_BuildFlat(benchmark::State& state) { build(state, build_flat, flat_elements); }
void BM_BuildNested(benchmark::State& state) { build(state, build_nested, nested_elements); }
void BM_StoreFlatXml(benchmark::State& state) {
  store(state, build_flat, flat_elements, kit::format_xml);
}
void BM_StoreFlatLight(benchmark::State& state) {
  store(state, build_flat, flat_elements, kit::format_light);
}
void BM_StoreNestedXml(benchmark::State& state) {
  store(state, build_nested, nested_elements, kit::format_xml);
}

// Storing is timed by the clock on the wall: the file system's share counts.
BENCHMARK(BM_BuildFlat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildNested)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreFlatXml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StoreFlatLight)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StoreNestedXml)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
