// Reading TIFF files into 8-bit RGB bitmaps. A reference image is loaded next to the image just
// rendered, so a load holds the bitmap being filled and at most one strip (or tile row) of the file
// besides: the common forms are decoded straight into the bitmap's rows, the others go through
// libtiff's RGBA conversion one strip at a time. Striped files are read, not mapped: mapped pages count
// as the process's memory as much as a buffer does.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>

#include "bitmaps/bitmap_impl.h"
#include "bitmaps/image_decode.h"
#include "bitmaps/tiff_handle.h"

namespace zorhost {
namespace {

constexpr uint32_t kMaxEdge = 1u << 15;

// Every failure becomes a result code; libtiff's messages would only reach stderr.
int swallow_message(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

TiffHandle open_for_reading(const std::filesystem::path& file, bool mapped) {
  silence_libtiff();
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                       TIFFOpenOptionsFree);
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), swallow_message, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), swallow_message, nullptr);
  // "m": read with read(2) rather than mapping the whole file.
  return TiffHandle(TIFFOpenExt(file.c_str(), mapped ? "r" : "rm", options.get()));
}

struct Layout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bits = 0;
  uint16_t samples = 0;
  uint16_t photometric = 0;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  bool tiled = false;
};

bool read_layout(TIFF* t, Layout& l) {
  if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &l.width) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l.height) ||
      !TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &l.bits) ||
      !TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &l.samples) ||
      !TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &l.photometric)) {
    return false;
  }
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &l.planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &l.orientation);
  l.tiled = TIFFIsTiled(t) != 0;
  return true;
}

// 8-bit RGB with or without alpha, 8-bit grey (black is zero), palette images of up to 256 colours.
bool accepted(const Layout& l) {
  if (l.width == 0 || l.height == 0 || l.width > kMaxEdge || l.height > kMaxEdge) return false;
  switch (l.photometric) {
    case PHOTOMETRIC_RGB:
      return l.bits == 8 && (l.samples == 3 || l.samples == 4);
    case PHOTOMETRIC_MINISBLACK:
      return l.bits == 8 && l.samples == 1;
    case PHOTOMETRIC_PALETTE:
      return (l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8) && l.samples == 1;
    default:
      return false;
  }
}

// Forms whose strips decode to exactly the bytes of whole rows, top row first, one byte per sample.
bool direct(const Layout& l) {
  if (l.tiled || l.planar != PLANARCONFIG_CONTIG || l.orientation != ORIENTATION_TOPLEFT || l.bits != 8) {
    return false;
  }
  return (l.photometric == PHOTOMETRIC_RGB && l.samples == 3) || l.samples == 1;
}

// The palette as 8-bit values. Entries are 16-bit, but some writers store 8-bit values in them; a
// palette without any entry above 255 is taken as one of those.
bool palette_to_8bit(TIFF* t, uint16_t bits, uint8_t (&rgb)[256][3]) {
  uint16_t* channel[3] = {};
  if (!TIFFGetField(t, TIFFTAG_COLORMAP, &channel[0], &channel[1], &channel[2])) return false;
  const size_t entries = size_t(1) << bits;
  bool wide = false;
  for (size_t i = 0; i < entries; ++i) {
    for (int c = 0; c < 3; ++c) wide = wide || channel[c][i] > 255;
  }
  for (size_t i = 0; i < entries; ++i) {
    for (int c = 0; c < 3; ++c) rgb[i][c] = static_cast<uint8_t>(wide ? channel[c][i] >> 8 : channel[c][i]);
  }
  return true;
}

// Strips decoded into the rows they belong to. A one-sample strip is decoded into the front of its
// rows and widened to RGB from the back, so it needs no buffer either.
bool read_direct(TIFF* t, const Layout& l, HostBitmap& bmp) {
  uint8_t palette[256][3];
  if (l.photometric == PHOTOMETRIC_PALETTE && !palette_to_8bit(t, l.bits, palette)) return false;
  uint32_t rows_per_strip = l.height;
  TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
  rows_per_strip = std::clamp(rows_per_strip, 1u, l.height);
  for (uint32_t y = 0; y < l.height; y += rows_per_strip) {
    const uint32_t rows = std::min(rows_per_strip, l.height - y);
    const size_t pixels = size_t(rows) * l.width;
    const tmsize_t bytes = static_cast<tmsize_t>(pixels * l.samples);
    uint8_t* dst = bmp.row(static_cast<int32_t>(y));
    if (TIFFReadEncodedStrip(t, TIFFComputeStrip(t, y, 0), dst, bytes) != bytes) return false;
    if (l.samples != 1) continue;
    for (size_t i = pixels; i-- > 0;) {
      const uint8_t v = dst[i];
      const uint8_t* colour = l.photometric == PHOTOMETRIC_PALETTE ? palette[v] : nullptr;
      dst[3 * i + 2] = colour ? colour[2] : v;
      dst[3 * i + 1] = colour ? colour[1] : v;
      dst[3 * i] = colour ? colour[0] : v;
    }
  }
  return true;
}

// Everything else through libtiff's RGBA conversion, one strip (or one row of tiles) at a time.
bool read_through_rgba(TIFF* t, const Layout& l, HostBitmap& bmp) {
  char message[1024];
  TIFFRGBAImage img;
  if (!TIFFRGBAImageOK(t, message) || !TIFFRGBAImageBegin(&img, t, 0, message)) return false;
  std::unique_ptr<TIFFRGBAImage, void (*)(TIFFRGBAImage*)> end(&img, TIFFRGBAImageEnd);
  img.req_orientation = ORIENTATION_TOPLEFT;
  uint32_t chunk = l.height;
  if (l.tiled) {
    TIFFGetField(t, TIFFTAG_TILELENGTH, &chunk);
  } else {
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &chunk);
  }
  chunk = std::clamp(chunk, 1u, l.height);
  // The conversion turns images stored bottom first upside down within each piece it is given;
  // the piece then belongs at the mirrored place.
  const bool bottom_first = l.orientation == ORIENTATION_BOTLEFT || l.orientation == ORIENTATION_BOTRIGHT ||
                            l.orientation == ORIENTATION_LEFTBOT || l.orientation == ORIENTATION_RIGHTBOT;
  std::vector<uint32_t> raster(size_t(l.width) * chunk);
  for (uint32_t y = 0; y < l.height; y += chunk) {
    const uint32_t rows = std::min(chunk, l.height - y);
    img.row_offset = static_cast<int>(y);
    img.col_offset = 0;
    if (!TIFFRGBAImageGet(&img, raster.data(), l.width, rows)) return false;
    const uint32_t top = bottom_first ? l.height - y - rows : y;
    for (uint32_t r = 0; r < rows; ++r) {
      const uint32_t* src = raster.data() + size_t(r) * l.width;
      uint8_t* dst = bmp.row(static_cast<int32_t>(top + r));
      for (uint32_t x = 0; x < l.width; ++x) {
        dst[3 * x] = static_cast<uint8_t>(TIFFGetR(src[x]));
        dst[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(src[x]));
        dst[3 * x + 2] = static_cast<uint8_t>(TIFFGetB(src[x]));
      }
    }
  }
  return true;
}

// Fills bmp from an opened file whose layout was accepted; bmp is untouched on failure.
int32_t read_accepted(TIFF* tif, const Layout& layout, HostBitmap& bmp) {
  // Filled aside: a load that fails leaves the bitmap as it was.
  HostBitmap loaded;
  loaded.width = static_cast<int32_t>(layout.width);
  loaded.height = static_cast<int32_t>(layout.height);
  loaded.depth = ZOR_DEPTH_RGB;
  init_pixels(loaded.pixels, size_t(layout.width) * layout.height * 3);
  const bool read =
      direct(layout) ? read_direct(tif, layout, loaded) : read_through_rgba(tif, layout, loaded);
  if (!read) return ZOR_IMAGE_WRONG_FORMAT;
  bmp = std::move(loaded);
  return ZOR_IMAGE_OK;
}

// A TIFF file in memory, read through libtiff's client procedures; mapping answers the bytes themselves.
struct MemoryFile {
  const char* data;
  toff_t size;
  toff_t at;
};

tmsize_t memory_read(thandle_t handle, void* into, tmsize_t count) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (count <= 0 || file->at >= file->size) return 0;
  const toff_t n = std::min<toff_t>(static_cast<toff_t>(count), file->size - file->at);
  std::memcpy(into, file->data + file->at, static_cast<size_t>(n));
  file->at += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t memory_write(thandle_t, void*, tmsize_t) {
  return 0;
}

toff_t memory_seek(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = file->at;
  if (whence == SEEK_END) base = file->size;
  // libtiff passes offsets as unsigned; a position before the start is refused
  const toff_t target = base + offset;
  if (whence != SEEK_SET && static_cast<int64_t>(offset) < 0 &&
      static_cast<toff_t>(-static_cast<int64_t>(offset)) > base)
    return static_cast<toff_t>(-1);
  file->at = target;
  return file->at;
}

int memory_close(thandle_t) {
  return 0;
}

toff_t memory_size(thandle_t handle) {
  return static_cast<MemoryFile*>(handle)->size;
}

int memory_map(thandle_t handle, void** base, toff_t* size) {
  auto* file = static_cast<MemoryFile*>(handle);
  *base = const_cast<char*>(file->data);
  *size = file->size;
  return 1;
}

void memory_unmap(thandle_t, void*, toff_t) {}

}  // namespace

int32_t decode_tiff(HostBitmap& bmp, std::string_view bytes) {
  silence_libtiff();
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                       TIFFOpenOptionsFree);
  if (!options) return ZOR_IMAGE_NO_MEMORY;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), swallow_message, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), swallow_message, nullptr);
  // libtiff's own allocations for one file (strip tables, a hostile directory) are bounded as well
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), 256 << 20);
  MemoryFile file{bytes.data(), static_cast<toff_t>(bytes.size()), 0};
  const TiffHandle tif(TIFFClientOpenExt("memory", "r", &file, memory_read, memory_write, memory_seek,
                                         memory_close, memory_size, memory_map, memory_unmap, options.get()));
  if (!tif) return ZOR_IMAGE_WRONG_FORMAT;
  Layout layout;
  if (!read_layout(tif.get(), layout) || !accepted(layout)) return ZOR_IMAGE_WRONG_FORMAT;
  if (static_cast<int64_t>(layout.width) * layout.height > kMaxDecodedPixels) return ZOR_IMAGE_NO_MEMORY;
  return read_accepted(tif.get(), layout, bmp);
}

int32_t load_tiff(HostBitmap& bmp, const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return ZOR_IMAGE_NOT_EXISTING;
  TiffHandle tif = open_for_reading(file, false);
  if (!tif) return ZOR_IMAGE_WRONG_FORMAT;
  Layout layout;
  if (!read_layout(tif.get(), layout) || !accepted(layout)) return ZOR_IMAGE_WRONG_FORMAT;
  // libtiff refuses uncompressed tiles read without a mapping (it expects a whole tile where the
  // RGBA conversion asks for less); tiled files are rare enough to be mapped.
  if (layout.tiled) {
    tif = open_for_reading(file, true);
    if (!tif) return ZOR_IMAGE_WRONG_FORMAT;
  }
  return read_accepted(tif.get(), layout, bmp);
}

}  // namespace zorhost
