#include "zor_filename.h"

#include <utility>

#include "zor_host.h"

using Files = HostFileTable;

HostFilename* Filename::Ensure() const {
  if (name_ == nullptr) name_ = HostCall(nullptr, &Files::fn_alloc);
  return name_;
}

HostFilename* Filename::Get() {
  return Ensure();
}
const HostFilename* Filename::Get() const {
  return Ensure();
}

Filename::Filename(const String& path) {
  SetString(path);
}
Filename::Filename(const char* utf8) {
  SetString(String(utf8));
}

Filename::Filename(const Filename& other) : Filename(CopyOf(other.name_)) {}

Filename Filename::CopyOf(const HostFilename* name) {
  Filename result;
  if (name != nullptr) result.name_ = HostCall(nullptr, &Files::fn_copy, name);
  return result;
}

Filename::Filename(Filename&& other) noexcept : name_(std::exchange(other.name_, nullptr)) {}

Filename& Filename::operator=(const Filename& other) {
  if (this == &other) return *this;
  if (other.name_ == nullptr) {
    SetString(String());
    return *this;
  }
  if (Ensure()) HostCall(&Files::fn_assign, name_, other.name_);
  return *this;
}

Filename& Filename::operator=(Filename&& other) noexcept {
  if (this != &other) {
    Filename discarded(std::move(*this));
    name_ = std::exchange(other.name_, nullptr);
  }
  return *this;
}

Filename::~Filename() {
  if (name_ != nullptr) HostCall(&Files::fn_free, name_);
}

String Filename::GetString() const {
  String result;
  if (name_ && result.Get()) HostCall(&Files::fn_get_string, name_, result.Get());
  return result;
}

void Filename::SetString(const String& path) {
  if (Ensure() && path.Get()) HostCall(&Files::fn_set_string, name_, path.Get());
}

Filename Filename::operator+(const Filename& name) const {
  Filename result(*this);
  result += name;
  return result;
}

Filename& Filename::operator+=(const Filename& name) {
  if (Ensure() && name.Ensure()) HostCall(&Files::fn_join, name_, name_, name.name_);
  return *this;
}

Filename Filename::GetDirectory() const {
  Filename result;
  if (name_ && result.Ensure()) HostCall(&Files::fn_directory, name_, result.name_);
  return result;
}

Filename Filename::GetFile() const {
  Filename result;
  if (name_ && result.Ensure()) HostCall(&Files::fn_file, name_, result.name_);
  return result;
}

bool Filename::CheckSuffix(const char* suffix) const {
  return name_ && suffix && HostCall(false, &Files::fn_check_suffix, name_, suffix);
}

void Filename::SetSuffix(const char* suffix) {
  if (suffix && Ensure()) HostCall(&Files::fn_set_suffix, name_, suffix);
}

bool Filename::IsEmpty() const {
  return name_ == nullptr || HostCall(true, &Files::fn_is_empty, name_);
}

int32_t Filename::CompareName(const Filename& other) const {
  if (const auto compare = HostOperation(&Files::fn_compare)) return compare(name_, other.name_);
  return GetString().Compare(other.GetString());
}

bool Filename::operator==(const Filename& other) const {
  if (IsEmpty() && other.IsEmpty()) return true;
  if (Ensure() == nullptr || other.Ensure() == nullptr) return false;
  return HostCall(false, &Files::fn_equal, name_, other.name_);
}

void Filename::SetMemoryRead(const void* data, int64_t size) {
  if (Ensure() && size >= 0 && (data != nullptr || size == 0))
    HostCall(&Files::fn_set_memory_read, name_, data, size);
}

int32_t IdentifyFile(const Filename& name, const void* probe, int32_t probeSize, int32_t flags) {
  if (probeSize < 0 || (probe == nullptr && probeSize != 0)) return 0;
  return HostCall(0, &Files::identify, name.Get(), probe, probeSize, flags);
}

bool IdentifyFileClass(const Filename& name, const void* probe, int32_t probeSize,
                       int32_t identificationClass) {
  if (probeSize < 0 || (probe == nullptr && probeSize != 0)) return false;
  return HostCall(false, &Files::identify_class, name.Get(), probe, probeSize, identificationClass);
}

bool HostRecognisesFile(const Filename& name) {
  return HostCall(false, &Files::recognises, name.Get());
}
