// zorhost's I/O handlers behind the core framework's URLs: "handler://" (the schemes served), "file"
// (the file system) and "zip" (an archive at any other URL, read with libzip). The C interfaces in
// url_interface.cpp hand these to modules.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/url_text.h"
#include "nexal_records.h"

namespace zorhost {

struct CoreFailure {
  int32_t error_class = NEXAL_ERROR_IO;
  std::string message;  // names the URL or file and what is wrong
};

// One listed entry, or one location described on its own.
struct IoEntry {
  std::string url;
  std::string alternate;
  uint32_t attributes = 0;  // NEXAL_IO_
  int64_t size = -1;        // -1 for folders and unknown
  NexalDateTime modified{};
  NexalDateTime created{};
  // when not empty, reading that time fails with this text (an unsupported error)
  std::string modified_error;
  std::string created_error;
};

// The bytes of one URL from its start.
class InputSource {
 public:
  explicit InputSource(int64_t length) : length_(length) {}
  virtual ~InputSource() = default;
  int64_t length() const { return length_; }
  int64_t position() const { return position_; }
  // Up to count bytes; fewer only at the end or on a failure (then *failure says why).
  int64_t read(char* into, int64_t count, std::string* failure);

 protected:
  // One read of at most count bytes: how many came, 0 at the end, below 0 on a failure (with why).
  virtual int64_t read_some(char* into, int64_t count, std::string* failure) = 0;

 private:
  int64_t length_;
  int64_t position_ = 0;
};

// The entries one level below url, in the handler's order; a failure when it cannot be listed.
std::optional<CoreFailure> list_url(const UrlParts& url, std::vector<IoEntry>& entries);
// The location itself; exists answers 0 when it is not there (no failure then).
std::optional<CoreFailure> describe_url(const UrlParts& url, IoEntry& entry, int32_t& exists);
std::unique_ptr<InputSource> open_url(const UrlParts& url, CoreFailure& failure);
// Every byte of url, when there are at most limit.
std::optional<CoreFailure> read_url(const UrlParts& url, int64_t limit, std::string& bytes);

// The exact text of a short read.
std::string short_read_message(int64_t read, int64_t asked);
NexalDateTime local_date_time(int64_t seconds_since_1970);

// the zip handler (zip_handler.cpp)
std::optional<CoreFailure> list_zip(const UrlParts& url, std::vector<IoEntry>& entries);
std::optional<CoreFailure> describe_zip(const UrlParts& url, IoEntry& entry, int32_t& exists);
std::unique_ptr<InputSource> open_zip(const UrlParts& url, CoreFailure& failure);

}  // namespace zorhost
