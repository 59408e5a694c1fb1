// TIFF reading and writing through libtiff. libtiff reports problems through process-wide handlers;
// they are silenced once, since every failure here becomes a result code.
#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <system_error>

#include "app/run_status.h"
#include "bitmaps/bitmap_impl.h"
#include "bitmaps/tiff_handle.h"
#include "files/replacing_file.h"

namespace zorhost {
namespace {

// Images go out in strips of many rows, each strip one write of about this size.
constexpr size_t kStripBytes = size_t{4} << 20;

// libtiff writes through the replacing file, which keeps the first system error for the message.
tmsize_t tiff_read(thandle_t h, void* data, tmsize_t size) {
  return ::read(static_cast<ReplacingFile*>(h)->fd(), data, static_cast<size_t>(size));
}
tmsize_t tiff_write(thandle_t h, void* data, tmsize_t size) {
  return static_cast<ReplacingFile*>(h)->write(data, static_cast<size_t>(size)) ? size : -1;
}
toff_t tiff_seek(thandle_t h, toff_t offset, int whence) {
  return static_cast<toff_t>(
      ::lseek(static_cast<ReplacingFile*>(h)->fd(), static_cast<off_t>(offset), whence));
}
int tiff_close(thandle_t) {
  return 0;  // the replacing file closes at its commit
}
toff_t tiff_size(thandle_t h) {
  struct stat status {};
  return ::fstat(static_cast<ReplacingFile*>(h)->fd(), &status) == 0 ? static_cast<toff_t>(status.st_size)
                                                                     : 0;
}
int tiff_map(thandle_t, void**, toff_t*) {
  return 0;
}
void tiff_unmap(thandle_t, void*, toff_t) {}

bool write_tiff(const HostBitmap& bmp, ReplacingFile& out) {
  TiffHandle tif(TIFFClientOpen(out.final_path().c_str(), "w", &out, tiff_read, tiff_write, tiff_seek,
                                tiff_close, tiff_size, tiff_map, tiff_unmap));
  if (!tif) return false;
  TIFF* t = tif.get();
  const size_t row_bytes = static_cast<size_t>(bmp.width) * 3;
  const int32_t rows_per_strip = static_cast<int32_t>(std::clamp<size_t>(
      kStripBytes / std::max<size_t>(row_bytes, 1), 1, static_cast<size_t>(std::max(bmp.height, 1))));
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(bmp.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(bmp.height));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rows_per_strip));
  std::vector<uint8_t> strip(row_bytes * static_cast<size_t>(rows_per_strip));
  for (int32_t first = 0, index = 0; first < bmp.height; first += rows_per_strip, ++index) {
    const int32_t rows = std::min(rows_per_strip, bmp.height - first);
    for (int32_t y = 0; y < rows; ++y)
      std::copy(bmp.row(first + y), bmp.row(first + y) + row_bytes, strip.begin() + y * row_bytes);
    const auto size = static_cast<tmsize_t>(row_bytes * static_cast<size_t>(rows));
    if (TIFFWriteEncodedStrip(t, static_cast<uint32_t>(index), strip.data(), size) != size) return false;
  }
  return TIFFFlush(t) == 1;
}

}  // namespace

int32_t save_tiff(const HostBitmap& bmp, const std::filesystem::path& file) {
  silence_libtiff();
  ReplacingFile out;
  if (!out.open(file)) {
    out.report();
    note_service_failure(out.error());
    return ZOR_IMAGE_NOT_EXISTING;
  }
  // a failure libtiff met outside its writes still has to be named
  if (!write_tiff(bmp, out) && !out.failed()) out.fail(EIO, "the image could not be encoded");
  const bool ok = out.commit();
  out.report();
  if (!ok) note_service_failure(out.error());
  return ok ? ZOR_IMAGE_OK : ZOR_IMAGE_NOT_EXISTING;
}

void silence_libtiff() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
  });
}

}  // namespace zorhost
