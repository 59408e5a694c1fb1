#include "zor_string.h"

#include <utility>
#include <vector>

#include "zor_host.h"

using Strings = HostStringTable;

HostString* String::Ensure() const {
  if (text_ == nullptr) text_ = HostCall(nullptr, &Strings::alloc);
  return text_;
}

HostString* String::Get() {
  return Ensure();
}
const HostString* String::Get() const {
  return Ensure();
}

String::String(const char* utf8) {
  SetCString(utf8);
}

String::String(const String& other) {
  if (other.text_ != nullptr) text_ = HostCall(nullptr, &Strings::copy, other.text_);
}

String::String(String&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

String& String::operator=(const String& other) {
  if (this == &other) return *this;
  if (other.text_ == nullptr) {
    SetCString("");
    return *this;
  }
  if (Ensure()) HostCall(&Strings::assign, text_, other.text_);
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this != &other) {
    String discarded(std::move(*this));
    text_ = std::exchange(other.text_, nullptr);
  }
  return *this;
}

String::~String() {
  if (text_ != nullptr) HostCall(&Strings::free, text_);
}

String String::FromInt(int64_t value) {
  String result;
  if (result.Ensure()) HostCall(&Strings::from_int, result.text_, value);
  return result;
}

String String::FromFloat(double value, int32_t intDigits, int32_t fracDigits, bool exponent, uint32_t fill) {
  String result;
  if (result.Ensure())
    HostCall(&Strings::from_float, result.text_, value, intDigits, fracDigits, exponent, fill);
  return result;
}

String String::LineEnd() {
  String result;
  if (result.Ensure()) HostCall(&Strings::line_end, result.text_);
  return result;
}

String& String::operator+=(const String& other) {
  if (other.text_ != nullptr && Ensure()) HostCall(&Strings::append, text_, other.text_);
  return *this;
}

String& String::operator+=(const char* utf8) {
  if (utf8 != nullptr && *utf8 != 0 && Ensure()) HostCall(&Strings::append_text, text_, utf8);
  return *this;
}

String String::operator+(const String& other) const {
  String result(*this);
  result += other;
  return result;
}

String operator+(const char* utf8, const String& text) {
  String result(utf8);
  result += text;
  return result;
}

int32_t String::GetLength() const {
  return text_ ? HostCall(0, &Strings::length, text_) : 0;
}

uint32_t String::CharAt(int32_t index) const {
  return text_ && index >= 0 ? HostCall(0u, &Strings::char_at, text_, index) : 0;
}

String String::SubStr(int32_t start, int32_t count) const {
  String result;
  if (text_ && result.Ensure()) HostCall(&Strings::sub, text_, start, count, result.text_);
  return result;
}

int32_t String::Find(const String& needle, int32_t start) const {
  if (Ensure() == nullptr || needle.Ensure() == nullptr) return -1;
  return HostCall(-1, &Strings::find, text_, needle.text_, start);
}

int32_t String::Compare(const String& other) const {
  if (Ensure() == nullptr || other.Ensure() == nullptr) return 0;
  return HostCall(0, &Strings::compare, text_, other.text_);
}

bool String::operator==(const String& other) const {
  if (text_ == nullptr && other.text_ == nullptr) return true;
  if (Ensure() == nullptr || other.Ensure() == nullptr) return false;
  return HostCall(false, &Strings::equal, text_, other.text_);
}

int32_t String::GetCString(char* buffer, int32_t size, int32_t conversion) const {
  if (buffer == nullptr || size < 1) return 0;
  buffer[0] = 0;
  return text_ ? HostCall(0, &Strings::get_text, text_, buffer, size, conversion) : 0;
}

int32_t String::GetCStringLength(int32_t conversion) const {
  return text_ ? HostCall(0, &Strings::get_text_length, text_, conversion) : 0;
}

std::string String::ToUtf8(int32_t conversion) const {
  const int32_t needed = text_ ? HostCall(0, &Strings::get_text_length, text_, conversion) : 0;
  if (needed <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(needed) + 1);
  const int32_t written = GetCString(buffer.data(), needed + 1, conversion);
  return std::string(buffer.data(), static_cast<size_t>(written));
}

void String::SetCString(const char* text, int32_t length, int32_t conversion) {
  if (Ensure()) HostCall(&Strings::set_text, text_, text ? text : "", text ? length : 0, conversion);
}

int64_t String::ToInt(bool* error) const {
  int32_t failed = 1;
  const int64_t value = Ensure() ? HostCall(int64_t{0}, &Strings::to_int, text_, &failed) : 0;
  if (error) *error = failed != 0;
  return failed ? 0 : value;
}

double String::ToFloat(bool* error) const {
  int32_t failed = 1;
  const double value = Ensure() ? HostCall(0.0, &Strings::to_float, text_, &failed) : 0.0;
  if (error) *error = failed != 0;
  return failed ? 0.0 : value;
}
