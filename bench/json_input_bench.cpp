// Reading outside JSON costs time linear in the size of the file, whatever its shape: many values
// side by side, many structures nested to the deepest level allowed, and a scene whose render settings
// are one large container. (Many large files fall out of the cache, so the rate per byte sinks somewhat
// with size for the library's bare parse too; BM_PlainParse shows it.) A hostile file nested far past the
// limit is refused after reading up to the first level too deep, so its cost does not grow with its size at
// all.
#include <benchmark/benchmark.h>

#include <string>

#include "containers/container_json.h"
#include "containers/json_input.h"
#include "documents/scene_document.h"

namespace {

// n values side by side in one object of ids: {"1": 1.5, "2": 2.5, ...}
std::string wide(int64_t n) {
  std::string text = "{";
  for (int64_t i = 0; i < n; ++i)
    text += (i ? ", \"" : "\"") + std::to_string(i) + "\": " + std::to_string(i) + ".5";
  return text + "}";
}

// n containers, each nested to the deepest level allowed: {"1": {"1": ... }}, side by side
std::string deep_siblings(int64_t n) {
  std::string one;
  for (int i = 1; i < zorhost::kMaxJsonDepth; ++i) one += "{\"1\": ";
  one += "1";
  one.append(zorhost::kMaxJsonDepth - 1, '}');
  std::string text = "{";
  for (int64_t i = 0; i < n; ++i) text += (i ? ", \"" : "\"") + std::to_string(i) + "\": " + one;
  return text + "}";
}

void run_parse(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    nlohmann::json parsed;
    zorhost::JsonInputError error;
    const bool ok = zorhost::parse_json_input(text, &parsed, &error);
    benchmark::DoNotOptimize(ok);
    if (ok) benchmark::DoNotOptimize(zorhost::container_from_json(parsed, 0));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetComplexityN(static_cast<int64_t>(text.size()));
}

void BM_WideContainer(benchmark::State& state) {
  run_parse(state, wide(state.range(0)));
}
BENCHMARK(BM_WideContainer)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Complexity(benchmark::oN);

void BM_DeepestAllowedSiblings(benchmark::State& state) {
  run_parse(state, deep_siblings(state.range(0)));
}
BENCHMARK(BM_DeepestAllowedSiblings)->RangeMultiplier(4)->Range(1 << 4, 1 << 12)->Complexity(benchmark::oN);

// The library's own parse of the same text, without the depth limit or the reader: the floor that
// BM_DeepestAllowedSiblings is measured against.
void BM_PlainParse(benchmark::State& state) {
  const std::string text = deep_siblings(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(nlohmann::json::parse(text));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_PlainParse)->RangeMultiplier(4)->Range(1 << 4, 1 << 12);

void BM_HostileNestingRefused(benchmark::State& state) {
  const int64_t depth = state.range(0);
  const std::string text = std::string(depth, '[') + std::string(depth, ']');
  run_parse(state, text);
}
BENCHMARK(BM_HostileNestingRefused)->RangeMultiplier(8)->Range(1 << 10, 1 << 22);

void BM_SceneWithLargeRenderSettings(benchmark::State& state) {
  const std::string text = "{\"zor\": 1, \"renderSettings\": " + wide(state.range(0)) +
                           ", \"camera\": {\"position\": [0, 2, -6], \"target\": [0, 0, 0], \"fov\": 40}, "
                           "\"lights\": [{\"type\": \"point\", \"position\": [4, 6, -4]}], \"objects\": []}";
  for (auto _ : state) benchmark::DoNotOptimize(zorhost::load_scene_text(text, "bench.zor"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetComplexityN(static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SceneWithLargeRenderSettings)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 18)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
