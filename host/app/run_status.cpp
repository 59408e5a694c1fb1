#include "app/run_status.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace zorhost {
namespace {

struct Notes {
  std::mutex mutex;
  std::optional<std::string> service;
  std::optional<std::string> message;
  std::set<std::string> left_out;
  bool left_out_first = false;  // before any other failed service
};

std::string left_out_cause(size_t count) {
  return "left out " + std::to_string(count) + " file name" + (count == 1 ? "" : "s") +
         " a report line cannot hold";
}

Notes& notes() {
  static Notes instance;
  return instance;
}

}  // namespace

void note_service_failure(const std::string& cause) {
  std::lock_guard lock(notes().mutex);
  if (!notes().service) notes().service = cause;
}

bool note_left_out_name(const std::string& path) {
  std::lock_guard lock(notes().mutex);
  if (!notes().service && notes().left_out.empty()) notes().left_out_first = true;
  return notes().left_out.insert(path).second;
}

void note_unread_message_box(const std::string& text) {
  std::lock_guard lock(notes().mutex);
  if (!notes().message) notes().message = "a message box had no reader: " + text;
}

void note_unanswered_dialog(const std::string& name) {
  std::lock_guard lock(notes().mutex);
  if (!notes().message) notes().message = name + " had nobody to answer it (no UI script)";
}

std::optional<std::string> service_failure() {
  std::lock_guard lock(notes().mutex);
  if (!notes().left_out.empty() && (notes().left_out_first || !notes().service))
    return left_out_cause(notes().left_out.size());
  return notes().service;
}

std::optional<std::string> unread_message_box() {
  std::lock_guard lock(notes().mutex);
  return notes().message;
}

void clear_run_notes() {
  std::lock_guard lock(notes().mutex);
  notes().service.reset();
  notes().message.reset();
  notes().left_out.clear();
  notes().left_out_first = false;
}

int final_exit_status(int step_status, bool leaks) {
  if (step_status != kExitOk) return step_status;
  std::fflush(stdout);
  if (const auto cause = service_failure()) {
    std::fprintf(stderr, "zorhost: exit %d: %s\n", kExitServiceFailed, cause->c_str());
    return kExitServiceFailed;
  }
  if (const auto text = unread_message_box()) {
    std::fprintf(stderr, "zorhost: exit %d: %s\n", kExitUnreadMessage, text->c_str());
    return kExitUnreadMessage;
  }
  return leaks ? kExitLeaks : kExitOk;
}

}  // namespace zorhost
