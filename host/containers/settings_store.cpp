#include "containers/settings_store.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "app/host_options.h"
#include "app/run_status.h"
#include "containers/container_json.h"
#include "containers/json_input.h"
#include "files/replacing_file.h"

namespace fs = std::filesystem;

namespace zorhost {
namespace {

std::mutex& store_mutex() {
  static std::mutex mutex;
  return mutex;
}

// Files already reported as unreadable (under the store's lock). Every read comes from disk, so a
// plug-in that reads its settings often would otherwise repeat the same warning each time.
std::set<fs::path> g_warned;

// A file that cannot be read is left in place for the user to look at; the plug-in goes on as if
// nothing were stored, and its next store replaces the file.
void warn_unreadable(const fs::path& path, const std::string& problem) {
  if (!g_warned.insert(path).second) return;
  std::fprintf(stderr,
               "zorhost: warning: stored settings %s: %s; ignored, the plug-in starts with no stored "
               "settings\n",
               path.c_str(), problem.c_str());
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
  std::string text;
  std::string problem;
  if (!read_input_file(path, &text, &problem)) {
    if (problem == "does not exist") return nullptr;  // nothing stored yet
    warn_unreadable(path, problem);
    return nullptr;
  }
  nlohmann::json document;
  JsonInputError parse_error;
  if (!parse_json_input(text, &document, &parse_error)) {
    warn_unreadable(path, parse_error.text());
    return nullptr;
  }
  try {
    auto settings = std::make_unique<HostContainer>(container_from_json(document, plugin_id));
    g_warned.erase(path);
    return settings;
  } catch (const ContainerJsonError& e) {
    warn_unreadable(path, e.where.empty() ? e.what_is_wrong : e.where + ": " + e.what_is_wrong);
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
    note_service_failure("cannot store plug-in settings: " + error);
    return false;
  }
  return true;
}

}  // namespace zorhost
