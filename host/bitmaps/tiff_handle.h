// What the TIFF reader and writer share: an owned libtiff handle, and libtiff kept quiet.
#pragma once
#include <tiffio.h>

#include <memory>

namespace zorhost {

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Every failure becomes a result code; libtiff's messages about a file it could not even start on go to
// the process-wide handlers, which this clears once.
void silence_libtiff();

}  // namespace zorhost
