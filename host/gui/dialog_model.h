// The dialog model: dialogs, their layouts and gadget values, user areas and the messages the host sends
// to the module. It knows nothing of how a dialog is shown; a driver (ui_driver.h) shows it and acts for
// the user through the user_* operations below. Everything here runs on the main thread.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <variant>
#include <vector>

#include "bitmaps/bitmap_impl.h"
#include "containers/container_impl.h"
#include "gui/tree_view.h"
#include "zor_api.h"

namespace zorhost::ui {

enum class GadgetKind {
  Group,
  GroupEnd,
  TabGroup,
  StaticText,
  Checkbox,
  Button,
  EditText,
  EditNumber,
  MultiLineText,
  ComboBox,
  Custom,
  UserArea
};

using GadgetValue = std::variant<std::monostate, bool, int32_t, double, std::string>;

struct ComboChoice {
  int32_t id = 0;
  std::string text;
};

// What the user pressed last, or how the dialog went away; reported as the dialog's close result.
enum class CloseReason { None, Ok, Cancel, Window, Module, Shutdown };

}  // namespace zorhost::ui

struct HostGadget {
  HostDialog* dialog = nullptr;
  zorhost::ui::GadgetKind kind = zorhost::ui::GadgetKind::StaticText;
  int32_t id = 0;
  int32_t flags = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t columns = 0;  // groups
  int32_t rows = 0;
  int32_t group_flags = 0;
  int32_t custom_type = 0;  // custom gadgets
  std::string text;         // label, or a group's title
  zorhost::ui::GadgetValue value;
  bool enabled = true;
  std::vector<zorhost::ui::ComboChoice> choices;
  std::unique_ptr<HostContainer> settings;  // custom gadgets: as the module gave them
  std::unique_ptr<HostContainer> data;      // custom gadgets: their data container
  HostUserArea* user_area = nullptr;
  int32_t style = 0;                            // multi-line texts; tab groups: their tab type
  std::unique_ptr<zorhost::ui::TreeView> tree;  // tree views
  std::unique_ptr<HostBitmap> image;            // bitmap buttons: their own copy of the image
  uint64_t image_serial = 0;                    // bitmap buttons: counts the images set, to tell them apart
};

struct HostUserArea {
  HostDialogCallback callback = nullptr;
  void* object = nullptr;
  HostDialog* dialog = nullptr;  // set when attached
  int32_t gadget_id = 0;
  int32_t min_width = 0;
  int32_t min_height = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t pen = 0;
  std::vector<std::array<int32_t, 5>> fills;  // pen, x1, y1, x2, y2
  int32_t text_color = 0;
  int32_t text_background = 0;
  // While a tree view asks the module to draw a cell, the texts it draws there, in order.
  bool record_texts = false;
  std::vector<std::string> texts;
  int32_t redraw_requests = 0;
  bool shown = false;
  bool drawing = false;
};

struct HostDialog {
  uint64_t serial = 0;  // names the dialog to a driver; never reused within a run
  HostDialogCallback callback = nullptr;
  void* object = nullptr;
  int32_t plugin_id = 0;
  int32_t sub_id = 0;
  std::string title;
  std::vector<std::unique_ptr<HostGadget>> gadgets;  // in layout order
  std::vector<HostUserArea*> user_areas;             // attached, not owned
  int32_t type = 0;
  int32_t x = -1;  // where it was opened, and its size; -1 and 0 leave them to the host
  int32_t y = -1;
  int32_t width = 0;
  int32_t height = 0;
  bool open = false;
  bool modal = false;
  bool shown = false;  // the dialogOpen event was recorded; value changes are recorded from then on
  std::unique_ptr<HostContainer> result;  // what the module handed back last
  zorhost::ui::CloseReason last_press = zorhost::ui::CloseReason::None;
  int64_t core_events = 0;  // delivered to this dialog
  int32_t dispatch_depth = 0;
  bool destroy_pending = false;  // closed inside a callback: "dsty" follows when it returns
  bool free_pending = false;     // freed inside a callback: deleted when it returns
};

namespace zorhost::ui {

// Dialog handles. free_dialog of an open dialog removes it without further messages.
HostDialog* new_dialog(HostDialogCallback callback, void* object);
void free_dialog(HostDialog* dialog);
bool is_live(const HostDialog* dialog);
std::vector<HostDialog*> open_dialogs();
HostDialog* find_open_dialog(const std::string& title);
HostDialog* find_open_dialog(uint64_t serial);

// Layout. add_gadget answers the new gadget (owned by the dialog).
HostGadget* add_gadget(HostDialog* dialog, GadgetKind kind, int32_t id, int32_t flags, int32_t width,
                       int32_t height, std::string text = {});
HostGadget* find_gadget(HostDialog* dialog, int32_t id);
// A gadget of a live dialog's current layout: a module may keep a gadget of a layout built anew since.
bool is_live_gadget(const HostGadget* gadget);
void add_dialog_buttons(HostDialog* dialog, int32_t flags);
bool add_choice(HostDialog* dialog, int32_t combo_id, int32_t child_id, std::string text);
bool attach_user_area(HostDialog* dialog, int32_t gadget_id, HostUserArea* area);

// Values as the module sets and reads them; a file-name gadget's value lives in its data container.
GadgetValue gadget_value(const HostGadget& gadget);
bool set_value(HostDialog* dialog, int32_t id, GadgetValue value);  // by the module
void set_gadget_data(HostGadget* gadget, const HostContainer& data);
bool set_enabled(HostDialog* dialog, int32_t id, bool enabled);
// A tab group's pages are the groups directly inside it, in layout order; its value is the active page,
// the first until the module or the user chooses another.
std::vector<int32_t> tab_pages(HostDialog* dialog, const HostGadget& tab_group);
// A bitmap button keeps a copy: the module may free its bitmap at once. Null clears the image.
void set_gadget_image(HostGadget* gadget, const HostBitmap* bitmap);
// The first tree view of the dialog, or null.
HostGadget* find_tree_view(HostDialog* dialog);

// The mouse pointer the module asked for last; nothing is shown, the value is kept.
void set_mouse_pointer(int32_t pointer);
int32_t mouse_pointer();

// Messages to the module; each answers the module's answer.
bool send(HostDialog* dialog, int32_t code);
bool send_command(HostDialog* dialog, int32_t gadget_id);
bool send_core_event(HostDialog* dialog, int32_t event_id);
bool send_to_user_area(HostUserArea* area, HostContainer& message);

// Opening and closing. open_dialog asks the driver for modal ones and returns when they closed.
// A non-modal dialog with a plug-in id has its layout stored (dialog_layouts.h) as open, and as closed
// when it closes before the host ends.
bool open_dialog(HostDialog* dialog, int32_t type, int32_t x, int32_t y, int32_t width, int32_t height);
bool close_dialog(HostDialog* dialog);  // by the module
void close_all_dialogs();               // at shut-down: "dsty" to every open dialog
// Closes a dialog whatever the module answers, for a driver that must end it: the module is asked as
// for any close, but its answer cannot keep the dialog open. Nothing if it is not open.
void force_close(HostDialog* dialog, CloseReason reason);

// What a user does; drivers call these. False when the dialog or the gadget does not exist. A text the
// user typed is committed: its "bACT" carries the text and says the editing is finished.
bool user_set(HostDialog* dialog, int32_t id, const GadgetValue& value);
bool user_click(HostDialog* dialog, int32_t id);
bool user_press(HostDialog* dialog, CloseReason button);  // Ok or Cancel
bool user_close_window(HostDialog* dialog);               // false when the module keeps it open

// User areas.
HostUserArea* new_user_area(HostDialogCallback callback, void* object);
void free_user_area(HostUserArea* area);
void redraw_user_area(HostUserArea* area);

// Special events: posted from any thread, delivered on the main thread to every open dialog.
void post_event(int32_t id, int64_t p1, int64_t p2);
// Answers how many events were taken from the queue; at most max_events.
int32_t deliver_pending_events(int32_t max_events = INT32_MAX);
bool wait_for_event(int32_t timeout_ms);  // true when an event is pending
void discard_pending_events();

// Shared by drivers and the transcript.
std::string kind_name(const HostGadget& gadget);
nlohmann::json value_json(const GadgetValue& value);  // nothing is null
std::string close_reason_name(CloseReason reason);

}  // namespace zorhost::ui
