#include "gui/dialog_model.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "gui/dialog_layouts.h"
#include "gui/transcript.h"
#include "gui/ui_driver.h"
#include "strings/string_impl.h"

namespace zorhost::ui {
namespace {

std::map<HostDialog*, std::unique_ptr<HostDialog>> g_dialogs;
std::vector<HostDialog*> g_open;  // in opening order
std::set<HostUserArea*> g_user_areas;

struct PendingEvent {
  int32_t id = 0;
  int64_t p1 = 0;
  int64_t p2 = 0;
};
std::mutex g_event_mutex;
std::condition_variable g_event_ready;
std::deque<PendingEvent> g_events;

bool is_layout_only(GadgetKind kind) {
  return kind == GadgetKind::Group || kind == GadgetKind::GroupEnd;
}

std::atomic<int32_t> g_mouse_pointer{0};

bool takes_typed_text(const HostGadget& gadget) {
  return gadget.kind == GadgetKind::EditText || gadget.kind == GadgetKind::MultiLineText;
}

bool is_filename_gadget(const HostGadget& gadget) {
  return gadget.kind == GadgetKind::Custom && gadget.custom_type == ZOR_GADGET_FILENAME;
}

// What the transcript shows as the value: a bitmap button's is the size of its image.
nlohmann::json shown_value(const HostGadget& gadget) {
  if (gadget.kind == GadgetKind::Custom && gadget.custom_type == ZOR_GADGET_BITMAPBUTTON) {
    if (!gadget.image) return nullptr;
    return std::to_string(gadget.image->width) + "x" + std::to_string(gadget.image->height);
  }
  return value_json(gadget_value(gadget));
}

std::string shown_text(const HostGadget& gadget) {
  if (gadget.kind == GadgetKind::ComboBox) {
    if (const auto* selected = std::get_if<int32_t>(&gadget.value)) {
      for (const auto& choice : gadget.choices)
        if (choice.id == *selected) return choice.text;
    }
    return {};
  }
  return gadget.text;
}

void record_open(const HostDialog& dialog) {
  nlohmann::json gadgets = nlohmann::json::array();
  for (const auto& gadget : dialog.gadgets) {
    if (is_layout_only(gadget->kind)) continue;
    gadgets.push_back({{"id", gadget->id},
                       {"kind", kind_name(*gadget)},
                       {"text", shown_text(*gadget)},
                       {"value", shown_value(*gadget)},
                       {"enabled", gadget->enabled}});
  }
  transcript::record(
      {{"event", "dialogOpen"}, {"title", dialog.title}, {"modal", dialog.modal}, {"gadgets", gadgets}});
  for (const auto& gadget : dialog.gadgets) record_pending_tree(gadget.get());
}

void remember_layout(const HostDialog& dialog, bool open) {
  if (dialog.modal || dialog.plugin_id == 0) return;
  store_layout(
      {dialog.plugin_id, dialog.sub_id, dialog.type, dialog.x, dialog.y, dialog.width, dialog.height, open});
}

// Closed before the host ends: the next run does not bring it back.
void remove_from_open(HostDialog* dialog, CloseReason reason) {
  dialog->open = false;
  std::erase(g_open, dialog);
  if (reason != CloseReason::Shutdown) remember_layout(*dialog, false);
}

void record_close(const HostDialog& dialog, CloseReason reason) {
  transcript::record(
      {{"event", "dialogClose"}, {"title", dialog.title}, {"result", close_reason_name(reason)}});
}

void delete_dialog(HostDialog* dialog) {
  for (HostUserArea* area : dialog->user_areas) {
    area->dialog = nullptr;
    area->shown = false;
  }
  g_dialogs.erase(dialog);
}

// Runs after the outermost callback into a dialog returned: a close or free that the module asked for
// while handling a message takes effect only now, so the module never sees "dsty" inside its own handler.
void finish_dispatch(HostDialog* dialog) {
  if (dialog->free_pending) {
    delete_dialog(dialog);
  } else if (dialog->destroy_pending) {
    dialog->destroy_pending = false;
    send(dialog, ZOR_MSG_DESTROY);
  }
}

bool deliver(HostDialog* dialog, HostUserArea* area, const HostContainer& message) {
  HostDialogCallback callback = area ? area->callback : (dialog ? dialog->callback : nullptr);
  if (!callback) return false;
  if (dialog) ++dialog->dispatch_depth;
  bool answer = callback(dialog, area, &message);
  if (dialog && --dialog->dispatch_depth == 0) finish_dispatch(dialog);
  return answer;
}

// Changes a value without telling anyone; answers whether what the gadget shows changed.
bool apply_value(HostGadget* gadget, const GadgetValue& value) {
  GadgetValue before = gadget_value(*gadget);
  if (is_filename_gadget(*gadget)) {
    if (!gadget->data) gadget->data = std::make_unique<HostContainer>(0);
    const auto* path = std::get_if<std::string>(&value);
    gadget->data->values[ZOR_GADGET_FILENAME] = FilenameValue{path ? *path : std::string()};
  } else {
    gadget->value = value;
    if (gadget->kind == GadgetKind::StaticText) {
      if (const auto* text = std::get_if<std::string>(&value)) gadget->text = *text;
    }
  }
  return before != gadget_value(*gadget);
}

void record_value_change(const HostGadget& gadget) {
  const HostDialog* dialog = gadget.dialog;
  if (!dialog || !dialog->shown) return;  // values set while building belong to the dialogOpen event
  transcript::record(
      {{"event", "gadget"}, {"title", dialog->title}, {"id", gadget.id}, {"value", shown_value(gadget)}});
}

HostContainer message_with(int32_t code, std::initializer_list<std::pair<int32_t, int32_t>> values) {
  HostContainer message(code);
  for (const auto& [key, value] : values) message.values[key] = value;
  return message;
}

void draw_user_area(HostUserArea* area) {
  if (!area->shown || area->drawing) return;
  area->drawing = true;
  HostContainer draw = message_with(
      ZOR_MSG_DRAW, {{1, 0}, {2, 0}, {3, std::max(area->width - 1, 0)}, {4, std::max(area->height - 1, 0)}});
  send_to_user_area(area, draw);
  area->drawing = false;
}

// A user area learns its size when its dialog is shown: the larger of the layout's and the minimum it
// asks for, and a small square when neither says anything.
void show_user_area(HostUserArea* area) {
  if (area->shown || !area->dialog) return;
  area->shown = true;
  for (int32_t code : {ZOR_MSG_INIT, ZOR_MSG_INIT_VALUES, ZOR_MSG_CALC_SIZE}) {
    HostContainer message(code);
    send_to_user_area(area, message);
    if (!g_user_areas.contains(area) || !area->dialog) return;
  }
  int32_t layout_width = 0, layout_height = 0;
  if (HostGadget* gadget = find_gadget(area->dialog, area->gadget_id)) {
    layout_width = gadget->width;
    layout_height = gadget->height;
  }
  constexpr int32_t kDefaultSide = 100;
  area->width = std::max(layout_width, area->min_width);
  area->height = std::max(layout_height, area->min_height);
  if (area->width <= 0) area->width = kDefaultSide;
  if (area->height <= 0) area->height = kDefaultSide;
  HostContainer resized(ZOR_MSG_SIZE_CHANGED);
  send_to_user_area(area, resized);
  if (g_user_areas.contains(area)) draw_user_area(area);
}

void show_user_areas(HostDialog* dialog) {
  std::vector<HostUserArea*> areas = dialog->user_areas;
  for (HostUserArea* area : areas) {
    if (!is_live(dialog)) return;
    if (g_user_areas.contains(area) && area->dialog == dialog) show_user_area(area);
  }
}

}  // namespace

HostDialog* new_dialog(HostDialogCallback callback, void* object) {
  static uint64_t serials = 0;
  auto dialog = std::make_unique<HostDialog>();
  dialog->serial = ++serials;
  dialog->callback = callback;
  dialog->object = object;
  HostDialog* handle = dialog.get();
  g_dialogs.emplace(handle, std::move(dialog));
  return handle;
}

void free_dialog(HostDialog* dialog) {
  if (!is_live(dialog)) return;
  if (dialog->open) {
    remove_from_open(dialog, CloseReason::Module);
    record_close(*dialog, CloseReason::Module);
  }
  if (dialog->dispatch_depth > 0) {
    dialog->free_pending = true;
  } else {
    delete_dialog(dialog);
  }
}

bool is_live(const HostDialog* dialog) {
  return dialog && g_dialogs.contains(const_cast<HostDialog*>(dialog)) && !dialog->free_pending;
}

std::vector<HostDialog*> open_dialogs() {
  return g_open;
}

HostDialog* find_open_dialog(const std::string& title) {
  for (HostDialog* dialog : g_open)
    if (!dialog->modal && dialog->title == title) return dialog;
  return nullptr;
}

HostDialog* find_open_dialog(uint64_t serial) {
  for (HostDialog* dialog : g_open)
    if (dialog->serial == serial) return dialog;
  return nullptr;
}

HostGadget* add_gadget(HostDialog* dialog, GadgetKind kind, int32_t id, int32_t flags, int32_t width,
                       int32_t height, std::string text) {
  auto gadget = std::make_unique<HostGadget>();
  gadget->dialog = dialog;
  gadget->kind = kind;
  gadget->id = id;
  gadget->flags = flags;
  gadget->width = width;
  gadget->height = height;
  gadget->text = std::move(text);
  if (kind == GadgetKind::StaticText) gadget->value = gadget->text;
  dialog->gadgets.push_back(std::move(gadget));
  return dialog->gadgets.back().get();
}

HostGadget* find_gadget(HostDialog* dialog, int32_t id) {
  for (const auto& gadget : dialog->gadgets)
    if (!is_layout_only(gadget->kind) && gadget->id == id) return gadget.get();
  return nullptr;
}

bool is_live_gadget(const HostGadget* gadget) {
  for (const auto& [handle, dialog] : g_dialogs) {
    if (dialog->free_pending) continue;
    for (const auto& each : dialog->gadgets)
      if (each.get() == gadget) return true;
  }
  return false;
}

void add_dialog_buttons(HostDialog* dialog, int32_t flags) {
  if (flags & ZOR_BUTTONS_OK) add_gadget(dialog, GadgetKind::Button, 1, 0, 0, 0, "OK");
  if (flags & ZOR_BUTTONS_CANCEL) add_gadget(dialog, GadgetKind::Button, 2, 0, 0, 0, "Cancel");
}

bool add_choice(HostDialog* dialog, int32_t combo_id, int32_t child_id, std::string text) {
  HostGadget* combo = find_gadget(dialog, combo_id);
  if (!combo || combo->kind != GadgetKind::ComboBox) return false;
  combo->choices.push_back({child_id, std::move(text)});
  // The first choice is selected until someone chooses another.
  if (std::holds_alternative<std::monostate>(combo->value)) combo->value = child_id;
  return true;
}

bool attach_user_area(HostDialog* dialog, int32_t gadget_id, HostUserArea* area) {
  HostGadget* gadget = find_gadget(dialog, gadget_id);
  if (!gadget || gadget->kind != GadgetKind::UserArea || !g_user_areas.contains(area)) return false;
  if (area->dialog && area->dialog != dialog) std::erase(area->dialog->user_areas, area);
  gadget->user_area = area;
  area->dialog = dialog;
  area->gadget_id = gadget_id;
  if (std::find(dialog->user_areas.begin(), dialog->user_areas.end(), area) == dialog->user_areas.end())
    dialog->user_areas.push_back(area);
  if (dialog->shown) show_user_area(area);
  return true;
}

GadgetValue gadget_value(const HostGadget& gadget) {
  if (is_filename_gadget(gadget)) {
    if (!gadget.data) return std::string();
    auto entry = gadget.data->values.find(ZOR_GADGET_FILENAME);
    if (entry == gadget.data->values.end()) return std::string();
    if (const auto* name = std::get_if<FilenameValue>(&entry->second)) return name->path;
    return std::string();
  }
  return gadget.value;
}

bool set_value(HostDialog* dialog, int32_t id, GadgetValue value) {
  HostGadget* gadget = find_gadget(dialog, id);
  if (!gadget) return false;
  if (apply_value(gadget, value)) record_value_change(*gadget);
  return true;
}

void set_gadget_data(HostGadget* gadget, const HostContainer& data) {
  GadgetValue before = gadget_value(*gadget);
  gadget->data = std::make_unique<HostContainer>(data);
  if (before != gadget_value(*gadget)) record_value_change(*gadget);
}

std::vector<int32_t> tab_pages(HostDialog* dialog, const HostGadget& tab_group) {
  std::vector<int32_t> pages;
  auto at = std::find_if(dialog->gadgets.begin(), dialog->gadgets.end(),
                         [&](const auto& gadget) { return gadget.get() == &tab_group; });
  if (at == dialog->gadgets.end()) return pages;
  int32_t depth = 0;
  for (++at; at != dialog->gadgets.end(); ++at) {
    const GadgetKind kind = (*at)->kind;
    if (kind == GadgetKind::GroupEnd) {
      if (depth-- == 0) break;
    } else if (kind == GadgetKind::Group || kind == GadgetKind::TabGroup) {
      if (depth++ == 0 && kind == GadgetKind::Group) pages.push_back((*at)->id);
    }
  }
  return pages;
}

void set_gadget_image(HostGadget* gadget, const HostBitmap* bitmap) {
  const nlohmann::json before = shown_value(*gadget);
  gadget->image = bitmap ? std::make_unique<HostBitmap>(*bitmap) : nullptr;
  ++gadget->image_serial;
  if (before != shown_value(*gadget)) record_value_change(*gadget);
}

HostGadget* find_tree_view(HostDialog* dialog) {
  for (const auto& gadget : dialog->gadgets)
    if (gadget->tree) return gadget.get();
  return nullptr;
}

void set_mouse_pointer(int32_t pointer) {
  g_mouse_pointer = pointer;
}

int32_t mouse_pointer() {
  return g_mouse_pointer;
}

bool set_enabled(HostDialog* dialog, int32_t id, bool enabled) {
  HostGadget* gadget = find_gadget(dialog, id);
  if (!gadget) return false;
  gadget->enabled = enabled;
  return true;
}

bool send(HostDialog* dialog, int32_t code) {
  HostContainer message(code);
  return deliver(dialog, nullptr, message);
}

bool send_command(HostDialog* dialog, int32_t gadget_id) {
  return deliver(dialog, nullptr, message_with(ZOR_MSG_COMMAND, {{ZOR_MSG_VALUE_GADGET_ID, gadget_id}}));
}

bool send_core_event(HostDialog* dialog, int32_t event_id) {
  ++dialog->core_events;
  return deliver(dialog, nullptr, message_with(ZOR_MSG_CORE, {{ZOR_MSG_VALUE_EVENT_ID, event_id}}));
}

bool send_to_user_area(HostUserArea* area, HostContainer& message) {
  if (!area->dialog) return false;
  return deliver(area->dialog, area, message);
}

bool open_dialog(HostDialog* dialog, int32_t type, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!is_live(dialog) || dialog->open) return false;
  bool modal = type == ZOR_DIALOG_MODAL || type == ZOR_DIALOG_MODAL_RESIZABLE;
  if (modal && !driver().can_open_modal()) return false;
  dialog->type = type;
  dialog->x = x;
  dialog->y = y;
  dialog->width = width;
  dialog->height = height;
  dialog->modal = modal;
  dialog->open = true;
  dialog->shown = false;
  dialog->last_press = CloseReason::None;
  // The module builds its layout anew on every "bINI" after a "dsty"; the old one goes first.
  for (HostUserArea* area : dialog->user_areas) {
    area->dialog = nullptr;
    area->shown = false;
  }
  dialog->user_areas.clear();
  dialog->gadgets.clear();
  g_open.push_back(dialog);
  send(dialog, ZOR_MSG_INIT);
  if (is_live(dialog) && dialog->open) send(dialog, ZOR_MSG_INIT_VALUES);
  if (!is_live(dialog) || !dialog->open) return false;
  for (const auto& gadget : dialog->gadgets) {
    if (gadget->kind != GadgetKind::TabGroup || !std::holds_alternative<std::monostate>(gadget->value))
      continue;
    const std::vector<int32_t> pages = tab_pages(dialog, *gadget);
    if (!pages.empty()) gadget->value = pages.front();
  }
  dialog->shown = true;
  record_open(*dialog);
  remember_layout(*dialog, true);
  show_user_areas(dialog);
  if (!is_live(dialog)) return false;
  if (modal) {
    if (dialog->open) driver().run_modal(dialog);
  } else {
    driver().dialog_shown(dialog);
  }
  return true;
}

bool close_dialog(HostDialog* dialog) {
  if (!is_live(dialog) || !dialog->open) return false;
  const CloseReason reason =
      dialog->last_press == CloseReason::None ? CloseReason::Module : dialog->last_press;
  remove_from_open(dialog, reason);
  record_close(*dialog, reason);
  dialog->shown = false;
  if (dialog->dispatch_depth > 0) {
    dialog->destroy_pending = true;
  } else {
    send(dialog, ZOR_MSG_DESTROY);
  }
  return true;
}

void force_close(HostDialog* dialog, CloseReason reason) {
  if (!is_live(dialog) || !dialog->open) return;
  send(dialog, ZOR_MSG_CHECK_CLOSE);  // asked, but the answer cannot keep it open
  if (!is_live(dialog) || !dialog->open) return;
  remove_from_open(dialog, reason);
  record_close(*dialog, reason);
  dialog->shown = false;
  send(dialog, ZOR_MSG_DESTROY);
}

void close_all_dialogs() {
  std::vector<HostDialog*> dialogs = g_open;
  for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) force_close(*it, CloseReason::Shutdown);
}

bool user_set(HostDialog* dialog, int32_t id, const GadgetValue& value) {
  if (!is_live(dialog) || !dialog->open) return false;
  HostGadget* gadget = find_gadget(dialog, id);
  if (!gadget) return false;
  apply_value(gadget, value);
  HostContainer message = message_with(ZOR_MSG_COMMAND, {{ZOR_MSG_VALUE_GADGET_ID, id}});
  if (const auto* text = std::get_if<std::string>(&value); text && takes_typed_text(*gadget)) {
    message.values[ZOR_MSG_VALUE_EDITING] = false;
    message.values[ZOR_MSG_VALUE_TEXT] = StringValue{from_utf8(*text)};
  }
  deliver(dialog, nullptr, message);
  return true;
}

bool user_click(HostDialog* dialog, int32_t id) {
  if (!is_live(dialog) || !dialog->open || !find_gadget(dialog, id)) return false;
  send_command(dialog, id);
  return true;
}

bool user_press(HostDialog* dialog, CloseReason button) {
  if (!is_live(dialog) || !dialog->open) return false;
  int32_t id = button == CloseReason::Ok ? 1 : 2;
  dialog->last_press = button;
  send_command(dialog, id);
  if (is_live(dialog)) dialog->last_press = CloseReason::None;
  return true;
}

// The module answers true to keep the window open.
bool user_close_window(HostDialog* dialog) {
  if (!is_live(dialog) || !dialog->open) return false;
  bool keep_open = send(dialog, ZOR_MSG_CHECK_CLOSE);
  if (!is_live(dialog) || !dialog->open) return true;
  if (keep_open) return false;
  if (dialog->modal) {
    keep_open = send(dialog, ZOR_MSG_ASK_CLOSE);
    if (!is_live(dialog) || !dialog->open) return true;
    if (keep_open) return false;
  }
  remove_from_open(dialog, CloseReason::Window);
  record_close(*dialog, CloseReason::Window);
  dialog->shown = false;
  send(dialog, ZOR_MSG_DESTROY);
  return true;
}

HostUserArea* new_user_area(HostDialogCallback callback, void* object) {
  auto* area = new HostUserArea;
  area->callback = callback;
  area->object = object;
  g_user_areas.insert(area);
  return area;
}

void free_user_area(HostUserArea* area) {
  if (!g_user_areas.erase(area)) return;
  if (area->dialog && is_live(area->dialog)) {
    std::erase(area->dialog->user_areas, area);
    if (HostGadget* gadget = find_gadget(area->dialog, area->gadget_id)) {
      if (gadget->user_area == area) gadget->user_area = nullptr;
    }
  }
  delete area;
}

void redraw_user_area(HostUserArea* area) {
  if (!g_user_areas.contains(area)) return;
  ++area->redraw_requests;
  draw_user_area(area);
}

void post_event(int32_t id, int64_t p1, int64_t p2) {
  {
    std::lock_guard lock(g_event_mutex);
    g_events.push_back({id, p1, p2});
  }
  g_event_ready.notify_all();
}

int32_t deliver_pending_events(int32_t max_events) {
  int32_t delivered = 0;
  while (delivered < max_events) {
    PendingEvent event;
    {
      std::lock_guard lock(g_event_mutex);
      if (g_events.empty()) break;
      event = g_events.front();
      g_events.pop_front();
    }
    ++delivered;
    for (HostDialog* dialog : open_dialogs()) {
      if (is_live(dialog) && dialog->open) send_core_event(dialog, event.id);
    }
  }
  return delivered;
}

bool wait_for_event(int32_t timeout_ms) {
  std::unique_lock lock(g_event_mutex);
  return g_event_ready.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                [] { return !g_events.empty(); });
}

void discard_pending_events() {
  std::lock_guard lock(g_event_mutex);
  g_events.clear();
}

nlohmann::json value_json(const GadgetValue& value) {
  return std::visit(
      [](const auto& v) -> nlohmann::json {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::monostate>) {
          return nullptr;
        } else {
          return v;
        }
      },
      value);
}

std::string kind_name(const HostGadget& gadget) {
  switch (gadget.kind) {
    case GadgetKind::Group:
      return "group";
    case GadgetKind::GroupEnd:
      return "groupEnd";
    case GadgetKind::TabGroup:
      return "tabGroup";
    case GadgetKind::StaticText:
      return "staticText";
    case GadgetKind::Checkbox:
      return "checkbox";
    case GadgetKind::Button:
      return "button";
    case GadgetKind::EditText:
      return "editText";
    case GadgetKind::EditNumber:
      return "editNumber";
    case GadgetKind::MultiLineText:
      return "multiLineText";
    case GadgetKind::ComboBox:
      return "comboBox";
    case GadgetKind::UserArea:
      return "userArea";
    case GadgetKind::Custom:
      switch (gadget.custom_type) {
        case ZOR_GADGET_FILENAME:
          return "fileName";
        case ZOR_GADGET_TREEVIEW:
          return "treeView";
        case ZOR_GADGET_BITMAPBUTTON:
          return "bitmapButton";
        default:
          return "custom";
      }
  }
  return "custom";
}

std::string close_reason_name(CloseReason reason) {
  switch (reason) {
    case CloseReason::Ok:
      return "ok";
    case CloseReason::Cancel:
      return "cancel";
    case CloseReason::Window:
      return "window";
    case CloseReason::Shutdown:
      return "shutdown";
    case CloseReason::Module:
    case CloseReason::None:
      return "closed";
  }
  return "closed";
}

}  // namespace zorhost::ui
