// "nexal.ExifInterface#1": the Exif block of an image, read with libexif from any URL the I/O handlers
// serve. The reader keeps the tags as libexif reports them, without the fixes libexif would otherwise
// make to follow the standard (those would invent values the file does not hold).
#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>

#include <memory>
#include <vector>

#include "app/entry_guard.h"
#include "core/core_error.h"
#include "core/io_handlers.h"
#include "core/url_interface.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {

// libexif finds the block in the first part of a JPEG; it stops asking for bytes once it has it.
constexpr int64_t kChunk = 64 * 1024;
// A tag's text is cut here; maker notes and embedded blobs are not worth more.
constexpr unsigned kMaxValueText = 1024;

struct HostDictionary : NexalDictionary {
  std::vector<std::pair<std::string, std::string>> entries;
};

struct HostExif : NexalExif {
  std::vector<std::pair<std::string, std::string>> tags;
  bool found = false;
  std::string url;
};

const char* ifd_title(ExifIfd ifd) {
  switch (ifd) {
    case EXIF_IFD_0:
      return "Image";
    case EXIF_IFD_1:
      return "Thumbnail";
    case EXIF_IFD_EXIF:
      return "EXIF";
    case EXIF_IFD_GPS:
      return "GPS";
    case EXIF_IFD_INTEROPERABILITY:
      return "Interoperability";
    default:
      return "Other";
  }
}

struct LoaderFree {
  void operator()(ExifLoader* loader) const { exif_loader_unref(loader); }
};
struct DataFree {
  void operator()(ExifData* data) const { exif_data_unref(data); }
};

int32_t dictionary_count(const NexalDictionary* dictionary) {
  return guarded("nexal.Dictionary.count", int32_t{0}, [&] {
    return dictionary ? static_cast<int32_t>(static_cast<const HostDictionary*>(dictionary)->entries.size())
                      : 0;
  });
}

const std::pair<std::string, std::string>* entry_at(const NexalDictionary* dictionary, int32_t index) {
  if (!dictionary || index < 0) return nullptr;
  const auto& entries = static_cast<const HostDictionary*>(dictionary)->entries;
  return static_cast<size_t>(index) < entries.size() ? &entries[static_cast<size_t>(index)] : nullptr;
}

const char* dictionary_key(const NexalDictionary* dictionary, int32_t index) {
  return guarded("nexal.Dictionary.key", static_cast<const char*>(nullptr), [&]() -> const char* {
    const auto* entry = entry_at(dictionary, index);
    return entry ? entry->first.c_str() : nullptr;
  });
}

const char* dictionary_value(const NexalDictionary* dictionary, int32_t index) {
  return guarded("nexal.Dictionary.value", static_cast<const char*>(nullptr), [&]() -> const char* {
    const auto* entry = entry_at(dictionary, index);
    return entry ? entry->second.c_str() : nullptr;
  });
}

NexalText* dictionary_text(const NexalDictionary* dictionary) {
  return guarded("nexal.Dictionary.text", static_cast<NexalText*>(nullptr), [&]() -> NexalText* {
    if (!dictionary) return nullptr;
    std::string text;
    for (const auto& [key, value] : static_cast<const HostDictionary*>(dictionary)->entries) {
      if (!text.empty()) text += '\n';
      text += key + ": " + value;
    }
    return make_core_text(std::move(text));
  });
}

void dictionary_release(NexalDictionary* dictionary) {
  guarded_void("nexal.Dictionary.release",
               [&] { delete_tracked(ObjectKind::Dictionary, static_cast<HostDictionary*>(dictionary)); });
}

const NexalDictionaryInterface kDictionaryInterface{dictionary_count, dictionary_key, dictionary_value,
                                                    dictionary_text, dictionary_release};

NexalError* exif_metadata(const NexalExif* exif, NexalDictionary** dictionary) {
  return guarded("nexal.Exif.metadata", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (dictionary) *dictionary = nullptr;
    if (!exif || !dictionary)
      return make_core_error(NEXAL_ERROR_NULL_POINTER, "no Exif reader or dictionary");
    const auto* reader = static_cast<const HostExif*>(exif);
    if (!reader->found) return make_core_error(NEXAL_ERROR_UNSUPPORTED, "no Exif data in " + reader->url);
    auto* made = new HostDictionary;
    made->methods = &kDictionaryInterface;
    made->entries = reader->tags;
    *dictionary = tracked(ObjectKind::Dictionary, made);
    return nullptr;
  });
}

void exif_release(NexalExif* exif) {
  guarded_void("nexal.Exif.release",
               [&] { delete_tracked(ObjectKind::ExifReader, static_cast<HostExif*>(exif)); });
}

const NexalExifInterface kExifInterface{exif_metadata, exif_release};

// The block's tags in IFD order, as "<IFD> <tag name>" and libexif's text of the value.
void collect_tags(ExifData* data, std::vector<std::pair<std::string, std::string>>& tags) {
  for (int ifd = 0; ifd < EXIF_IFD_COUNT; ++ifd) {
    ExifContent* content = data->ifd[ifd];
    if (!content) continue;
    for (unsigned i = 0; i < content->count; ++i) {
      ExifEntry* entry = content->entries[i];
      if (!entry) continue;
      const char* name = exif_tag_get_name_in_ifd(entry->tag, static_cast<ExifIfd>(ifd));
      char value[kMaxValueText] = {};
      exif_entry_get_value(entry, value, sizeof value);
      const std::string key = std::string(ifd_title(static_cast<ExifIfd>(ifd))) + " " +
                              (name ? name : "Tag" + std::to_string(entry->tag));
      tags.emplace_back(key, value);
    }
  }
}

}  // namespace

const NexalExifInterface* exif_interface() {
  return &kExifInterface;
}

NexalError* exif_open(const char* url, NexalExif** exif) {
  if (exif) *exif = nullptr;
  if (!url || !exif) return make_core_error(NEXAL_ERROR_NULL_POINTER, "no URL or Exif reader");
  const UrlParts parts = parse_url(url);
  CoreFailure failure;
  const std::unique_ptr<InputSource> source = open_url(parts, failure);
  if (!source) return make_core_error(failure.error_class, failure.message);

  std::unique_ptr<ExifLoader, LoaderFree> loader(exif_loader_new());
  if (!loader) return make_core_error(NEXAL_ERROR_OUT_OF_MEMORY, "no memory for an Exif reader");
  std::vector<unsigned char> chunk(kChunk);
  for (;;) {
    std::string cause;
    const int64_t asked = std::min<int64_t>(kChunk, source->length() - source->position());
    if (asked <= 0) break;
    const int64_t read = source->read(reinterpret_cast<char*>(chunk.data()), asked, &cause);
    if (read != asked) return make_core_error(NEXAL_ERROR_IO, short_read_message(read, asked));
    if (!exif_loader_write(loader.get(), chunk.data(), static_cast<unsigned>(read))) break;
  }

  auto made = std::make_unique<HostExif>();
  made->methods = &kExifInterface;
  made->url = parts.text;
  const unsigned char* block = nullptr;
  unsigned int size = 0;
  exif_loader_get_buf(loader.get(), &block, &size);
  if (block && size > 0) {
    std::unique_ptr<ExifData, DataFree> data(exif_data_new());
    if (!data) return make_core_error(NEXAL_ERROR_OUT_OF_MEMORY, "no memory for Exif data");
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data.get(), block, size);
    collect_tags(data.get(), made->tags);
    made->found = !made->tags.empty();
  }
  *exif = tracked(ObjectKind::ExifReader, made.release());
  return nullptr;
}

}  // namespace zorhost
