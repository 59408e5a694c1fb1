// The user-interaction family: every operation works on the dialog model; what a user sees or answers
// comes from the current driver.
#include "app/entry_guard.h"
#include "app/host_table.h"
#include "containers/container_integer.h"
#include "files/filename_impl.h"
#include "gui/console.h"
#include "gui/core_messages.h"
#include "gui/dialog_layouts.h"
#include "gui/dialog_model.h"
#include "gui/transcript.h"
#include "gui/tree_view_entries.h"
#include "gui/ui_driver.h"
#include "memory/memory_tracker.h"
#include "strings/string_impl.h"

namespace zorhost {
namespace {

using ui::GadgetKind;
using ui::GadgetValue;

bool live(HostDialog* dialog) {
  return ui::is_live(dialog);
}

void gui_console_print(const HostString* text) {
  guarded_void("gui.console_print", [&] { console_line(to_utf8(text)); });
}

int32_t gui_message_box(const HostString* text, int32_t type) {
  return guarded("gui.message_box", 0, [&] { return ui::driver().message_box(to_utf8(text), type); });
}

bool gui_select_file(HostFilename* name, int32_t kind, const HostString* title) {
  return guarded("gui.select_file", false, [&] {
    std::optional<std::string> chosen = ui::driver().select_file(kind, to_utf8(title));
    if (!chosen) return false;
    if (name) name->path = *chosen;
    return true;
  });
}

void gui_status_set_percent(int32_t percent) {
  guarded_void("gui.status_set_percent", [&] {
    ui::driver().show_progress(percent);
    transcript::record({{"event", "status"}, {"percent", percent}});
  });
}

void gui_status_set_text(const HostString* text) {
  guarded_void("gui.status_set_text", [&] {
    const std::string line = to_utf8(text);
    ui::driver().show_status(line);
    transcript::record({{"event", "status"}, {"text", line}});
  });
}

void gui_status_clear() {
  guarded_void("gui.status_clear", [&] {
    ui::driver().show_status("");
    transcript::record({{"event", "status"}, {"text", ""}});
  });
}

// There is no pointer to show; the value is kept for whoever looks.
void gui_set_mouse_pointer(int32_t pointer) {
  guarded_void("gui.set_mouse_pointer", [&] { ui::set_mouse_pointer(pointer); });
}

void gui_special_event(int32_t id, int64_t p1, int64_t p2) {
  guarded_void("gui.special_event", [&] { ui::post_event(id, p1, p2); });
}

HostDialog* gui_dialog_alloc(HostDialogCallback callback, void* object) {
  return guarded("gui.dialog_alloc", static_cast<HostDialog*>(nullptr), [&] {
    return callback ? tracked(ObjectKind::Dialog, ui::new_dialog(callback, object)) : nullptr;
  });
}

void gui_dialog_free(HostDialog* dialog) {
  guarded_void("gui.dialog_free", [&] {
    untrack_object(ObjectKind::Dialog, dialog);
    ui::free_dialog(dialog);
  });
}

void* gui_dialog_object(HostDialog* dialog) {
  return guarded("gui.dialog_object", static_cast<void*>(nullptr),
                 [&] { return live(dialog) ? dialog->object : nullptr; });
}

void gui_dialog_set_plugin(HostDialog* dialog, int32_t plugin_id, int32_t sub_id) {
  guarded_void("gui.dialog_set_plugin", [&] {
    if (!live(dialog)) return;
    dialog->plugin_id = plugin_id;
    dialog->sub_id = sub_id;
  });
}

bool gui_dialog_open(HostDialog* dialog, int32_t type, int32_t x, int32_t y, int32_t width, int32_t height) {
  return guarded("gui.dialog_open", false,
                 [&] { return ui::open_dialog(dialog, type, x, y, width, height); });
}

bool gui_dialog_close(HostDialog* dialog) {
  return guarded("gui.dialog_close", false, [&] { return ui::close_dialog(dialog); });
}

bool gui_dialog_check_close(HostDialog* dialog) {
  return guarded("gui.dialog_check_close", false, [&] { return live(dialog) && dialog->open; });
}

// Opens the dialog where its stored layout says; only non-modal dialogs are brought back.
bool gui_dialog_restore(HostDialog* dialog, int32_t plugin_id, int32_t sub_id, void* secret) {
  return guarded("gui.dialog_restore", false, [&] {
    if (!live(dialog)) return false;
    const std::optional<ui::DialogLayout> layout = ui::layout_to_restore(plugin_id, sub_id, secret);
    if (!layout || layout->type != ZOR_DIALOG_ASYNC) return false;
    dialog->plugin_id = plugin_id;
    dialog->sub_id = sub_id;
    if (dialog->open) return true;
    return ui::open_dialog(dialog, layout->type, layout->x, layout->y, layout->width, layout->height);
  });
}

void gui_dialog_set_title(HostDialog* dialog, const HostString* title) {
  guarded_void("gui.dialog_set_title", [&] {
    if (live(dialog)) dialog->title = to_utf8(title);
  });
}

void gui_dialog_send_result(HostDialog* dialog, const HostContainer* result) {
  guarded_void("gui.dialog_send_result", [&] {
    if (live(dialog) && result) dialog->result = std::make_unique<HostContainer>(*result);
  });
}

template <class Body>
bool layout(const char* entry, HostDialog* dialog, Body&& body) {
  return guarded(entry, false, [&] {
    if (!live(dialog)) return false;
    body();
    return true;
  });
}

bool gui_group_begin(HostDialog* dialog, int32_t id, int32_t flags, int32_t columns, int32_t rows,
                     const HostString* title, int32_t group_flags) {
  return layout("gui.group_begin", dialog, [&] {
    HostGadget* group = ui::add_gadget(dialog, GadgetKind::Group, id, flags, 0, 0, to_utf8(title));
    group->columns = columns;
    group->rows = rows;
    group->group_flags = group_flags;
  });
}

bool gui_group_end(HostDialog* dialog) {
  return layout("gui.group_end", dialog, [&] { ui::add_gadget(dialog, GadgetKind::GroupEnd, 0, 0, 0, 0); });
}

bool gui_tab_group_begin(HostDialog* dialog, int32_t id, int32_t flags) {
  return layout("gui.tab_group_begin", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::TabGroup, id, flags, 0, 0); });
}

bool gui_add_static_text(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height,
                         const HostString* text) {
  return layout("gui.add_static_text", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::StaticText, id, flags, width, height, to_utf8(text));
  });
}

bool gui_add_checkbox(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height,
                      const HostString* text) {
  return layout("gui.add_checkbox", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::Checkbox, id, flags, width, height, to_utf8(text))->value = false;
  });
}

bool gui_add_button(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height,
                    const HostString* text) {
  return layout("gui.add_button", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::Button, id, flags, width, height, to_utf8(text)); });
}

bool gui_add_edit_text(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("gui.add_edit_text", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::EditText, id, flags, width, height)->value = std::string();
  });
}

bool gui_add_edit_number(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("gui.add_edit_number", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::EditNumber, id, flags, width, height)->value = 0.0;
  });
}

bool gui_add_combo_box(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("gui.add_combo_box", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::ComboBox, id, flags, width, height); });
}

bool gui_add_child(HostDialog* dialog, int32_t id, int32_t child_id, const HostString* text) {
  return guarded("gui.add_child", false,
                 [&] { return live(dialog) && ui::add_choice(dialog, id, child_id, to_utf8(text)); });
}

HostGadget* gui_add_custom_gadget(HostDialog* dialog, int32_t id, int32_t type, int32_t flags, int32_t width,
                                  int32_t height, const HostContainer* settings) {
  return guarded("gui.add_custom_gadget", static_cast<HostGadget*>(nullptr), [&]() -> HostGadget* {
    if (!live(dialog)) return nullptr;
    HostGadget* gadget = ui::add_gadget(dialog, GadgetKind::Custom, id, flags, width, height);
    gadget->custom_type = type;
    if (type == ZOR_GADGET_TREEVIEW) gadget->tree = std::make_unique<ui::TreeView>();
    if (settings) gadget->settings = std::make_unique<HostContainer>(*settings);
    return gadget;
  });
}

bool gui_add_user_area(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("gui.add_user_area", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::UserArea, id, flags, width, height); });
}

bool gui_attach_user_area(HostDialog* dialog, int32_t id, HostUserArea* area) {
  return guarded("gui.attach_user_area", false,
                 [&] { return live(dialog) && ui::attach_user_area(dialog, id, area); });
}

bool gui_add_dialog_buttons(HostDialog* dialog, int32_t flags) {
  return layout("gui.add_dialog_buttons", dialog, [&] { ui::add_dialog_buttons(dialog, flags); });
}

bool set_value(const char* entry, HostDialog* dialog, int32_t id, GadgetValue value) {
  return guarded(entry, false, [&] { return live(dialog) && ui::set_value(dialog, id, std::move(value)); });
}

bool gui_set_bool(HostDialog* dialog, int32_t id, bool value) {
  return set_value("gui.set_bool", dialog, id, value);
}
bool gui_set_int32(HostDialog* dialog, int32_t id, int32_t value) {
  return set_value("gui.set_int32", dialog, id, value);
}
bool gui_set_float(HostDialog* dialog, int32_t id, double value) {
  return set_value("gui.set_float", dialog, id, value);
}
bool gui_set_string(HostDialog* dialog, int32_t id, const HostString* value) {
  return set_value("gui.set_string", dialog, id, to_utf8(value));
}

// Reads convert between the kinds of value the way a user would expect a gadget to answer.
template <class Read>
bool get_value(const char* entry, HostDialog* dialog, int32_t id, Read&& read) {
  return guarded(entry, false, [&] {
    if (!live(dialog)) return false;
    HostGadget* gadget = ui::find_gadget(dialog, id);
    if (!gadget) return false;
    return read(ui::gadget_value(*gadget));
  });
}

double as_number(const GadgetValue& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b ? 1 : 0;
  if (const auto* i = std::get_if<int32_t>(&value)) return *i;
  if (const auto* d = std::get_if<double>(&value)) return *d;
  return 0;
}

bool gui_get_bool(HostDialog* dialog, int32_t id, bool* out) {
  return get_value("gui.get_bool", dialog, id, [&](const GadgetValue& value) {
    if (out) *out = as_number(value) != 0;
    return true;
  });
}

bool gui_get_int32(HostDialog* dialog, int32_t id, int32_t* out) {
  return get_value("gui.get_int32", dialog, id, [&](const GadgetValue& value) {
    if (out) *out = integer_from_float<int32_t>(as_number(value)).value_or(0);
    return true;
  });
}

bool gui_get_float(HostDialog* dialog, int32_t id, double* out) {
  return get_value("gui.get_float", dialog, id, [&](const GadgetValue& value) {
    if (out) *out = as_number(value);
    return true;
  });
}

bool gui_get_string(HostDialog* dialog, int32_t id, HostString* out) {
  return get_value("gui.get_string", dialog, id, [&](const GadgetValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (out) out->text = from_utf8(text ? *text : std::string());
    return true;
  });
}

bool gui_enable(HostDialog* dialog, int32_t id, bool enabled) {
  return guarded("gui.enable", false, [&] { return live(dialog) && ui::set_enabled(dialog, id, enabled); });
}

bool gui_gadget_set_data(HostGadget* gadget, const HostContainer* data) {
  return guarded("gui.gadget_set_data", false, [&] {
    if (!gadget || !data || !live(gadget->dialog)) return false;
    ui::set_gadget_data(gadget, *data);
    return true;
  });
}

bool gui_gadget_get_data(HostGadget* gadget, HostContainer* data) {
  return guarded("gui.gadget_get_data", false, [&] {
    if (!gadget || !data || !live(gadget->dialog)) return false;
    int32_t id = data->id;
    *data = gadget->data ? *gadget->data : HostContainer(0);
    data->id = id;  // the caller's container keeps its own id
    return true;
  });
}

HostUserArea* gui_user_area_alloc(HostDialogCallback callback, void* object) {
  return guarded("gui.user_area_alloc", static_cast<HostUserArea*>(nullptr), [&] {
    return callback ? tracked(ObjectKind::UserArea, ui::new_user_area(callback, object)) : nullptr;
  });
}

void gui_user_area_free(HostUserArea* area) {
  guarded_void("gui.user_area_free", [&] {
    untrack_object(ObjectKind::UserArea, area);
    ui::free_user_area(area);
  });
}

void* gui_user_area_object(HostUserArea* area) {
  return guarded("gui.user_area_object", static_cast<void*>(nullptr),
                 [&] { return area ? area->object : nullptr; });
}

void gui_user_area_set_min_size(HostUserArea* area, int32_t width, int32_t height) {
  guarded_void("gui.user_area_set_min_size", [&] {
    if (!area) return;
    area->min_width = width;
    area->min_height = height;
  });
}

void gui_user_area_get_size(HostUserArea* area, int32_t* width, int32_t* height) {
  guarded_void("gui.user_area_get_size", [&] {
    if (width) *width = area ? area->width : 0;
    if (height) *height = area ? area->height : 0;
  });
}

void gui_user_area_set_pen(HostUserArea* area, int32_t color_id) {
  guarded_void("gui.user_area_set_pen", [&] {
    if (area) area->pen = color_id;
  });
}

void gui_user_area_fill(HostUserArea* area, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  guarded_void("gui.user_area_fill", [&] {
    if (area) area->fills.push_back({area->pen, x1, y1, x2, y2});
  });
}

void gui_user_area_redraw(HostUserArea* area) {
  guarded_void("gui.user_area_redraw", [&] { ui::redraw_user_area(area); });
}

HostContainer* gui_send_core_message(int32_t code, const HostContainer* message) {
  return guarded("gui.send_core_message", static_cast<HostContainer*>(nullptr),
                 [&] { return answer_core_message(code, message); });
}

}  // namespace

const HostGuiTable* gui_table() {
  static const HostGuiTable kTable{
      .size = sizeof(HostGuiTable),
      .console_print = gui_console_print,
      .message_box = gui_message_box,
      .select_file = gui_select_file,
      .status_set_percent = gui_status_set_percent,
      .status_set_text = gui_status_set_text,
      .status_clear = gui_status_clear,
      .set_mouse_pointer = gui_set_mouse_pointer,
      .special_event = gui_special_event,
      .dialog_alloc = gui_dialog_alloc,
      .dialog_free = gui_dialog_free,
      .dialog_object = gui_dialog_object,
      .dialog_set_plugin = gui_dialog_set_plugin,
      .dialog_open = gui_dialog_open,
      .dialog_close = gui_dialog_close,
      .dialog_check_close = gui_dialog_check_close,
      .dialog_restore = gui_dialog_restore,
      .dialog_set_title = gui_dialog_set_title,
      .dialog_send_result = gui_dialog_send_result,
      .group_begin = gui_group_begin,
      .group_end = gui_group_end,
      .tab_group_begin = gui_tab_group_begin,
      .add_static_text = gui_add_static_text,
      .add_checkbox = gui_add_checkbox,
      .add_button = gui_add_button,
      .add_edit_text = gui_add_edit_text,
      .add_edit_number = gui_add_edit_number,
      .add_combo_box = gui_add_combo_box,
      .add_child = gui_add_child,
      .add_custom_gadget = gui_add_custom_gadget,
      .add_user_area = gui_add_user_area,
      .attach_user_area = gui_attach_user_area,
      .add_dialog_buttons = gui_add_dialog_buttons,
      .set_bool = gui_set_bool,
      .set_int32 = gui_set_int32,
      .set_float = gui_set_float,
      .set_string = gui_set_string,
      .get_bool = gui_get_bool,
      .get_int32 = gui_get_int32,
      .get_float = gui_get_float,
      .get_string = gui_get_string,
      .enable = gui_enable,
      .gadget_set_data = gui_gadget_set_data,
      .gadget_get_data = gui_gadget_get_data,
      .user_area_alloc = gui_user_area_alloc,
      .user_area_free = gui_user_area_free,
      .user_area_object = gui_user_area_object,
      .user_area_set_min_size = gui_user_area_set_min_size,
      .user_area_get_size = gui_user_area_get_size,
      .user_area_set_pen = gui_user_area_set_pen,
      .user_area_fill = gui_user_area_fill,
      .user_area_redraw = gui_user_area_redraw,
      .send_core_message = gui_send_core_message,
      .tree_view_set_root = gui_tree_view_set_root,
      .tree_view_set_layout = gui_tree_view_set_layout,
      .tree_view_refresh = gui_tree_view_refresh,
      .bitmap_button_set_image = gui_bitmap_button_set_image,
      .tab_group_begin_typed = gui_tab_group_begin_typed,
      .add_multi_line_edit_text = gui_add_multi_line_edit_text,
      .user_area_set_text_color = gui_user_area_set_text_color,
      .user_area_draw_text = gui_user_area_draw_text,
      .user_area_text_width = gui_user_area_text_width,
      .user_area_font_height = gui_user_area_font_height,
      .user_area_draw_line = gui_user_area_draw_line,
  };
  return &kTable;
}

}  // namespace zorhost
