// What the host takes a file to be: file identification from a probe of bytes, the second file test, and
// names that read from the module's memory.
#pragma once
#include <cstdint>
#include <string_view>

#include "zor_api.h"

namespace zorhost {

// A .zor scene from its first bytes: a JSON object whose text holds the key "zor" (white space and a
// UTF-8 byte order mark before the brace allowed).
bool looks_like_scene(std::string_view probe);

void files_fn_set_memory_read(HostFilename* f, const void* data, int64_t size);
int32_t files_identify(const HostFilename* name, const void* probe, int32_t probe_size, int32_t flags);
bool files_identify_class(const HostFilename* name, const void* probe, int32_t probe_size,
                          int32_t identification_class);
bool files_recognises(const HostFilename* name);

}  // namespace zorhost
