// relkit-report's TIFF reader on arbitrary file content; an image it reads has the size it claims.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "images.h"
#include "result_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const relkit_report::RgbImage image =
        relkit_report::ReadTiff(fuzz_support::Scratch::Get().Write("image.tif", data, size));
    if (image.pixels.size() != size_t(image.width) * size_t(image.height) * 3) std::abort();
  } catch (const relkit_report::InputError&) {
  }
  return 0;
}
