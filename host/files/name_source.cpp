#include "files/name_source.h"

#include <algorithm>
#include <filesystem>

#include "core/io_handlers.h"
#include "files/filename_impl.h"
#include "files/path_text.h"

namespace zorhost {

NamedBytes read_named_bytes(const HostFilename* name, int64_t limit) {
  NamedBytes result;
  if (!name) {
    result.error = "no file name";
    return result;
  }
  limit = std::max<int64_t>(limit, 0);
  if (name->is_memory()) {
    const int64_t count = std::min(limit, name->memory_size);
    if (count > 0) result.bytes.assign(static_cast<const char*>(name->memory), static_cast<size_t>(count));
    result.ok = true;
    return result;
  }
  // a URL of the core framework, or a path read through its file handler (which never waits on a pipe)
  std::string url = name->path;
  if (url.find("://") == std::string::npos) {
    if (!is_absolute_path(url)) url = std::filesystem::absolute(native(name)).string();
    url = file_url(url);
  }
  CoreFailure failure;
  const std::unique_ptr<InputSource> source = open_url(parse_url(url), failure);
  if (!source) {
    result.error = failure.message;
    return result;
  }
  const int64_t count = std::min(limit, source->length());
  result.bytes.resize(static_cast<size_t>(count));
  std::string cause;
  const int64_t read = source->read(result.bytes.data(), count, &cause);
  if (read != count) {
    result.error = name->path + ": " + short_read_message(read, count);
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace zorhost
