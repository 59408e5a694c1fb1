#include "zor_container.h"

#include <utility>

#include "zor_host.h"

HostContainer* BaseContainer::Ensure() const {
  if (_container == nullptr && !_borrowed) {
    if (auto alloc = ZOR_CONTAINERS(alloc)) _container = alloc(_pendingId);
  }
  return _container;
}

void BaseContainer::Reset() {
  if (_container != nullptr && !_borrowed) {
    if (auto free = ZOR_CONTAINERS(free)) free(_container);
  }
  _container = nullptr;
  _borrowed = false;
}

BaseContainer::BaseContainer(const BaseContainer& other) : _pendingId(other._pendingId) {
  if (other._container == nullptr) return;
  if (auto copy = ZOR_CONTAINERS(copy)) _container = copy(other._container);
}

BaseContainer::BaseContainer(BaseContainer&& other) noexcept
    : _container(std::exchange(other._container, nullptr)),
      _pendingId(other._pendingId),
      _borrowed(std::exchange(other._borrowed, false)) {}

BaseContainer& BaseContainer::operator=(const BaseContainer& other) {
  if (this == &other) return *this;
  BaseContainer copy(other);
  *this = std::move(copy);
  return *this;
}

BaseContainer& BaseContainer::operator=(BaseContainer&& other) noexcept {
  if (this != &other) {
    Reset();
    _container = std::exchange(other._container, nullptr);
    _pendingId = other._pendingId;
    _borrowed = std::exchange(other._borrowed, false);
  }
  return *this;
}

BaseContainer::~BaseContainer() {
  Reset();
}

BaseContainer BaseContainer::Borrow(HostContainer* container) {
  BaseContainer view;
  view._container = container;
  view._borrowed = true;
  return view;
}

BaseContainer BaseContainer::Adopt(HostContainer* container) {
  BaseContainer owned;
  owned._container = container;
  return owned;
}

HostContainer* BaseContainer::Release() {
  HostContainer* handle = Ensure();
  _container = nullptr;
  _borrowed = false;
  return handle;
}

int32_t BaseContainer::GetId() const {
  auto get_id = ZOR_CONTAINERS(get_id);
  if (_container == nullptr) return _pendingId;
  return get_id ? get_id(_container) : 0;
}

void BaseContainer::SetId(int32_t id) {
  _pendingId = id;
  auto set_id = ZOR_CONTAINERS(set_id);
  if (_container && set_id) set_id(_container, id);
}

int32_t BaseContainer::GetType(int32_t id) const {
  auto value_type = ZOR_CONTAINERS(value_type);
  return _container && value_type ? value_type(_container, id) : ZOR_VALUE_NONE;
}

bool BaseContainer::Remove(int32_t id) {
  auto remove = ZOR_CONTAINERS(remove);
  return _container && remove && remove(_container, id);
}

bool BaseContainer::GetBool(int32_t id, bool def) const {
  auto get_bool = ZOR_CONTAINERS(get_bool);
  return _container && get_bool ? get_bool(_container, id, def) : def;
}

int32_t BaseContainer::GetInt32(int32_t id, int32_t def) const {
  auto get_int32 = ZOR_CONTAINERS(get_int32);
  return _container && get_int32 ? get_int32(_container, id, def) : def;
}

int64_t BaseContainer::GetInt64(int32_t id, int64_t def) const {
  auto get_int64 = ZOR_CONTAINERS(get_int64);
  return _container && get_int64 ? get_int64(_container, id, def) : def;
}

double BaseContainer::GetFloat(int32_t id, double def) const {
  auto get_float = ZOR_CONTAINERS(get_float);
  return _container && get_float ? get_float(_container, id, def) : def;
}

Filename BaseContainer::GetFilename(int32_t id) const {
  Filename result;
  auto get_filename = ZOR_CONTAINERS(get_filename);
  if (_container && get_filename && result.Get()) get_filename(_container, id, result.Get());
  return result;
}

String BaseContainer::GetString(int32_t id) const {
  String result;
  auto get_string = ZOR_CONTAINERS(get_string);
  if (_container && get_string && result.Get()) get_string(_container, id, result.Get());
  return result;
}

BaseContainer BaseContainer::GetContainer(int32_t id) {
  auto get_container = ZOR_CONTAINERS(get_container);
  return Borrow(_container && get_container ? get_container(_container, id) : nullptr);
}

void BaseContainer::SetBool(int32_t id, bool value) {
  auto set_bool = ZOR_CONTAINERS(set_bool);
  if (set_bool && Ensure()) set_bool(_container, id, value);
}

void BaseContainer::SetInt32(int32_t id, int32_t value) {
  auto set_int32 = ZOR_CONTAINERS(set_int32);
  if (set_int32 && Ensure()) set_int32(_container, id, value);
}

void BaseContainer::SetInt64(int32_t id, int64_t value) {
  auto set_int64 = ZOR_CONTAINERS(set_int64);
  if (set_int64 && Ensure()) set_int64(_container, id, value);
}

void BaseContainer::SetFloat(int32_t id, double value) {
  auto set_float = ZOR_CONTAINERS(set_float);
  if (set_float && Ensure()) set_float(_container, id, value);
}

void BaseContainer::SetFilename(int32_t id, const Filename& value) {
  auto set_filename = ZOR_CONTAINERS(set_filename);
  if (set_filename && Ensure() && value.Get()) set_filename(_container, id, value.Get());
}

void BaseContainer::SetString(int32_t id, const String& value) {
  auto set_string = ZOR_CONTAINERS(set_string);
  if (set_string && Ensure() && value.Get()) set_string(_container, id, value.Get());
}

void BaseContainer::SetContainer(int32_t id, const BaseContainer& value) {
  auto set_container = ZOR_CONTAINERS(set_container);
  if (set_container && Ensure() && value.Get()) set_container(_container, id, value.Get());
}
