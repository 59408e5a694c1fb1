#include "renderator_compare.h"

#include <cstring>

#include "zor_bitmap.h"
#include "zor_filename.h"
#include "zor_memory.h"

uint64_t DifferenceRow(const uint8_t* image, uint8_t* reference, int64_t bytes) {
  // Sixteen bytes at a time in the compiler's portable vector types: the plain byte loop is not
  // vectorised at our optimisation level and was five times slower. Differences are summed in 16-bit
  // lanes, which hold 257 rounds of the largest difference, then added to the 64-bit total.
  typedef uint8_t Bytes16 __attribute__((vector_size(16)));
  typedef uint16_t Words16 __attribute__((vector_size(32)));
  constexpr int64_t kLanes = 16;
  constexpr int32_t kRoundsPerFlush = 257;
  uint64_t sum = 0;
  int64_t k = 0;
  while (bytes - k >= kLanes) {
    Words16 lanes = {};
    for (int32_t round = 0; round < kRoundsPerFlush && bytes - k >= kLanes; ++round, k += kLanes) {
      Bytes16 a;
      Bytes16 r;
      std::memcpy(&a, image + k, kLanes);
      std::memcpy(&r, reference + k, kLanes);
      const Bytes16 d = (a > r ? a : r) - (a > r ? r : a);
      std::memcpy(reference + k, &d, kLanes);
      lanes += __builtin_convertvector(d, Words16);
    }
    for (int32_t j = 0; j < kLanes; ++j) sum += lanes[j];
  }
  for (; k < bytes; ++k) {
    const uint8_t a = image[k];
    const uint8_t r = reference[k];
    const uint8_t d = a > r ? uint8_t(a - r) : uint8_t(r - a);
    reference[k] = d;
    sum += d;
  }
  return sum;
}

bool CompareImages(const BaseBitmap& newImage, const Filename& referenceFile, BaseBitmap& reference,
                   double& diff) {
  if (!reference.IsValid() || reference.Load(referenceFile, -1, 0) != ZOR_IMAGE_OK) return false;
  return DifferenceInPlace(newImage, reference, diff);
}

bool DifferenceInPlace(const BaseBitmap& newImage, BaseBitmap& reference, double& diff) {
  diff = 0.0;
  const int32_t width = newImage.GetBw();
  const int32_t height = newImage.GetBh();
  if (reference.GetBw() != width || reference.GetBh() != height) return false;

  const int64_t rowBytes = 3 * int64_t(width);
  uint8_t* buffer = static_cast<uint8_t*>(ZOR_ALLOC(2 * rowBytes > 0 ? 2 * rowBytes : 1));
  if (!buffer) return false;
  uint8_t* newRow = buffer;
  uint8_t* referenceRow = buffer + rowBytes;
  uint64_t sum = 0;
  for (int32_t y = 0; y < height; ++y) {
    newImage.GetPixelRow(0, y, width, newRow, 3, ZOR_COLOR_MODE_RGB);
    reference.GetPixelRow(0, y, width, referenceRow, 3, ZOR_COLOR_MODE_RGB);
    sum += DifferenceRow(newRow, referenceRow, rowBytes);
    reference.SetPixelRow(0, y, width, referenceRow, 3, ZOR_COLOR_MODE_RGB);
  }
  Free(buffer);
  const uint64_t largest = uint64_t(765) * uint64_t(width) * uint64_t(height);
  diff = largest > 0 ? double(sum) / double(largest) : 0.0;
  return true;
}
