// The "zip" scheme: an archive at any URL of another handler (a file, or an entry of another archive),
// read with libzip. Listing shows one level of the archive's tree; folders that the archive only implies
// (by entries below them) are listed like the ones it stores.
#include <zip.h>

#include <map>

#include "core/io_handlers.h"
#include "files/filename_impl.h"

namespace zorhost {
namespace {

// An archive inside another one is read into memory first; past this it is refused.
constexpr int64_t kMaxNestedArchive = int64_t{1} << 30;

std::string zip_error_text(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

std::vector<std::string> name_segments(std::string_view name) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= name.size()) {
    const size_t end = std::min(name.find('/', at), name.size());
    const std::string_view part = name.substr(at, end - at);
    // "." and ".." are kept as written: inside an archive they are names, not steps
    if (!part.empty()) parts.emplace_back(part);
    at = end + 1;
  }
  return parts;
}

// One open archive, with the bytes it is read from when those are not a file.
class Archive {
 public:
  Archive() = default;
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;
  ~Archive() {
    if (zip_) zip_discard(zip_);
  }

  bool open(const UrlParts& url, CoreFailure& failure) {
    const UrlParts inner = parse_url(url.inner);
    const std::string shown = inner.text;
    if (inner.kind == UrlParts::Kind::File) {
      const HostFilename name{inner.path};
      int code = 0;
      zip_ = zip_open(native(&name).c_str(), ZIP_RDONLY, &code);
      if (!zip_)
        failure = {NEXAL_ERROR_IO, "cannot open the archive " + inner.path + ": " + zip_error_text(code)};
      return zip_ != nullptr;
    }
    if (const std::optional<CoreFailure> read = read_url(inner, kMaxNestedArchive, bytes_)) {
      failure = *read;
      return false;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
    if (source) {
      zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
      if (!zip_) zip_source_free(source);
    }
    if (!zip_)
      failure = {NEXAL_ERROR_IO, "cannot open the archive " + shown + ": " + zip_error_strerror(&error)};
    zip_error_fini(&error);
    return zip_ != nullptr;
  }

  zip_t* get() const { return zip_; }
  int64_t count() const { return zip_get_num_entries(zip_, 0); }
  // the entry's name as UTF-8 (names stored without the UTF-8 flag are read as code page 437)
  const char* name(int64_t index) const {
    return zip_get_name(zip_, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS);
  }

 private:
  std::string bytes_;
  zip_t* zip_ = nullptr;
};

void stat_times(const zip_stat_t& stat, const std::string& url, IoEntry& entry) {
  if (stat.valid & ZIP_STAT_MTIME) entry.modified = local_date_time(static_cast<int64_t>(stat.mtime));
  entry.created_error = "a zip archive keeps no creation time (" + url + ")";
}

IoEntry archive_entry(const Archive& archive, int64_t index, const std::string& url, bool folder) {
  IoEntry entry;
  entry.url = url;
  entry.attributes = folder ? NEXAL_IO_FOLDER : 0;
  const std::string name = url.substr(url.rfind('/') + 1);
  // "." and ".." are no hidden files here but entries an archive wrote, which should be seen
  if (name.starts_with('.') && name != "." && name != "..") entry.attributes |= NEXAL_IO_HIDDEN;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (index >= 0 && zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &stat) == 0) {
    if (!folder && (stat.valid & ZIP_STAT_SIZE)) entry.size = static_cast<int64_t>(stat.size);
    stat_times(stat, url, entry);
  } else {
    entry.created_error = "a zip archive keeps no creation time (" + url + ")";
  }
  return entry;
}

class ZipSource final : public InputSource {
 public:
  ZipSource(std::unique_ptr<Archive> archive, zip_file_t* file, int64_t length)
      : InputSource(length), archive_(std::move(archive)), file_(file) {}
  ~ZipSource() override { zip_fclose(file_); }

 protected:
  int64_t read_some(char* into, int64_t count, std::string* failure) override {
    const zip_int64_t got = zip_fread(file_, into, static_cast<zip_uint64_t>(count));
    if (got < 0 && failure) *failure = zip_file_strerror(file_);
    return got;
  }

 private:
  std::unique_ptr<Archive> archive_;
  zip_file_t* file_;
};

}  // namespace

std::optional<CoreFailure> list_zip(const UrlParts& url, std::vector<IoEntry>& entries) {
  Archive archive;
  CoreFailure failure;
  if (!archive.open(url, failure)) return failure;
  const std::vector<std::string> level = name_segments(url.path);
  std::map<std::string, size_t> listed;  // child name -> its place in entries
  const size_t first = entries.size();
  const int64_t count = archive.count();
  for (int64_t i = 0; i < count; ++i) {
    const char* raw = archive.name(i);
    if (!raw) continue;
    const std::string_view name = raw;
    const std::vector<std::string> parts = name_segments(name);
    if (parts.size() <= level.size() || !std::equal(level.begin(), level.end(), parts.begin())) continue;
    const std::string& child = parts[level.size()];
    const bool folder = parts.size() > level.size() + 1 || name.ends_with('/');
    const bool own = parts.size() == level.size() + 1;  // the entry is the child itself, not below it
    const auto found = listed.find(child);
    if (found != listed.end()) {
      // a folder stored after entries that implied it: take its times
      IoEntry& known = entries[first + found->second];
      if (own && folder && (known.attributes & NEXAL_IO_FOLDER))
        known = archive_entry(archive, i, known.url, true);
      continue;
    }
    const std::string child_url = zip_url(url.inner, url.path.empty() ? child : url.path + "/" + child);
    listed.emplace(child, entries.size() - first);
    entries.push_back(archive_entry(archive, own ? i : -1, child_url, folder));
  }
  return std::nullopt;
}

std::optional<CoreFailure> describe_zip(const UrlParts& url, IoEntry& entry, int32_t& exists) {
  exists = 0;
  Archive archive;
  CoreFailure failure;
  if (!archive.open(url, failure)) return failure;
  if (url.path.empty()) {
    entry = IoEntry{};
    entry.url = url.text;
    entry.attributes = NEXAL_IO_FOLDER;
    exists = 2;
    return std::nullopt;
  }
  const std::vector<std::string> wanted = name_segments(url.path);
  const int64_t count = archive.count();
  for (int64_t i = 0; i < count; ++i) {
    const char* raw = archive.name(i);
    if (!raw) continue;
    const std::vector<std::string> parts = name_segments(raw);
    if (parts.size() < wanted.size() || !std::equal(wanted.begin(), wanted.end(), parts.begin())) continue;
    const bool folder = parts.size() > wanted.size() || std::string_view(raw).ends_with('/');
    entry = archive_entry(archive, parts.size() == wanted.size() ? i : -1, url.text, folder);
    exists = folder ? 2 : 1;
    if (parts.size() == wanted.size()) break;  // the entry itself beats one that only implies it
  }
  return std::nullopt;
}

std::unique_ptr<InputSource> open_zip(const UrlParts& url, CoreFailure& failure) {
  auto archive = std::make_unique<Archive>();
  if (!archive->open(url, failure)) return nullptr;
  const std::vector<std::string> wanted = name_segments(url.path);
  const int64_t count = archive->count();
  int64_t index = -1;
  for (int64_t i = 0; i < count && index < 0; ++i) {
    const char* raw = archive->name(i);
    if (raw && !std::string_view(raw).ends_with('/') && name_segments(raw) == wanted) index = i;
  }
  if (index < 0) {
    failure = {NEXAL_ERROR_IO, "cannot open " + url.text + ": no such file in the archive"};
    return nullptr;
  }
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive->get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
      !(stat.valid & ZIP_STAT_SIZE)) {
    failure = {NEXAL_ERROR_IO, "cannot open " + url.text + ": " + zip_strerror(archive->get())};
    return nullptr;
  }
  zip_file_t* file = zip_fopen_index(archive->get(), static_cast<zip_uint64_t>(index), 0);
  if (!file) {
    failure = {NEXAL_ERROR_IO, "cannot open " + url.text + ": " + zip_strerror(archive->get())};
    return nullptr;
  }
  return std::make_unique<ZipSource>(std::move(archive), file, static_cast<int64_t>(stat.size));
}

}  // namespace zorhost
