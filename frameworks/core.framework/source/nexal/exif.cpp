#include "exif.h"

#include <utility>

#include "hostcalls.h"
#include "object.h"

namespace nexal {

DataDictionary::DataDictionary(DataDictionary&& other) noexcept
    : _dictionary(std::exchange(other._dictionary, nullptr)) {}

DataDictionary& DataDictionary::operator=(DataDictionary&& other) noexcept {
  if (this != &other) {
    DataDictionary discarded(std::move(*this));
    _dictionary = std::exchange(other._dictionary, nullptr);
  }
  return *this;
}

DataDictionary::~DataDictionary() {
  if (_dictionary != nullptr && _dictionary->methods->release != nullptr)
    _dictionary->methods->release(_dictionary);
}

int32_t DataDictionary::GetCount() const {
  return _dictionary != nullptr && _dictionary->methods->count != nullptr
             ? _dictionary->methods->count(_dictionary)
             : 0;
}

std::string DataDictionary::GetKey(int32_t index) const {
  if (index < 0 || index >= GetCount() || _dictionary->methods->key == nullptr) return {};
  const char* key = _dictionary->methods->key(_dictionary, index);
  return key != nullptr ? std::string(key) : std::string();
}

std::string DataDictionary::GetValue(int32_t index) const {
  if (index < 0 || index >= GetCount() || _dictionary->methods->value == nullptr) return {};
  const char* value = _dictionary->methods->value(_dictionary, index);
  return value != nullptr ? std::string(value) : std::string();
}

std::string DataDictionary::Find(std::string_view key) const {
  const int32_t count = GetCount();
  for (int32_t i = 0; i < count; ++i)
    if (GetKey(i) == key) return GetValue(i);
  return {};
}

std::string DataDictionary::ToText() const {
  if (_dictionary == nullptr) return "null";
  if (_dictionary->methods->text == nullptr) return {};
  return detail::TakeText(_dictionary->methods->text(_dictionary));
}

ExifReader::ExifReader(ExifReader&& other) noexcept : _exif(std::exchange(other._exif, nullptr)) {}

ExifReader& ExifReader::operator=(ExifReader&& other) noexcept {
  if (this != &other) {
    ExifReader discarded(std::move(*this));
    _exif = std::exchange(other._exif, nullptr);
  }
  return *this;
}

ExifReader::~ExifReader() {
  if (_exif != nullptr && _exif->methods->release != nullptr) _exif->methods->release(_exif);
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
  reader->_exif = exif;
  return Error();
}

Error ExifReader::GetMetadata(DataDictionary* metadata) const {
  if (metadata == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no dictionary to read into");
  *metadata = DataDictionary();
  if (_exif == nullptr || _exif->methods->metadata == nullptr)
    return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "the Exif reader is not open");
  NexalDictionary* dictionary = nullptr;
  Error error(_exif->methods->metadata(_exif, &dictionary));
  if (error) {
    if (dictionary != nullptr && dictionary->methods != nullptr && dictionary->methods->release != nullptr)
      dictionary->methods->release(dictionary);
    return error;
  }
  if (dictionary != nullptr && dictionary->methods == nullptr)
    return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "a dictionary without methods");
  metadata->_dictionary = dictionary;
  return Error();
}

}  // namespace nexal
