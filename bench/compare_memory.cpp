// Peak memory and time of one comparison as a comparison run makes it: the new image in memory, the
// reference TIFF loaded, compared row by row, the difference saved. Memory is the process's high-water
// mark above what it held before the new image existed, as a multiple of one image (width x height x 3
// bytes). Driven by compare_memory.sh; "make" writes the pair of files, "run" measures on them in a
// fresh process so that nothing of the making counts.
//   compare_memory make FOLDER [WIDTH HEIGHT]
//   compare_memory run FOLDER [WIDTH HEIGHT [REPEATS]]
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "renderator/renderator_compare.h"
#include "zor_bitmap.h"
#include "zor_container.h"
#include "zor_filename.h"
#include "zor_host.h"

namespace {

namespace fs = std::filesystem;

// kB of the named line of /proc/self/status (VmRSS, VmHWM).
long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t keyLength = std::strlen(key);
  while (std::getline(status, line)) {
    if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
      return std::atol(line.c_str() + keyLength + 1);
  }
  return -1;
}

// Every byte different from its neighbours; the seed makes the second image differ everywhere.
bool Fill(BaseBitmap& bitmap, int32_t width, int32_t height, int32_t seed) {
  if (!bitmap.IsValid() || bitmap.Init(width, height, 24, 0) != ZOR_IMAGE_OK) return false;
  std::vector<uint8_t> row(size_t(width) * 3);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x)
      for (int32_t c = 0; c < 3; ++c) row[size_t(x) * 3 + c] = uint8_t((x * 7 + y * 13 + c * 29) ^ seed);
    if (!bitmap.SetPixelRow(0, y, width, row.data())) return false;
  }
  return true;
}

int Make(const fs::path& folder, int32_t width, int32_t height) {
  fs::create_directories(folder);
  BaseContainer options;
  for (int32_t seed : {0, 0x5a}) {
    BaseBitmap bitmap;
    if (!Fill(bitmap, width, height, seed)) return 1;
    const fs::path file = folder / (seed == 0 ? "new.tif" : "reference.tif");
    if (bitmap.Save(Filename(file.c_str()), ZOR_FILTER_TIFF, &options, 0) != ZOR_IMAGE_OK) {
      std::fprintf(stderr, "cannot save %s\n", file.c_str());
      return 1;
    }
  }
  return 0;
}

struct Clock {
  double wall = 0.0;
  double cpu = 0.0;
  static Clock Now() {
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
            double(cpu.tv_sec) + cpu.tv_nsec * 1e-9};
  }
  Clock operator-(const Clock& other) const { return {wall - other.wall, cpu - other.cpu}; }
  void KeepLeast(const Clock& other) {
    wall = std::min(wall, other.wall);
    cpu = std::min(cpu, other.cpu);
  }
};

int Run(const fs::path& folder, int32_t width, int32_t height, int32_t repeats) {
  const long startKb = StatusKb("VmRSS");
  BaseBitmap image;
  if (!Fill(image, width, height, 0)) return 1;
  const Filename referenceFile((folder / "reference.tif").c_str());
  const Filename differenceFile((folder / "difference.tif").c_str());
  BaseContainer options;
  double diff = 0.0;
  // Least time of each step over the repeats: the machine may be shared, the work is the same.
  Clock load{1e30, 1e30}, compare{1e30, 1e30}, save{1e30, 1e30}, whole{1e30, 1e30};
  for (int32_t i = 0; i < repeats; ++i) {
    const Clock t0 = Clock::Now();
    // What the comparison module does, in its two steps, so that each is timed.
    BaseBitmap reference;
    if (!reference.IsValid() || reference.Load(referenceFile, -1, 0) != ZOR_IMAGE_OK) {
      std::fprintf(stderr, "cannot load the reference\n");
      return 1;
    }
    const Clock t1 = Clock::Now();
    if (!DifferenceInPlace(image, reference, diff)) {
      std::fprintf(stderr, "comparison failed\n");
      return 1;
    }
    const Clock t2 = Clock::Now();
    if (reference.Save(differenceFile, ZOR_FILTER_TIFF, &options, 0) != ZOR_IMAGE_OK) {
      std::fprintf(stderr, "cannot save the difference\n");
      return 1;
    }
    const Clock t3 = Clock::Now();
    load.KeepLeast(t1 - t0);
    compare.KeepLeast(t2 - t1);
    save.KeepLeast(t3 - t2);
    whole.KeepLeast(t3 - t0);
  }
  const long peakKb = StatusKb("VmHWM");
  const double imageKb = double(width) * height * 3 / 1024.0;
  std::printf("image %.1f MB  start %.1f MB  peak %.1f MB  peak above start %.2f images  diff %.6f\n",
              imageKb / 1024, startKb / 1024.0, peakKb / 1024.0, (peakKb - startKb) / imageKb, diff);
  std::printf("load %.1f ms (cpu %.1f)  compare %.1f ms (cpu %.1f)  save %.1f ms (cpu %.1f)\n",
              load.wall * 1000, load.cpu * 1000, compare.wall * 1000, compare.cpu * 1000, save.wall * 1000,
              save.cpu * 1000);
  std::printf("load reference + compare + save difference: %.1f ms cpu %.1f ms (least of %d)\n",
              whole.wall * 1000, whole.cpu * 1000, repeats);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s make|run FOLDER [WIDTH HEIGHT [REPEATS]]\n", argv[0]);
    return 2;
  }
  static const HostFunctionTable table = zorhost::make_host_table(16050);
  SetHostTable(&table);
  const std::string mode = argv[1];
  const fs::path folder = argv[2];
  const int32_t width = argc > 4 ? std::atoi(argv[3]) : 4000;
  const int32_t height = argc > 4 ? std::atoi(argv[4]) : 3000;
  const int32_t repeats = argc > 5 ? std::atoi(argv[5]) : 5;
  if (mode == "make") return Make(folder, width, height);
  if (mode == "run") return Run(folder, width, height, repeats);
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
