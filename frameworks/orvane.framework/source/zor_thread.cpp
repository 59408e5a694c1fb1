#include "zor_thread.h"

#include "zor_host.h"

namespace {

const HostThreadTable* Threads() {
  const HostFunctionTable* host = HostTable();
  // A shorter family from an older host is not read past its end: the module then does without it.
  if (!host || !host->threads || host->threads->size < static_cast<int32_t>(sizeof(HostThreadTable)))
    return nullptr;
  return host->threads;
}

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
  const HostThreadTable* threads = Threads();
  if (threads && threads->alloc)
    thread_ = threads->alloc(&RunThread, &TestThreadExtraBreak, &QueryThreadName, this);
}

ZORThread::~ZORThread() {
  const HostThreadTable* threads = Threads();
  if (thread_ && threads && threads->free) threads->free(thread_);
}

bool ZORThread::TestExtraBreak() {
  return false;
}

bool ZORThread::Start(int32_t mode, int32_t priority) {
  const HostThreadTable* threads = Threads();
  return thread_ && threads && threads->start && threads->start(thread_, mode, priority);
}

void ZORThread::End(bool wait) {
  const HostThreadTable* threads = Threads();
  if (thread_ && threads && threads->end) threads->end(thread_, wait);
}

bool ZORThread::IsRunning() const {
  const HostThreadTable* threads = Threads();
  return thread_ && threads && threads->is_running && threads->is_running(thread_);
}

bool ZORThread::TestBreak() const {
  const HostThreadTable* threads = Threads();
  return thread_ && threads && threads->test_break && threads->test_break(thread_);
}

void GeGlobalLock() {
  const HostThreadTable* threads = Threads();
  if (threads && threads->lock) threads->lock();
}

void GeGlobalUnlock() {
  const HostThreadTable* threads = Threads();
  if (threads && threads->unlock) threads->unlock();
}
