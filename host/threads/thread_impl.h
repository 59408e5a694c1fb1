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
}  // namespace zorhost
