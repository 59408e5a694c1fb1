// Host threads driven by a module object, and the host's global lock.
#pragma once
#include <cstdint>

#include "zor_api.h"

// A host thread that runs this object's Run. The virtual operations keep the host's slot order.
// A derived class ends the thread (End(true)) before its own members go away: the host frees the
// thread only in this base destructor, when Run can no longer reach the derived object.
class ZORThread {
 public:
  ZORThread();
  ZORThread(const ZORThread&) = delete;
  ZORThread& operator=(const ZORThread&) = delete;
  virtual ~ZORThread();
  virtual bool TestExtraBreak();
  virtual void Run() = 0;
  virtual const char* QueryName() = 0;

  // ZOR_THREAD_SYNC runs Run to its end before answering.
  bool Start(int32_t mode = ZOR_THREAD_ASYNC, int32_t priority = 0);
  void End(bool wait = true);
  bool IsRunning() const;
  // True once End was asked or TestExtraBreak answers true; Run polls it between units of work.
  bool TestBreak() const;
  HostThread* GetHandle() const { return thread_; }

 private:
  HostThread* thread_ = nullptr;
};

// The host's one global lock, shared by every thread of the host and its modules.
void GeGlobalLock();
void GeGlobalUnlock();

class GeGlobalLockGuard {
 public:
  GeGlobalLockGuard() { GeGlobalLock(); }
  ~GeGlobalLockGuard() { GeGlobalUnlock(); }
  GeGlobalLockGuard(const GeGlobalLockGuard&) = delete;
  GeGlobalLockGuard& operator=(const GeGlobalLockGuard&) = delete;
};

// Publishes a run's state in a module-wide reference for its worker thread and progress dialog, and
// withdraws it when the scope ends; the worker has ended by then.
template <class T>
class PublishedRunState {
 public:
  PublishedRunState(T*& reference, T& state) : reference_(reference) { reference_ = &state; }
  ~PublishedRunState() { reference_ = nullptr; }
  PublishedRunState(const PublishedRunState&) = delete;
  PublishedRunState& operator=(const PublishedRunState&) = delete;

 private:
  T*& reference_;
};
