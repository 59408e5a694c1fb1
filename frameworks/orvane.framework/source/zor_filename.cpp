#include "zor_filename.h"

#include <utility>

#include "zor_host.h"

HostFilename* Filename::Ensure() const {
  if (_name == nullptr) {
    if (auto fn_alloc = ZOR_FILES(fn_alloc)) _name = fn_alloc();
  }
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

Filename::Filename(const Filename& other) {
  if (other._name == nullptr) return;
  if (auto fn_copy = ZOR_FILES(fn_copy)) _name = fn_copy(other._name);
}

Filename Filename::CopyOf(const HostFilename* name) {
  Filename result;
  if (name == nullptr) return result;
  if (auto fn_copy = ZOR_FILES(fn_copy)) result._name = fn_copy(name);
  return result;
}

Filename::Filename(Filename&& other) noexcept : _name(std::exchange(other._name, nullptr)) {}

Filename& Filename::operator=(const Filename& other) {
  if (this == &other) return *this;
  if (other._name == nullptr) {
    SetString(String());
    return *this;
  }
  auto fn_assign = ZOR_FILES(fn_assign);
  if (fn_assign && Ensure()) fn_assign(_name, other._name);
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
  if (_name == nullptr) return;
  if (auto fn_free = ZOR_FILES(fn_free)) fn_free(_name);
}

String Filename::GetString() const {
  String result;
  auto fn_get_string = ZOR_FILES(fn_get_string);
  if (_name && fn_get_string && result.Get()) fn_get_string(_name, result.Get());
  return result;
}

void Filename::SetString(const String& path) {
  auto fn_set_string = ZOR_FILES(fn_set_string);
  if (fn_set_string && Ensure() && path.Get()) fn_set_string(_name, path.Get());
}

Filename Filename::operator+(const Filename& name) const {
  Filename result(*this);
  result += name;
  return result;
}

Filename& Filename::operator+=(const Filename& name) {
  auto fn_join = ZOR_FILES(fn_join);
  if (fn_join && Ensure() && name.Ensure()) fn_join(_name, _name, name._name);
  return *this;
}

Filename Filename::GetDirectory() const {
  Filename result;
  auto fn_directory = ZOR_FILES(fn_directory);
  if (_name && fn_directory && result.Ensure()) fn_directory(_name, result._name);
  return result;
}

Filename Filename::GetFile() const {
  Filename result;
  auto fn_file = ZOR_FILES(fn_file);
  if (_name && fn_file && result.Ensure()) fn_file(_name, result._name);
  return result;
}

bool Filename::CheckSuffix(const char* suffix) const {
  auto fn_check_suffix = ZOR_FILES(fn_check_suffix);
  return _name && suffix && fn_check_suffix && fn_check_suffix(_name, suffix);
}

void Filename::SetSuffix(const char* suffix) {
  auto fn_set_suffix = ZOR_FILES(fn_set_suffix);
  if (suffix && fn_set_suffix && Ensure()) fn_set_suffix(_name, suffix);
}

bool Filename::IsEmpty() const {
  if (_name == nullptr) return true;
  auto fn_is_empty = ZOR_FILES(fn_is_empty);
  return fn_is_empty ? fn_is_empty(_name) : true;
}

bool Filename::operator==(const Filename& other) const {
  if (IsEmpty() && other.IsEmpty()) return true;
  auto fn_equal = ZOR_FILES(fn_equal);
  if (fn_equal == nullptr || Ensure() == nullptr || other.Ensure() == nullptr) return false;
  return fn_equal(_name, other._name);
}
