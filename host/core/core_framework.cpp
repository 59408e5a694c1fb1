#include "core/core_framework.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>

#include "app/entry_guard.h"
#include "app/host_options.h"
#include "core/system_interface.h"
#include "core/text_parser_interface.h"
#include "core/url_interface.h"

namespace zorhost {
namespace {

struct CoreInterface {
  const char* id;
  int32_t kind;
  int32_t method_count;  // what the host implements; a module asking for more is not resolved
  const void* (*table)();
};

// Every interface the host implements, one line each.
const CoreInterface kInterfaces[] = {
    {NEXAL_SYSTEM_ID, NEXAL_REF_STATIC_INTERFACE, NEXAL_SYSTEM_METHODS,
     [] { return static_cast<const void*>(system_interface()); }},
    {NEXAL_TEXT_PARSER_ID, NEXAL_REF_STATIC_INTERFACE, NEXAL_TEXT_PARSER_METHODS,
     [] { return static_cast<const void*>(text_parser_interface()); }},
    {NEXAL_URL_ID, NEXAL_REF_STATIC_INTERFACE, NEXAL_URL_METHODS,
     [] { return static_cast<const void*>(url_interface()); }},
    // interfaces that objects carry resolve to the table the host's objects of that kind hold
    {NEXAL_IO_BROWSE_ID, NEXAL_REF_INTERFACE, 0,
     [] { return static_cast<const void*>(io_browse_interface()); }},
    {NEXAL_INPUT_STREAM_ID, NEXAL_REF_INTERFACE, 0,
     [] { return static_cast<const void*>(input_stream_interface()); }},
    {NEXAL_ERROR_INTERFACE_ID, NEXAL_REF_INTERFACE, 0,
     [] { return static_cast<const void*>(error_interface()); }},
    {NEXAL_EXIF_ID, NEXAL_REF_INTERFACE, 0, [] { return static_cast<const void*>(exif_interface()); }},
};

const CoreInterface* find_interface(const NexalReference& reference) {
  for (const CoreInterface& candidate : kInterfaces) {
    const bool same_id = reference.id
                             ? std::strcmp(reference.id, candidate.id) == 0
                             : (reference.id_hash & ~NEXAL_ID_SHARED_BIT) == NexalIdHash(candidate.id);
    if (!same_id || reference.kind != candidate.kind) continue;
    if (candidate.kind == NEXAL_REF_STATIC_INTERFACE && reference.method_count > candidate.method_count) {
      return nullptr;
    }
    return &candidate;
  }
  return nullptr;
}

int32_t initializer_resolve(NexalReference* reference) {
  return guarded("nexal initializer", 0, [&] { return resolve_core_reference(reference) ? 1 : 0; });
}

const NexalInitializer kInitializer{initializer_resolve};

// A chain longer than this is taken to be corrupt (a cycle) rather than walked forever.
constexpr int kMaxRecords = 4096;

}  // namespace

bool resolve_core_reference(NexalReference* reference) {
  if (!reference) return false;
  const CoreInterface* implementation = find_interface(*reference);
  if (!implementation) return false;
  reference->resolved = implementation->table();
  return true;
}

std::vector<std::string> resolve_core_references(NexalModuleRecord* head) {
  std::vector<std::string> unresolved;
  int walked = 0;
  for (NexalModuleRecord* record = head; record && walked < kMaxRecords;
       record = record->previous, ++walked) {
    for (int32_t i = 0; record->references && i < record->reference_count; ++i) {
      NexalReference& reference = record->references[i];
      if (!reference.resolved && !resolve_core_reference(&reference)) {
        unresolved.push_back(reference.id ? reference.id : "(unnamed reference)");
      }
    }
    record->initializer = &kInitializer;
  }
  return unresolved;
}

}  // namespace zorhost
