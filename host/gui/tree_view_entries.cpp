// Tree views, bitmap buttons, typed tab groups, multi-line text fields and text drawing: the gui family's
// entry points onto the dialog model. A tree view calls the module back through its callback record,
// checking the record's size before each operation, so a module built against an older record is asked
// only what it has.
#include "gui/tree_view_entries.h"

#include <cstddef>
#include <string>

#include "app/entry_guard.h"
#include "gui/dialog_model.h"
#include "gui/tree_view.h"
#include "strings/string_impl.h"

namespace zorhost {
namespace {

// The module's list as the tree view sees it; it follows the root and callbacks the module sets, so the
// gadget never has to replace it while one of its calls runs.
class ModuleTreeSource : public ui::TreeSource {
 public:
  void set(void* root, const HostTreeViewCallbacks* callbacks, void* functions, void* user_data) {
    root_ = root;
    callbacks_ = callbacks;
    functions_ = functions;
    user_data_ = user_data;
  }

  void* first() override {
    auto op = slot(&HostTreeViewCallbacks::get_first, offsetof(HostTreeViewCallbacks, get_first));
    return op ? op(functions_, root_, user_data_) : nullptr;
  }
  void* down(void* node) override {
    auto op = slot(&HostTreeViewCallbacks::get_down, offsetof(HostTreeViewCallbacks, get_down));
    return op ? op(functions_, root_, user_data_, node) : nullptr;
  }
  void* next(void* node) override {
    auto op = slot(&HostTreeViewCallbacks::get_next, offsetof(HostTreeViewCallbacks, get_next));
    return op ? op(functions_, root_, user_data_, node) : nullptr;
  }
  std::string name(void* node) override {
    auto op = slot(&HostTreeViewCallbacks::get_name, offsetof(HostTreeViewCallbacks, get_name));
    if (!op) return {};
    HostString text;
    op(functions_, root_, user_data_, node, &text);
    return to_utf8(&text);
  }
  bool is_selected(void* node) override {
    auto op = slot(&HostTreeViewCallbacks::is_selected, offsetof(HostTreeViewCallbacks, is_selected));
    return op && op(functions_, root_, user_data_, node);
  }
  int32_t column_width(void* node, int32_t column, HostUserArea* area) override {
    auto op =
        slot(&HostTreeViewCallbacks::get_column_width, offsetof(HostTreeViewCallbacks, get_column_width));
    return op ? op(functions_, root_, user_data_, node, column, area) : -1;
  }
  int32_t header_width(int32_t column, HostUserArea* area) override {
    auto op = slot(&HostTreeViewCallbacks::get_header_column_width,
                   offsetof(HostTreeViewCallbacks, get_header_column_width));
    return op ? op(functions_, root_, user_data_, column, area) : -1;
  }
  int32_t line_height(void* node, int32_t column, HostUserArea* area) override {
    auto op = slot(&HostTreeViewCallbacks::get_line_height, offsetof(HostTreeViewCallbacks, get_line_height));
    return op ? op(functions_, root_, user_data_, node, column, area) : -1;
  }
  void draw_cell(void* node, int32_t column, int32_t x, int32_t y, int32_t width, int32_t height,
                 HostUserArea* area) override {
    auto op = slot(&HostTreeViewCallbacks::draw_cell, offsetof(HostTreeViewCallbacks, draw_cell));
    const HostTreeViewCell cell{column, x, y, width, height, ZOR_COLOR_BACKGROUND, area};
    if (op) op(functions_, root_, user_data_, node, &cell);
  }
  void draw_header(int32_t column, int32_t x, int32_t width, int32_t height, HostUserArea* area) override {
    auto op =
        slot(&HostTreeViewCallbacks::draw_header_column, offsetof(HostTreeViewCallbacks, draw_header_column));
    const HostTreeViewCell cell{column, x, 0, width, height, ZOR_COLOR_BACKGROUND, area};
    if (op) op(functions_, root_, user_data_, &cell);
  }
  void select(void* node) override {
    auto op = slot(&HostTreeViewCallbacks::select, offsetof(HostTreeViewCallbacks, select));
    if (op) op(functions_, root_, user_data_, node, ZOR_TREEVIEW_SELECT_NEW);
  }
  void double_click(void* node, int32_t column) override {
    auto op = slot(&HostTreeViewCallbacks::double_click, offsetof(HostTreeViewCallbacks, double_click));
    if (op) op(functions_, root_, user_data_, node, column);
  }

 private:
  // Null when the module's record is too short for the operation or leaves it out; nothing is asked
  // without a root.
  template <class Op>
  Op slot(Op HostTreeViewCallbacks::*member, size_t offset) const {
    if (!root_ || !callbacks_ || callbacks_->size < 0 ||
        static_cast<size_t>(callbacks_->size) < offset + sizeof(void*))
      return nullptr;
    return callbacks_->*member;
  }

  void* root_ = nullptr;
  const HostTreeViewCallbacks* callbacks_ = nullptr;
  void* functions_ = nullptr;
  void* user_data_ = nullptr;
};

ui::TreeView* tree_of(HostGadget* gadget) {
  if (!gadget || !ui::is_live_gadget(gadget)) return nullptr;
  return gadget->tree.get();
}

bool is_bitmap_button(HostGadget* gadget) {
  return gadget && ui::is_live_gadget(gadget) && gadget->kind == ui::GadgetKind::Custom &&
         gadget->custom_type == ZOR_GADGET_BITMAPBUTTON;
}

}  // namespace

bool gui_tree_view_set_root(HostGadget* gadget, void* root, const HostTreeViewCallbacks* callbacks,
                            void* functions, void* user_data) {
  return guarded("gui.tree_view_set_root", false, [&] {
    ui::TreeView* tree = tree_of(gadget);
    if (!tree) return false;
    if (!tree->source) tree->source = std::make_unique<ModuleTreeSource>();
    auto* source = dynamic_cast<ModuleTreeSource*>(tree->source.get());
    if (!source) return false;
    source->set(root, callbacks, functions, user_data);
    return true;
  });
}

bool gui_tree_view_set_layout(HostGadget* gadget, int32_t count, const int32_t* column_ids,
                              const int32_t* column_types) {
  return guarded("gui.tree_view_set_layout", false, [&] {
    ui::TreeView* tree = tree_of(gadget);
    // A gadget shows a handful of columns; a count in the thousands is a module's mistake.
    constexpr int32_t kMostColumns = 1024;
    if (!tree || count < 0 || count > kMostColumns || (count > 0 && (!column_ids || !column_types)))
      return false;
    std::vector<ui::TreeColumn> columns;
    for (int32_t i = 0; i < count; ++i) {
      if (column_types[i] != ZOR_TREEVIEW_COLUMN_TREE && column_types[i] != ZOR_TREEVIEW_COLUMN_USER)
        return false;
      columns.push_back({column_ids[i], column_types[i]});
    }
    tree->columns = std::move(columns);
    return true;
  });
}

void gui_tree_view_refresh(HostGadget* gadget) {
  guarded_void("gui.tree_view_refresh", [&] {
    if (tree_of(gadget)) ui::refresh_tree(gadget);
  });
}

bool gui_bitmap_button_set_image(HostGadget* gadget, const HostBitmap* bitmap) {
  return guarded("gui.bitmap_button_set_image", false, [&] {
    if (!is_bitmap_button(gadget)) return false;
    ui::set_gadget_image(gadget, bitmap);
    return true;
  });
}

bool gui_tab_group_begin_typed(HostDialog* dialog, int32_t id, int32_t flags, int32_t tab_type) {
  return guarded("gui.tab_group_begin_typed", false, [&] {
    if (!ui::is_live(dialog)) return false;
    ui::add_gadget(dialog, ui::GadgetKind::TabGroup, id, flags, 0, 0)->style = tab_type;
    return true;
  });
}

bool gui_add_multi_line_edit_text(HostDialog* dialog, int32_t id, int32_t flags, int32_t width,
                                  int32_t height, int32_t style) {
  return guarded("gui.add_multi_line_edit_text", false, [&] {
    if (!ui::is_live(dialog)) return false;
    HostGadget* field = ui::add_gadget(dialog, ui::GadgetKind::MultiLineText, id, flags, width, height);
    field->value = std::string();
    field->style = style;
    return true;
  });
}

void gui_user_area_set_text_color(HostUserArea* area, int32_t foreground_id, int32_t background_id) {
  guarded_void("gui.user_area_set_text_color", [&] {
    if (!area) return;
    area->text_color = foreground_id;
    area->text_background = background_id;
  });
}

// Nothing is shown; a tree view's drawing area keeps the texts while it asks for a cell.
void gui_user_area_draw_text(HostUserArea* area, const HostString* text, int32_t, int32_t) {
  guarded_void("gui.user_area_draw_text", [&] {
    if (area && text && area->record_texts) area->texts.push_back(to_utf8(text));
  });
}

int32_t gui_user_area_text_width(HostUserArea*, const HostString* text) {
  return guarded("gui.user_area_text_width", 0, [&] { return text ? ui::text_width(to_utf8(text)) : 0; });
}

int32_t gui_user_area_font_height(HostUserArea*) {
  return guarded("gui.user_area_font_height", 0, [] { return ui::kFontHeight; });
}

void gui_user_area_draw_line(HostUserArea*, int32_t, int32_t, int32_t, int32_t) {
  guarded_void("gui.user_area_draw_line", [] {});
}

}  // namespace zorhost
