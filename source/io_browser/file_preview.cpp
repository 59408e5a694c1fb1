#include "file_preview.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <vector>

#include "nexal/exif.h"
#include "nexal/iostreams.h"
#include "nexal/textformat.h"
#include "zor_filename.h"
#include "zor_gui.h"

namespace io_browser {
namespace {

// The identification answers that mean an image (decoded from its bytes, or known by its name).
constexpr int32_t kImageAnswers = ZOR_IDENTIFY_IMAGE | ZOR_IDENTIFY_IMAGE_BY_NAME;
// An image is read whole into memory; past this size the preview says so instead of trying.
constexpr int64_t kMaxImageBytes = int64_t{512} << 20;

void AppendMessage(std::string& text, std::string_view pattern, const nexal::Error& error) {
  text += nexal::FormatMessage(pattern, error.Message());
}

// Grows buffer by count bytes; an error when there is no memory for them.
nexal::Error Grow(std::vector<char>& buffer, int64_t count) {
  try {
    buffer.resize(buffer.size() + static_cast<std::size_t>(count));
    return nexal::Error();
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return nexal::Error::Make(NEXAL_ERROR_OUT_OF_MEMORY,
                            "no memory for " + std::to_string(buffer.size() + count) + " bytes");
}

// Reads count bytes at the buffer's end; on failure the buffer is as it was.
nexal::Error ReadMore(nexal::InputStream& stream, std::vector<char>& buffer, int64_t count) {
  const std::size_t before = buffer.size();
  if (nexal::Error error = Grow(buffer, count)) return error;
  nexal::Error error = stream.Read(buffer.data() + before, count);
  if (error) buffer.resize(before);
  return error;
}

// The first min(length, kPreviewProbeBytes) bytes, as fast as the stream delivers them. A failure is
// said in text; the bytes read before it are kept.
void ReadProbe(nexal::InputStream& stream, int64_t length, std::vector<char>& buffer, std::string& text) {
  int64_t wanted = std::min(length, kPreviewProbeBytes);
  while (wanted > 0) {
    int64_t available = 0;
    nexal::Error error = stream.GetAvailable(&available);
    if (!error && available <= 0) return;
    if (!error) {
      const int64_t count = std::min(available, wanted);
      error = ReadMore(stream, buffer, count);
      wanted -= count;
    }
    if (error) {
      AppendMessage(text, "<< Error reading file: @ >>", error);
      return;
    }
  }
}

// The image path: the rest of the stream behind the probe, decoded from memory, with its Exif data.
// Answers the page to show.
int32_t PreviewImage(const nexal::Url& url, nexal::InputStream& stream, int64_t length,
                     std::vector<char>& buffer, std::string& text, PreviewView& view) {
  BaseBitmap bitmap;
  const int64_t rest = length - static_cast<int64_t>(buffer.size());
  if (rest > 0) {
    nexal::Error error =
        length > kMaxImageBytes
            ? nexal::Error::Make(NEXAL_ERROR_OUT_OF_MEMORY,
                                 "an image of " + std::to_string(length) + " bytes is too large")
            : ReadMore(stream, buffer, rest);
    if (error) {
      AppendMessage(text, "<< Error reading file: @ >>", error);
      return kPreviewTextPage;
    }
  }
  stream.Close();

  Filename memory;
  memory.SetMemoryRead(buffer.data(), static_cast<int64_t>(buffer.size()));
  if (bitmap.InitWith(memory, -1) != ZOR_IMAGE_OK) {
    text += "<< Error reading file >>";
    return kPreviewTextPage;
  }
  text += "Image loaded successfully.";
  view.ShowImage(bitmap);

  nexal::ExifReader exif;
  if (nexal::Error error = nexal::ExifReader::Open(url, &exif)) {
    AppendMessage(text, "<< Error reading exif data: @ >>", error);
    return kPreviewImagePage;
  }
  nexal::DataDictionary metadata;
  if (nexal::Error error = exif.GetMetadata(&metadata)) {
    text += "<< Error reading exif data >>";
    return kPreviewImagePage;
  }
  text += nexal::FormatMessage("\n\n @", metadata.ToText());
  return kPreviewImagePage;
}

}  // namespace

void AppendProbeText(std::string_view bytes, std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  int32_t column = 0;
  for (const char byte : bytes) {
    const auto b = static_cast<signed char>(byte);
    if (b < 32 && b != 9 && b != 10 && b != 13) {
      const auto u = static_cast<unsigned char>(byte);
      text += " 0x";
      text += kHex[u >> 4];
      text += kHex[u & 15];
      column += 5;
    } else {
      text += byte;
      column = (b == 10 || b == 13) ? 0 : column + 1;
    }
    if (column >= 200) {
      text += '\n';
      column = 0;
    }
  }
}

void RunFilePreview(const nexal::Url& url, String& previewText, PreviewView& view) {
  previewText = String();
  std::string text;
  GeSetMousePointer(ZOR_POINTER_BUSY);
  int32_t page = kPreviewTextPage;
  {
    std::vector<char> buffer;
    nexal::InputStream stream;
    if (nexal::Error error = url.OpenInput(&stream)) {
      AppendMessage(text, "<< Error opening file: @ >>", error);
    } else {
      int64_t length = 0;
      if (nexal::Error lengthError = stream.GetLength(&length)) {
        AppendMessage(text, "<< Error opening file: @ >>", lengthError);
        length = 0;
      }
      text += "Size: " + std::to_string(length) + "\n";
      text += "Content:\n";
      ReadProbe(stream, length, buffer, text);

      const Filename name(url.GetText().c_str());
      const int32_t answer = IdentifyFile(name, buffer.empty() ? nullptr : buffer.data(),
                                          static_cast<int32_t>(buffer.size()), kImageAnswers);
      if ((answer & kImageAnswers) == 0)
        AppendProbeText(std::string_view(buffer.data(), buffer.size()), text);
      else
        page = PreviewImage(url, stream, length, buffer, text, view);
    }
  }
  GeSetMousePointer(ZOR_POINTER_NORMAL);
  // verbatim: a file that holds "\u0041" must show those six bytes, not the letter
  previewText.SetCString(text.c_str(), static_cast<int32_t>(text.size()), ZOR_STRING_UTF8_VERBATIM);
  view.ShowText(previewText, page);
}

}  // namespace io_browser
