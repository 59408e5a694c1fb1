// The images of a result folder: TIFF files read as 8-bit RGB, the per-pixel comparison of a new image
// with its reference, and the small PNG pictures the report page shows.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace relkit_report {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // rows top to bottom, 3 bytes per pixel
};

// Throws InputError naming the file when it is missing, not a TIFF, damaged, or unreasonably large.
RgbImage ReadTiff(const std::filesystem::path& path);

struct PixelStats {
  int64_t pixels = 0;
  int64_t pixelsOver = 0;     // pixels whose largest channel difference exceeds the threshold
  int maxDifference = 0;      // the largest channel difference of any pixel, 0 to 255
  double meanDifference = 0;  // sum of channel differences / (765 x pixels), as the Renderator's Diff
};

// Per pixel, the largest of its three channel differences counts. Both images have the same size.
PixelStats ComparePixels(const RgbImage& fresh, const RgbImage& reference, int threshold);

// Thumbnails at most `size` pixels on their longer side (never enlarged).
RgbImage Thumbnail(const RgbImage& image, int size);
// The difference of two images, each thumbnail pixel the largest difference of the pixels it covers,
// so that a difference of one pixel stays visible however much the picture is reduced.
RgbImage DifferenceThumbnail(const RgbImage& fresh, const RgbImage& reference, int size);
// The difference made obvious: the new image faded to light grey, pixels over the threshold red, pixels
// that differ by less orange. freshThumbnail is Thumbnail(fresh, size).
RgbImage AmplifiedThumbnail(const RgbImage& fresh, const RgbImage& reference, const RgbImage& freshThumbnail,
                            int threshold, int size);

// The image as the bytes of a PNG file.
std::string EncodePng(const RgbImage& image);
std::string Base64(std::string_view bytes);
// Throws InputError naming the file when it cannot be written.
void WriteBytes(const std::string& bytes, const std::filesystem::path& path);
// Throws InputError naming the file when it cannot be written.
void WritePng(const RgbImage& image, const std::filesystem::path& path);

}  // namespace relkit_report
