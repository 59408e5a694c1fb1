// TIFF reading and writing through libtiff. libtiff reports problems through process-wide handlers;
// they are silenced once, since every failure here becomes a result code.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <system_error>

#include "bitmaps/bitmap_impl.h"

namespace zorhost {
namespace {

void silence_libtiff() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
  });
}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

std::filesystem::path temporary_name(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  std::string name = "." + file.filename().string() + "." + std::to_string(::getpid()) + "." +
                     std::to_string(counter++) + ".tmp";
  return file.parent_path() / name;
}

bool sync_file(const std::filesystem::path& file) {
  int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool write_tiff(const HostBitmap& bmp, const std::filesystem::path& file) {
  TiffHandle tif(TIFFOpen(file.c_str(), "w"));
  if (!tif) return false;
  TIFF* t = tif.get();
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(bmp.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(bmp.height));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  std::vector<uint8_t> row(static_cast<size_t>(bmp.width) * 3);
  for (int32_t y = 0; y < bmp.height; ++y) {
    std::copy(bmp.row(y), bmp.row(y) + row.size(), row.begin());
    if (TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) < 0) return false;
  }
  return TIFFFlush(t) == 1;
}

}  // namespace

int32_t save_tiff(const HostBitmap& bmp, const std::filesystem::path& file) {
  silence_libtiff();
  std::filesystem::path temp = temporary_name(file);
  std::error_code ec;
  if (!write_tiff(bmp, temp) || !sync_file(temp)) {
    std::filesystem::remove(temp, ec);
    return ZOR_IMAGE_NOT_EXISTING;
  }
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return ZOR_IMAGE_NOT_EXISTING;
  }
  return ZOR_IMAGE_OK;
}

}  // namespace zorhost
