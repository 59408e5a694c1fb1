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
  // Makes this name read from size bytes at data instead of a file (BaseBitmap::InitWith,
  // HostRecognisesFile). The block stays the caller's and must outlive the name's use of it.
  void SetMemoryRead(const void* data, int64_t size);

  HostFilename* Get();
  const HostFilename* Get() const;

 private:
  HostFilename* Ensure() const;
  mutable HostFilename* name_ = nullptr;
};

// What the host takes a file to be, from its name and the first probeSize bytes of it (probe may be null
// when probeSize is 0). Answers the bits of flags that apply: 1 a scene, 2 an image decoded from its bytes,
// 4 an image by its name only. 0 when the host cannot tell.
int32_t IdentifyFile(const Filename& name, const void* probe, int32_t probeSize, int32_t flags);
// Whether the probe is of an identification class: 1 scenes, 2 images.
bool IdentifyFileClass(const Filename& name, const void* probe, int32_t probeSize,
                       int32_t identificationClass);
// The host's second file test: a file it can open itself (a scene or an image); the name may be a path or
// a core URL text.
bool HostRecognisesFile(const Filename& name);
