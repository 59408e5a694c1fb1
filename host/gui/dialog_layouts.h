// Where non-modal dialogs were: one file per plug-in id and sub-id, <prefs>/layouts/<id>_<sub>.json,
// written at once (temporary file, fsync, rename) whenever such a dialog opens or closes. A dialog still
// open when the host ends stays stored as open, and the next interactive run brings it back through its
// command's restore operation, which calls dialog_restore with the layout the host hands it.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace zorhost::ui {

struct DialogLayout {
  int32_t plugin_id = 0;
  int32_t sub_id = 0;
  int32_t type = 0;
  int32_t x = -1;
  int32_t y = -1;
  int32_t width = 0;
  int32_t height = 0;
  bool open = false;
};

// Nothing is stored for plug-in id 0 (dialogs nobody could restore) or without a prefs folder.
void store_layout(const DialogLayout& layout);
// Nothing when none is stored or the file cannot be read (said on stderr).
std::optional<DialogLayout> load_layout(int32_t plugin_id, int32_t sub_id);
// The layouts stored as open for this plug-in id, by sub-id.
std::vector<DialogLayout> open_layouts(int32_t plugin_id);

// The host hands a command's restore operation the address of the layout as the opaque value the module
// passes back to dialog_restore; it is good while the operation runs.
class HandedLayout {
 public:
  explicit HandedLayout(const DialogLayout& layout);
  ~HandedLayout();
  HandedLayout(const HandedLayout&) = delete;
  HandedLayout& operator=(const HandedLayout&) = delete;
  void* secret() { return &layout_; }

 private:
  DialogLayout layout_;
  const DialogLayout* outer_;
};
// The layout a module's dialog_restore means: the one handed over when the value is its secret, else
// what is stored for the plug-in id and sub-id.
std::optional<DialogLayout> layout_to_restore(int32_t plugin_id, int32_t sub_id, const void* secret);

}  // namespace zorhost::ui
