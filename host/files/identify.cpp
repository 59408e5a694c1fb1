#include "files/identify.h"

#include <string>

#include "app/entry_guard.h"
#include "bitmaps/image_decode.h"
#include "files/filename_impl.h"
#include "files/name_source.h"
#include "files/path_text.h"

namespace zorhost {
namespace {

// enough for every signature the host knows and the start of a scene
constexpr int64_t kRecogniseBytes = 4096;

std::string_view probe_view(const void* probe, int32_t probe_size) {
  if (!probe || probe_size <= 0) return {};
  return {static_cast<const char*>(probe), static_cast<size_t>(probe_size)};
}

bool image_suffix(const std::string& path) {
  for (const char* suffix : {"png", "jpg", "jpeg", "tif", "tiff"})
    if (has_suffix(path, suffix)) return true;
  return false;
}

int32_t identify(const HostFilename* name, std::string_view probe, int32_t flags) {
  int32_t answer = 0;
  if (probe.empty()) {
    // without bytes only the name can tell, and only an image by its suffix
    if (name && image_suffix(name->path)) answer |= ZOR_IDENTIFY_IMAGE_BY_NAME;
  } else {
    if (image_format_of(probe) != ImageFormat::Unknown) answer |= ZOR_IDENTIFY_IMAGE;
    if (looks_like_scene(probe)) answer |= ZOR_IDENTIFY_SCENE;
  }
  return answer & flags;
}

}  // namespace

bool looks_like_scene(std::string_view probe) {
  size_t at = 0;
  if (probe.starts_with("\xEF\xBB\xBF")) at = 3;
  while (at < probe.size() &&
         (probe[at] == ' ' || probe[at] == '\t' || probe[at] == '\r' || probe[at] == '\n'))
    ++at;
  if (at >= probe.size() || probe[at] != '{') return false;
  // the key, followed by its colon
  for (size_t key = probe.find("\"zor\"", at); key != std::string_view::npos;
       key = probe.find("\"zor\"", key + 1)) {
    size_t after = key + 5;
    while (after < probe.size() &&
           (probe[after] == ' ' || probe[after] == '\t' || probe[after] == '\r' || probe[after] == '\n'))
      ++after;
    if (after < probe.size() && probe[after] == ':') return true;
  }
  return false;
}

void files_fn_set_memory_read(HostFilename* f, const void* data, int64_t size) {
  guarded_void("files.fn_set_memory_read", [&] {
    if (!f || size < 0 || (!data && size != 0)) return;
    f->path.clear();
    f->memory = data;
    f->memory_size = size;
  });
}

int32_t files_identify(const HostFilename* name, const void* probe, int32_t probe_size, int32_t flags) {
  return guarded("files.identify", int32_t{0},
                 [&] { return identify(name, probe_view(probe, probe_size), flags); });
}

bool files_identify_class(const HostFilename* name, const void* probe, int32_t probe_size,
                          int32_t identification_class) {
  return guarded("files.identify_class", false, [&] {
    if (identification_class != ZOR_IDENTIFY_SCENE && identification_class != ZOR_IDENTIFY_IMAGE)
      return false;
    return identify(name, probe_view(probe, probe_size), identification_class) != 0;
  });
}

bool files_recognises(const HostFilename* name) {
  return guarded("files.recognises", false, [&] {
    if (!name) return false;
    const NamedBytes start = read_named_bytes(name, kRecogniseBytes);
    return start.ok && identify(name, start.bytes, ZOR_IDENTIFY_SCENE | ZOR_IDENTIFY_IMAGE) != 0;
  });
}

}  // namespace zorhost
