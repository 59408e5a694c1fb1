#include "gui/dialog_layouts.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>

#include "app/host_options.h"
#include "containers/json_input.h"
#include "containers/settings_store.h"

namespace fs = std::filesystem;

namespace zorhost::ui {
namespace {

const DialogLayout* g_handed = nullptr;  // main thread only

fs::path layouts_folder() {
  return options().prefs_dir / "layouts";
}

fs::path layout_path(int32_t plugin_id, int32_t sub_id) {
  return layouts_folder() / (std::to_string(plugin_id) + "_" + std::to_string(sub_id) + ".json");
}

bool read_int(const nlohmann::json& document, const char* key, int32_t* out) {
  auto entry = document.find(key);
  if (entry == document.end() || !entry->is_number_integer()) return false;
  const int64_t value = entry->get<int64_t>();
  if (value < INT32_MIN || value > INT32_MAX) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

std::optional<DialogLayout> read_layout(const fs::path& path) {
  std::string text;
  std::string problem;
  if (!read_input_file(path, &text, &problem)) {
    if (problem != "does not exist")
      std::fprintf(stderr, "zorhost: warning: dialog layout %s: %s; ignored\n", path.c_str(),
                   problem.c_str());
    return std::nullopt;
  }
  nlohmann::json document;
  JsonInputError parse_error;
  if (!parse_json_input(text, &document, &parse_error)) {
    std::fprintf(stderr, "zorhost: warning: dialog layout %s: %s; ignored\n", path.c_str(),
                 parse_error.text().c_str());
    return std::nullopt;
  }
  DialogLayout layout;
  const bool complete = document.is_object() && read_int(document, "plugin", &layout.plugin_id) &&
                        read_int(document, "sub", &layout.sub_id) &&
                        read_int(document, "type", &layout.type) && read_int(document, "x", &layout.x) &&
                        read_int(document, "y", &layout.y) && read_int(document, "width", &layout.width) &&
                        read_int(document, "height", &layout.height) && document.contains("open") &&
                        document["open"].is_boolean();
  if (!complete) {
    std::fprintf(stderr,
                 "zorhost: warning: dialog layout %s: needs the integers plugin, sub, type, x, y, width, "
                 "height and the flag open; ignored\n",
                 path.c_str());
    return std::nullopt;
  }
  layout.open = document["open"].get<bool>();
  return layout;
}

}  // namespace

void store_layout(const DialogLayout& layout) {
  if (layout.plugin_id == 0 || options().prefs_dir.empty()) return;
  const nlohmann::json document = {{"plugin", layout.plugin_id},
                                   {"sub", layout.sub_id},
                                   {"type", layout.type},
                                   {"x", layout.x},
                                   {"y", layout.y},
                                   {"width", layout.width},
                                   {"height", layout.height},
                                   {"open", layout.open}};
  std::string error;
  if (!write_file_atomically(layout_path(layout.plugin_id, layout.sub_id), document.dump(2) + "\n", &error))
    std::fprintf(stderr, "zorhost: cannot store a dialog layout: %s\n", error.c_str());
}

std::optional<DialogLayout> load_layout(int32_t plugin_id, int32_t sub_id) {
  if (options().prefs_dir.empty()) return std::nullopt;
  std::optional<DialogLayout> layout = read_layout(layout_path(plugin_id, sub_id));
  // A file renamed by hand must not restore another plug-in's dialog.
  if (layout && (layout->plugin_id != plugin_id || layout->sub_id != sub_id)) return std::nullopt;
  return layout;
}

std::vector<DialogLayout> open_layouts(int32_t plugin_id) {
  std::vector<DialogLayout> found;
  if (options().prefs_dir.empty()) return found;
  std::error_code error;
  const std::string prefix = std::to_string(plugin_id) + "_";
  for (fs::directory_iterator it(layouts_folder(), error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || it->path().extension() != ".json") continue;
    std::optional<DialogLayout> layout = read_layout(it->path());
    if (layout && layout->open && layout->plugin_id == plugin_id &&
        it->path() == layout_path(plugin_id, layout->sub_id))
      found.push_back(*layout);
  }
  std::sort(found.begin(), found.end(),
            [](const DialogLayout& a, const DialogLayout& b) { return a.sub_id < b.sub_id; });
  return found;
}

HandedLayout::HandedLayout(const DialogLayout& layout) : layout_(layout), outer_(g_handed) {
  g_handed = &layout_;
}

HandedLayout::~HandedLayout() {
  g_handed = outer_;
}

std::optional<DialogLayout> layout_to_restore(int32_t plugin_id, int32_t sub_id, const void* secret) {
  if (secret && secret == g_handed) {
    DialogLayout layout = *g_handed;
    layout.plugin_id = plugin_id;
    layout.sub_id = sub_id;
    return layout;
  }
  return load_layout(plugin_id, sub_id);
}

}  // namespace zorhost::ui
