#include "zor_string.h"

#include <utility>
#include <vector>

#include "zor_host.h"

HostString* String::Ensure() const {
  if (_text == nullptr) {
    if (auto alloc = ZOR_STRINGS(alloc)) _text = alloc();
  }
  return _text;
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
  if (other._text == nullptr) return;
  if (auto copy = ZOR_STRINGS(copy)) _text = copy(other._text);
}

String::String(String&& other) noexcept : _text(std::exchange(other._text, nullptr)) {}

String& String::operator=(const String& other) {
  if (this == &other) return *this;
  if (other._text == nullptr) {
    SetCString("");
    return *this;
  }
  auto assign = ZOR_STRINGS(assign);
  if (assign && Ensure()) assign(_text, other._text);
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this != &other) {
    String discarded(std::move(*this));
    _text = std::exchange(other._text, nullptr);
  }
  return *this;
}

String::~String() {
  if (_text == nullptr) return;
  if (auto free = ZOR_STRINGS(free)) free(_text);
}

String String::FromInt(int64_t value) {
  String result;
  auto from_int = ZOR_STRINGS(from_int);
  if (from_int && result.Ensure()) from_int(result._text, value);
  return result;
}

String String::FromFloat(double value, int32_t intDigits, int32_t fracDigits, bool exponent, uint32_t fill) {
  String result;
  auto from_float = ZOR_STRINGS(from_float);
  if (from_float && result.Ensure()) from_float(result._text, value, intDigits, fracDigits, exponent, fill);
  return result;
}

String String::LineEnd() {
  String result;
  auto line_end = ZOR_STRINGS(line_end);
  if (line_end && result.Ensure()) line_end(result._text);
  return result;
}

String& String::operator+=(const String& other) {
  if (other._text == nullptr) return *this;
  auto append = ZOR_STRINGS(append);
  if (append && Ensure()) append(_text, other._text);
  return *this;
}

String& String::operator+=(const char* utf8) {
  if (utf8 == nullptr || *utf8 == 0) return *this;
  auto append_text = ZOR_STRINGS(append_text);
  if (append_text && Ensure()) append_text(_text, utf8);
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
  if (_text == nullptr) return 0;
  auto length = ZOR_STRINGS(length);
  return length ? length(_text) : 0;
}

uint32_t String::CharAt(int32_t index) const {
  if (_text == nullptr || index < 0) return 0;
  auto char_at = ZOR_STRINGS(char_at);
  return char_at ? char_at(_text, index) : 0;
}

String String::SubStr(int32_t start, int32_t count) const {
  String result;
  auto sub = ZOR_STRINGS(sub);
  if (_text && sub && result.Ensure()) sub(_text, start, count, result._text);
  return result;
}

int32_t String::Find(const String& needle, int32_t start) const {
  auto find = ZOR_STRINGS(find);
  if (find == nullptr || Ensure() == nullptr || needle.Ensure() == nullptr) return -1;
  return find(_text, needle._text, start);
}

int32_t String::Compare(const String& other) const {
  auto compare = ZOR_STRINGS(compare);
  if (compare == nullptr || Ensure() == nullptr || other.Ensure() == nullptr) return 0;
  return compare(_text, other._text);
}

bool String::operator==(const String& other) const {
  if (_text == nullptr && other._text == nullptr) return true;
  auto equal = ZOR_STRINGS(equal);
  if (equal == nullptr || Ensure() == nullptr || other.Ensure() == nullptr) return false;
  return equal(_text, other._text);
}

int32_t String::GetCString(char* buffer, int32_t size, int32_t conversion) const {
  if (buffer == nullptr || size < 1) return 0;
  buffer[0] = 0;
  auto get_text = ZOR_STRINGS(get_text);
  if (_text == nullptr || get_text == nullptr) return 0;
  return get_text(_text, buffer, size, conversion);
}

std::string String::ToUtf8() const {
  auto get_text_length = ZOR_STRINGS(get_text_length);
  if (_text == nullptr || get_text_length == nullptr) return {};
  const int32_t needed = get_text_length(_text, ZOR_STRING_UTF8);
  if (needed <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(needed) + 1);
  const int32_t written = GetCString(buffer.data(), needed + 1);
  return std::string(buffer.data(), static_cast<size_t>(written));
}

void String::SetCString(const char* text, int32_t length, int32_t conversion) {
  auto set_text = ZOR_STRINGS(set_text);
  if (set_text && Ensure()) set_text(_text, text ? text : "", text ? length : 0, conversion);
}

int64_t String::ToInt(bool* error) const {
  int32_t failed = 1;
  int64_t value = 0;
  auto to_int = ZOR_STRINGS(to_int);
  if (to_int && Ensure()) value = to_int(_text, &failed);
  if (error) *error = failed != 0;
  return failed ? 0 : value;
}

double String::ToFloat(bool* error) const {
  int32_t failed = 1;
  double value = 0.0;
  auto to_float = ZOR_STRINGS(to_float);
  if (to_float && Ensure()) value = to_float(_text, &failed);
  if (error) *error = failed != 0;
  return failed ? 0.0 : value;
}
