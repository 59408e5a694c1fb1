#include "error.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "debugglobals.h"

namespace nexal {
namespace {

// The module's own errors carry their text with them. Standard layout, so that the header's address
// is the object's.
struct ModuleError {
  NexalError header;
  char* text;
};
static_assert(std::is_standard_layout_v<ModuleError>);

void ReleaseModuleError(NexalError* error) {
  ModuleError* made = reinterpret_cast<ModuleError*>(error);
  delete[] made->text;
  delete made;
}

void ReleaseNothing(NexalError*) {}

NexalError g_outOfMemory = {NEXAL_ERROR_OUT_OF_MEMORY, "out of memory", ReleaseNothing};

}  // namespace

Error::Error(Error&& other) noexcept : error_(std::exchange(other.error_, nullptr)) {}

Error& Error::operator=(Error&& other) noexcept {
  if (this != &other) {
    Error discarded(std::move(*this));
    error_ = std::exchange(other.error_, nullptr);
  }
  return *this;
}

Error::~Error() {
  if (error_ != nullptr && error_->release != nullptr) error_->release(error_);
}

Error Error::Make(int32_t errorClass, const std::string& message) {
  ModuleError* made = new (std::nothrow) ModuleError{};
  char* text = new (std::nothrow) char[message.size() + 1];
  if (made == nullptr || text == nullptr) {
    delete made;
    delete[] text;
    return Error(&g_outOfMemory);
  }
  std::memcpy(text, message.c_str(), message.size() + 1);
  made->text = text;
  made->header = {errorClass, text, ReleaseModuleError};
  return Error(&made->header);
}

int32_t Error::Class() const {
  return error_ ? error_->error_class : 0;
}

const char* Error::Message() const {
  return error_ && error_->message ? error_->message : "";
}

void Error::Print(uint32_t flags, int32_t line, const char* file) const {
  if (error_ != nullptr) CoreOutputLine(flags, Message(), line, file);
}

}  // namespace nexal
