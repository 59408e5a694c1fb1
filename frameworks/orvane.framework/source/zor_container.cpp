#include "zor_container.h"

#include <utility>

#include "zor_host.h"

using Containers = HostContainerTable;

HostContainer* BaseContainer::Ensure() const {
  if (_container == nullptr && !_borrowed) _container = HostCall(nullptr, &Containers::alloc, _pendingId);
  return _container;
}

void BaseContainer::Reset() {
  if (_container != nullptr && !_borrowed) HostCall(&Containers::free, _container);
  _container = nullptr;
  _borrowed = false;
}

BaseContainer::BaseContainer(const BaseContainer& other) : _pendingId(other._pendingId) {
  if (other._container != nullptr) _container = HostCall(nullptr, &Containers::copy, other._container);
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
  return _container ? HostCall(0, &Containers::get_id, _container) : _pendingId;
}

void BaseContainer::SetId(int32_t id) {
  _pendingId = id;
  if (_container) HostCall(&Containers::set_id, _container, id);
}

int32_t BaseContainer::GetCount() const {
  return _container ? HostCall(0, &Containers::count, _container) : 0;
}

int32_t BaseContainer::GetIdAt(int32_t index) const {
  return _container ? HostCall(-1, &Containers::id_at, _container, index) : -1;
}

int32_t BaseContainer::GetType(int32_t id) const {
  return _container ? HostCall(int32_t{ZOR_VALUE_NONE}, &Containers::value_type, _container, id)
                    : ZOR_VALUE_NONE;
}

bool BaseContainer::Remove(int32_t id) {
  return _container && HostCall(false, &Containers::remove, _container, id);
}

bool BaseContainer::GetBool(int32_t id, bool def) const {
  return _container ? HostCall(def, &Containers::get_bool, _container, id, def) : def;
}

int32_t BaseContainer::GetInt32(int32_t id, int32_t def) const {
  return _container ? HostCall(def, &Containers::get_int32, _container, id, def) : def;
}

int64_t BaseContainer::GetInt64(int32_t id, int64_t def) const {
  return _container ? HostCall(def, &Containers::get_int64, _container, id, def) : def;
}

double BaseContainer::GetFloat(int32_t id, double def) const {
  return _container ? HostCall(def, &Containers::get_float, _container, id, def) : def;
}

void BaseContainer::GetTime(int32_t id, int64_t& num, int64_t& den) const {
  num = 0;
  den = 1;
  if (_container) HostCall(&Containers::get_time, _container, id, &num, &den);
}

Filename BaseContainer::GetFilename(int32_t id) const {
  Filename result;
  if (_container && result.Get()) HostCall(false, &Containers::get_filename, _container, id, result.Get());
  return result;
}

String BaseContainer::GetString(int32_t id) const {
  String result;
  if (_container && result.Get()) HostCall(false, &Containers::get_string, _container, id, result.Get());
  return result;
}

BaseContainer BaseContainer::GetContainer(int32_t id) {
  return Borrow(_container ? HostCall(nullptr, &Containers::get_container, _container, id) : nullptr);
}

void BaseContainer::SetBool(int32_t id, bool value) {
  if (Ensure()) HostCall(&Containers::set_bool, _container, id, value);
}

void BaseContainer::SetInt32(int32_t id, int32_t value) {
  if (Ensure()) HostCall(&Containers::set_int32, _container, id, value);
}

void BaseContainer::SetTime(int32_t id, int64_t num, int64_t den) {
  if (Ensure()) HostCall(&Containers::set_time, _container, id, num, den);
}

void BaseContainer::SetInt64(int32_t id, int64_t value) {
  if (Ensure()) HostCall(&Containers::set_int64, _container, id, value);
}

void BaseContainer::SetFloat(int32_t id, double value) {
  if (Ensure()) HostCall(&Containers::set_float, _container, id, value);
}

void BaseContainer::SetFilename(int32_t id, const Filename& value) {
  if (Ensure() && value.Get()) HostCall(&Containers::set_filename, _container, id, value.Get());
}

void BaseContainer::SetString(int32_t id, const String& value) {
  if (Ensure() && value.Get()) HostCall(&Containers::set_string, _container, id, value.Get());
}

void BaseContainer::SetContainer(int32_t id, const BaseContainer& value) {
  if (Ensure() && value.Get()) HostCall(&Containers::set_container, _container, id, value.Get());
}

BaseContainer GetGlobalSettingsCopy() {
  return BaseContainer::Adopt(HostCall(nullptr, &Containers::copy_global_settings));
}

void SetGlobalSettings(const BaseContainer& settings) {
  HostCall(&Containers::restore_global_settings, settings.Get());
}

BaseContainer GetMemoryStatistics() {
  BaseContainer statistics;
  HostCall(&Containers::memory_statistics, statistics.Get());
  return statistics;
}
