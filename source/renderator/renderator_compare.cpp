#include "renderator_compare.h"

#include "zor_bitmap.h"
#include "zor_filename.h"
#include "zor_memory.h"

uint64_t DifferenceRow(const uint8_t* image, uint8_t* reference, int64_t bytes) {
  // Bytes are summed in short chunks whose total cannot overflow 32 bits, which lets the compiler
  // keep the inner loop in wide vector registers; the image total is kept in 64 bits.
  constexpr int64_t kChunk = 1 << 16;
  uint64_t sum = 0;
  for (int64_t start = 0; start < bytes; start += kChunk) {
    const int64_t end = start + kChunk < bytes ? start + kChunk : bytes;
    uint32_t chunkSum = 0;
    for (int64_t k = start; k < end; ++k) {
      const uint8_t a = image[k];
      const uint8_t b = reference[k];
      const uint8_t d = a > b ? uint8_t(a - b) : uint8_t(b - a);
      reference[k] = d;
      chunkSum += d;
    }
    sum += chunkSum;
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
