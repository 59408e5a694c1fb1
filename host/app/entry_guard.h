// Every function the host hands to a module is an entry point: no C++ exception may leave it, so each
// one runs its body through guarded(), which reports the failure on stderr and answers a fallback.
#pragma once
#include <exception>
#include <utility>

namespace zorhost {

void report_entry_failure(const char* entry, const char* what) noexcept;

template <class R, class Body>
R guarded(const char* entry, R fallback, Body&& body) noexcept {
  try {
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
  try {
    std::forward<Body>(body)();
  } catch (const std::exception& e) {
    report_entry_failure(entry, e.what());
  } catch (...) {
    report_entry_failure(entry, "unknown exception");
  }
}

}  // namespace zorhost
