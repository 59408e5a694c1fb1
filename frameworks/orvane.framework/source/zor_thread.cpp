#include "zor_thread.h"

#include "zor_host.h"

namespace {

using Threads = HostThreadTable;

ZORThread* AsThread(void* object) {
  return static_cast<ZORThread*>(object);
}

void RunThread(void* object) {
  try {
    AsThread(object)->Run();
  } catch (...) {
    // A body that throws simply ends; the host must not see the exception.
  }
}

bool TestThreadExtraBreak(void* object) {
  try {
    return AsThread(object)->TestExtraBreak();
  } catch (...) {
    return true;
  }
}

const char* QueryThreadName(void* object) {
  try {
    const char* name = AsThread(object)->QueryName();
    return name ? name : "";
  } catch (...) {
    return "";
  }
}

}  // namespace

ZORThread::ZORThread() {
  thread_ = HostCall(nullptr, &Threads::alloc, &RunThread, &TestThreadExtraBreak, &QueryThreadName, this);
}

ZORThread::~ZORThread() {
  if (thread_) HostCall(&Threads::free, thread_);
}

bool ZORThread::TestExtraBreak() {
  return false;
}

bool ZORThread::Start(int32_t mode, int32_t priority) {
  return thread_ && HostCall(false, &Threads::start, thread_, mode, priority);
}

void ZORThread::End(bool wait) {
  if (thread_) HostCall(&Threads::end, thread_, wait);
}

bool ZORThread::IsRunning() const {
  return thread_ && HostCall(false, &Threads::is_running, thread_);
}

bool ZORThread::TestBreak() const {
  return thread_ && HostCall(false, &Threads::test_break, thread_);
}

void GeGlobalLock() {
  HostCall(&Threads::lock);
}

void GeGlobalUnlock() {
  HostCall(&Threads::unlock);
}
