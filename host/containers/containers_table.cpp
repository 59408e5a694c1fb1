#include <mutex>
#include <optional>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "containers/container_impl.h"
#include "containers/container_integer.h"
#include "containers/settings_store.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "strings/string_impl.h"

HostContainer::HostContainer(const HostContainer& other) : id(other.id), values(other.values) {
  for (auto& [key, value] : values) {
    if (auto* sub = std::get_if<std::shared_ptr<HostContainer>>(&value); sub && *sub) {
      *sub = std::make_shared<HostContainer>(**sub);
    }
  }
}

HostContainer& HostContainer::operator=(const HostContainer& other) {
  if (this != &other) {
    HostContainer copy(other);
    id = copy.id;
    values = std::move(copy.values);
  }
  return *this;
}

namespace zorhost {
namespace {

const ContainerValue* find_value(const HostContainer* c, int32_t id) {
  if (!c) return nullptr;
  auto found = c->values.find(id);
  return found == c->values.end() ? nullptr : &found->second;
}

// The value as a number, when it is one of the numeric types (bool counts as 0 or 1).
std::optional<double> as_double(const ContainerValue* value) {
  if (!value) return std::nullopt;
  if (auto* v = std::get_if<bool>(value)) return *v ? 1.0 : 0.0;
  if (auto* v = std::get_if<int32_t>(value)) return *v;
  if (auto* v = std::get_if<int64_t>(value)) return static_cast<double>(*v);
  if (auto* v = std::get_if<double>(value)) return *v;
  return std::nullopt;
}

template <class T>
std::optional<T> as_integer(const ContainerValue* value) {
  return value ? container_integer<T>(*value) : std::nullopt;
}

HostContainer* track(HostContainer* c) {
  return tracked(ObjectKind::Container, c);
}

HostContainer* containers_alloc(int32_t id) {
  return guarded("containers.alloc", static_cast<HostContainer*>(nullptr),
                 [&] { return track(new HostContainer(id)); });
}

void containers_free(HostContainer* c) {
  guarded_void("containers.free", [&] { delete_tracked(ObjectKind::Container, c); });
}

HostContainer* containers_copy(const HostContainer* c) {
  return guarded("containers.copy", static_cast<HostContainer*>(nullptr),
                 [&] { return c ? track(new HostContainer(*c)) : nullptr; });
}

void containers_assign(HostContainer* dst, const HostContainer* src) {
  guarded_void("containers.assign", [&] {
    if (!dst) return;
    if (src) {
      *dst = *src;
    } else {
      dst->values.clear();
    }
  });
}

int32_t containers_get_id(const HostContainer* c) {
  return guarded("containers.get_id", 0, [&] { return c ? c->id : 0; });
}

void containers_set_id(HostContainer* c, int32_t id) {
  guarded_void("containers.set_id", [&] {
    if (c) c->id = id;
  });
}

int32_t containers_value_type(const HostContainer* c, int32_t id) {
  return guarded("containers.value_type", int32_t{ZOR_VALUE_NONE}, [&]() -> int32_t {
    const ContainerValue* value = find_value(c, id);
    if (!value) return ZOR_VALUE_NONE;
    // the variant's alternatives are declared in the order of the value type codes
    static_assert(std::is_same_v<std::variant_alternative_t<ZOR_VALUE_CONTAINER - 1, ContainerValue>,
                                 std::shared_ptr<HostContainer>>);
    return static_cast<int32_t>(value->index()) + ZOR_VALUE_BOOL;
  });
}

bool containers_remove(HostContainer* c, int32_t id) {
  return guarded("containers.remove", false, [&] { return c && c->values.erase(id) > 0; });
}

int32_t containers_count(const HostContainer* c) {
  return guarded("containers.count", 0, [&] { return c ? static_cast<int32_t>(c->values.size()) : 0; });
}

// -1 for an index outside the container
int32_t containers_id_at(const HostContainer* c, int32_t index) {
  return guarded("containers.id_at", -1, [&]() -> int32_t {
    if (!c || index < 0 || static_cast<size_t>(index) >= c->values.size()) return -1;
    return std::next(c->values.begin(), index)->first;
  });
}

bool containers_get_bool(const HostContainer* c, int32_t id, bool def) {
  return guarded("containers.get_bool", def, [&] {
    const auto number = as_double(find_value(c, id));
    return number ? *number != 0 : def;
  });
}

int32_t containers_get_int32(const HostContainer* c, int32_t id, int32_t def) {
  return guarded("containers.get_int32", def,
                 [&] { return as_integer<int32_t>(find_value(c, id)).value_or(def); });
}

int64_t containers_get_int64(const HostContainer* c, int32_t id, int64_t def) {
  return guarded("containers.get_int64", def,
                 [&] { return as_integer<int64_t>(find_value(c, id)).value_or(def); });
}

double containers_get_float(const HostContainer* c, int32_t id, double def) {
  return guarded("containers.get_float", def, [&] { return as_double(find_value(c, id)).value_or(def); });
}

// missing: 0/1
void containers_get_time(const HostContainer* c, int32_t id, int64_t* num, int64_t* den) {
  guarded_void("containers.get_time", [&] {
    TimeValue time;
    if (const ContainerValue* value = find_value(c, id)) {
      if (auto* v = std::get_if<TimeValue>(value)) time = *v;
    }
    if (num) *num = time.num;
    if (den) *den = time.den;
  });
}

// A text and a file name stand in for each other, as a path typed into a text field does.
bool containers_get_filename(const HostContainer* c, int32_t id, HostFilename* out) {
  return guarded("containers.get_filename", false, [&] {
    const ContainerValue* value = find_value(c, id);
    std::string path;
    bool found = false;
    if (auto* v = value ? std::get_if<FilenameValue>(value) : nullptr) path = v->path, found = true;
    if (auto* v = value ? std::get_if<StringValue>(value) : nullptr) path = to_utf8(v->text), found = true;
    if (out) out->path = path;
    return found;
  });
}

bool containers_get_string(const HostContainer* c, int32_t id, HostString* out) {
  return guarded("containers.get_string", false, [&] {
    const ContainerValue* value = find_value(c, id);
    std::u32string text;
    bool found = false;
    if (auto* v = value ? std::get_if<StringValue>(value) : nullptr) text = v->text, found = true;
    if (auto* v = value ? std::get_if<FilenameValue>(value) : nullptr)
      text = from_utf8(v->path), found = true;
    if (out) out->text = text;
    return found;
  });
}

HostContainer* containers_get_container(HostContainer* c, int32_t id) {
  return guarded("containers.get_container", static_cast<HostContainer*>(nullptr), [&]() -> HostContainer* {
    if (!c) return nullptr;
    auto found = c->values.find(id);
    if (found == c->values.end()) return nullptr;
    auto* sub = std::get_if<std::shared_ptr<HostContainer>>(&found->second);
    return sub ? sub->get() : nullptr;
  });
}

template <class T>
void set_value(const char* entry, HostContainer* c, int32_t id, T value) {
  guarded_void(entry, [&] {
    if (c) c->values[id] = std::move(value);
  });
}

void containers_set_bool(HostContainer* c, int32_t id, bool v) {
  set_value("containers.set_bool", c, id, v);
}
void containers_set_int32(HostContainer* c, int32_t id, int32_t v) {
  set_value("containers.set_int32", c, id, v);
}
void containers_set_int64(HostContainer* c, int32_t id, int64_t v) {
  set_value("containers.set_int64", c, id, v);
}
void containers_set_float(HostContainer* c, int32_t id, double v) {
  set_value("containers.set_float", c, id, v);
}
void containers_set_time(HostContainer* c, int32_t id, int64_t num, int64_t den) {
  set_value("containers.set_time", c, id, TimeValue{num, den});
}
void containers_set_filename(HostContainer* c, int32_t id, const HostFilename* v) {
  set_value("containers.set_filename", c, id, FilenameValue{v ? v->path : std::string()});
}
void containers_set_string(HostContainer* c, int32_t id, const HostString* v) {
  set_value("containers.set_string", c, id, StringValue{v ? v->text : std::u32string()});
}
void containers_set_container(HostContainer* c, int32_t id, const HostContainer* v) {
  guarded_void("containers.set_container", [&] {
    if (!c) return;
    // copied before it is stored: v may be c itself or live inside it
    auto copy = std::make_shared<HostContainer>(v ? *v : HostContainer(id));
    c->values[id] = std::move(copy);
  });
}

HostContainer* containers_get_plugin_settings(int32_t plugin_id) {
  return guarded("containers.get_plugin_settings", static_cast<HostContainer*>(nullptr),
                 [&] { return track(load_plugin_settings(plugin_id).release()); });
}

// The flags are the real host's storage options; every store here is written at once.
bool containers_set_plugin_settings(int32_t plugin_id, const HostContainer* settings, int32_t /*flags*/) {
  return guarded("containers.set_plugin_settings", false,
                 [&] { return store_plugin_settings(plugin_id, settings); });
}

struct GlobalSettings {
  std::mutex mutex;
  HostContainer settings;
};

GlobalSettings& global_settings() {
  static GlobalSettings global;
  return global;
}

HostContainer* containers_copy_global_settings() {
  return guarded("containers.copy_global_settings", static_cast<HostContainer*>(nullptr), [] {
    GlobalSettings& global = global_settings();
    std::lock_guard lock(global.mutex);
    return track(new HostContainer(global.settings));
  });
}

void containers_restore_global_settings(const HostContainer* settings) {
  guarded_void("containers.restore_global_settings", [&] {
    if (!settings) return;
    GlobalSettings& global = global_settings();
    std::lock_guard lock(global.mutex);
    global.settings = *settings;
  });
}

void containers_memory_statistics(HostContainer* out) {
  guarded_void("containers.memory_statistics", [&] {
    if (!out) return;
    const MemoryStatistics statistics = memory_statistics();
    out->values[ZOR_MEMSTAT_BLOCKS] = statistics.live_blocks;
    out->values[ZOR_MEMSTAT_BYTES] = statistics.live_bytes;
    out->values[ZOR_MEMSTAT_PEAK_BYTES] = statistics.peak_bytes;
    out->values[ZOR_MEMSTAT_ALLOCATIONS] = statistics.total_allocations;
    out->values[ZOR_MEMSTAT_LOW_MEMORY] = statistics.low_memory_events;
  });
}

}  // namespace

const HostContainerTable* containers_table() {
  static const HostContainerTable kTable{
      .size = sizeof(HostContainerTable),
      .alloc = containers_alloc,
      .free = containers_free,
      .copy = containers_copy,
      .assign = containers_assign,
      .get_id = containers_get_id,
      .set_id = containers_set_id,
      .value_type = containers_value_type,
      .remove = containers_remove,
      .count = containers_count,
      .id_at = containers_id_at,
      .get_bool = containers_get_bool,
      .get_int32 = containers_get_int32,
      .get_int64 = containers_get_int64,
      .get_float = containers_get_float,
      .get_time = containers_get_time,
      .get_filename = containers_get_filename,
      .get_string = containers_get_string,
      .get_container = containers_get_container,
      .set_bool = containers_set_bool,
      .set_int32 = containers_set_int32,
      .set_int64 = containers_set_int64,
      .set_float = containers_set_float,
      .set_time = containers_set_time,
      .set_filename = containers_set_filename,
      .set_string = containers_set_string,
      .set_container = containers_set_container,
      .get_plugin_settings = containers_get_plugin_settings,
      .set_plugin_settings = containers_set_plugin_settings,
      .copy_global_settings = containers_copy_global_settings,
      .restore_global_settings = containers_restore_global_settings,
      .memory_statistics = containers_memory_statistics,
  };
  return &kTable;
}

}  // namespace zorhost
