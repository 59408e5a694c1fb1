#include "ui_server/dialog_view.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "gui/dialog_model.h"

namespace zorhost::ui {
namespace {

using nlohmann::json;

bool setting(const HostGadget& gadget, int32_t key) {
  if (!gadget.settings) return false;
  const auto found = gadget.settings->values.find(key);
  if (found == gadget.settings->values.end()) return false;
  if (const auto* flag = std::get_if<bool>(&found->second)) return *flag;
  if (const auto* number = std::get_if<int32_t>(&found->second)) return *number != 0;
  return false;
}

json tree_view(const HostGadget& gadget) {
  const TreeView& tree = *gadget.tree;
  json columns = json::array();
  for (const TreeColumn& column : tree.columns)
    columns.push_back(
        {{"id", column.id}, {"type", column.type == ZOR_TREEVIEW_COLUMN_USER ? "user" : "tree"}});
  if (columns.empty()) columns.push_back({{"id", 0}, {"type", "tree"}});
  return {{"total", tree.rows.size()},
          {"walks", tree.walks},
          {"header", setting(gadget, ZOR_TREEVIEW_HAS_HEADER)},
          {"headers", tree.headers},
          {"columns", columns},
          {"widths", tree.widths},
          {"lineHeight", tree.line_height},
          {"cut", tree.cut}};
}

json gadget_view(const HostGadget& gadget) {
  json view{{"id", gadget.id},       {"kind", kind_name(gadget)}, {"text", gadget.text},
            {"value", nullptr},      {"enabled", gadget.enabled}, {"flags", gadget.flags},
            {"width", gadget.width}, {"height", gadget.height}};
  switch (gadget.kind) {
    case GadgetKind::Group:
    case GadgetKind::TabGroup:
      view["columns"] = gadget.columns;
      view["rows"] = gadget.rows;
      view["groupFlags"] = gadget.group_flags;
      view["children"] = json::array();
      if (gadget.kind == GadgetKind::TabGroup) view["value"] = value_json(gadget.value);
      break;
    case GadgetKind::ComboBox: {
      json choices = json::array();
      for (const ComboChoice& choice : gadget.choices)
        choices.push_back({{"id", choice.id}, {"text", choice.text}});
      view["choices"] = std::move(choices);
      view["value"] = value_json(gadget.value);
      break;
    }
    case GadgetKind::EditText:
    case GadgetKind::MultiLineText:
      view["style"] = gadget.style;
      view["value"] = value_json(gadget.value);
      break;
    case GadgetKind::Checkbox:
    case GadgetKind::EditNumber:
      view["value"] = value_json(gadget.value);
      break;
    case GadgetKind::Custom:
      if (gadget.custom_type == ZOR_GADGET_FILENAME) {
        view["value"] = value_json(gadget_value(gadget));
        view["folder"] = setting(gadget, ZOR_FILENAME_CHOOSES_FOLDER);
      } else if (gadget.tree) {
        view["tree"] = tree_view(gadget);
      } else if (gadget.custom_type == ZOR_GADGET_BITMAPBUTTON) {
        view["button"] = setting(gadget, ZOR_BITMAPBUTTON_BUTTON);
        view["image"] = gadget.image ? json{{"width", gadget.image->width},
                                            {"height", gadget.image->height},
                                            {"serial", gadget.image_serial}}
                                     : json(nullptr);
      }
      break;
    default:
      break;
  }
  return view;
}

// The flat layout order nests: a group or tab group holds everything up to its matching end.
json layout_view(const HostDialog& dialog) {
  json top = json::array();
  std::vector<json*> open{&top};
  for (const auto& gadget : dialog.gadgets) {
    if (gadget->kind == GadgetKind::GroupEnd) {
      if (open.size() > 1) open.pop_back();
      continue;
    }
    json& added = open.back()->emplace_back(gadget_view(*gadget));
    if (gadget->kind == GadgetKind::Group || gadget->kind == GadgetKind::TabGroup)
      open.push_back(&added["children"]);
  }
  return top;
}

HostGadget* find_in(uint64_t dialog_serial, int32_t gadget_id, std::string* problem) {
  HostDialog* dialog = find_open_dialog(dialog_serial);
  if (!dialog) {
    *problem = "no dialog " + std::to_string(dialog_serial) + " is open";
    return nullptr;
  }
  HostGadget* gadget = find_gadget(dialog, gadget_id);
  if (!gadget)
    *problem = "dialog " + std::to_string(dialog_serial) + " has no gadget " + std::to_string(gadget_id);
  return gadget;
}

}  // namespace

json dialogs_view() {
  json dialogs = json::array();
  for (HostDialog* dialog : open_dialogs()) {
    dialogs.push_back({{"id", dialog->serial},
                       {"title", dialog->title},
                       {"modal", dialog->modal},
                       {"width", dialog->width},
                       {"height", dialog->height},
                       {"gadgets", layout_view(*dialog)}});
  }
  return dialogs;
}

std::optional<json> tree_rows_view(uint64_t dialog, int32_t gadget_id, int64_t from, int64_t count,
                                   std::string* problem) {
  HostGadget* gadget = find_in(dialog, gadget_id, problem);
  if (!gadget) return std::nullopt;
  if (!gadget->tree) {
    *problem = "gadget " + std::to_string(gadget_id) + " is not a tree view";
    return std::nullopt;
  }
  const std::vector<TreeRow>& rows = gadget->tree->rows;
  const int64_t total = static_cast<int64_t>(rows.size());
  const int64_t first = std::clamp<int64_t>(from, 0, total);
  const int64_t last = std::clamp<int64_t>(first + std::clamp<int64_t>(count, 0, kTreePage), first, total);
  json shown = json::array();
  for (int64_t i = first; i < last; ++i) {
    const TreeRow& row = rows[static_cast<size_t>(i)];
    shown.push_back({{"row", i}, {"depth", row.depth}, {"texts", row.texts}, {"selected", row.selected}});
  }
  return json{{"walks", gadget->tree->walks}, {"total", total}, {"rows", std::move(shown)}};
}

std::optional<HostBitmap> gadget_image(uint64_t dialog, int32_t gadget_id, std::string* problem) {
  HostGadget* gadget = find_in(dialog, gadget_id, problem);
  if (!gadget) return std::nullopt;
  if (!gadget->image) {
    *problem = "gadget " + std::to_string(gadget_id) + " shows no image";
    return std::nullopt;
  }
  return *gadget->image;
}

std::string bmp_file(const HostBitmap& bitmap) {
  const uint32_t width = static_cast<uint32_t>(std::max(bitmap.width, 0));
  const uint32_t height = static_cast<uint32_t>(std::max(bitmap.height, 0));
  const uint32_t stride = (width * 3 + 3) & ~3u;
  const uint32_t header = 54;
  const uint32_t size = header + stride * height;
  std::string file(size, '\0');
  auto put = [&](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  file[0] = 'B';
  file[1] = 'M';
  put(2, size, 4);
  put(10, header, 4);
  put(14, 40, 4);  // the info header's size
  put(18, width, 4);
  put(22, static_cast<uint32_t>(-static_cast<int32_t>(height)), 4);  // negative: rows top to bottom
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, stride * height, 4);
  if (bitmap.pixels.size() < static_cast<size_t>(width) * height * 3) return file;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* source = bitmap.row(static_cast<int32_t>(y));
    char* target = file.data() + header + static_cast<size_t>(y) * stride;
    for (uint32_t x = 0; x < width; ++x) {  // BMP keeps blue, green, red
      target[3 * x] = static_cast<char>(source[3 * x + 2]);
      target[3 * x + 1] = static_cast<char>(source[3 * x + 1]);
      target[3 * x + 2] = static_cast<char>(source[3 * x]);
    }
  }
  return file;
}

std::optional<json> folder_view(const std::filesystem::path& folder, std::string* problem) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path absolute = fs::weakly_canonical(fs::absolute(folder, error), error);
  struct Entry {
    std::string name;
    bool folder;
  };
  std::vector<Entry> entries;
  fs::directory_iterator it(absolute, fs::directory_options::skip_permission_denied, error);
  if (error) {
    *problem = "cannot list " + absolute.string() + ": " + error.message();
    return std::nullopt;
  }
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    std::error_code kind_error;
    entries.push_back({it->path().filename().string(), it->is_directory(kind_error)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.folder != b.folder ? a.folder : a.name < b.name; });
  json listed = json::array();
  for (const Entry& entry : entries) listed.push_back({{"name", entry.name}, {"folder", entry.folder}});
  const bool at_root = absolute == absolute.root_path();
  return json{{"path", absolute.string()},
              {"parent", at_root ? json(nullptr) : json(absolute.parent_path().string())},
              {"entries", std::move(listed)}};
}

}  // namespace zorhost::ui
