// Host threads: a module's run body on a std::thread (or on the caller's thread), with the break test
// that long work polls.
#pragma once
#include <atomic>
#include <mutex>
#include <thread>

#include "zor_api.h"

struct HostThread {
  HostThreadRun run = nullptr;
  HostThreadExtraBreak extra_break = nullptr;
  HostThreadName name = nullptr;
  void* object = nullptr;
  std::thread worker;
  std::mutex join_mutex;  // end() may be called from more than one thread
  std::atomic<bool> stop_requested{false};
  std::atomic<bool> running{false};
  bool free_on_exit = false;  // set and read only by the worker itself
};

namespace zorhost {
const HostThreadTable* threads_table();
// Module threads running on their own thread (not on the caller's). Each is counted until its body
// has returned, so when none runs, everything they posted is already in the event queue.
int32_t running_module_threads();
// How many times the calling thread holds the global lock (threads.lock without its unlock).
int global_lock_depth_of_calling_thread();
}  // namespace zorhost
