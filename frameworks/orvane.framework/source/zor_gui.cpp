#include "zor_gui.h"

#include "zor_host.h"

namespace {

const HostGuiTable* Gui() {
  const HostFunctionTable* host = HostTable();
  // A shorter family from an older host is not read past its end: the module then does without it.
  if (!host || !host->gui || host->gui->size < static_cast<int32_t>(sizeof(HostGuiTable))) return nullptr;
  return host->gui;
}

const HostThreadTable* Threads() {
  const HostFunctionTable* host = HostTable();
  // A shorter family from an older host is not read past its end: the module then does without it.
  if (!host || !host->threads || host->threads->size < static_cast<int32_t>(sizeof(HostThreadTable)))
    return nullptr;
  return host->threads;
}

// Messages arrive as containers the host lends for the duration of the callback.
BaseContainer BorrowMessage(const HostContainer* msg) {
  return BaseContainer::Borrow(const_cast<HostContainer*>(msg));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// GadgetRef

bool GadgetRef::SetData(const BaseContainer& data) {
  const HostGuiTable* gui = Gui();
  if (!gadget_ || !gui || !gui->gadget_set_data) return false;
  return gui->gadget_set_data(gadget_, data.Get());
}

bool GadgetRef::GetData(BaseContainer& data) {
  const HostGuiTable* gui = Gui();
  if (!gadget_ || !gui || !gui->gadget_get_data) return false;
  return gui->gadget_get_data(gadget_, data.Get());
}

bool GadgetRef::SetFilename(const Filename& name) {
  BaseContainer data;
  data.SetFilename(ZOR_GADGET_FILENAME, name);
  return SetData(data);
}

bool GadgetRef::GetFilename(Filename& name) {
  BaseContainer data;
  if (!GetData(data)) return false;
  name = data.GetFilename(ZOR_GADGET_FILENAME);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// GeDialog

GeDialog::GeDialog() {
  const HostGuiTable* gui = Gui();
  if (gui && gui->dialog_alloc) dialog_ = gui->dialog_alloc(&GeDialogCallback, this);
}

GeDialog::~GeDialog() {
  const HostGuiTable* gui = Gui();
  if (dialog_ && gui && gui->dialog_free) gui->dialog_free(dialog_);
}

bool GeDialog::BuildLayout() {
  return true;
}
bool GeDialog::InitializeValues() {
  return true;
}
bool GeDialog::OnCoreEvent(int32_t, const BaseContainer&) {
  return true;
}
bool GeDialog::OnGadgetCommand(int32_t, const BaseContainer&) {
  return false;
}
bool GeDialog::QueryClose() {
  return false;
}
void GeDialog::HandleMessage10020(const BaseContainer&) {}
void GeDialog::OnWindowDestroyed() {}

bool GeDialog::HandleMessage(const BaseContainer& msg, BaseContainer&) {
  switch (msg.GetId()) {
    case ZOR_MSG_INIT:
      // The host may ask again for a window it already built; the layout must not be doubled.
      if (layoutBuilt_) return true;
      layoutBuilt_ = true;
      return BuildLayout();
    case ZOR_MSG_DESTROY:
      OnWindowDestroyed();
      layoutBuilt_ = false;
      return false;
    case ZOR_MSG_INIT_VALUES:
      if (!layoutBuilt_) return true;
      return InitializeValues();
    case ZOR_MSG_SYNC:
    case ZOR_MSG_CORE:
      return OnCoreEvent(msg.GetInt32(ZOR_MSG_VALUE_EVENT_ID), msg);
    case ZOR_MSG_COMMAND:
      return OnGadgetCommand(msg.GetInt32(ZOR_MSG_VALUE_GADGET_ID), msg);
    case ZOR_MSG_CHECK_CLOSE:
      return QueryClose();
    case ZOR_MSG_10020:
      HandleMessage10020(msg);
      return true;
    case ZOR_MSG_INTERACT: {
      const HostFunctionTable* host = HostTable();
      if (host && host->general && host->general->interaction_done) host->general->interaction_done();
      return false;
    }
    default:
      return false;
  }
}

bool GeDialog::Open(int32_t type, int32_t pluginId, int32_t x, int32_t y, int32_t defaultWidth,
                    int32_t defaultHeight, int32_t subId) {
  const HostGuiTable* gui = Gui();
  if (!dialog_ || !gui || !gui->dialog_open) return false;
  if (gui->dialog_set_plugin) gui->dialog_set_plugin(dialog_, pluginId, subId);
  return gui->dialog_open(dialog_, type, x, y, defaultWidth, defaultHeight);
}

bool GeDialog::CloseWindow() {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->dialog_close && gui->dialog_close(dialog_);
}

void GeDialog::SetTitle(const String& title) {
  const HostGuiTable* gui = Gui();
  if (dialog_ && gui && gui->dialog_set_title) gui->dialog_set_title(dialog_, title.Get());
}

bool GeDialog::RestoreDialog(int32_t pluginId, void* secret) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->dialog_restore && gui->dialog_restore(dialog_, pluginId, 0, secret);
}

bool GeDialog::GroupBegin(int32_t id, int32_t flags, int32_t columns, int32_t rows, const String& title,
                          int32_t groupFlags) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->group_begin &&
         gui->group_begin(dialog_, id, flags, columns, rows, title.Get(), groupFlags);
}

bool GeDialog::GroupEnd() {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->group_end && gui->group_end(dialog_);
}

bool GeDialog::TabGroupBegin(int32_t id, int32_t flags) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->tab_group_begin && gui->tab_group_begin(dialog_, id, flags);
}

bool GeDialog::AddStaticText(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_static_text &&
         gui->add_static_text(dialog_, id, flags, width, height, text.Get());
}

bool GeDialog::AddCheckbox(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_checkbox &&
         gui->add_checkbox(dialog_, id, flags, width, height, text.Get());
}

bool GeDialog::AddButton(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_button && gui->add_button(dialog_, id, flags, width, height, text.Get());
}

bool GeDialog::AddEditText(int32_t id, int32_t flags, int32_t width, int32_t height) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_edit_text && gui->add_edit_text(dialog_, id, flags, width, height);
}

bool GeDialog::AddEditNumber(int32_t id, int32_t flags, int32_t width, int32_t height) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_edit_number && gui->add_edit_number(dialog_, id, flags, width, height);
}

bool GeDialog::AddComboBox(int32_t id, int32_t flags, int32_t width, int32_t height) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_combo_box && gui->add_combo_box(dialog_, id, flags, width, height);
}

bool GeDialog::AddChild(int32_t id, int32_t childId, const String& text) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_child && gui->add_child(dialog_, id, childId, text.Get());
}

GadgetRef GeDialog::AddCustomGadget(int32_t id, int32_t type, int32_t flags, int32_t width, int32_t height,
                                    const BaseContainer& settings) {
  const HostGuiTable* gui = Gui();
  if (!dialog_ || !gui || !gui->add_custom_gadget) return GadgetRef();
  return GadgetRef(gui->add_custom_gadget(dialog_, id, type, flags, width, height, settings.Get()));
}

bool GeDialog::AddUserArea(int32_t id, int32_t flags, int32_t width, int32_t height) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_user_area && gui->add_user_area(dialog_, id, flags, width, height);
}

bool GeDialog::AttachUserArea(GeUserArea& area, int32_t id) {
  const HostGuiTable* gui = Gui();
  return dialog_ && area.GetHandle() && gui && gui->attach_user_area &&
         gui->attach_user_area(dialog_, id, area.GetHandle());
}

bool GeDialog::AddDlgGroup(int32_t flags) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->add_dialog_buttons && gui->add_dialog_buttons(dialog_, flags);
}

bool GeDialog::SetBool(int32_t id, bool value) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->set_bool && gui->set_bool(dialog_, id, value);
}

bool GeDialog::SetInt32(int32_t id, int32_t value) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->set_int32 && gui->set_int32(dialog_, id, value);
}

bool GeDialog::SetFloat(int32_t id, double value) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->set_float && gui->set_float(dialog_, id, value);
}

bool GeDialog::SetString(int32_t id, const String& value) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->set_string && gui->set_string(dialog_, id, value.Get());
}

bool GeDialog::GetBool(int32_t id, bool& value) const {
  const HostGuiTable* gui = Gui();
  bool answer = value;
  if (!dialog_ || !gui || !gui->get_bool || !gui->get_bool(dialog_, id, &answer)) return false;
  value = answer;
  return true;
}

bool GeDialog::GetInt32(int32_t id, int32_t& value) const {
  const HostGuiTable* gui = Gui();
  int32_t answer = value;
  if (!dialog_ || !gui || !gui->get_int32 || !gui->get_int32(dialog_, id, &answer)) return false;
  value = answer;
  return true;
}

bool GeDialog::GetFloat(int32_t id, double& value) const {
  const HostGuiTable* gui = Gui();
  double answer = value;
  if (!dialog_ || !gui || !gui->get_float || !gui->get_float(dialog_, id, &answer)) return false;
  value = answer;
  return true;
}

bool GeDialog::GetString(int32_t id, String& value) const {
  const HostGuiTable* gui = Gui();
  String answer;
  if (!dialog_ || !gui || !gui->get_string || !gui->get_string(dialog_, id, answer.Get())) return false;
  value = answer;
  return true;
}

bool GeDialog::Enable(int32_t id, bool enabled) {
  const HostGuiTable* gui = Gui();
  return dialog_ && gui && gui->enable && gui->enable(dialog_, id, enabled);
}

// ---------------------------------------------------------------------------------------------------
// GeModalDialog

GeModalDialog::GeModalDialog() = default;
GeModalDialog::~GeModalDialog() = default;

bool GeModalDialog::HandleMessage(const BaseContainer& msg, BaseContainer& result) {
  switch (msg.GetId()) {
    case ZOR_MSG_INTERACT:
      return false;
    case ZOR_MSG_CHECK_CLOSE: {
      if (!result_) return false;
      const HostGuiTable* gui = Gui();
      if (!gui || !gui->dialog_check_close || !gui->dialog_check_close(GetHandle())) return false;
      result_ = false;
      return true;
    }
    case ZOR_MSG_ASK_CLOSE:
      if (!result_) return false;
      return QueryClose();
    case ZOR_MSG_COMMAND: {
      const int32_t gadgetId = msg.GetInt32(ZOR_MSG_VALUE_GADGET_ID);
      closeOnButton_ = true;
      const bool handled = OnGadgetCommand(gadgetId, msg);
      if (gadgetId == ZOR_BUTTONS_OK && closeOnButton_) {
        Close(true);
      } else if (gadgetId == ZOR_BUTTONS_CANCEL) {
        // Cancel closes even when the command asked to keep the dialog open.
        Close(false);
      }
      return handled;
    }
    default:
      return GeDialog::HandleMessage(msg, result);
  }
}

bool GeModalDialog::Open(int32_t x, int32_t y, int32_t width, int32_t height, bool resizable) {
  result_ = false;
  const int32_t type = resizable ? ZOR_DIALOG_MODAL_RESIZABLE : ZOR_DIALOG_MODAL;
  if (!GeDialog::Open(type, 0, x, y, width, height, 0)) return false;
  return result_;
}

bool GeModalDialog::Close(bool result) {
  result_ = result;
  return CloseWindow();
}

// ---------------------------------------------------------------------------------------------------
// GeUserArea

GeUserArea::GeUserArea() {
  const HostGuiTable* gui = Gui();
  if (gui && gui->user_area_alloc) area_ = gui->user_area_alloc(&GeDialogCallback, this);
}

GeUserArea::~GeUserArea() {
  const HostGuiTable* gui = Gui();
  if (area_ && gui && gui->user_area_free) gui->user_area_free(area_);
}

bool GeUserArea::OnInit() {
  return true;
}
bool GeUserArea::InitializeValues() {
  return true;
}
bool GeUserArea::QueryMinSize(int32_t&, int32_t&) {
  return false;
}
void GeUserArea::OnResized(int32_t, int32_t) {}

void GeUserArea::Paint(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  SetPen(kColorBackground);
  FillRect(x1, y1, x2, y2);
}

void GeUserArea::PaintMessage(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const BaseContainer&) {
  Paint(x1, y1, x2, y2);
}

bool GeUserArea::OnInputEvent(const BaseContainer&) {
  return false;
}
bool GeUserArea::OnCoreEvent(int32_t, const BaseContainer&) {
  return true;
}
void GeUserArea::HandleMessage10020(const BaseContainer&) {}

bool GeUserArea::HandleMessage(const BaseContainer& msg, BaseContainer&) {
  const HostGuiTable* gui = Gui();
  switch (msg.GetId()) {
    case ZOR_MSG_INIT:
      OnInit();
      return true;
    case ZOR_MSG_INIT_VALUES:
      InitializeValues();
      return true;
    case ZOR_MSG_CALC_SIZE: {
      int32_t width = 0;
      int32_t height = 0;
      if (QueryMinSize(width, height) && area_ && gui && gui->user_area_set_min_size) {
        gui->user_area_set_min_size(area_, width, height);
      }
      return true;
    }
    case ZOR_MSG_SIZE_CHANGED: {
      int32_t width = 0;
      int32_t height = 0;
      if (area_ && gui && gui->user_area_get_size) gui->user_area_get_size(area_, &width, &height);
      OnResized(width, height);
      return true;
    }
    case ZOR_MSG_DRAW:
      PaintMessage(msg.GetInt32(1), msg.GetInt32(2), msg.GetInt32(3), msg.GetInt32(4), msg);
      return true;
    case ZOR_MSG_INPUT:
      return OnInputEvent(msg);
    case ZOR_MSG_10020:
      HandleMessage10020(msg);
      return true;
    case ZOR_MSG_SYNC:
    case ZOR_MSG_CORE:
      return OnCoreEvent(msg.GetInt32(ZOR_MSG_VALUE_EVENT_ID), msg);
    default:
      return false;
  }
}

void GeUserArea::SetPen(int32_t colorId) {
  const HostGuiTable* gui = Gui();
  if (area_ && gui && gui->user_area_set_pen) gui->user_area_set_pen(area_, colorId);
}

void GeUserArea::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const HostGuiTable* gui = Gui();
  if (area_ && gui && gui->user_area_fill) gui->user_area_fill(area_, x1, y1, x2, y2);
}

void GeUserArea::Redraw() {
  const HostGuiTable* gui = Gui();
  if (area_ && gui && gui->user_area_redraw) gui->user_area_redraw(area_);
}

// ---------------------------------------------------------------------------------------------------
// The dialog callback

bool GeDialogCallback(HostDialog* dialog, HostUserArea* userArea, const HostContainer* msg) {
  try {
    const HostGuiTable* gui = Gui();
    if (!gui || !msg) return false;
    GeUserArea* area = nullptr;
    GeDialog* owner = nullptr;
    if (userArea) {
      if (gui->user_area_object) area = static_cast<GeUserArea*>(gui->user_area_object(userArea));
      if (!area) return false;
    } else {
      if (dialog && gui->dialog_object) owner = static_cast<GeDialog*>(gui->dialog_object(dialog));
      if (!owner) return false;
    }
    const BaseContainer message = BorrowMessage(msg);
    BaseContainer result(-1);
    const bool answer = area ? area->HandleMessage(message, result) : owner->HandleMessage(message, result);
    if (result.GetId() != -1 && dialog && gui->dialog_send_result)
      gui->dialog_send_result(dialog, result.Get());
    return answer;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------------------------------------------
// User interaction helpers

int32_t GeMessageBox(const String& text, int32_t type) {
  const HostGuiTable* gui = Gui();
  return gui && gui->message_box ? gui->message_box(text.Get(), type) : 0;
}

bool GeSelectFile(Filename& name, int32_t kind, const String& title) {
  const HostGuiTable* gui = Gui();
  if (!gui || !gui->select_file) return false;
  Filename chosen = name;
  if (!gui->select_file(chosen.Get(), kind, title.Get())) return false;
  name = chosen;
  return true;
}

bool GeSelectFolder(Filename& folder, const String& title) {
  return GeSelectFile(folder, ZOR_SELECT_FOLDER, title);
}

void GeStatusSetPercent(int32_t percent) {
  const HostGuiTable* gui = Gui();
  if (gui && gui->status_set_percent) gui->status_set_percent(percent);
}

void GeStatusSetText(const String& text) {
  const HostGuiTable* gui = Gui();
  if (gui && gui->status_set_text) gui->status_set_text(text.Get());
}

void GeStatusClear() {
  const HostGuiTable* gui = Gui();
  if (gui && gui->status_clear) gui->status_clear();
}

void GeSetMousePointer(int32_t pointer) {
  const HostGuiTable* gui = Gui();
  if (gui && gui->set_mouse_pointer) gui->set_mouse_pointer(pointer);
}

void GeSpecialEventAdd(int32_t id, int64_t p1, int64_t p2) {
  const HostGuiTable* gui = Gui();
  if (gui && gui->special_event) gui->special_event(id, p1, p2);
}

int32_t GeGetRunModeFlags() {
  const HostThreadTable* threads = Threads();
  return threads && threads->run_mode_flags ? threads->run_mode_flags() : 0;
}

bool GeRunsWithoutGui() {
  return (GeGetRunModeFlags() & ZOR_RUNMODE_NO_GUI) != 0;
}
