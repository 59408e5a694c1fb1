#include "batch_run.h"

#include <cmath>

#include "zor_general.h"
#include "zor_gui.h"
#include "zor_thread.h"

double ElapsedSeconds(int64_t t0, int64_t t1, TimeCut cut) {
  const double tenths = double(t1 - t0) * 0.1;
  return (cut == TimeCut::kFloor ? std::floor(tenths) : double(int64_t(tenths))) / 100.0;
}

String PublishStatus(String& shared, const String& text, int32_t eventId) {
  {
    GeGlobalLockGuard lock;
    shared = text;
    GePrint(shared);
  }
  GeSpecialEventAdd(eventId);
  return text;
}

String FinalStatusText(int32_t stoppedAt, int32_t count, const Filename& stoppedScene) {
  if (stoppedAt == count) return String("Renderator successful!");
  return "An error occured|(Scene " + stoppedScene.GetString() + ")";
}

// true when the host has no user interface and the thread ran on the calling thread; else the thread
// was started on its own, and started tells whether that worked
bool StartOnCallingThread(ZORThread& thread, bool& started) {
  const bool synchronous = GeRunsWithoutGui();
  started = thread.Start(synchronous ? ZOR_THREAD_SYNC : ZOR_THREAD_ASYNC);
  return synchronous;
}
