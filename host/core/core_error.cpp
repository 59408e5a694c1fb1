#include "core/core_error.h"

#include "app/entry_guard.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {

struct HostCoreError : NexalError {
  std::string text;
};

void release_core_error(NexalError* error) {
  guarded_void("nexal.Error.release",
               [&] { delete_tracked(ObjectKind::CoreError, static_cast<HostCoreError*>(error)); });
}

}  // namespace

NexalError* make_core_error(int32_t error_class, const std::string& message) {
  auto* error = tracked(ObjectKind::CoreError, new HostCoreError);
  error->text = message;
  error->error_class = error_class;
  error->message = error->text.c_str();
  error->release = release_core_error;
  return error;
}

}  // namespace zorhost
