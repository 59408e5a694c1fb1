#include "zor_general.h"

#include "zor_host.h"

int64_t GeGetTimer() {
  auto timer_ms = ZOR_GENERAL(timer_ms);
  return timer_ms ? timer_ms() : 0;
}

int32_t GetHostApiVersion() {
  const HostFunctionTable* table = HostTable();
  return table ? table->version : 0;
}

void GeCleanup() {
  if (auto cleanup = ZOR_GENERAL(cleanup)) cleanup();
}

void GePrint(const String& text) {
  auto console_print = ZOR_GUI(console_print);
  if (console_print && text.Get()) console_print(text.Get());
}
