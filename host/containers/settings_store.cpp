#include "containers/settings_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "app/host_options.h"
#include "containers/container_json.h"

namespace fs = std::filesystem;

namespace zorhost {
namespace {

std::mutex& store_mutex() {
  static std::mutex mutex;
  return mutex;
}

bool write_all(int fd, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool write_file_atomically(const fs::path& path, const std::string& text, std::string* error) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  const fs::path temporary = path.string() + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = temporary.string() + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = write_all(fd, text) && ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = path.string() + ": " + std::strerror(ok ? errno : saved);
    ::unlink(temporary.c_str());
    return false;
  }
  // the rename itself is only durable once the folder is synced
  const int folder = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

fs::path plugin_settings_path(int32_t plugin_id) {
  return options().prefs_dir / "settings" / (std::to_string(plugin_id) + ".json");
}

std::unique_ptr<HostContainer> load_plugin_settings(int32_t plugin_id) {
  const fs::path path = plugin_settings_path(plugin_id);
  std::lock_guard lock(store_mutex());
  std::ifstream in(path);
  if (!in) return nullptr;
  try {
    const auto document = nlohmann::json::parse(in);
    return std::make_unique<HostContainer>(container_from_json(document, plugin_id));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zorhost: warning: stored settings %s cannot be read: %s\n", path.c_str(), e.what());
    return nullptr;
  }
}

bool store_plugin_settings(int32_t plugin_id, const HostContainer* settings) {
  const fs::path path = plugin_settings_path(plugin_id);
  std::lock_guard lock(store_mutex());
  if (!settings) {
    std::error_code ec;
    fs::remove(path, ec);
    return !ec;
  }
  std::string error;
  if (!write_file_atomically(path, container_to_json(*settings).dump(2) + "\n", &error)) {
    std::fprintf(stderr, "zorhost: cannot store plug-in settings: %s\n", error.c_str());
    return false;
  }
  return true;
}

}  // namespace zorhost
