// Tree views, bitmap buttons, typed tab groups and multi-line text fields of the dialog model. For now
// the layout entries add their gadgets like their plain forms and the tree-view and drawing entries
// answer that nothing was done: the model does not hold a tree view's list yet.
#include "gui/tree_view_entries.h"

#include <string>

#include "app/entry_guard.h"
#include "gui/dialog_model.h"

namespace zorhost {

bool gui_tree_view_set_root(HostGadget*, void*, const HostTreeViewCallbacks*, void*, void*) {
  return guarded("gui.tree_view_set_root", false, [] { return false; });
}

bool gui_tree_view_set_layout(HostGadget*, int32_t, const int32_t*, const int32_t*) {
  return guarded("gui.tree_view_set_layout", false, [] { return false; });
}

void gui_tree_view_refresh(HostGadget*) {
  guarded_void("gui.tree_view_refresh", [] {});
}

bool gui_bitmap_button_set_image(HostGadget*, const HostBitmap*) {
  return guarded("gui.bitmap_button_set_image", false, [] { return false; });
}

bool gui_tab_group_begin_typed(HostDialog* dialog, int32_t id, int32_t flags, int32_t) {
  return guarded("gui.tab_group_begin_typed", false, [&] {
    if (!ui::is_live(dialog)) return false;
    ui::add_gadget(dialog, ui::GadgetKind::TabGroup, id, flags, 0, 0);
    return true;
  });
}

bool gui_add_multi_line_edit_text(HostDialog* dialog, int32_t id, int32_t flags, int32_t width,
                                  int32_t height, int32_t) {
  return guarded("gui.add_multi_line_edit_text", false, [&] {
    if (!ui::is_live(dialog)) return false;
    ui::add_gadget(dialog, ui::GadgetKind::EditText, id, flags, width, height)->value = std::string();
    return true;
  });
}

void gui_user_area_set_text_color(HostUserArea*, int32_t, int32_t) {
  guarded_void("gui.user_area_set_text_color", [] {});
}

void gui_user_area_draw_text(HostUserArea*, const HostString*, int32_t, int32_t) {
  guarded_void("gui.user_area_draw_text", [] {});
}

int32_t gui_user_area_text_width(HostUserArea*, const HostString*) {
  return guarded("gui.user_area_text_width", 0, [] { return 0; });
}

int32_t gui_user_area_font_height(HostUserArea*) {
  return guarded("gui.user_area_font_height", 0, [] { return 0; });
}

void gui_user_area_draw_line(HostUserArea*, int32_t, int32_t, int32_t, int32_t) {
  guarded_void("gui.user_area_draw_line", [] {});
}

}  // namespace zorhost
