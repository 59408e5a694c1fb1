// The browser's preview of one URL: its size and first bytes as readable text, or, for an image, the
// decoded picture, a success line and its Exif metadata. It reads only through the core framework's
// input streams, so it works for every scheme the host's I/O layer serves.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "nexal/url.h"
#include "zor_bitmap.h"
#include "zor_string.h"

namespace io_browser {

// Gadgets of the browser dialog the preview fills.
inline constexpr int32_t kPreviewTabGroup = 10002;
inline constexpr int32_t kPreviewTextPage = 10003;
inline constexpr int32_t kPreviewTextField = 10004;
inline constexpr int32_t kPreviewImagePage = 10005;
inline constexpr int32_t kPreviewImageButton = 10006;

// How many bytes of a file that is not an image are read and shown.
inline constexpr int64_t kPreviewProbeBytes = 2000;

// Where the preview shows what it made; the browser dialog implements it with its gadgets.
class PreviewView {
 public:
  virtual ~PreviewView() = default;
  // The decoded picture for the bitmap button (10006); the view keeps a copy of its own.
  virtual void ShowImage(const BaseBitmap& bitmap) = 0;
  // The text for field 10004, and the page (10003 "Text" or 10005 "Image") the tab group 10002 shows.
  virtual void ShowText(const String& text, int32_t activePage) = 0;
};

// Builds the preview of url into previewText (emptied first) and shows it; the busy mouse pointer (3)
// is set before and the normal one (2) after. Never fails: every failure is a message in the text.
void RunFilePreview(const nexal::Url& url, String& previewText, PreviewView& view);

// The text form of probe bytes: bytes below 32 other than tab, LF and CR, and every byte of 128 or more,
// as " 0x" and two upper-case hex digits (5 columns); a line break after every 200 columns; LF and CR
// start the count again. Appended to text.
void AppendProbeText(std::string_view bytes, std::string& text);

}  // namespace io_browser
