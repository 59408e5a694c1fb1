// Writes a synthetic comparison for timing relkit-report: OUT/scenes/_renderator_16.050_1 (the base) and
// OUT/scenes/_renderator_16.050_2 (the comparison), COUNT scenes of WIDTH x HEIGHT each, reports in
// the Renderator's format. Every tenth scene's new image has a changed block; the rest are equal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rgb_tiff.h"

namespace {

std::string Column(const std::string& text) {
  return text.size() >= 10 ? text : text + std::string(10 - text.size(), ' ');
}

bool WriteTiff(const std::filesystem::path& path, int width, int height, int seed, bool changed) {
  return test_support::WriteRgbTiff(path, width, height, [&](int x, int y, uint8_t* rgb) {
    const bool block = changed && x > width / 3 && x < width / 2 && y > height / 3 && y < height / 2;
    rgb[0] = uint8_t((x + seed) & 255);
    rgb[1] = uint8_t((y * 2 + seed) & 255);
    rgb[2] = block ? 255 : uint8_t((x ^ y) & 255);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: make_results OUT COUNT WIDTH HEIGHT\n");
    return 2;
  }
  const std::filesystem::path scenes = std::filesystem::path(argv[1]) / "scenes";
  const int count = std::atoi(argv[2]), width = std::atoi(argv[3]), height = std::atoi(argv[4]);
  const std::filesystem::path base = scenes / "_renderator_16.050_1",
                              result = scenes / "_renderator_16.050_2";
  std::filesystem::create_directories(base);
  std::filesystem::create_directories(result);
  const std::string header = Column("16.050") + "Status    Tnew      Told      Trel      Diff      Name\n";
  std::ofstream baseReport(base / "_result.txt"), resultReport(result / "_result.txt");
  baseReport << header;
  resultReport << header;
  for (int n = 1; n <= count; ++n) {
    char image[32];
    std::snprintf(image, sizeof image, "%04d.tif", n);
    const bool changed = n % 10 == 0;
    if (!WriteTiff(base / image, width, height, n, false) ||
        !WriteTiff(result / image, width, height, n, changed))
      return 1;
    const std::string name = (scenes / ("scene" + std::to_string(n) + ".zor")).string();
    baseReport << Column(std::to_string(n)) << Column("CREATED") << Column("1.00") << std::string(30, ' ')
               << name << "\n";
    resultReport << Column(std::to_string(n)) << Column("OK") << Column("1.00") << Column("1.00")
                 << Column("0.00%") << Column(changed ? "+1.20%" : "None") << name << "\n";
  }
  return 0;
}
