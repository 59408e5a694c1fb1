#include "images.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "result_file.h"

namespace relkit_report {

namespace {

// A bound on what one image may claim to be, so that a hostile header cannot ask for gigabytes.
constexpr uint64_t kMaxPixels = uint64_t(1) << 27;
// More than any codec a TIFF writer commonly uses packs a flat image by (deflate about 1000, LZW about
// 2600): compressed data that claims more is not this image's.
constexpr uint64_t kMaxCompression = 4096;

// libtiff reports through one process-wide handler; the message belongs to the thread that read.
thread_local std::string t_tiffMessage;

void KeepTiffMessage(const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  t_tiffMessage = module ? std::string(module) + ": " + text : std::string(text);
}

void IgnoreTiffWarning(const char*, const char*, va_list) {}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

struct ThumbnailGrid {
  int step;  // source pixels per thumbnail pixel in each direction
  int width;
  int height;
};

ThumbnailGrid Grid(int width, int height, int size) {
  const int longer = std::max(width, height);
  const int step = std::max(1, (longer + size - 1) / size);
  return {step, (width + step - 1) / step, (height + step - 1) / step};
}

int ChannelDifference(const uint8_t* a, const uint8_t* b) {
  return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

// Calls visit(tx, ty, x, y) for every source pixel, with the thumbnail pixel it falls into.
template <typename Visit>
void ForEachCell(int width, int height, const ThumbnailGrid& grid, Visit visit) {
  std::vector<int> column(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) column[size_t(x)] = x / grid.step;
  for (int y = 0; y < height; ++y) {
    const int row = (y / grid.step) * grid.width;
    for (int x = 0; x < width; ++x) visit(column[size_t(x)] + row, x + y * width);
  }
}

// A header can claim any size; the pixels must come from the file. Before the image is allocated, the
// strips (or tiles) that lie in the file must be able to hold it: as they are when uncompressed, or
// at most kMaxCompression times as much when compressed.
void CheckDataFits(TIFF* tiff, const std::string& file, uint64_t fileSize, uint32_t width, uint32_t height) {
  const bool tiled = TIFFIsTiled(tiff);
  uint64_t* counts = nullptr;
  uint64_t* offsets = nullptr;
  if (!TIFFGetField(tiff, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) ||
      !TIFFGetField(tiff, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) || !counts ||
      !offsets)
    throw InputError(file + ": damaged TIFF image (no strips)");
  const uint32_t pieces = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  uint64_t stored = 0;
  for (uint32_t i = 0; i < pieces; ++i)
    if (offsets[i] < fileSize) stored += std::min(counts[i], fileSize - offsets[i]);
  uint16_t bits = 0, samples = 0, compression = 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  const uint64_t needed = (uint64_t(width) * height * bits * samples + 7) / 8;
  const uint64_t ratio = compression == COMPRESSION_NONE ? 1 : kMaxCompression;
  if (stored * ratio < needed)
    throw InputError(file + ": damaged TIFF image (" + std::to_string(width) + " x " +
                     std::to_string(height) + " pixels claimed, but the file holds " +
                     std::to_string(stored) + " bytes of image data)");
}

}  // namespace

RgbImage ReadTiff(const std::filesystem::path& path) {
  const std::string file = path.string();
  static const bool kHandlersSet = [] {
    TIFFSetErrorHandler(KeepTiffMessage);
    TIFFSetWarningHandler(IgnoreTiffWarning);
    return true;
  }();
  (void)kHandlersSet;
  // Opened once and checked on that descriptor: a FIFO or device at the name is refused before a read.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw InputError(file + (error == ENOENT
                                 ? std::string(": image missing")
                                 : ": cannot be read (" + std::string(std::strerror(error)) + ")"));
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw InputError(file + ": not a regular file, not an image");
  }
  t_tiffMessage.clear();
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFFdOpen(fd, file.c_str(), "r"));  // TIFFClose closes fd
  if (!tiff) {
    ::close(fd);
    throw InputError(file + ": not a readable TIFF image (" + t_tiffMessage + ")");
  }
  uint32_t width = 0, height = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || uint64_t(width) * height > kMaxPixels)
    throw InputError(file + ": unusable image size " + std::to_string(width) + " x " +
                     std::to_string(height));
  CheckDataFits(tiff.get(), file, uint64_t(info.st_size), width, height);
  RgbImage image;
  image.width = int(width);
  image.height = int(height);
  image.pixels.resize(size_t(width) * height * 3);
  // The Renderator's own layout (8-bit RGB, interleaved, top row first) is read row by row straight
  // into place; any other layout goes through libtiff's general RGBA conversion.
  uint16_t bits = 0, samples = 0, planar = 0, photometric = 0, orientation = 0;
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
  const bool plain = TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric) &&
                     photometric == PHOTOMETRIC_RGB && bits == 8 && samples == 3 &&
                     planar == PLANARCONFIG_CONTIG && orientation == ORIENTATION_TOPLEFT &&
                     !TIFFIsTiled(tiff.get()) && TIFFScanlineSize64(tiff.get()) == uint64_t(width) * 3;
  if (plain) {
    for (uint32_t y = 0; y < height; ++y)
      if (TIFFReadScanline(tiff.get(), &image.pixels[size_t(y) * width * 3], y, 0) != 1)
        throw InputError(file + ": damaged TIFF image, row " + std::to_string(y) + " unreadable (" +
                         t_tiffMessage + ")");
    return image;
  }
  std::vector<uint32_t> rgba(size_t(width) * height);
  if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, rgba.data(), ORIENTATION_TOPLEFT, 0))
    throw InputError(file + ": damaged TIFF image (" + t_tiffMessage + ")");
  for (size_t i = 0; i < rgba.size(); ++i) {
    image.pixels[3 * i] = uint8_t(TIFFGetR(rgba[i]));
    image.pixels[3 * i + 1] = uint8_t(TIFFGetG(rgba[i]));
    image.pixels[3 * i + 2] = uint8_t(TIFFGetB(rgba[i]));
  }
  return image;
}

PixelStats ComparePixels(const RgbImage& fresh, const RgbImage& reference, int threshold) {
  PixelStats stats;
  stats.pixels = int64_t(fresh.width) * fresh.height;
  uint64_t sum = 0;
  const uint8_t* a = fresh.pixels.data();
  const uint8_t* b = reference.pixels.data();
  for (int64_t i = 0; i < stats.pixels; ++i, a += 3, b += 3) {
    const int d0 = std::abs(a[0] - b[0]), d1 = std::abs(a[1] - b[1]), d2 = std::abs(a[2] - b[2]);
    sum += unsigned(d0 + d1 + d2);
    const int d = std::max({d0, d1, d2});
    stats.pixelsOver += d > threshold;
    stats.maxDifference = std::max(stats.maxDifference, d);
  }
  stats.meanDifference = stats.pixels ? double(sum) / (765.0 * double(stats.pixels)) : 0.0;
  return stats;
}

RgbImage Thumbnail(const RgbImage& image, int size) {
  const ThumbnailGrid grid = Grid(image.width, image.height, size);
  std::vector<uint32_t> sums(size_t(grid.width) * grid.height * 4, 0);
  ForEachCell(image.width, image.height, grid, [&](int cell, int pixel) {
    uint32_t* s = &sums[size_t(cell) * 4];
    const uint8_t* p = &image.pixels[size_t(pixel) * 3];
    s[0] += p[0], s[1] += p[1], s[2] += p[2], s[3] += 1;
  });
  RgbImage thumb{grid.width, grid.height, std::vector<uint8_t>(size_t(grid.width) * grid.height * 3)};
  for (size_t cell = 0; cell < size_t(grid.width) * grid.height; ++cell)
    for (int c = 0; c < 3; ++c) thumb.pixels[cell * 3 + c] = uint8_t(sums[cell * 4 + c] / sums[cell * 4 + 3]);
  return thumb;
}

RgbImage DifferenceThumbnail(const RgbImage& fresh, const RgbImage& reference, int size) {
  const ThumbnailGrid grid = Grid(fresh.width, fresh.height, size);
  RgbImage thumb{grid.width, grid.height, std::vector<uint8_t>(size_t(grid.width) * grid.height * 3, 0)};
  ForEachCell(fresh.width, fresh.height, grid, [&](int cell, int pixel) {
    for (int c = 0; c < 3; ++c) {
      const size_t i = size_t(pixel) * 3 + c;
      const uint8_t d = uint8_t(std::abs(fresh.pixels[i] - reference.pixels[i]));
      uint8_t& t = thumb.pixels[size_t(cell) * 3 + c];
      t = std::max(t, d);
    }
  });
  return thumb;
}

RgbImage AmplifiedThumbnail(const RgbImage& fresh, const RgbImage& reference, const RgbImage& freshThumbnail,
                            int threshold, int size) {
  RgbImage thumb = freshThumbnail;
  const ThumbnailGrid grid = Grid(fresh.width, fresh.height, size);
  std::vector<uint8_t> worst(size_t(grid.width) * grid.height, 0);
  ForEachCell(fresh.width, fresh.height, grid, [&](int cell, int pixel) {
    const int d = ChannelDifference(&fresh.pixels[size_t(pixel) * 3], &reference.pixels[size_t(pixel) * 3]);
    worst[cell] = std::max(worst[cell], uint8_t(d));
  });
  for (size_t cell = 0; cell < worst.size(); ++cell) {
    uint8_t* p = &thumb.pixels[cell * 3];
    if (worst[cell] > threshold) {
      p[0] = 255, p[1] = 0, p[2] = 0;
    } else if (worst[cell] > 0) {
      p[0] = 255, p[1] = 160, p[2] = 0;
    } else {
      const int luma = (p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8;
      p[0] = p[1] = p[2] = uint8_t(200 + luma * 55 / 255);
    }
  }
  return thumb;
}

namespace {

void AppendPngBytes(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}

// libpng is C: an error returns through its jump buffer, the message kept for the thread that wrote.
thread_local std::string t_pngMessage;

[[noreturn]] void PngFailed(png_structp png, png_const_charp message) {
  t_pngMessage = message;
  png_longjmp(png, 1);
}

}  // namespace

std::string EncodePng(const RgbImage& image) {
  // The full-size images are written for every scene that needs a look: the fastest deflate level
  // and one filter make a third of the work of the defaults, at files a little larger.
  std::string bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFailed, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw InputError("cannot make a PNG picture (out of memory)");
  }
  // nothing with a destructor is made between here and the rows' end, which a jump back would skip
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw InputError("cannot make a PNG picture (" + t_pngMessage + ")");
  }
  png_set_write_fn(png, &bytes, AppendPngBytes, nullptr);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, &image.pixels[size_t(y) * size_t(image.width) * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

std::string Base64(std::string_view bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    const uint32_t group = uint32_t(uint8_t(bytes[i])) << 16 |
                           (left > 1 ? uint32_t(uint8_t(bytes[i + 1])) << 8 : 0) |
                           (left > 2 ? uint32_t(uint8_t(bytes[i + 2])) : 0);
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 63];
    out += left > 1 ? kDigits[(group >> 6) & 63] : '=';
    out += left > 2 ? kDigits[group & 63] : '=';
  }
  return out;
}

void WriteBytes(const std::string& bytes, const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw InputError(path.string() + ": cannot be written");
}

void WritePng(const RgbImage& image, const std::filesystem::path& path) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(image.width);
  png.height = png_uint_32(image.height);
  png.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
    const std::string message = png.message;
    png_image_free(&png);
    throw InputError(path.string() + ": cannot write the picture (" + message + ")");
  }
}

}  // namespace relkit_report
