#include "containers/settings_store.h"

#include <fstream>
#include <mutex>
#include <sstream>

#include "app/host_options.h"
#include "containers/container_json.h"
#include "files/replacing_file.h"

namespace fs = std::filesystem;

namespace zorhost {
namespace {

std::mutex& store_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

bool write_file_atomically(const fs::path& path, const std::string& text, std::string* error) {
  std::error_code ec;
  const fs::path folder = path.parent_path();
  // a folder that cannot be made is the cause to name, not the temporary that then cannot be opened
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      if (error) *error = "cannot create folder " + folder.string() + ": " + ec.message();
      return false;
    }
  }
  ReplacingFile file;
  if (file.open(path) && file.write(text.data(), text.size()) && file.commit()) return true;
  if (error) *error = file.error();
  return false;
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
