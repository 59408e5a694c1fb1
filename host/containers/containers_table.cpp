#include <cmath>
#include <limits>
#include <mutex>
#include <optional>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "containers/container_impl.h"
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

template <class T>
T clamp_to(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  if (value >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(value);  // toward zero
}

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

std::optional<int64_t> as_int64(const ContainerValue* value) {
  if (!value) return std::nullopt;
  if (auto* v = std::get_if<int64_t>(value)) return *v;  // exact, beyond what a double holds
  if (auto number = as_double(value)) return clamp_to<int64_t>(*number);
  return std::nullopt;
}

HostContainer* track(HostContainer* c) {
  track_object(ObjectKind::Container, c);
  return c;
}

HostContainer* container_alloc(int32_t id) {
  return guarded("containers.alloc", static_cast<HostContainer*>(nullptr),
                 [&] { return track(new HostContainer(id)); });
}

void container_free(HostContainer* c) {
  guarded_void("containers.free", [&] {
    if (!c) return;
    untrack_object(ObjectKind::Container, c);
    delete c;
  });
}

HostContainer* container_copy(const HostContainer* c) {
  return guarded("containers.copy", static_cast<HostContainer*>(nullptr),
                 [&] { return c ? track(new HostContainer(*c)) : nullptr; });
}

void container_assign(HostContainer* dst, const HostContainer* src) {
  guarded_void("containers.assign", [&] {
    if (!dst) return;
    if (src) {
      *dst = *src;
    } else {
      dst->values.clear();
    }
  });
}

int32_t container_get_id(const HostContainer* c) {
  return guarded("containers.get_id", 0, [&] { return c ? c->id : 0; });
}

void container_set_id(HostContainer* c, int32_t id) {
  guarded_void("containers.set_id", [&] {
    if (c) c->id = id;
  });
}

int32_t container_value_type(const HostContainer* c, int32_t id) {
  return guarded("containers.value_type", int32_t{ZOR_VALUE_NONE}, [&]() -> int32_t {
    const ContainerValue* value = find_value(c, id);
    if (!value) return ZOR_VALUE_NONE;
    // the variant's alternatives are declared in the order of the value type codes
    static_assert(std::is_same_v<std::variant_alternative_t<ZOR_VALUE_CONTAINER - 1, ContainerValue>,
                                 std::shared_ptr<HostContainer>>);
    return static_cast<int32_t>(value->index()) + ZOR_VALUE_BOOL;
  });
}

bool container_remove(HostContainer* c, int32_t id) {
  return guarded("containers.remove", false, [&] { return c && c->values.erase(id) > 0; });
}

int32_t container_count(const HostContainer* c) {
  return guarded("containers.count", 0, [&] { return c ? static_cast<int32_t>(c->values.size()) : 0; });
}

// -1 for an index outside the container
int32_t container_id_at(const HostContainer* c, int32_t index) {
  return guarded("containers.id_at", -1, [&]() -> int32_t {
    if (!c || index < 0 || static_cast<size_t>(index) >= c->values.size()) return -1;
    return std::next(c->values.begin(), index)->first;
  });
}

bool get_bool(const HostContainer* c, int32_t id, bool def) {
  return guarded("containers.get_bool", def, [&] {
    const auto number = as_double(find_value(c, id));
    return number ? *number != 0 : def;
  });
}

int32_t get_int32(const HostContainer* c, int32_t id, int32_t def) {
  return guarded("containers.get_int32", def, [&] {
    const auto number = as_int64(find_value(c, id));
    return number ? clamp_to<int32_t>(static_cast<double>(*number)) : def;
  });
}

int64_t get_int64(const HostContainer* c, int32_t id, int64_t def) {
  return guarded("containers.get_int64", def, [&] { return as_int64(find_value(c, id)).value_or(def); });
}

double get_float(const HostContainer* c, int32_t id, double def) {
  return guarded("containers.get_float", def, [&] { return as_double(find_value(c, id)).value_or(def); });
}

// missing: 0/1
void get_time(const HostContainer* c, int32_t id, int64_t* num, int64_t* den) {
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
bool get_filename(const HostContainer* c, int32_t id, HostFilename* out) {
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

bool get_string(const HostContainer* c, int32_t id, HostString* out) {
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

HostContainer* get_container(HostContainer* c, int32_t id) {
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

void set_bool(HostContainer* c, int32_t id, bool v) {
  set_value("containers.set_bool", c, id, v);
}
void set_int32(HostContainer* c, int32_t id, int32_t v) {
  set_value("containers.set_int32", c, id, v);
}
void set_int64(HostContainer* c, int32_t id, int64_t v) {
  set_value("containers.set_int64", c, id, v);
}
void set_float(HostContainer* c, int32_t id, double v) {
  set_value("containers.set_float", c, id, v);
}
void set_time(HostContainer* c, int32_t id, int64_t num, int64_t den) {
  set_value("containers.set_time", c, id, TimeValue{num, den});
}
void set_filename(HostContainer* c, int32_t id, const HostFilename* v) {
  set_value("containers.set_filename", c, id, FilenameValue{v ? v->path : std::string()});
}
void set_string(HostContainer* c, int32_t id, const HostString* v) {
  set_value("containers.set_string", c, id, StringValue{v ? v->text : std::u32string()});
}
void set_container(HostContainer* c, int32_t id, const HostContainer* v) {
  guarded_void("containers.set_container", [&] {
    if (!c) return;
    // copied before it is stored: v may be c itself or live inside it
    auto copy = std::make_shared<HostContainer>(v ? *v : HostContainer(id));
    c->values[id] = std::move(copy);
  });
}

HostContainer* get_plugin_settings(int32_t plugin_id) {
  return guarded("containers.get_plugin_settings", static_cast<HostContainer*>(nullptr),
                 [&] { return track(load_plugin_settings(plugin_id).release()); });
}

// The flags are the real host's storage options; every store here is written at once.
bool set_plugin_settings(int32_t plugin_id, const HostContainer* settings, int32_t /*flags*/) {
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

HostContainer* copy_global_settings() {
  return guarded("containers.copy_global_settings", static_cast<HostContainer*>(nullptr), [] {
    GlobalSettings& global = global_settings();
    std::lock_guard lock(global.mutex);
    return track(new HostContainer(global.settings));
  });
}

void restore_global_settings(const HostContainer* settings) {
  guarded_void("containers.restore_global_settings", [&] {
    if (!settings) return;
    GlobalSettings& global = global_settings();
    std::lock_guard lock(global.mutex);
    global.settings = *settings;
  });
}

void container_memory_statistics(HostContainer* out) {
  guarded_void("containers.memory_statistics", [&] {
    if (!out) return;
    const MemoryStatistics statistics = memory_statistics();
    out->values[ZOR_MEMSTAT_BLOCKS] = statistics.live_blocks;
    out->values[ZOR_MEMSTAT_BYTES] = statistics.live_bytes;
    out->values[ZOR_MEMSTAT_PEAK_BYTES] = statistics.peak_bytes;
    out->values[ZOR_MEMSTAT_ALLOCATIONS] = statistics.total_allocations;
  });
}

}  // namespace

const HostContainerTable* containers_table() {
  static const HostContainerTable table = [] {
    HostContainerTable t{};
    t.size = static_cast<int32_t>(sizeof(HostContainerTable));
    t.alloc = container_alloc;
    t.free = container_free;
    t.copy = container_copy;
    t.assign = container_assign;
    t.get_id = container_get_id;
    t.set_id = container_set_id;
    t.value_type = container_value_type;
    t.remove = container_remove;
    t.count = container_count;
    t.id_at = container_id_at;
    t.get_bool = get_bool;
    t.get_int32 = get_int32;
    t.get_int64 = get_int64;
    t.get_float = get_float;
    t.get_time = get_time;
    t.get_filename = get_filename;
    t.get_string = get_string;
    t.get_container = get_container;
    t.set_bool = set_bool;
    t.set_int32 = set_int32;
    t.set_int64 = set_int64;
    t.set_float = set_float;
    t.set_time = set_time;
    t.set_filename = set_filename;
    t.set_string = set_string;
    t.set_container = set_container;
    t.get_plugin_settings = get_plugin_settings;
    t.set_plugin_settings = set_plugin_settings;
    t.copy_global_settings = copy_global_settings;
    t.restore_global_settings = restore_global_settings;
    t.memory_statistics = container_memory_statistics;
    return t;
  }();
  return &table;
}

}  // namespace zorhost
