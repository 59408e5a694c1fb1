// Every function the host hands to a module is an entry point: no C++ exception may leave it, so each
// one runs its body through guarded(), labelled "<family>.<operation>" after its table slot. A failure
// becomes one "internal error" line on stderr naming the label, and the entry answers its fallback.
#pragma once
#include <atomic>
#include <exception>
#include <utility>

namespace zorhost {

void report_entry_failure(const char* entry, const char* what) noexcept;

namespace guard_detail {
extern std::atomic<bool> g_fail_next;
void throw_if_failure_asked();  // clears the request it acts on
}  // namespace guard_detail

// For tests that prove an entry point is guarded: the next guarded body, on any thread, is not run
// and the guard acts as if it had thrown.
void fail_next_guarded_body() noexcept;

template <class R, class Body>
R guarded(const char* entry, R fallback, Body&& body) noexcept {
  try {
    if (guard_detail::g_fail_next.load(std::memory_order_relaxed)) guard_detail::throw_if_failure_asked();
    return std::forward<Body>(body)();
  } catch (const std::exception& e) {
    report_entry_failure(entry, e.what());
  } catch (...) {
    report_entry_failure(entry, "unknown exception");
  }
  return fallback;
}

template <class Body>
void guarded_void(const char* entry, Body&& body) noexcept {
  guarded(entry, false, [&] {
    std::forward<Body>(body)();
    return true;
  });
}

}  // namespace zorhost
