// The core framework's error objects as the module holds them: one owner per error, given back to
// whoever made it when the owner goes.
#pragma once
#include <cstdint>
#include <string>

#include "nexal_records.h"

namespace nexal {

class Error {
 public:
  Error() = default;                                    // no error: the call succeeded
  explicit Error(NexalError* error) : error_(error) {}  // takes ownership
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;
  Error(Error&& other) noexcept;
  Error& operator=(Error&& other) noexcept;
  ~Error();

  // An error made by the module itself, for failures it finds before the host is asked (an
  // interface the host did not resolve). Never fails: without memory it is a bare out-of-memory error.
  static Error Make(int32_t errorClass, const std::string& message);

  bool Failed() const { return error_ != nullptr; }
  explicit operator bool() const { return Failed(); }
  int32_t Class() const;        // NEXAL_ERROR_, 0 without an error
  const char* Message() const;  // "" without an error

  // Writes the message on the core output path (CoreOutputLine) with these flags; nothing without an
  // error.
  void Print(uint32_t flags, int32_t line, const char* file) const;

 private:
  NexalError* error_ = nullptr;
};

}  // namespace nexal
