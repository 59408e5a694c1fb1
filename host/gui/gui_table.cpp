// The user-interaction family: every operation works on the dialog model; what a user sees or answers
// comes from the current driver.
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "files/filename_impl.h"
#include "gui/console.h"
#include "gui/dialog_model.h"
#include "gui/transcript.h"
#include "gui/ui_driver.h"
#include "strings/string_impl.h"

namespace zorhost {
namespace {

using ui::GadgetKind;
using ui::GadgetValue;

bool live(HostDialog* dialog) {
  return ui::is_live(dialog);
}

// The status line is for a person watching a terminal; a redirected stderr gets nothing, the
// transcript always gets the event.
std::mutex g_status_mutex;
void show_status_line(const std::string& line) {
  if (!isatty(fileno(stderr))) return;
  std::lock_guard lock(g_status_mutex);
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
}

void console_print(const HostString* text) {
  guarded_void("console_print", [&] { console_line(to_utf8(text)); });
}

int32_t message_box(const HostString* text, int32_t type) {
  return guarded("message_box", 0, [&] { return ui::driver().message_box(to_utf8(text), type); });
}

bool select_file(HostFilename* name, int32_t kind, const HostString* title) {
  return guarded("select_file", false, [&] {
    std::optional<std::string> chosen = ui::driver().select_file(kind, to_utf8(title));
    if (!chosen) return false;
    if (name) name->path = *chosen;
    return true;
  });
}

void status_set_percent(int32_t percent) {
  guarded_void("status_set_percent", [&] {
    show_status_line("[" + std::to_string(percent) + "%]");
    transcript::record({{"event", "status"}, {"percent", percent}});
  });
}

void status_set_text(const HostString* text) {
  guarded_void("status_set_text", [&] {
    std::string line = to_utf8(text);
    show_status_line(line);
    transcript::record({{"event", "status"}, {"text", line}});
  });
}

void status_clear() {
  guarded_void("status_clear", [&] {
    show_status_line("");
    transcript::record({{"event", "status"}, {"text", ""}});
  });
}

void set_mouse_pointer(int32_t) {}  // there is no pointer to show

void special_event(int32_t id, int64_t p1, int64_t p2) {
  guarded_void("special_event", [&] { ui::post_event(id, p1, p2); });
}

HostDialog* dialog_alloc(HostDialogCallback callback, void* object) {
  return guarded("dialog_alloc", static_cast<HostDialog*>(nullptr),
                 [&] { return callback ? ui::new_dialog(callback, object) : nullptr; });
}

void dialog_free(HostDialog* dialog) {
  guarded_void("dialog_free", [&] { ui::free_dialog(dialog); });
}

void* dialog_object(HostDialog* dialog) {
  return guarded("dialog_object", static_cast<void*>(nullptr),
                 [&] { return live(dialog) ? dialog->object : nullptr; });
}

void dialog_set_plugin(HostDialog* dialog, int32_t plugin_id, int32_t sub_id) {
  guarded_void("dialog_set_plugin", [&] {
    if (!live(dialog)) return;
    dialog->plugin_id = plugin_id;
    dialog->sub_id = sub_id;
  });
}

bool dialog_open(HostDialog* dialog, int32_t type, int32_t, int32_t, int32_t width, int32_t height) {
  return guarded("dialog_open", false, [&] { return ui::open_dialog(dialog, type, width, height); });
}

bool dialog_close(HostDialog* dialog) {
  return guarded("dialog_close", false, [&] { return ui::close_dialog(dialog); });
}

bool dialog_check_close(HostDialog* dialog) {
  return guarded("dialog_check_close", false, [&] { return live(dialog) && dialog->open; });
}

// Dialogs are not kept open across runs of zorhost, so there is never anything to bring back.
bool dialog_restore(HostDialog* dialog, int32_t plugin_id, int32_t sub_id, void*) {
  return guarded("dialog_restore", false, [&] {
    if (!live(dialog)) return false;
    dialog->plugin_id = plugin_id;
    dialog->sub_id = sub_id;
    return true;
  });
}

void dialog_set_title(HostDialog* dialog, const HostString* title) {
  guarded_void("dialog_set_title", [&] {
    if (live(dialog)) dialog->title = to_utf8(title);
  });
}

void dialog_send_result(HostDialog* dialog, const HostContainer* result) {
  guarded_void("dialog_send_result", [&] {
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

bool group_begin(HostDialog* dialog, int32_t id, int32_t flags, int32_t columns, int32_t rows,
                 const HostString* title, int32_t group_flags) {
  return layout("group_begin", dialog, [&] {
    HostGadget* group = ui::add_gadget(dialog, GadgetKind::Group, id, flags, 0, 0, to_utf8(title));
    group->columns = columns;
    group->rows = rows;
    group->group_flags = group_flags;
  });
}

bool group_end(HostDialog* dialog) {
  return layout("group_end", dialog, [&] { ui::add_gadget(dialog, GadgetKind::GroupEnd, 0, 0, 0, 0); });
}

bool tab_group_begin(HostDialog* dialog, int32_t id, int32_t flags) {
  return layout("tab_group_begin", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::TabGroup, id, flags, 0, 0); });
}

bool add_static_text(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height,
                     const HostString* text) {
  return layout("add_static_text", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::StaticText, id, flags, width, height, to_utf8(text));
  });
}

bool add_checkbox(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height,
                  const HostString* text) {
  return layout("add_checkbox", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::Checkbox, id, flags, width, height, to_utf8(text))->value = false;
  });
}

bool add_button(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height,
                const HostString* text) {
  return layout("add_button", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::Button, id, flags, width, height, to_utf8(text)); });
}

bool add_edit_text(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("add_edit_text", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::EditText, id, flags, width, height)->value = std::string();
  });
}

bool add_edit_number(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("add_edit_number", dialog, [&] {
    ui::add_gadget(dialog, GadgetKind::EditNumber, id, flags, width, height)->value = 0.0;
  });
}

bool add_combo_box(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("add_combo_box", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::ComboBox, id, flags, width, height); });
}

bool add_child(HostDialog* dialog, int32_t id, int32_t child_id, const HostString* text) {
  return guarded("add_child", false,
                 [&] { return live(dialog) && ui::add_choice(dialog, id, child_id, to_utf8(text)); });
}

HostGadget* add_custom_gadget(HostDialog* dialog, int32_t id, int32_t type, int32_t flags, int32_t width,
                              int32_t height, const HostContainer* settings) {
  return guarded("add_custom_gadget", static_cast<HostGadget*>(nullptr), [&]() -> HostGadget* {
    if (!live(dialog)) return nullptr;
    HostGadget* gadget = ui::add_gadget(dialog, GadgetKind::Custom, id, flags, width, height);
    gadget->custom_type = type;
    if (settings) gadget->settings = std::make_unique<HostContainer>(*settings);
    return gadget;
  });
}

bool add_user_area(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height) {
  return layout("add_user_area", dialog,
                [&] { ui::add_gadget(dialog, GadgetKind::UserArea, id, flags, width, height); });
}

bool attach_user_area(HostDialog* dialog, int32_t id, HostUserArea* area) {
  return guarded("attach_user_area", false,
                 [&] { return live(dialog) && ui::attach_user_area(dialog, id, area); });
}

bool add_dialog_buttons(HostDialog* dialog, int32_t flags) {
  return layout("add_dialog_buttons", dialog, [&] { ui::add_dialog_buttons(dialog, flags); });
}

bool set_value(const char* entry, HostDialog* dialog, int32_t id, GadgetValue value) {
  return guarded(entry, false, [&] { return live(dialog) && ui::set_value(dialog, id, std::move(value)); });
}

bool set_bool(HostDialog* dialog, int32_t id, bool value) {
  return set_value("set_bool", dialog, id, value);
}
bool set_int32(HostDialog* dialog, int32_t id, int32_t value) {
  return set_value("set_int32", dialog, id, value);
}
bool set_float(HostDialog* dialog, int32_t id, double value) {
  return set_value("set_float", dialog, id, value);
}
bool set_string(HostDialog* dialog, int32_t id, const HostString* value) {
  return set_value("set_string", dialog, id, to_utf8(value));
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

bool get_bool(HostDialog* dialog, int32_t id, bool* out) {
  return get_value("get_bool", dialog, id, [&](const GadgetValue& value) {
    if (out) *out = as_number(value) != 0;
    return true;
  });
}

bool get_int32(HostDialog* dialog, int32_t id, int32_t* out) {
  return get_value("get_int32", dialog, id, [&](const GadgetValue& value) {
    if (out) *out = static_cast<int32_t>(as_number(value));
    return true;
  });
}

bool get_float(HostDialog* dialog, int32_t id, double* out) {
  return get_value("get_float", dialog, id, [&](const GadgetValue& value) {
    if (out) *out = as_number(value);
    return true;
  });
}

bool get_string(HostDialog* dialog, int32_t id, HostString* out) {
  return get_value("get_string", dialog, id, [&](const GadgetValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (out) out->text = from_utf8(text ? *text : std::string());
    return true;
  });
}

bool enable(HostDialog* dialog, int32_t id, bool enabled) {
  return guarded("enable", false, [&] { return live(dialog) && ui::set_enabled(dialog, id, enabled); });
}

bool gadget_set_data(HostGadget* gadget, const HostContainer* data) {
  return guarded("gadget_set_data", false, [&] {
    if (!gadget || !data || !live(gadget->dialog)) return false;
    ui::set_gadget_data(gadget, *data);
    return true;
  });
}

bool gadget_get_data(HostGadget* gadget, HostContainer* data) {
  return guarded("gadget_get_data", false, [&] {
    if (!gadget || !data || !live(gadget->dialog)) return false;
    int32_t id = data->id;
    *data = gadget->data ? *gadget->data : HostContainer(0);
    data->id = id;  // the caller's container keeps its own id
    return true;
  });
}

HostUserArea* user_area_alloc(HostDialogCallback callback, void* object) {
  return guarded("user_area_alloc", static_cast<HostUserArea*>(nullptr),
                 [&] { return callback ? ui::new_user_area(callback, object) : nullptr; });
}

void user_area_free(HostUserArea* area) {
  guarded_void("user_area_free", [&] { ui::free_user_area(area); });
}

void* user_area_object(HostUserArea* area) {
  return guarded("user_area_object", static_cast<void*>(nullptr),
                 [&] { return area ? area->object : nullptr; });
}

void user_area_set_min_size(HostUserArea* area, int32_t width, int32_t height) {
  guarded_void("user_area_set_min_size", [&] {
    if (!area) return;
    area->min_width = width;
    area->min_height = height;
  });
}

void user_area_get_size(HostUserArea* area, int32_t* width, int32_t* height) {
  guarded_void("user_area_get_size", [&] {
    if (width) *width = area ? area->width : 0;
    if (height) *height = area ? area->height : 0;
  });
}

void user_area_set_pen(HostUserArea* area, int32_t color_id) {
  guarded_void("user_area_set_pen", [&] {
    if (area) area->pen = color_id;
  });
}

void user_area_fill(HostUserArea* area, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  guarded_void("user_area_fill", [&] {
    if (area) area->fills.push_back({area->pen, x1, y1, x2, y2});
  });
}

void user_area_redraw(HostUserArea* area) {
  guarded_void("user_area_redraw", [&] { ui::redraw_user_area(area); });
}

}  // namespace

const HostGuiTable* gui_table() {
  static const HostGuiTable table = [] {
    HostGuiTable t{};
    t.size = static_cast<int32_t>(sizeof(HostGuiTable));
    t.console_print = console_print;
    t.message_box = message_box;
    t.select_file = select_file;
    t.status_set_percent = status_set_percent;
    t.status_set_text = status_set_text;
    t.status_clear = status_clear;
    t.set_mouse_pointer = set_mouse_pointer;
    t.special_event = special_event;
    t.dialog_alloc = dialog_alloc;
    t.dialog_free = dialog_free;
    t.dialog_object = dialog_object;
    t.dialog_set_plugin = dialog_set_plugin;
    t.dialog_open = dialog_open;
    t.dialog_close = dialog_close;
    t.dialog_check_close = dialog_check_close;
    t.dialog_restore = dialog_restore;
    t.dialog_set_title = dialog_set_title;
    t.dialog_send_result = dialog_send_result;
    t.group_begin = group_begin;
    t.group_end = group_end;
    t.tab_group_begin = tab_group_begin;
    t.add_static_text = add_static_text;
    t.add_checkbox = add_checkbox;
    t.add_button = add_button;
    t.add_edit_text = add_edit_text;
    t.add_edit_number = add_edit_number;
    t.add_combo_box = add_combo_box;
    t.add_child = add_child;
    t.add_custom_gadget = add_custom_gadget;
    t.add_user_area = add_user_area;
    t.attach_user_area = attach_user_area;
    t.add_dialog_buttons = add_dialog_buttons;
    t.set_bool = set_bool;
    t.set_int32 = set_int32;
    t.set_float = set_float;
    t.set_string = set_string;
    t.get_bool = get_bool;
    t.get_int32 = get_int32;
    t.get_float = get_float;
    t.get_string = get_string;
    t.enable = enable;
    t.gadget_set_data = gadget_set_data;
    t.gadget_get_data = gadget_get_data;
    t.user_area_alloc = user_area_alloc;
    t.user_area_free = user_area_free;
    t.user_area_object = user_area_object;
    t.user_area_set_min_size = user_area_set_min_size;
    t.user_area_get_size = user_area_get_size;
    t.user_area_set_pen = user_area_set_pen;
    t.user_area_fill = user_area_fill;
    t.user_area_redraw = user_area_redraw;
    return t;
  }();
  return &table;
}

}  // namespace zorhost
