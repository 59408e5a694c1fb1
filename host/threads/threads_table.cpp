#include <cstdio>
#include <mutex>

#include "app/crash_handler.h"
#include "app/entry_guard.h"
#include "app/host_options.h"
#include "app/host_table.h"
#include "memory/memory_tracker.h"
#include "threads/thread_impl.h"

namespace zorhost {
namespace {

// Modules take the global lock around work they share with their workers, sometimes nested.
std::recursive_mutex g_global_lock;
// How often the calling thread holds it: an unlock without a lock would be undefined behaviour of the
// mutex, and the host's check reports a thread that holds it where it should not.
thread_local int t_global_lock_depth = 0;

std::atomic<int32_t> g_running_threads{0};

HostThread* threads_alloc(HostThreadRun run, HostThreadExtraBreak extra_break, HostThreadName name,
                          void* object) {
  return guarded("threads.alloc", static_cast<HostThread*>(nullptr), [&]() -> HostThread* {
    if (!run) return nullptr;
    auto* thread = new HostThread;
    thread->run = run;
    thread->extra_break = extra_break;
    thread->name = name;
    thread->object = object;
    return tracked(ObjectKind::Thread, thread);
  });
}

void join(HostThread* thread) {
  std::lock_guard lock(thread->join_mutex);
  // A body that ends its own thread must not wait for itself.
  if (thread->worker.joinable() && thread->worker.get_id() != std::this_thread::get_id())
    thread->worker.join();
}

void threads_end(HostThread* thread, bool wait) {
  guarded_void("threads.end", [&] {
    if (!thread) return;
    thread->stop_requested = true;
    if (wait) join(thread);
  });
}

void threads_free(HostThread* thread) {
  guarded_void("threads.free", [&] {
    if (!thread) return;
    untrack_object(ObjectKind::Thread, thread);
    thread->stop_requested = true;
    join(thread);
    if (thread->worker.joinable()) {
      // Freed by its own body: the thread cleans up after the body returns.
      thread->worker.detach();
      thread->free_on_exit = true;
      return;
    }
    delete thread;
  });
}

bool threads_start(HostThread* thread, int32_t mode, int32_t) {
  return guarded("threads.start", false, [&] {
    if (!thread || thread->running) return false;
    join(thread);  // a finished earlier run
    thread->stop_requested = false;
    thread->running = true;
    if (mode == ZOR_THREAD_SYNC) {
      thread->run(thread->object);
      thread->running = false;
      return true;
    }
    g_running_threads.fetch_add(1);
    try {
      thread->worker = std::thread([thread] {
        crash_note_thread_role("module thread");
        thread->run(thread->object);
        thread->running = false;
        g_running_threads.fetch_sub(1);  // after the body: whatever it posted is in the queue by now
        if (thread->free_on_exit) delete thread;
      });
    } catch (...) {
      g_running_threads.fetch_sub(1);
      thread->running = false;
      throw;
    }
    return true;
  });
}

bool threads_is_running(HostThread* thread) {
  return guarded("threads.is_running", false, [&] { return thread && thread->running.load(); });
}

bool threads_test_break(HostThread* thread) {
  return guarded("threads.test_break", true, [&] {
    if (!thread) return true;
    if (thread->stop_requested) return true;
    return thread->extra_break && thread->extra_break(thread->object);
  });
}

void threads_lock() {
  guarded_void("threads.lock", [] {
    g_global_lock.lock();
    ++t_global_lock_depth;
  });
}

void threads_unlock() {
  guarded_void("threads.unlock", [] {
    if (t_global_lock_depth == 0) {
      std::fputs("zorhost: threads.unlock: the calling thread does not hold the global lock; ignored\n",
                 stderr);
      return;
    }
    --t_global_lock_depth;
    g_global_lock.unlock();
  });
}

int32_t threads_run_mode_flags() {
  return guarded("threads.run_mode_flags", 0,
                 [] { return options().headless ? int32_t{ZOR_RUNMODE_NO_GUI} : 0; });
}

int32_t threads_cpu_count() {
  return guarded("threads.cpu_count", 1, [] {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : static_cast<int32_t>(count);
  });
}

}  // namespace

const HostThreadTable* threads_table() {
  static const HostThreadTable kTable{
      .size = sizeof(HostThreadTable),
      .alloc = threads_alloc,
      .free = threads_free,
      .start = threads_start,
      .end = threads_end,
      .is_running = threads_is_running,
      .test_break = threads_test_break,
      .lock = threads_lock,
      .unlock = threads_unlock,
      .run_mode_flags = threads_run_mode_flags,
      .cpu_count = threads_cpu_count,
  };
  return &kTable;
}

int global_lock_depth_of_calling_thread() {
  return t_global_lock_depth;
}

int32_t running_module_threads() {
  return g_running_threads.load();
}

}  // namespace zorhost
