#include "exif.h"

#include <utility>

#include "hostcalls.h"
#include "object.h"

namespace nexal {

DataDictionary::DataDictionary(DataDictionary&& other) noexcept
    : dictionary_(std::exchange(other.dictionary_, nullptr)) {}

DataDictionary& DataDictionary::operator=(DataDictionary&& other) noexcept {
  if (this != &other) {
    DataDictionary discarded(std::move(*this));
    dictionary_ = std::exchange(other.dictionary_, nullptr);
  }
  return *this;
}

DataDictionary::~DataDictionary() {
  if (dictionary_ != nullptr && dictionary_->methods->release != nullptr)
    dictionary_->methods->release(dictionary_);
}

int32_t DataDictionary::GetCount() const {
  return dictionary_ != nullptr && dictionary_->methods->count != nullptr
             ? dictionary_->methods->count(dictionary_)
             : 0;
}

std::string DataDictionary::GetKey(int32_t index) const {
  if (index < 0 || index >= GetCount() || dictionary_->methods->key == nullptr) return {};
  const char* key = dictionary_->methods->key(dictionary_, index);
  return key != nullptr ? std::string(key) : std::string();
}

std::string DataDictionary::GetValue(int32_t index) const {
  if (index < 0 || index >= GetCount() || dictionary_->methods->value == nullptr) return {};
  const char* value = dictionary_->methods->value(dictionary_, index);
  return value != nullptr ? std::string(value) : std::string();
}

std::string DataDictionary::Find(std::string_view key) const {
  const int32_t count = GetCount();
  for (int32_t i = 0; i < count; ++i)
    if (GetKey(i) == key) return GetValue(i);
  return {};
}

std::string DataDictionary::ToText() const {
  if (dictionary_ == nullptr) return "null";
  if (dictionary_->methods->text == nullptr) return {};
  return detail::TakeText(dictionary_->methods->text(dictionary_));
}

ExifReader::ExifReader(ExifReader&& other) noexcept : exif_(std::exchange(other.exif_, nullptr)) {}

ExifReader& ExifReader::operator=(ExifReader&& other) noexcept {
  if (this != &other) {
    ExifReader discarded(std::move(*this));
    exif_ = std::exchange(other.exif_, nullptr);
  }
  return *this;
}

ExifReader::~ExifReader() {
  if (exif_ != nullptr && exif_->methods->release != nullptr) exif_->methods->release(exif_);
}

Error ExifReader::Open(const Url& url, ExifReader* reader) {
  if (reader == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no Exif reader to open");
  *reader = ExifReader();
  const NexalUrlInterface* interface = detail::UrlInterface();
  if (interface == nullptr || interface->exif_open == nullptr) return detail::Unavailable(NEXAL_URL_ID);
  if (!detail::ObjectInterfaceResolved(static_cast<int32_t>(Ref::Exif)))
    return detail::Unavailable(NEXAL_EXIF_ID);
  NexalExif* exif = nullptr;
  Error error(interface->exif_open(url.GetText().c_str(), &exif));
  if (error || exif == nullptr || exif->methods == nullptr) {
    if (exif != nullptr && exif->methods != nullptr && exif->methods->release != nullptr)
      exif->methods->release(exif);
    return error ? std::move(error)
                 : Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "the host answered no Exif reader");
  }
  reader->exif_ = exif;
  return Error();
}

Error ExifReader::GetMetadata(DataDictionary* metadata) const {
  if (metadata == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no dictionary to read into");
  *metadata = DataDictionary();
  if (exif_ == nullptr || exif_->methods->metadata == nullptr)
    return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "the Exif reader is not open");
  NexalDictionary* dictionary = nullptr;
  Error error(exif_->methods->metadata(exif_, &dictionary));
  if (error) {
    if (dictionary != nullptr && dictionary->methods != nullptr && dictionary->methods->release != nullptr)
      dictionary->methods->release(dictionary);
    return error;
  }
  if (dictionary != nullptr && dictionary->methods == nullptr)
    return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "a dictionary without methods");
  metadata->dictionary_ = dictionary;
  return Error();
}

}  // namespace nexal
