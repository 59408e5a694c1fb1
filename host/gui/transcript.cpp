#include "gui/transcript.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/run_status.h"

namespace zorhost::transcript {
namespace {
std::mutex g_mutex;
std::FILE* g_file = nullptr;
std::filesystem::path g_path;

// A transcript that lost a line is no record any more: it is not written further, and the run ends
// with the failed-service status, since a CI job reading it would miss what it was run for.
void give_up(int error, off_t line_start) {
  // what the stream still buffers is dropped, so the close cannot append a piece of the line again
  __fpurge(g_file);
  // a line cut short would leave the file unreadable as JSON lines: it keeps whole lines only
  if (line_start >= 0 && ::ftruncate(fileno(g_file), line_start) != 0) {
    // a device such as /dev/full has no length to cut; what is there stays
  }
  const std::string cause = "cannot write the transcript " + g_path.string() + ": " + std::strerror(error);
  std::fprintf(stderr, "zorhost: %s; it is not written any further\n", cause.c_str());
  note_service_failure(cause);
  std::fclose(g_file);
  g_file = nullptr;
}

}  // namespace

bool open(const std::filesystem::path& file, std::string* error) {
  std::lock_guard lock(g_mutex);
  if (g_file) {
    std::fclose(g_file);
    g_file = nullptr;
  }
  g_file = std::fopen(file.c_str(), "w");
  if (!g_file) {
    if (error) *error = "cannot write the transcript " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  g_path = file;
  return true;
}

void close() {
  std::lock_guard lock(g_mutex);
  if (!g_file) return;
  if (std::fclose(g_file) != 0) {
    const int error = errno;
    g_file = nullptr;
    const std::string cause = "cannot write the transcript " + g_path.string() + ": " + std::strerror(error);
    std::fprintf(stderr, "zorhost: %s\n", cause.c_str());
    note_service_failure(cause);
  }
  g_file = nullptr;
}

void record(const nlohmann::json& event) {
  std::lock_guard lock(g_mutex);
  if (!g_file) return;
  // Invalid UTF-8 from a module must not stop the transcript: replace it rather than throw.
  std::string line = event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  line += '\n';
  const off_t line_start = ::ftello(g_file);
  errno = 0;
  if (std::fwrite(line.data(), 1, line.size(), g_file) != line.size() || std::fflush(g_file) != 0)
    give_up(errno != 0 ? errno : EIO, line_start);
}

}  // namespace zorhost::transcript
