// Render throughput of zorhost's engines on the sample scenes, with 1 and 2 threads, the cost of a
// whole sample-folder pass as a render regression run makes it, and the build time of the physical
// engine's acceleration structures.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "app/host_table.h"
#include "bitmaps/bitmap_impl.h"
#include "documents/scene_document.h"
#include "render/render_scene.h"
#include "render/render_threads.h"

namespace {

const std::filesystem::path kScenes =
    std::filesystem::path(__FILE__).parent_path() / ".." / "examples" / "scenes";

std::vector<std::unique_ptr<HostDocument>> sample_scenes() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kScenes)) {
    if (entry.path().extension() == ".zor") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::unique_ptr<HostDocument>> docs;
  for (const auto& file : files) {
    if (auto doc = zorhost::load_scene(file)) docs.push_back(std::move(doc));
  }
  return docs;
}

int size_of(const HostDocument& doc, int32_t id) {
  return zorhost::documents_table()->get_parameter_int(const_cast<HostRenderData*>(&doc.render_data), id, 0);
}

// Every sample scene rendered with one engine: items are pixels.
void BM_Engine(benchmark::State& state) {
  const int32_t engine = static_cast<int32_t>(state.range(0));
  zorhost::set_render_thread_count(static_cast<int>(state.range(1)));
  auto docs = sample_scenes();
  if (docs.empty()) {
    state.SkipWithError("no sample scenes found");
    return;
  }
  int64_t pixels = 0;
  for (auto _ : state) {
    for (auto& doc : docs) {
      HostContainer settings = doc->render_data.settings;
      settings.values[ZOR_RENDER_SETTING_ENGINE] = engine;
      HostBitmap bmp;
      zorhost::bitmaps_table()->init(&bmp, size_of(*doc, 5008), size_of(*doc, 5009), 24, 0);
      int32_t result =
          zorhost::render_table()->render_document(doc.get(), &settings, &bmp, 1, nullptr, nullptr, nullptr);
      if (result != ZOR_RENDER_OK) state.SkipWithError("render failed");
      pixels += static_cast<int64_t>(bmp.width) * bmp.height;
    }
  }
  state.SetItemsProcessed(pixels);
  state.counters["scenes"] = static_cast<double>(docs.size());
  zorhost::set_render_thread_count(0);
}
BENCHMARK(BM_Engine)
    ->ArgNames({"engine", "threads"})
    ->ArgsProduct({{0, 1, 1023342, 300001061, 1016630}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The whole sample folder as a regression run renders it: load, a 16 x 16 warm-up and the real
// render of every scene with its own engine.
void BM_SampleFolderPass(benchmark::State& state) {
  zorhost::set_render_thread_count(static_cast<int>(state.range(0)));
  int scenes = 0;
  for (auto _ : state) {
    auto docs = sample_scenes();
    scenes = static_cast<int>(docs.size());
    for (auto& doc : docs) {
      HostContainer warm_up = doc->render_data.settings;
      warm_up.values[5008] = int32_t{16};
      warm_up.values[5009] = int32_t{16};
      HostBitmap small, full;
      zorhost::bitmaps_table()->init(&small, 16, 16, 24, 0);
      zorhost::render_table()->render_document(doc.get(), &warm_up, &small, 1, nullptr, nullptr, nullptr);
      zorhost::bitmaps_table()->init(&full, size_of(*doc, 5008), size_of(*doc, 5009), 24, 0);
      if (zorhost::render_table()->render_document(doc.get(), &doc->render_data.settings, &full, 1, nullptr,
                                                   nullptr, nullptr) != ZOR_RENDER_OK) {
        state.SkipWithError("render failed");
      }
    }
  }
  state.counters["scenes"] = scenes;
  zorhost::set_render_thread_count(0);
}
BENCHMARK(BM_SampleFolderPass)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Building the physical engine's structures over the blob mesh, repeated to a larger triangle count.
void BM_BuildAccelerator(benchmark::State& state) {
  auto kind = static_cast<zorhost::AcceleratorKind>(state.range(0));
  zorhost::SceneModel model;
  model.materials.push_back({});
  for (int i = 0; i < 16; ++i) {
    zorhost::SceneObject blob;
    blob.kind = zorhost::SceneObject::Kind::mesh;
    blob.mesh_file = kScenes / "meshes" / "blob.obj";
    blob.mesh_offset = {static_cast<double>(i % 4) * 3, 0, static_cast<double>(i / 4) * 3};
    model.objects.push_back(blob);
  }
  zorhost::Geometry geometry;
  std::string error;
  if (!zorhost::build_geometry(model, geometry, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    auto accelerator = zorhost::build_accelerator(geometry, kind);
    bytes = accelerator->node_bytes();
    benchmark::DoNotOptimize(accelerator.get());
  }
  state.counters["triangles"] = static_cast<double>(geometry.triangles.size());
  state.counters["node_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildAccelerator)->ArgName("structure")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
