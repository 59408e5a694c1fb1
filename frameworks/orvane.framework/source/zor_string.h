// A host text object. The host object is made on first use, so that an empty String costs nothing
// and Strings can exist before the host is bound (they then read as empty).
#pragma once
#include <cstdint>
#include <string>

#include "zor_api.h"

class String {
 public:
  String() = default;
  String(const char* utf8);  // NOLINT: implicit on purpose, texts are written as literals
  String(const String& other);
  String(String&& other) noexcept;
  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  ~String();

  static String FromInt(int64_t value);
  static String FromFloat(double value, int32_t intDigits, int32_t fracDigits, bool exponent = false,
                          uint32_t fill = '0');
  static String LineEnd();

  String& operator+=(const String& other);
  String& operator+=(const char* utf8);
  String operator+(const String& other) const;
  friend String operator+(const char* utf8, const String& text);

  int32_t GetLength() const;
  bool IsEmpty() const { return GetLength() == 0; }
  uint32_t CharAt(int32_t index) const;
  String SubStr(int32_t start, int32_t count) const;
  int32_t Find(const String& needle, int32_t start = 0) const;  // -1 when absent
  int32_t Compare(const String& other) const;
  bool operator==(const String& other) const;
  bool operator!=(const String& other) const { return !(*this == other); }

  // Writes at most size - 1 bytes and a terminating zero; answers the bytes written.
  int32_t GetCString(char* buffer, int32_t size, int32_t conversion = ZOR_STRING_UTF8) const;
  // Bytes the whole text needs in the conversion, without the terminating zero.
  int32_t GetCStringLength(int32_t conversion = ZOR_STRING_UTF8) const;
  std::string ToUtf8(int32_t conversion = ZOR_STRING_UTF8) const;
  void SetCString(const char* text, int32_t length = -1, int32_t conversion = ZOR_STRING_UTF8);

  int64_t ToInt(bool* error) const;
  double ToFloat(bool* error) const;

  // The host object, made now if it was not yet; null only when the host cannot make one.
  HostString* Get();
  const HostString* Get() const;

 private:
  HostString* Ensure() const;
  mutable HostString* text_ = nullptr;
};
