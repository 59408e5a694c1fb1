// Image metadata through the host's Exif reader ("nexal.ExifInterface#1"): the reader is made for a URL
// and answers a dictionary of the tags it found.
#pragma once
#include <cstdint>
#include <string>

#include "error.h"
#include "nexal_records.h"
#include "url.h"

namespace nexal {

// A key-value dictionary the host made; null (IsNull) until a reader fills it. Move-only.
class DataDictionary {
 public:
  DataDictionary() = default;
  DataDictionary(DataDictionary&& other) noexcept;
  DataDictionary& operator=(DataDictionary&& other) noexcept;
  DataDictionary(const DataDictionary&) = delete;
  DataDictionary& operator=(const DataDictionary&) = delete;
  ~DataDictionary();

  bool IsNull() const { return dictionary_ == nullptr; }
  int32_t GetCount() const;
  std::string GetKey(int32_t index) const;       // "" past the end
  std::string GetValue(int32_t index) const;     // "" past the end
  std::string Find(std::string_view key) const;  // the first value under key, "" when absent
  // One line "key: value" per entry joined with "\n"; "null" for a null dictionary.
  std::string ToText() const;

 private:
  friend class ExifReader;
  NexalDictionary* dictionary_ = nullptr;
};

class ExifReader {
 public:
  ExifReader() = default;
  ExifReader(ExifReader&& other) noexcept;
  ExifReader& operator=(ExifReader&& other) noexcept;
  ExifReader(const ExifReader&) = delete;
  ExifReader& operator=(const ExifReader&) = delete;
  ~ExifReader();

  // Reads the Exif block of the image at url; an error when the file cannot be read.
  static Error Open(const Url& url, ExifReader* reader);
  // An error when the image has no Exif data (or the reader was never opened).
  Error GetMetadata(DataDictionary* metadata) const;

 private:
  NexalExif* exif_ = nullptr;
};

}  // namespace nexal
