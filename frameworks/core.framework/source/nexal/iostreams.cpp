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

IoBrowse::IoBrowse(IoBrowse&& other) noexcept : _browse(std::exchange(other._browse, nullptr)) {}

IoBrowse& IoBrowse::operator=(IoBrowse&& other) noexcept {
  if (this != &other) {
    IoBrowse discarded(std::move(*this));
    _browse = std::exchange(other._browse, nullptr);
  }
  return *this;
}

IoBrowse::~IoBrowse() {
  if (_browse != nullptr && _browse->methods->release != nullptr) _browse->methods->release(_browse);
}

bool IoBrowse::HasEntry() const {
  return _browse != nullptr && _browse->methods->has_entry != nullptr &&
         _browse->methods->has_entry(_browse) == 1;
}

Error IoBrowse::Next() {
  if (_browse == nullptr || _browse->methods->next == nullptr) return NotOpen("the iterator");
  return Error(_browse->methods->next(_browse));
}

Url IoBrowse::GetUrl() const {
  if (!HasEntry() || _browse->methods->url == nullptr) return Url();
  const char* text = _browse->methods->url(_browse);
  // The host's own text is already in its form: parsing it again would cost a call per entry.
  return text != nullptr ? Url(std::string(text)) : Url();
}

std::string IoBrowse::GetAlternate() const {
  if (!HasEntry() || _browse->methods->alternate == nullptr) return {};
  const char* text = _browse->methods->alternate(_browse);
  return text != nullptr ? std::string(text) : std::string();
}

uint32_t IoBrowse::GetAttributes() const {
  return HasEntry() && _browse->methods->attributes != nullptr ? _browse->methods->attributes(_browse) : 0;
}

int64_t IoBrowse::GetSize() const {
  return HasEntry() && _browse->methods->size != nullptr ? _browse->methods->size(_browse) : -1;
}

Error IoBrowse::GetModified(DateTime* time) const {
  if (time == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no time to read into");
  if (!HasEntry() || _browse->methods->modified == nullptr) return NotOpen("the iterator");
  NexalDateTime read{};
  Error error(_browse->methods->modified(_browse, &read));
  if (!error) CopyTime(read, time);
  return error;
}

Error IoBrowse::GetCreated(DateTime* time) const {
  if (time == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no time to read into");
  if (!HasEntry() || _browse->methods->created == nullptr) return NotOpen("the iterator");
  NexalDateTime read{};
  Error error(_browse->methods->created(_browse, &read));
  if (!error) CopyTime(read, time);
  return error;
}

InputStream::InputStream(InputStream&& other) noexcept : _stream(std::exchange(other._stream, nullptr)) {}

InputStream& InputStream::operator=(InputStream&& other) noexcept {
  if (this != &other) {
    Close();
    _stream = std::exchange(other._stream, nullptr);
  }
  return *this;
}

Error InputStream::GetLength(int64_t* length) {
  if (length == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no length to read into");
  if (_stream == nullptr || _stream->methods->length == nullptr) return NotOpen("the stream");
  return Error(_stream->methods->length(_stream, length));
}

Error InputStream::GetAvailable(int64_t* count) {
  if (count == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no count to read into");
  if (_stream == nullptr || _stream->methods->available == nullptr) return NotOpen("the stream");
  return Error(_stream->methods->available(_stream, count));
}

Error InputStream::Read(void* into, int64_t count) {
  if (into == nullptr && count != 0) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no memory to read into");
  if (count < 0) return Error::Make(NEXAL_ERROR_ILLEGAL_ARGUMENT, "a negative number of bytes to read");
  if (_stream == nullptr || _stream->methods->read == nullptr) return NotOpen("the stream");
  return Error(_stream->methods->read(_stream, into, count));
}

void InputStream::Close() {
  NexalInputStream* stream = std::exchange(_stream, nullptr);
  if (stream != nullptr && stream->methods->close != nullptr) stream->methods->close(stream);
}

}  // namespace nexal
