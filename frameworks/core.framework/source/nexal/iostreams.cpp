#include "iostreams.h"

#include <utility>

namespace nexal {
namespace {

Error NotOpen(const char* what) {
  return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, std::string(what) + " is not open");
}

void CopyTime(const NexalDateTime& from, DateTime* to) {
  to->year = from.year;
  to->month = from.month;
  to->day = from.day;
  to->hour = from.hour;
  to->minute = from.minute;
  to->second = from.second;
}

}  // namespace

IoBrowse::IoBrowse(IoBrowse&& other) noexcept : browse_(std::exchange(other.browse_, nullptr)) {}

IoBrowse& IoBrowse::operator=(IoBrowse&& other) noexcept {
  if (this != &other) {
    IoBrowse discarded(std::move(*this));
    browse_ = std::exchange(other.browse_, nullptr);
  }
  return *this;
}

IoBrowse::~IoBrowse() {
  if (browse_ != nullptr && browse_->methods->release != nullptr) browse_->methods->release(browse_);
}

bool IoBrowse::HasEntry() const {
  return browse_ != nullptr && browse_->methods->has_entry != nullptr &&
         browse_->methods->has_entry(browse_) == 1;
}

Error IoBrowse::Next() {
  if (browse_ == nullptr || browse_->methods->next == nullptr) return NotOpen("the iterator");
  return Error(browse_->methods->next(browse_));
}

Url IoBrowse::GetUrl() const {
  if (!HasEntry() || browse_->methods->url == nullptr) return Url();
  const char* text = browse_->methods->url(browse_);
  // The host's own text is already in its form: parsing it again would cost a call per entry.
  return text != nullptr ? Url(std::string(text)) : Url();
}

std::string IoBrowse::GetAlternate() const {
  if (!HasEntry() || browse_->methods->alternate == nullptr) return {};
  const char* text = browse_->methods->alternate(browse_);
  return text != nullptr ? std::string(text) : std::string();
}

uint32_t IoBrowse::GetAttributes() const {
  return HasEntry() && browse_->methods->attributes != nullptr ? browse_->methods->attributes(browse_) : 0;
}

int64_t IoBrowse::GetSize() const {
  return HasEntry() && browse_->methods->size != nullptr ? browse_->methods->size(browse_) : -1;
}

Error IoBrowse::GetModified(DateTime* time) const {
  if (time == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no time to read into");
  if (!HasEntry() || browse_->methods->modified == nullptr) return NotOpen("the iterator");
  NexalDateTime read{};
  Error error(browse_->methods->modified(browse_, &read));
  if (!error) CopyTime(read, time);
  return error;
}

Error IoBrowse::GetCreated(DateTime* time) const {
  if (time == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no time to read into");
  if (!HasEntry() || browse_->methods->created == nullptr) return NotOpen("the iterator");
  NexalDateTime read{};
  Error error(browse_->methods->created(browse_, &read));
  if (!error) CopyTime(read, time);
  return error;
}

InputStream::InputStream(InputStream&& other) noexcept : stream_(std::exchange(other.stream_, nullptr)) {}

InputStream& InputStream::operator=(InputStream&& other) noexcept {
  if (this != &other) {
    Close();
    stream_ = std::exchange(other.stream_, nullptr);
  }
  return *this;
}

Error InputStream::GetLength(int64_t* length) {
  if (length == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no length to read into");
  if (stream_ == nullptr || stream_->methods->length == nullptr) return NotOpen("the stream");
  return Error(stream_->methods->length(stream_, length));
}

Error InputStream::GetAvailable(int64_t* count) {
  if (count == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no count to read into");
  if (stream_ == nullptr || stream_->methods->available == nullptr) return NotOpen("the stream");
  return Error(stream_->methods->available(stream_, count));
}

Error InputStream::Read(void* into, int64_t count) {
  if (into == nullptr && count != 0) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no memory to read into");
  if (count < 0) return Error::Make(NEXAL_ERROR_ILLEGAL_ARGUMENT, "a negative number of bytes to read");
  if (stream_ == nullptr || stream_->methods->read == nullptr) return NotOpen("the stream");
  return Error(stream_->methods->read(stream_, into, count));
}

void InputStream::Close() {
  NexalInputStream* stream = std::exchange(stream_, nullptr);
  if (stream != nullptr && stream->methods->close != nullptr) stream->methods->close(stream);
}

}  // namespace nexal
