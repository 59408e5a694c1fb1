#include "general/host_check.h"

#include "memory/memory_tracker.h"
#include "threads/thread_impl.h"

namespace zorhost {

std::vector<std::string> check_host_state() {
  std::vector<std::string> problems = check_memory_tracker();
  if (const int depth = global_lock_depth_of_calling_thread(); depth > 0) {
    problems.push_back("the calling thread holds the global lock (" + std::to_string(depth) +
                       (depth == 1 ? " time" : " times") + "); every dialog waits for it");
  }
  return problems;
}

}  // namespace zorhost
