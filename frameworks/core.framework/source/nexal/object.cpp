#include "object.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "configuration.h"
#include "debugglobals.h"

// Constant-initialised, so it is null before any static initialiser of any library runs.
NexalModuleRecord* g_privateModules = nullptr;

namespace nexal {
namespace {

constexpr int32_t kReferenceCount = static_cast<int32_t>(Ref::Count);

// Hashes are filled in when the record is linked; everything else is constant.
NexalReference g_references[kReferenceCount] = {
    {NEXAL_SYSTEM_ID, 0, NEXAL_REF_STATIC_INTERFACE, NEXAL_SYSTEM_METHODS, nullptr},
    {"nexal.UrlInterface#1", 0, NEXAL_REF_STATIC_INTERFACE, 35, nullptr},
    {"nexal.IoBrowseInterface#1", 0, NEXAL_REF_INTERFACE, 0, nullptr},
    {"nexal.IoHandlerInterface#1", 0, NEXAL_REF_INTERFACE, 0, nullptr},
    {"nexal.InputStreamInterface#1", 0, NEXAL_REF_INTERFACE, 0, nullptr},
    {"nexal.ErrorInterface#1", 0, NEXAL_REF_INTERFACE, 0, nullptr},
    {"nexal.ExifInterface#1", 0, NEXAL_REF_INTERFACE, 0, nullptr},
    {"nexal.IoErrorObject", 0, NEXAL_REF_OBJECT_CLASS, 0, nullptr},
    {"nexal.IoBrowseBaseClass", 0, NEXAL_REF_OBJECT_CLASS, 0, nullptr},
    {"nexal.DataTypes:nexal.Int32", 0, NEXAL_REF_DATA_TYPE, 0, nullptr},
    {NEXAL_TEXT_PARSER_ID, 0, NEXAL_REF_STATIC_INTERFACE, NEXAL_TEXT_PARSER_METHODS, nullptr},
};

int32_t StartComponents() noexcept {
  try {
    return StartConfigurationComponent() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

void EndComponents() noexcept {
  try {
    EndConfigurationComponent();
  } catch (...) {
  }
}

NexalModuleRecord g_record = {nullptr,         kModuleId,     0,      g_references, kReferenceCount,
                              StartComponents, EndComponents, nullptr};

// Runs during static initialisation of the library, before the host can look at the chain.
const bool kRecordLinked = [] {
  for (NexalReference& reference : g_references) reference.id_hash = NexalIdHash(reference.id);
  g_record.id_hash = NexalIdHash(g_record.id);
  g_record.previous = g_privateModules;
  g_privateModules = &g_record;
  return true;
}();

}  // namespace

NexalModuleRecord& ModuleRecord() {
  return g_record;
}

NexalReference& Reference(Ref which) {
  return g_references[static_cast<int32_t>(which)];
}

NexalReference* FindReference(const char* id) {
  if (id == nullptr) return nullptr;
  for (NexalReference& reference : g_references)
    if (std::strcmp(reference.id, id) == 0) return &reference;
  return nullptr;
}

const void* ResolveForCall(NexalReference& reference) {
  if (reference.resolved != nullptr) return reference.resolved;
  const NexalInitializer* initializer = g_record.initializer;
  if (initializer == nullptr || initializer->resolve == nullptr) {
    CoreOutputLine(OUTPUT_CRITICALSTOP, "Assertion failed: g_frameworksModule.GetInitializer()", __LINE__,
                   __FILE__);
    CoreCriticalBreak();
  } else if (initializer->resolve(&reference) == 1 && reference.resolved != nullptr) {
    return reference.resolved;
  }
  const std::string message = std::string("Method invocation of unresolvable interface ") + reference.id;
  CoreOutputLine(OUTPUT_CRITICAL, message.c_str(), __LINE__, __FILE__);
  NEXAL_STOP();
  return nullptr;
}

const NexalSystemInterface* ResolvedSystem() {
  return static_cast<const NexalSystemInterface*>(Reference(Ref::System).resolved);
}

const NexalSystemInterface* SystemForCall() {
  return static_cast<const NexalSystemInterface*>(ResolveForCall(Reference(Ref::System)));
}

void* CoreAlloc(int64_t size, const NexalSourceLocation* where) {
  if (size < 0) return nullptr;
  const NexalSystemInterface* system = SystemForCall();
  return system && system->alloc ? system->alloc(size, where) : nullptr;
}

void CoreFree(void* block) {
  if (block == nullptr) return;
  const NexalSystemInterface* system = SystemForCall();
  if (system && system->free) system->free(block);
}

}  // namespace nexal
