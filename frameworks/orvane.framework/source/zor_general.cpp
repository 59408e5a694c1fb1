#include "zor_general.h"

#include "zor_host.h"

int64_t GeGetTimer() {
  return HostCall(int64_t{0}, &HostGeneralTable::timer_ms);
}

int32_t GetHostApiVersion() {
  const HostFunctionTable* table = HostTable();
  return table ? table->version : 0;
}

void GeCleanup() {
  HostCall(&HostGeneralTable::cleanup);
}

void GeCheck(uint32_t marker) {
  HostCall(&HostGeneralTable::check, marker);
}

void GePrint(const String& text) {
  if (text.Get()) HostCall(&HostGuiTable::console_print, text.Get());
}
