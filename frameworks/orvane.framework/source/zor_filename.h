// A host path object; like String, the host object is made on first use.
#pragma once
#include "zor_string.h"

class Filename {
 public:
  Filename() = default;
  Filename(const String& path);  // NOLINT: paths are often written as texts
  Filename(const char* utf8);    // NOLINT
  Filename(const Filename& other);
  // A copy of a path object the host lends (the module's own file name at bind, for instance).
  static Filename CopyOf(const HostFilename* name);
  Filename(Filename&& other) noexcept;
  Filename& operator=(const Filename& other);
  Filename& operator=(Filename&& other) noexcept;
  ~Filename();

  String GetString() const;
  void SetString(const String& path);

  Filename operator+(const Filename& name) const;  // joins a name below this path
  Filename& operator+=(const Filename& name);
  Filename GetDirectory() const;
  Filename GetFile() const;
  bool CheckSuffix(const char* suffix) const;  // without the dot, letters compared without case
  void SetSuffix(const char* suffix);
  bool IsEmpty() const;
  bool operator==(const Filename& other) const;
  bool operator!=(const Filename& other) const { return !(*this == other); }
  // The host's comparison of names as its file system matches them (< 0, 0, > 0); a host that cannot
  // compare names answers the comparison of the texts.
  int32_t CompareName(const Filename& other) const;

  HostFilename* Get();
  const HostFilename* Get() const;

 private:
  HostFilename* Ensure() const;
  mutable HostFilename* _name = nullptr;
};
