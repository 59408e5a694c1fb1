#include "zor_filename.h"

#include <utility>

#include "zor_host.h"

using Files = HostFileTable;

HostFilename* Filename::Ensure() const {
  if (_name == nullptr) _name = HostCall(nullptr, &Files::fn_alloc);
  return _name;
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

Filename::Filename(const Filename& other) : Filename(CopyOf(other._name)) {}

Filename Filename::CopyOf(const HostFilename* name) {
  Filename result;
  if (name != nullptr) result._name = HostCall(nullptr, &Files::fn_copy, name);
  return result;
}

Filename::Filename(Filename&& other) noexcept : _name(std::exchange(other._name, nullptr)) {}

Filename& Filename::operator=(const Filename& other) {
  if (this == &other) return *this;
  if (other._name == nullptr) {
    SetString(String());
    return *this;
  }
  if (Ensure()) HostCall(&Files::fn_assign, _name, other._name);
  return *this;
}

Filename& Filename::operator=(Filename&& other) noexcept {
  if (this != &other) {
    Filename discarded(std::move(*this));
    _name = std::exchange(other._name, nullptr);
  }
  return *this;
}

Filename::~Filename() {
  if (_name != nullptr) HostCall(&Files::fn_free, _name);
}

String Filename::GetString() const {
  String result;
  if (_name && result.Get()) HostCall(&Files::fn_get_string, _name, result.Get());
  return result;
}

void Filename::SetString(const String& path) {
  if (Ensure() && path.Get()) HostCall(&Files::fn_set_string, _name, path.Get());
}

Filename Filename::operator+(const Filename& name) const {
  Filename result(*this);
  result += name;
  return result;
}

Filename& Filename::operator+=(const Filename& name) {
  if (Ensure() && name.Ensure()) HostCall(&Files::fn_join, _name, _name, name._name);
  return *this;
}

Filename Filename::GetDirectory() const {
  Filename result;
  if (_name && result.Ensure()) HostCall(&Files::fn_directory, _name, result._name);
  return result;
}

Filename Filename::GetFile() const {
  Filename result;
  if (_name && result.Ensure()) HostCall(&Files::fn_file, _name, result._name);
  return result;
}

bool Filename::CheckSuffix(const char* suffix) const {
  return _name && suffix && HostCall(false, &Files::fn_check_suffix, _name, suffix);
}

void Filename::SetSuffix(const char* suffix) {
  if (suffix && Ensure()) HostCall(&Files::fn_set_suffix, _name, suffix);
}

bool Filename::IsEmpty() const {
  return _name == nullptr || HostCall(true, &Files::fn_is_empty, _name);
}

int32_t Filename::CompareName(const Filename& other) const {
  if (const auto compare = HostOperation(&Files::fn_compare)) return compare(_name, other._name);
  return GetString().Compare(other.GetString());
}

bool Filename::operator==(const Filename& other) const {
  if (IsEmpty() && other.IsEmpty()) return true;
  if (Ensure() == nullptr || other.Ensure() == nullptr) return false;
  return HostCall(false, &Files::fn_equal, _name, other._name);
}

void Filename::SetMemoryRead(const void* data, int64_t size) {
  if (Ensure() && size >= 0 && (data != nullptr || size == 0))
    HostCall(&Files::fn_set_memory_read, _name, data, size);
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
