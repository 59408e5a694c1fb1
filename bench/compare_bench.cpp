// The image comparison on two 4000 x 3000 images: the whole comparison as a run pays it (reference
// TIFF loaded, compared row by row, difference written back), the comparison proper on bitmaps in
// memory, one plain pass over the same bytes for scale, and ImageMagick's MAE on the same two files.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "renderator/renderator_compare.h"
#include "zor_bitmap.h"
#include "zor_container.h"
#include "zor_host.h"

namespace {

namespace fs = std::filesystem;
constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

struct Images {
  fs::path folder;
  fs::path newFile;
  fs::path referenceFile;
  BaseBitmap rendered;
  BaseBitmap reference;
  std::vector<uint8_t> renderedBytes;
  std::vector<uint8_t> referenceBytes;
};

uint8_t Pattern(int32_t x, int32_t y, int32_t c, int32_t seed) {
  return uint8_t((x * 7 + y * 13 + c * 29) ^ seed);
}

BaseBitmap Make(int32_t seed, std::vector<uint8_t>& bytes) {
  BaseBitmap bitmap;
  bitmap.Init(kWidth, kHeight, 24, 0);
  bytes.resize(size_t(kWidth) * kHeight * 3);
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = &bytes[size_t(y) * kWidth * 3];
    for (int32_t x = 0; x < kWidth; ++x)
      for (int32_t c = 0; c < 3; ++c) row[x * 3 + c] = Pattern(x, y, c, seed);
    bitmap.SetPixelRow(0, y, kWidth, row);
  }
  return bitmap;
}

Images& Shared() {
  static Images* images = [] {
    static const HostFunctionTable table = zorhost::make_host_table(16050);
    SetHostTable(&table);
    auto* made = new Images;
    made->folder = fs::temp_directory_path() / "relkit_compare_bench";
    fs::create_directories(made->folder);
    made->newFile = made->folder / "new.tif";
    made->referenceFile = made->folder / "reference.tif";
    made->rendered = Make(0, made->renderedBytes);
    made->reference = Make(0x5a, made->referenceBytes);
    BaseContainer options;
    made->rendered.Save(Filename(made->newFile.c_str()), ZOR_FILTER_TIFF, &options, 0);
    made->reference.Save(Filename(made->referenceFile.c_str()), ZOR_FILTER_TIFF, &options, 0);
    return made;
  }();
  return *images;
}

// What a comparison run pays per scene: load the reference TIFF, compare, difference left in place.
void BM_CompareWithReferenceFile(benchmark::State& state) {
  Images& images = Shared();
  double diff = 0.0;
  for (auto _ : state) {
    BaseBitmap reference;
    if (!CompareImages(images.rendered, Filename(images.referenceFile.c_str()), reference, diff))
      state.SkipWithError("comparison failed");
    benchmark::DoNotOptimize(diff);
  }
  state.counters["diff"] = diff;
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3 * 2);
}
BENCHMARK(BM_CompareWithReferenceFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The comparison proper on two bitmaps in memory: rows fetched through the host, differences summed
// and written back. Later iterations compare with the difference image; the work is the same.
void BM_CompareInMemory(benchmark::State& state) {
  Images& images = Shared();
  double diff = 0.0;
  for (auto _ : state) {
    DifferenceInPlace(images.rendered, images.reference, diff);
    benchmark::DoNotOptimize(diff);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3 * 2);
}
BENCHMARK(BM_CompareInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// One plain pass over the same bytes: both images read once and summed sixteen bytes at a time,
// nothing written. This is the floor a comparison of two images in memory could reach.
void BM_PlainPassOverBothImages(benchmark::State& state) {
  typedef uint8_t Bytes16 __attribute__((vector_size(16)));
  typedef uint16_t Words16 __attribute__((vector_size(32)));
  Images& images = Shared();
  const uint8_t* a = images.renderedBytes.data();
  const uint8_t* b = images.referenceBytes.data();
  const size_t n = images.renderedBytes.size();
  for (auto _ : state) {
    uint64_t sum = 0;
    size_t k = 0;
    while (k + 16 <= n) {
      Words16 lanes = {};
      for (int round = 0; round < 128 && k + 16 <= n; ++round, k += 16) {
        Bytes16 x;
        Bytes16 y;
        std::memcpy(&x, a + k, 16);
        std::memcpy(&y, b + k, 16);
        lanes += __builtin_convertvector(x, Words16) + __builtin_convertvector(y, Words16);
      }
      for (int j = 0; j < 16; ++j) sum += lanes[j];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n) * 2);
}
BENCHMARK(BM_PlainPassOverBothImages)->Unit(benchmark::kMillisecond)->UseRealTime();

// The module's own share of the comparison: the difference rows on plain buffers, no host calls.
void BM_DifferenceRowsOnly(benchmark::State& state) {
  Images& images = Shared();
  std::vector<uint8_t> scratch = images.referenceBytes;
  const int64_t rowBytes = int64_t(kWidth) * 3;
  for (auto _ : state) {
    uint64_t sum = 0;
    for (int32_t y = 0; y < kHeight; ++y)
      sum += DifferenceRow(&images.renderedBytes[size_t(y) * rowBytes], &scratch[size_t(y) * rowBytes],
                           rowBytes);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3 * 2);
}
BENCHMARK(BM_DifferenceRowsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// ImageMagick's mean absolute error on the same two TIFF files, as a separate process.
void BM_ImageMagickCompareMae(benchmark::State& state) {
  Images& images = Shared();
  if (std::system("command -v compare > /dev/null 2>&1") != 0) {
    state.SkipWithError("ImageMagick compare is not installed");
    return;
  }
  const std::string command = "compare -metric MAE '" + images.newFile.string() + "' '" +
                              images.referenceFile.string() + "' null: 2> /dev/null";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(status);
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
}
BENCHMARK(BM_ImageMagickCompareMae)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
