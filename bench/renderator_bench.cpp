// The Renderator's own time per scene, with the host doing the measuring: the run goes through a copy
// of zorhost's table whose document load, render and image save entries are wrapped in a clock, so
// what the host spends on them is known to the nanosecond and the rest of the run's wall time is the
// Renderator's own (collection, status texts, settings, the report, clean-up). Image saves are kept
// apart because zorhost syncs every image to disk, whose latency depends on the machine's other work
// and not on the run.
//
// Counters, per scene and averaged over the iterations:
//   own_ms     wall time less document loads, all renders (warm-up included) and image saves
//   warmup_ms  the 16 x 16 warm-up renders alone
//   save_ms    the image saves
//   host_ms    document loads plus the real renders
//   own_share  own time as a fraction of the whole run
//   own_cpu_ms the running thread's CPU time less its time in those host calls: the Renderator's own
//              work, also on a machine whose other work makes wall times wander
// Goals: own time per scene at 10,000 scenes within 3 times that at 100; own share of a run of the
// example scenes under 5 %.
// Console lines are counted and dropped so that ten thousand of them do not bury the results.
//
// One run per repetition (each is long enough on its own), e.g.
//   build/bin/renderator_bench --benchmark_filter=Scale --benchmark_repetitions=3    tiny scenes
//   build/bin/renderator_bench --benchmark_filter=Samples --benchmark_repetitions=3  the example scenes
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/host_options.h"
#include "app/host_table.h"
#include "renderator/renderator_run.h"
#include "zor_host.h"

#ifndef RELKIT_EXAMPLES_DIR
#error "RELKIT_EXAMPLES_DIR names the example scenes"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct HostWork {
  std::atomic<int64_t> loadNs{0};
  std::atomic<int64_t> warmUpNs{0};
  std::atomic<int64_t> renderNs{0};
  std::atomic<int64_t> saveNs{0};
  std::atomic<int64_t> hostCpuNs{0};  // CPU time of the calling thread inside the timed host calls
  std::atomic<int64_t> consoleLines{0};
  // The worker makes one warm-up render right after loading a document, then the real one.
  std::atomic<bool> nextIsWarmUp{false};
  void Reset() { loadNs = warmUpNs = renderNs = saveNs = hostCpuNs = consoleLines = 0; }
};
HostWork g_work;

HostDocumentTable g_documents;
HostRenderTable g_render;
HostGuiTable g_gui;
HostBitmapTable g_bitmaps;
const HostBitmapTable* g_hostBitmaps = nullptr;
const HostDocumentTable* g_hostDocuments = nullptr;
const HostRenderTable* g_hostRender = nullptr;

int64_t Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

int64_t ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Wall and CPU time of one host call; the wall time goes to the given sum.
class HostCall {
 public:
  explicit HostCall(std::atomic<int64_t>& sum) : sum_(&sum) {}
  ~HostCall() {
    *sum_ += Since(wall_);
    g_work.hostCpuNs += ThreadCpuNs() - cpu_;
  }
  HostCall(const HostCall&) = delete;
  HostCall& operator=(const HostCall&) = delete;

 private:
  std::atomic<int64_t>* sum_;
  Clock::time_point wall_ = Clock::now();
  int64_t cpu_ = ThreadCpuNs();
};

HostDocument* TimedLoad(const HostFilename* name, int32_t flags) {
  HostCall call(g_work.loadNs);
  g_work.nextIsWarmUp = true;
  return g_hostDocuments->load(name, flags);
}

int32_t TimedRender(HostDocument* doc, const HostContainer* settings, HostBitmap* target, int32_t flags,
                    HostThread* thread, HostRenderProgress progress, void* user) {
  HostCall call(g_work.nextIsWarmUp.exchange(false) ? g_work.warmUpNs : g_work.renderNs);
  return g_hostRender->render_document(doc, settings, target, flags, thread, progress, user);
}

int32_t TimedSave(HostBitmap* bmp, const HostFilename* name, int32_t format, const HostContainer* options,
                  int32_t flags) {
  HostCall call(g_work.saveNs);
  return g_hostBitmaps->save(bmp, name, format, options, flags);
}

void CountedPrint(const HostString*) {
  ++g_work.consoleLines;
}

void InstallTimedHost() {
  static const bool installed = [] {
    static HostFunctionTable table = zorhost::make_host_table(16050);
    g_hostDocuments = table.documents;
    g_hostRender = table.render;
    g_documents = *table.documents;
    g_documents.load = TimedLoad;
    g_render = *table.render;
    g_render.render_document = TimedRender;
    g_hostBitmaps = table.bitmaps;
    g_bitmaps = *table.bitmaps;
    g_bitmaps.save = TimedSave;
    table.bitmaps = &g_bitmaps;
    g_gui = *table.gui;
    g_gui.console_print = CountedPrint;
    table.documents = &g_documents;
    table.render = &g_render;
    table.gui = &g_gui;
    zorhost::options().headless = true;  // the worker runs on the calling thread, no dialogs
    SetHostTable(&table);
    return true;
  }();
  (void)installed;
}

fs::path BenchFolder(const std::string& name) {
  // one folder per process, so that two benchmarks running side by side do not share scenes
  const fs::path folder =
      fs::temp_directory_path() / ("relkit_renderator_bench_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// Smallest useful scenes: 16 x 16 pixels, one sphere, one light; rendering them costs next to nothing.
void WriteTinyScenes(const fs::path& folder, int count) {
  for (int i = 0; i < count; ++i) {
    const fs::path sub = folder / ("group" + std::to_string(i / 500));
    fs::create_directories(sub);
    std::ofstream(sub / ("scene" + std::to_string(i) + ".zor")) << R"({"zor": 1, "fps": 30, "minTime": [0, 1],
  "renderSettings": {"5008": 16.0, "5009": 16.0, "5300": 0},
  "camera": {"position": [0, 0, -4], "target": [0, 0, 0], "fov": 40},
  "lights": [{"type": "point", "position": [2, 3, -4], "color": [1, 1, 1], "intensity": 20}],
  "materials": {"red": {"color": [0.8, 0.1, 0.1]}},
  "objects": [{"type": "sphere", "center": [0, 0, 0], "radius": 1, "material": "red"}]}
)";
  }
}

void RemoveResultFolders(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("_renderator_", 0) == 0) fs::remove_all(entry.path());
  }
}

// One building run per iteration over the scenes in folder; its result folder is removed afterwards.
void RunAndCount(benchmark::State& state, const fs::path& folder, int scenes) {
  InstallTimedHost();
  double wallNs = 0, ownNs = 0, warmUpNs = 0, saveNs = 0, hostNs = 0, ownCpuNs = 0;
  for (auto _ : state) {
    g_work.Reset();
    const auto start = Clock::now();
    const int64_t cpuStart = ThreadCpuNs();
    RunRenderator(Filename(folder.c_str()), Filename(), 0);
    const double wall = double(Since(start));
    state.SetIterationTime(wall * 1e-9);
    wallNs += wall;
    warmUpNs += double(g_work.warmUpNs);
    hostNs += double(g_work.loadNs + g_work.renderNs);
    ownCpuNs += double(ThreadCpuNs() - cpuStart - g_work.hostCpuNs);
    saveNs += double(g_work.saveNs);
    ownNs += wall - double(g_work.loadNs + g_work.renderNs + g_work.warmUpNs + g_work.saveNs);
    if (g_work.consoleLines < scenes) state.SkipWithError("the run did not reach every scene");
    state.PauseTiming();
    RemoveResultFolders(folder);
    state.ResumeTiming();
  }
  const double perScene = 1e-6 / (double(scenes) * double(state.iterations()));
  state.counters["own_ms"] = ownNs * perScene;
  state.counters["warmup_ms"] = warmUpNs * perScene;
  state.counters["own_cpu_ms"] = ownCpuNs * perScene;
  state.counters["save_ms"] = saveNs * perScene;
  state.counters["host_ms"] = hostNs * perScene;
  state.counters["own_share"] = ownNs / wallNs;
}

void BM_RenderatorScale(benchmark::State& state) {
  const int scenes = int(state.range(0));
  const fs::path folder = BenchFolder("scale_" + std::to_string(scenes));
  WriteTinyScenes(folder, scenes);
  RunAndCount(state, folder, scenes);
  fs::remove_all(folder);
}
BENCHMARK(BM_RenderatorScale)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_RenderatorSamples(benchmark::State& state) {
  const fs::path folder = BenchFolder("samples");
  fs::copy(RELKIT_EXAMPLES_DIR "/scenes", folder, fs::copy_options::recursive);
  int scenes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".zor") ++scenes;
  }
  RunAndCount(state, folder, scenes);
  fs::remove_all(folder);
}
BENCHMARK(BM_RenderatorSamples)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
