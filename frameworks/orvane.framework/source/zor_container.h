// A host container of id-keyed values. An owned container frees its host object; a borrowed one is a
// view of a container the host lends (a message, a sub-container) and never frees it.
#pragma once
#include <cstdint>

#include "zor_filename.h"

class BaseContainer {
 public:
  explicit BaseContainer(int32_t id = 0) : pendingId_(id) {}
  BaseContainer(const BaseContainer& other);  // a deep, owned copy, also of a borrowed one
  BaseContainer(BaseContainer&& other) noexcept;
  BaseContainer& operator=(const BaseContainer& other);
  BaseContainer& operator=(BaseContainer&& other) noexcept;
  ~BaseContainer();

  static BaseContainer Borrow(HostContainer* container);
  // Takes over a container the host handed to the caller (for instance a copy it made).
  static BaseContainer Adopt(HostContainer* container);

  bool IsValid() const { return Ensure() != nullptr; }

  int32_t GetId() const;
  void SetId(int32_t id);
  int32_t GetType(int32_t id) const;  // ZOR_VALUE_*
  bool Remove(int32_t id);
  // The entries in the host's order (ascending ids): GetIdAt answers -1 outside 0 .. GetCount() - 1.
  int32_t GetCount() const;
  int32_t GetIdAt(int32_t index) const;

  bool GetBool(int32_t id, bool def = false) const;
  int32_t GetInt32(int32_t id, int32_t def = 0) const;
  int64_t GetInt64(int32_t id, int64_t def = 0) const;
  double GetFloat(int32_t id, double def = 0.0) const;
  // a time as the fraction num / den; 0 / 1 when missing
  void GetTime(int32_t id, int64_t& num, int64_t& den) const;
  Filename GetFilename(int32_t id) const;  // empty when missing
  String GetString(int32_t id) const;      // empty when missing
  BaseContainer GetContainer(int32_t id);  // borrowed; not valid when missing

  void SetBool(int32_t id, bool value);
  void SetInt32(int32_t id, int32_t value);
  void SetInt64(int32_t id, int64_t value);
  void SetFloat(int32_t id, double value);
  void SetTime(int32_t id, int64_t num, int64_t den);
  void SetFilename(int32_t id, const Filename& value);
  void SetString(int32_t id, const String& value);
  void SetContainer(int32_t id, const BaseContainer& value);  // stores a copy

  HostContainer* Get() { return Ensure(); }
  const HostContainer* Get() const { return Ensure(); }
  // Gives the host object up; the caller (usually the host) owns it from now on.
  HostContainer* Release();

 private:
  HostContainer* Ensure() const;
  void Reset();

  mutable HostContainer* container_ = nullptr;
  int32_t pendingId_ = 0;  // the id an owned container is made with on first use
  bool borrowed_ = false;
};

// The host's global settings: a copy the caller owns, and the write back of such a copy.
BaseContainer GetGlobalSettingsCopy();
void SetGlobalSettings(const BaseContainer& settings);
// The host's memory statistics (ZOR_MEMSTAT_ entries); empty when the host cannot tell.
BaseContainer GetMemoryStatistics();
