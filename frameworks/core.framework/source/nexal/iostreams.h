// Listing and reading through the host's I/O handlers: the browse iterator over one level of a URL and
// the input stream of one URL. Both own a host object and give it back when they go; both are move-only.
#pragma once
#include <cstdint>
#include <string>

#include "error.h"
#include "nexal_records.h"
#include "url.h"

namespace nexal {

struct DateTime {
  int32_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

enum IoAttribute : uint32_t {
  kIoFolder = NEXAL_IO_FOLDER,
  kIoBundle = NEXAL_IO_BUNDLE,
  kIoReadOnly = NEXAL_IO_READ_ONLY,
  kIoHidden = NEXAL_IO_HIDDEN,
  kIoRevision = NEXAL_IO_REVISION,
  kIoDeleted = NEXAL_IO_DELETED
};

class IoBrowse {
 public:
  IoBrowse() = default;
  IoBrowse(IoBrowse&& other) noexcept;
  IoBrowse& operator=(IoBrowse&& other) noexcept;
  IoBrowse(const IoBrowse&) = delete;
  IoBrowse& operator=(const IoBrowse&) = delete;
  ~IoBrowse();

  bool HasEntry() const;  // false when empty, at the end, or never opened
  Error Next();
  Url GetUrl() const;
  std::string GetAlternate() const;  // may be empty
  uint32_t GetAttributes() const;    // IoAttribute bits
  int64_t GetSize() const;           // -1 for folders and when unknown
  Error GetModified(DateTime* time) const;
  Error GetCreated(DateTime* time) const;

 private:
  friend class Url;
  explicit IoBrowse(NexalIoBrowse* browse) : browse_(browse) {}
  NexalIoBrowse* browse_ = nullptr;
};

class InputStream {
 public:
  InputStream() = default;
  InputStream(InputStream&& other) noexcept;
  InputStream& operator=(InputStream&& other) noexcept;
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;
  ~InputStream() { Close(); }

  bool IsOpen() const { return stream_ != nullptr; }
  Error GetLength(int64_t* length);
  Error GetAvailable(int64_t* count);  // bytes it can deliver now; 0 at the end
  // Fewer than count bytes is an I/O error "The requested number of bytes could not be read (N of M).";
  // the bytes that could be read are in into.
  Error Read(void* into, int64_t count);
  void Close();

 private:
  friend class Url;
  explicit InputStream(NexalInputStream* stream) : stream_(stream) {}
  NexalInputStream* stream_ = nullptr;
};

}  // namespace nexal
