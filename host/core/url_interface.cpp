#include "core/url_interface.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/entry_guard.h"
#include "core/core_error.h"
#include "core/io_handlers.h"
#include "core/url_text.h"
#include "files/path_text.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {

struct HostText : NexalText {
  std::string value;
};

struct HostIoBrowse : NexalIoBrowse {
  std::vector<IoEntry> entries;
  size_t at = 0;
};

struct HostInputStream : NexalInputStream {
  std::unique_ptr<InputSource> source;
};

void release_text(NexalText* text) {
  guarded_void("nexal.Text.release",
               [&] { delete_tracked(ObjectKind::CoreText, static_cast<HostText*>(text)); });
}

NexalError* failure_error(const CoreFailure& failure) {
  return make_core_error(failure.error_class, failure.message);
}

NexalError* null_argument(const char* what) {
  return make_core_error(NEXAL_ERROR_NULL_POINTER, std::string("no ") + what);
}

// A text operation on one URL: null for a null URL.
template <class Body>
NexalText* text_of(const char* label, const char* url, Body&& body) {
  return guarded(label, static_cast<NexalText*>(nullptr), [&]() -> NexalText* {
    if (!url) return nullptr;
    return make_core_text(body(parse_url(url)));
  });
}

// ---- the iterator ----

const HostIoBrowse* as_browse(const NexalIoBrowse* browse) {
  return static_cast<const HostIoBrowse*>(browse);
}

const IoEntry* current(const NexalIoBrowse* browse) {
  const HostIoBrowse* b = as_browse(browse);
  return b && b->at < b->entries.size() ? &b->entries[b->at] : nullptr;
}

int32_t browse_has_entry(const NexalIoBrowse* browse) {
  return guarded("nexal.IoBrowse.has_entry", int32_t{0}, [&] { return current(browse) ? 1 : 0; });
}

NexalError* browse_next(NexalIoBrowse* browse) {
  return guarded("nexal.IoBrowse.next", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!browse) return null_argument("iterator");
    auto* b = static_cast<HostIoBrowse*>(browse);
    if (b->at >= b->entries.size())
      return make_core_error(NEXAL_ERROR_ILLEGAL_STATE, "the listing has ended");
    ++b->at;
    return nullptr;
  });
}

const char* browse_url(const NexalIoBrowse* browse) {
  return guarded("nexal.IoBrowse.url", static_cast<const char*>(nullptr), [&]() -> const char* {
    const IoEntry* entry = current(browse);
    return entry ? entry->url.c_str() : nullptr;
  });
}

const char* browse_alternate(const NexalIoBrowse* browse) {
  return guarded("nexal.IoBrowse.alternate", static_cast<const char*>(nullptr), [&]() -> const char* {
    const IoEntry* entry = current(browse);
    return entry ? entry->alternate.c_str() : nullptr;
  });
}

uint32_t browse_attributes(const NexalIoBrowse* browse) {
  return guarded("nexal.IoBrowse.attributes", uint32_t{0}, [&] {
    const IoEntry* entry = current(browse);
    return entry ? entry->attributes : 0u;
  });
}

int64_t browse_size(const NexalIoBrowse* browse) {
  return guarded("nexal.IoBrowse.size", int64_t{-1}, [&] {
    const IoEntry* entry = current(browse);
    return entry ? entry->size : int64_t{-1};
  });
}

NexalError* entry_time(const NexalIoBrowse* browse, NexalDateTime* time, bool created) {
  if (!time) return null_argument("time to read into");
  const IoEntry* entry = current(browse);
  if (!entry) return make_core_error(NEXAL_ERROR_ILLEGAL_STATE, "the iterator has no current entry");
  const std::string& error = created ? entry->created_error : entry->modified_error;
  if (!error.empty()) return make_core_error(NEXAL_ERROR_UNSUPPORTED, error);
  *time = created ? entry->created : entry->modified;
  return nullptr;
}

NexalError* browse_modified(const NexalIoBrowse* browse, NexalDateTime* time) {
  return guarded("nexal.IoBrowse.modified", static_cast<NexalError*>(nullptr),
                 [&] { return entry_time(browse, time, false); });
}

NexalError* browse_created(const NexalIoBrowse* browse, NexalDateTime* time) {
  return guarded("nexal.IoBrowse.created", static_cast<NexalError*>(nullptr),
                 [&] { return entry_time(browse, time, true); });
}

void browse_release(NexalIoBrowse* browse) {
  guarded_void("nexal.IoBrowse.release",
               [&] { delete_tracked(ObjectKind::IoIterator, static_cast<HostIoBrowse*>(browse)); });
}

const NexalIoBrowseInterface kBrowseInterface{browse_has_entry, browse_next,       browse_url,
                                              browse_alternate, browse_attributes, browse_size,
                                              browse_modified,  browse_created,    browse_release};

// ---- the input stream ----

NexalError* stream_length(NexalInputStream* stream, int64_t* length) {
  return guarded("nexal.InputStream.length", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!stream || !length) return null_argument("stream or length");
    *length = static_cast<HostInputStream*>(stream)->source->length();
    return nullptr;
  });
}

NexalError* stream_available(NexalInputStream* stream, int64_t* count) {
  return guarded("nexal.InputStream.available", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!stream || !count) return null_argument("stream or count");
    const InputSource& source = *static_cast<HostInputStream*>(stream)->source;
    *count = std::max<int64_t>(0, source.length() - source.position());
    return nullptr;
  });
}

NexalError* stream_read(NexalInputStream* stream, void* into, int64_t count) {
  return guarded("nexal.InputStream.read", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!stream || (!into && count != 0)) return null_argument("stream or memory to read into");
    if (count < 0) return make_core_error(NEXAL_ERROR_ILLEGAL_ARGUMENT, "a negative number of bytes to read");
    std::string cause;
    const int64_t read =
        static_cast<HostInputStream*>(stream)->source->read(static_cast<char*>(into), count, &cause);
    if (read == count) return nullptr;
    return make_core_error(NEXAL_ERROR_IO, short_read_message(read, count));
  });
}

void stream_close(NexalInputStream* stream) {
  guarded_void("nexal.InputStream.close",
               [&] { delete_tracked(ObjectKind::InputStream, static_cast<HostInputStream*>(stream)); });
}

const NexalInputStreamInterface kStreamInterface{stream_length, stream_available, stream_read, stream_close};

// ---- errors ----

const char* error_class_name(int32_t error_class) {
  switch (error_class) {
    case NEXAL_ERROR_IO:
      return "I/O error";
    case NEXAL_ERROR_ILLEGAL_ARGUMENT:
      return "illegal argument";
    case NEXAL_ERROR_OUT_OF_MEMORY:
      return "out of memory";
    case NEXAL_ERROR_UNSUPPORTED:
      return "unsupported";
    case NEXAL_ERROR_NULL_POINTER:
      return "null pointer";
    case NEXAL_ERROR_ILLEGAL_STATE:
      return "illegal state";
    default:
      return "error";
  }
}

const char* error_interface_class_name(int32_t error_class) {
  return guarded("nexal.Error.class_name", static_cast<const char*>(nullptr),
                 [&] { return error_class_name(error_class); });
}

NexalError* error_make(int32_t error_class, const char* message) {
  return guarded("nexal.Error.make", static_cast<NexalError*>(nullptr),
                 [&] { return make_core_error(error_class, message ? message : ""); });
}

const NexalErrorInterface kErrorInterface{error_interface_class_name, error_make};

// ---- the URL interface ----

NexalText* url_from_path(const char* path) {
  return guarded("nexal.Url.from_path", static_cast<NexalText*>(nullptr), [&]() -> NexalText* {
    if (!path) return nullptr;
    std::string absolute = path;
    if (!absolute.starts_with('/') && !has_drive(absolute)) {
      std::error_code ignored;
      absolute = (std::filesystem::current_path(ignored) / absolute).string();
    }
    return make_core_text(file_url(absolute));
  });
}

NexalText* url_parse(const char* text) {
  return text_of("nexal.Url.parse", text, [](const UrlParts& url) { return url.text; });
}

NexalText* url_handlers() {
  return guarded("nexal.Url.handlers", static_cast<NexalText*>(nullptr),
                 [] { return make_core_text("handler://"); });
}

NexalText* url_wrap(const char* scheme, const char* inner) {
  return guarded("nexal.Url.wrap", static_cast<NexalText*>(nullptr), [&]() -> NexalText* {
    if (!scheme || !inner) return nullptr;
    const UrlParts archive = parse_url(inner);
    if (std::string_view(scheme) != "zip" ||
        (archive.kind != UrlParts::Kind::File && archive.kind != UrlParts::Kind::Zip)) {
      // not something the host can open as an archive: the text says so when it is used
      return make_core_text(std::string(scheme) + "://" + inner);
    }
    return make_core_text(zip_url(archive.text, ""));
  });
}

NexalText* url_append_name(const char* url, const char* name) {
  return text_of("nexal.Url.append", url,
                 [&](const UrlParts& parts) { return url_append(parts, name ? name : ""); });
}

NexalText* url_set_suffix(const char* url, const char* suffix) {
  return text_of("nexal.Url.set_suffix", url,
                 [&](const UrlParts& parts) { return url_with_suffix(parts, suffix ? suffix : ""); });
}

NexalText* url_scheme(const char* url) {
  return text_of("nexal.Url.scheme", url, [](const UrlParts& parts) { return parts.scheme; });
}

NexalText* url_path(const char* url) {
  return text_of("nexal.Url.path", url, [](const UrlParts& parts) {
    return parts.kind == UrlParts::Kind::SchemeRoot && parts.scheme == "file" ? std::string("/") : parts.path;
  });
}

NexalText* url_name_of(const char* url) {
  return text_of("nexal.Url.name", url, [](const UrlParts& parts) { return url_name(parts); });
}

NexalText* url_suffix_of(const char* url) {
  return text_of("nexal.Url.suffix", url, [](const UrlParts& parts) { return url_suffix(parts); });
}

NexalText* url_inner(const char* url) {
  return text_of("nexal.Url.inner", url, [](const UrlParts& parts) { return parts.inner; });
}

NexalText* url_directory_of(const char* url) {
  return text_of("nexal.Url.directory", url, [](const UrlParts& parts) { return url_directory(parts); });
}

int32_t url_parent_of(const char* url, NexalText** parent) {
  return guarded("nexal.Url.parent", int32_t{0}, [&]() -> int32_t {
    if (parent) *parent = nullptr;
    if (!url || !parent) return 0;
    const std::optional<std::string> found = url_parent(parse_url(url));
    if (!found) return 0;
    *parent = make_core_text(*found);
    return 1;
  });
}

int32_t url_is_root_of(const char* url) {
  return guarded("nexal.Url.is_root", int32_t{0}, [&] { return url && url_is_root(parse_url(url)) ? 1 : 0; });
}

int32_t url_equal(const char* a, const char* b) {
  return guarded("nexal.Url.equal", int32_t{0},
                 [&] { return a && b && parse_url(a).text == parse_url(b).text ? 1 : 0; });
}

int32_t url_compare(const char* a, const char* b) {
  return guarded("nexal.Url.compare", int32_t{0}, [&] {
    return compare_text(a ? parse_url(a).text : std::string(), b ? parse_url(b).text : std::string(), 0);
  });
}

int32_t url_has_handler(const char* scheme) {
  return guarded("nexal.Url.has_handler", int32_t{0}, [&] {
    return scheme && (serves_scheme(scheme) || std::string_view(scheme) == "handler") ? 1 : 0;
  });
}

NexalError* url_system_path(const char* url, NexalText** path) {
  return guarded("nexal.Url.system_path", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (path) *path = nullptr;
    if (!url || !path) return null_argument("URL or path");
    const UrlParts parts = parse_url(url);
    if (parts.kind == UrlParts::Kind::SchemeRoot && parts.scheme == "file") {
      *path = make_core_text("/");
    } else if (parts.kind == UrlParts::Kind::File) {
      *path = make_core_text(parts.path);
    } else {
      return make_core_error(NEXAL_ERROR_UNSUPPORTED,
                             std::string(url) + " is not a location of the file system");
    }
    return nullptr;
  });
}

NexalError* url_browse(const char* url, int32_t /*flags*/, NexalIoBrowse** browse) {
  return guarded("nexal.Url.browse", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (browse) *browse = nullptr;
    if (!url || !browse) return null_argument("URL or iterator");
    auto made = std::make_unique<HostIoBrowse>();
    made->methods = &kBrowseInterface;
    if (const std::optional<CoreFailure> failure = list_url(parse_url(url), made->entries)) {
      // The module's browser lists nothing then and says nothing, as its rules want; the person who
      // typed the location learns why from the host.
      std::fprintf(stderr, "zorhost: cannot list %s: %s\n", url, failure->message.c_str());
      return failure_error(*failure);
    }
    *browse = tracked(ObjectKind::IoIterator, made.release());
    return nullptr;
  });
}

NexalError* url_open_input(const char* url, NexalInputStream** stream) {
  return guarded("nexal.Url.open_input", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (stream) *stream = nullptr;
    if (!url || !stream) return null_argument("URL or stream");
    CoreFailure failure;
    std::unique_ptr<InputSource> source = open_url(parse_url(url), failure);
    if (!source) return failure_error(failure);
    auto* made = new HostInputStream;
    made->methods = &kStreamInterface;
    made->source = std::move(source);
    *stream = tracked(ObjectKind::InputStream, made);
    return nullptr;
  });
}

// A property of one location, read through its description.
template <class Body>
NexalError* described(const char* label, const char* url, void* out, Body&& body) {
  return guarded(label, static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!url || !out) return null_argument("URL or result");
    const UrlParts parts = parse_url(url);
    IoEntry entry;
    int32_t exists = 0;
    if (const std::optional<CoreFailure> failure = describe_url(parts, entry, exists))
      return failure_error(*failure);
    return body(parts, entry, exists);
  });
}

NexalError* no_such(const UrlParts& url) {
  return make_core_error(NEXAL_ERROR_IO, url.text + ": no such file or folder");
}

NexalError* url_exists(const char* url, int32_t* exists) {
  return described("nexal.Url.exists", url, exists, [&](const UrlParts&, const IoEntry&, int32_t found) {
    *exists = found;
    return static_cast<NexalError*>(nullptr);
  });
}

NexalError* url_attributes(const char* url, uint32_t* attributes) {
  return described("nexal.Url.attributes", url, attributes,
                   [&](const UrlParts& parts, const IoEntry& entry, int32_t found) -> NexalError* {
                     if (!found) return no_such(parts);
                     *attributes = entry.attributes;
                     return nullptr;
                   });
}

NexalError* url_size(const char* url, int64_t* size) {
  return described("nexal.Url.size", url, size,
                   [&](const UrlParts& parts, const IoEntry& entry, int32_t found) -> NexalError* {
                     if (!found) return no_such(parts);
                     *size = entry.size;
                     return nullptr;
                   });
}

NexalError* url_time(const char* label, const char* url, NexalDateTime* time, bool created) {
  return described(label, url, time,
                   [&](const UrlParts& parts, const IoEntry& entry, int32_t found) -> NexalError* {
                     if (!found) return no_such(parts);
                     const std::string& error = created ? entry.created_error : entry.modified_error;
                     if (!error.empty()) return make_core_error(NEXAL_ERROR_UNSUPPORTED, error);
                     *time = created ? entry.created : entry.modified;
                     return nullptr;
                   });
}

NexalError* url_modified(const char* url, NexalDateTime* time) {
  return url_time("nexal.Url.modified", url, time, false);
}

NexalError* url_created(const char* url, NexalDateTime* time) {
  return url_time("nexal.Url.created", url, time, true);
}

int32_t url_compare_text(const char* a, int64_t a_length, const char* b, int64_t b_length, int32_t mode) {
  return guarded("nexal.Url.compare_text", int32_t{0}, [&] {
    const std::string_view left = a && a_length > 0 ? std::string_view(a, static_cast<size_t>(a_length)) : "";
    const std::string_view right =
        b && b_length > 0 ? std::string_view(b, static_cast<size_t>(b_length)) : "";
    return compare_text(left, right, mode);
  });
}

NexalText* url_escape(const char* text, int64_t length) {
  return guarded("nexal.Url.escape", static_cast<NexalText*>(nullptr), [&]() -> NexalText* {
    if (!text && length != 0) return nullptr;
    return make_core_text(escape_url_path(
        std::string_view(text ? text : "", static_cast<size_t>(std::max<int64_t>(length, 0)))));
  });
}

NexalText* url_unescape(const char* text, int64_t length) {
  return guarded("nexal.Url.unescape", static_cast<NexalText*>(nullptr), [&]() -> NexalText* {
    if (!text && length != 0) return nullptr;
    const std::string_view given(text ? text : "", static_cast<size_t>(std::max<int64_t>(length, 0)));
    return make_core_text(unescape_url_path(given).value_or(std::string(given)));
  });
}

NexalError* url_read_all(const char* url, int64_t limit, NexalText** content) {
  return guarded("nexal.Url.read_all", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (content) *content = nullptr;
    if (!url || !content) return null_argument("URL or content");
    std::string bytes;
    if (const std::optional<CoreFailure> failure =
            read_url(parse_url(url), std::max<int64_t>(limit, 0), bytes))
      return failure_error(*failure);
    *content = make_core_text(std::move(bytes));
    return nullptr;
  });
}

NexalText* url_root_of(const char* url) {
  return text_of("nexal.Url.root", url, [](const UrlParts& parts) { return url_root(parts); });
}

std::string two(int value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

NexalText* url_format_time(const NexalDateTime* time) {
  return guarded("nexal.Url.format_time", static_cast<NexalText*>(nullptr), [&]() -> NexalText* {
    if (!time) return nullptr;
    if (time->year == 0 && time->month == 0 && time->day == 0 && time->hour == 0 && time->minute == 0 &&
        time->second == 0)
      return make_core_text("");
    return make_core_text(std::to_string(time->year) + "-" + two(time->month) + "-" + two(time->day) + " " +
                          two(time->hour) + ":" + two(time->minute) + ":" + two(time->second));
  });
}

int32_t url_compare_time(const NexalDateTime* a, const NexalDateTime* b) {
  return guarded("nexal.Url.compare_time", int32_t{0}, [&] {
    const NexalDateTime zero{};
    const NexalDateTime& l = a ? *a : zero;
    const NexalDateTime& r = b ? *b : zero;
    const int64_t left[] = {l.year, l.month, l.day, l.hour, l.minute, l.second};
    const int64_t right[] = {r.year, r.month, r.day, r.hour, r.minute, r.second};
    for (int i = 0; i < 6; ++i)
      if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    return 0;
  });
}

void url_now(NexalDateTime* time) {
  guarded_void("nexal.Url.now", [&] {
    if (time) *time = local_date_time(static_cast<int64_t>(std::time(nullptr)));
  });
}

NexalText* url_display_of(const char* url) {
  return text_of("nexal.Url.display", url, [](const UrlParts& parts) { return url_display(parts); });
}

NexalError* url_exif_open(const char* url, NexalExif** exif) {
  return guarded("nexal.Url.exif_open", static_cast<NexalError*>(nullptr),
                 [&] { return exif_open(url, exif); });
}

const NexalUrlInterface kUrlInterface{
    url_from_path, url_parse,        url_handlers,     url_wrap,       url_append_name, url_set_suffix,
    url_scheme,    url_path,         url_name_of,      url_suffix_of,  url_inner,       url_directory_of,
    url_parent_of, url_is_root_of,   url_equal,        url_compare,    url_has_handler, url_system_path,
    url_browse,    url_open_input,   url_exists,       url_attributes, url_size,        url_modified,
    url_created,   url_compare_text, url_exif_open,    url_escape,     url_unescape,    url_read_all,
    url_root_of,   url_format_time,  url_compare_time, url_now,        url_display_of};

}  // namespace

NexalText* make_core_text(std::string value) {
  auto* text = new HostText;
  text->value = std::move(value);
  text->text = text->value.c_str();
  text->length = static_cast<int64_t>(text->value.size());
  text->release = release_text;
  return tracked(ObjectKind::CoreText, text);
}

const NexalUrlInterface* url_interface() {
  return &kUrlInterface;
}
const NexalIoBrowseInterface* io_browse_interface() {
  return &kBrowseInterface;
}
const NexalInputStreamInterface* input_stream_interface() {
  return &kStreamInterface;
}
const NexalErrorInterface* error_interface() {
  return &kErrorInterface;
}

}  // namespace zorhost
