#include "gui/transcript.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace zorhost::transcript {
namespace {
std::mutex g_mutex;
std::FILE* g_file = nullptr;
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
  return true;
}

void close() {
  std::lock_guard lock(g_mutex);
  if (g_file) std::fclose(g_file);
  g_file = nullptr;
}

void record(const nlohmann::json& event) {
  std::lock_guard lock(g_mutex);
  if (!g_file) return;
  // Invalid UTF-8 from a module must not stop the transcript: replace it rather than throw.
  std::string line = event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), g_file);
  std::fflush(g_file);
}

}  // namespace zorhost::transcript
