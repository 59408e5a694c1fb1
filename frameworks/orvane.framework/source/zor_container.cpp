#include "zor_container.h"

#include <utility>

#include "zor_host.h"

using Containers = HostContainerTable;

HostContainer* BaseContainer::Ensure() const {
  if (container_ == nullptr && !borrowed_) container_ = HostCall(nullptr, &Containers::alloc, pendingId_);
  return container_;
}

void BaseContainer::Reset() {
  if (container_ != nullptr && !borrowed_) HostCall(&Containers::free, container_);
  container_ = nullptr;
  borrowed_ = false;
}

BaseContainer::BaseContainer(const BaseContainer& other) : pendingId_(other.pendingId_) {
  if (other.container_ != nullptr) container_ = HostCall(nullptr, &Containers::copy, other.container_);
}

BaseContainer::BaseContainer(BaseContainer&& other) noexcept
    : container_(std::exchange(other.container_, nullptr)),
      pendingId_(other.pendingId_),
      borrowed_(std::exchange(other.borrowed_, false)) {}

BaseContainer& BaseContainer::operator=(const BaseContainer& other) {
  if (this == &other) return *this;
  BaseContainer copy(other);
  *this = std::move(copy);
  return *this;
}

BaseContainer& BaseContainer::operator=(BaseContainer&& other) noexcept {
  if (this != &other) {
    Reset();
    container_ = std::exchange(other.container_, nullptr);
    pendingId_ = other.pendingId_;
    borrowed_ = std::exchange(other.borrowed_, false);
  }
  return *this;
}

BaseContainer::~BaseContainer() {
  Reset();
}

BaseContainer BaseContainer::Borrow(HostContainer* container) {
  BaseContainer view;
  view.container_ = container;
  view.borrowed_ = true;
  return view;
}

BaseContainer BaseContainer::Adopt(HostContainer* container) {
  BaseContainer owned;
  owned.container_ = container;
  return owned;
}

HostContainer* BaseContainer::Release() {
  HostContainer* handle = Ensure();
  container_ = nullptr;
  borrowed_ = false;
  return handle;
}

int32_t BaseContainer::GetId() const {
  return container_ ? HostCall(0, &Containers::get_id, container_) : pendingId_;
}

void BaseContainer::SetId(int32_t id) {
  pendingId_ = id;
  if (container_) HostCall(&Containers::set_id, container_, id);
}

int32_t BaseContainer::GetCount() const {
  return container_ ? HostCall(0, &Containers::count, container_) : 0;
}

int32_t BaseContainer::GetIdAt(int32_t index) const {
  return container_ ? HostCall(-1, &Containers::id_at, container_, index) : -1;
}

int32_t BaseContainer::GetType(int32_t id) const {
  return container_ ? HostCall(int32_t{ZOR_VALUE_NONE}, &Containers::value_type, container_, id)
                    : ZOR_VALUE_NONE;
}

bool BaseContainer::Remove(int32_t id) {
  return container_ && HostCall(false, &Containers::remove, container_, id);
}

bool BaseContainer::GetBool(int32_t id, bool def) const {
  return container_ ? HostCall(def, &Containers::get_bool, container_, id, def) : def;
}

int32_t BaseContainer::GetInt32(int32_t id, int32_t def) const {
  return container_ ? HostCall(def, &Containers::get_int32, container_, id, def) : def;
}

int64_t BaseContainer::GetInt64(int32_t id, int64_t def) const {
  return container_ ? HostCall(def, &Containers::get_int64, container_, id, def) : def;
}

double BaseContainer::GetFloat(int32_t id, double def) const {
  return container_ ? HostCall(def, &Containers::get_float, container_, id, def) : def;
}

void BaseContainer::GetTime(int32_t id, int64_t& num, int64_t& den) const {
  num = 0;
  den = 1;
  if (container_) HostCall(&Containers::get_time, container_, id, &num, &den);
}

Filename BaseContainer::GetFilename(int32_t id) const {
  Filename result;
  if (container_ && result.Get()) HostCall(false, &Containers::get_filename, container_, id, result.Get());
  return result;
}

String BaseContainer::GetString(int32_t id) const {
  String result;
  if (container_ && result.Get()) HostCall(false, &Containers::get_string, container_, id, result.Get());
  return result;
}

BaseContainer BaseContainer::GetContainer(int32_t id) {
  return Borrow(container_ ? HostCall(nullptr, &Containers::get_container, container_, id) : nullptr);
}

void BaseContainer::SetBool(int32_t id, bool value) {
  if (Ensure()) HostCall(&Containers::set_bool, container_, id, value);
}

void BaseContainer::SetInt32(int32_t id, int32_t value) {
  if (Ensure()) HostCall(&Containers::set_int32, container_, id, value);
}

void BaseContainer::SetTime(int32_t id, int64_t num, int64_t den) {
  if (Ensure()) HostCall(&Containers::set_time, container_, id, num, den);
}

void BaseContainer::SetInt64(int32_t id, int64_t value) {
  if (Ensure()) HostCall(&Containers::set_int64, container_, id, value);
}

void BaseContainer::SetFloat(int32_t id, double value) {
  if (Ensure()) HostCall(&Containers::set_float, container_, id, value);
}

void BaseContainer::SetFilename(int32_t id, const Filename& value) {
  if (Ensure() && value.Get()) HostCall(&Containers::set_filename, container_, id, value.Get());
}

void BaseContainer::SetString(int32_t id, const String& value) {
  if (Ensure() && value.Get()) HostCall(&Containers::set_string, container_, id, value.Get());
}

void BaseContainer::SetContainer(int32_t id, const BaseContainer& value) {
  if (Ensure() && value.Get()) HostCall(&Containers::set_container, container_, id, value.Get());
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
