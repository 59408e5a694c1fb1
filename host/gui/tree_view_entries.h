// The gui family's entry points for tree views, bitmap buttons, typed tab groups, multi-line text fields
// and text drawing in user areas.
#pragma once
#include "zor_api.h"

namespace zorhost {

bool gui_tree_view_set_root(HostGadget* gadget, void* root, const HostTreeViewCallbacks* callbacks,
                            void* functions, void* user_data);
bool gui_tree_view_set_layout(HostGadget* gadget, int32_t count, const int32_t* column_ids,
                              const int32_t* column_types);
void gui_tree_view_refresh(HostGadget* gadget);
bool gui_bitmap_button_set_image(HostGadget* gadget, const HostBitmap* bitmap);
bool gui_tab_group_begin_typed(HostDialog* dialog, int32_t id, int32_t flags, int32_t tab_type);
bool gui_add_multi_line_edit_text(HostDialog* dialog, int32_t id, int32_t flags, int32_t width,
                                  int32_t height, int32_t style);
void gui_user_area_set_text_color(HostUserArea* area, int32_t foreground_id, int32_t background_id);
void gui_user_area_draw_text(HostUserArea* area, const HostString* text, int32_t x, int32_t y);
int32_t gui_user_area_text_width(HostUserArea* area, const HostString* text);
int32_t gui_user_area_font_height(HostUserArea* area);
void gui_user_area_draw_line(HostUserArea* area, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

}  // namespace zorhost
