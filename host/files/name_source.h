// The bytes a file name holds, wherever they are: a memory block (fn_set_memory_read), a URL of the
// core framework ("file://", "zip://", read through its I/O handlers) or a path of the file system.
#pragma once
#include <cstdint>
#include <string>

#include "zor_api.h"

namespace zorhost {

struct NamedBytes {
  bool ok = false;
  std::string bytes;
  std::string error;  // why not, naming the file
};

// At most limit bytes from the start; more than limit is not an error (the first limit are answered).
NamedBytes read_named_bytes(const HostFilename* name, int64_t limit);

}  // namespace zorhost
