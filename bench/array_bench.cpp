// SPDX-License-Identifier: MIT
// The general Array against the standard containers doing the same work:
// pushes, text-key sets then gets, join and sort, a million elements each.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/array.h"

namespace {

constexpr int element_count = 1000000;

std::vector<std::string> make_keys() {
  std::vector<std::string> keys;
  keys.reserve(element_count);
  for (long long i = 0; i < element_count; ++i) keys.push_back("key" + std::to_string(i * 7919));
  return keys;
}

const std::vector<std::string>& std_keys() {
  static const std::vector<std::string> keys = make_keys();
  return keys;
}

const std::vector<kit::Text>& text_keys() {
  static const std::vector<kit::Text> keys(std_keys().begin(), std_keys().end());
  return keys;
}

void push_array(benchmark::State& state) {
  const kit::Text item("item");
  for (auto _ : state) {
    kit::Array a;
    for (int i = 0; i < element_count; ++i) a.push(item);
    benchmark::DoNotOptimize(a.size());
  }
}

void push_vector(benchmark::State& state) {
  const std::string item("item");
  for (auto _ : state) {
    std::vector<std::string> v;
    for (int i = 0; i < element_count; ++i) v.push_back(item);
    benchmark::DoNotOptimize(v.data());
  }
}

void set_get_array(benchmark::State& state) {
  const auto& keys = text_keys();
  for (auto _ : state) {
    kit::Array a;
    for (int i = 0; i < element_count; ++i) a.set(keys[static_cast<std::size_t>(i)], i);
    double sum = 0;
    for (int i = 0; i < element_count; ++i) sum += a.get(keys[static_cast<std::size_t>(i)]).to_number();
    benchmark::DoNotOptimize(sum);
  }
}

// The same ordered dictionary from standard parts: a hash map for the
// values and a vector for the order of the keys.
void set_get_unordered_map(benchmark::State& state) {
  const auto& keys = std_keys();
  for (auto _ : state) {
    std::unordered_map<std::string, int> values;
    std::vector<std::string> order;
    for (int i = 0; i < element_count; ++i) {
      const std::string& key = keys[static_cast<std::size_t>(i)];
      auto [it, added] = values.try_emplace(key, i);
      if (added) {
        order.push_back(key);
      } else {
        it->second = i;
      }
    }
    double sum = 0;
    for (int i = 0; i < element_count; ++i) {
      auto it = values.find(keys[static_cast<std::size_t>(i)]);
      sum += it == values.end() ? 0 : it->second;
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(order.data());
  }
}

void join_texts(benchmark::State& state) {
  kit::Array a;
  for (const kit::Text& key : text_keys()) a.push(key);
  for (auto _ : state) {
    kit::Text joined = a.join(",");
    benchmark::DoNotOptimize(joined.length());
  }
}

void sort_numbers(benchmark::State& state) {
  std::mt19937 random(2024);
  kit::Array numbers;
  for (int i = 0; i < element_count; ++i) numbers.push(static_cast<double>(random() % 1000000007u));
  for (auto _ : state) {
    state.PauseTiming();
    kit::Array a(numbers);
    state.ResumeTiming();
    a.sort();
    benchmark::DoNotOptimize(a.size());
  }
}

}  // namespace

#define ARRAY_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)

ARRAY_BENCH(push_array);
ARRAY_BENCH(push_vector);
ARRAY_BENCH(set_get_array);
ARRAY_BENCH(set_get_unordered_map);
ARRAY_BENCH(join_texts);
ARRAY_BENCH(sort_numbers);

BENCHMARK_MAIN();
