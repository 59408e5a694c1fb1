// Command objects and their registration. The host owns a command object once it is registered and
// destroys it through the record's destroy callback at its end.
#pragma once
#include <cstdint>

#include "zor_api.h"
#include "zor_string.h"

// Root of every object the host may own and destroy.
class BaseData {
 public:
  virtual ~BaseData();
};

class CommandData;

// Registers a command made with NewObj. On success the host owns the object; on failure it is
// destroyed here, so that a refused registration leaks nothing. A null object answers false without
// asking the host.
bool RegisterCommandPlugin(int32_t id, const String& name, int32_t info, void* icon, const String& help,
                           CommandData* object);

// A host command. The virtual operations keep the host's slot order; the unnamed host operations
// (reserved below) keep their positions although no command of the module changes them.
class CommandData : public BaseData {
 public:
  ~CommandData() override;
  virtual bool Execute(HostDocument* doc);
  virtual bool ReservedOperation2(HostDocument* doc, int32_t arg);
  virtual bool ReservedOperation3(HostDocument* doc, int32_t arg);
  virtual int32_t QueryState(HostDocument* doc);
  virtual bool ReservedOperation5(HostDocument* doc, int32_t arg);
  virtual bool RestoreDialog(void* secret);
  virtual String QueryText();
  virtual bool ReservedOperation8(HostDocument* doc, int32_t arg);

 private:
  friend bool RegisterCommandPlugin(int32_t, const String&, int32_t, void*, const String&, CommandData*);
  // The registration record points at this text, so it lives exactly as long as the command.
  String registeredHelp_;
};

// Fills a registration record for the object: the destroy callback, the object, the help text and
// icon, and the forwarding callbacks. Exposed so that the record can be checked without a host.
void FillCommandRecord(HostCommandRecord& record, int32_t info, void* icon, HostString* help,
                       CommandData* object);
