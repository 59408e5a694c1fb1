// Seams for the end-to-end tests, read from the environment: they let a test stop approve part way or
// make a thread fail to start, which cannot be provoked reliably from outside. Unset, they do nothing.
#pragma once
#include <cstdlib>

namespace relkit_report {

// the number in the environment variable `name`, or -1 when it is not set
inline long TestHook(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::strtol(value, nullptr, 10) : -1;
}

}  // namespace relkit_report
