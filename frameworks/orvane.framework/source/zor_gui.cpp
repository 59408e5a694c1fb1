#include "zor_gui.h"

#include "zor_bitmap.h"
#include "zor_host.h"

namespace {

using Gui = HostGuiTable;

// Messages arrive as containers the host lends for the duration of the callback.
BaseContainer BorrowMessage(const HostContainer* msg) {
  return BaseContainer::Borrow(const_cast<HostContainer*>(msg));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// GeDrawArea

void GeDrawArea::SetPen(int32_t colorId) {
  if (area_) HostCall(&Gui::user_area_set_pen, area_, colorId);
}

void GeDrawArea::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (area_) HostCall(&Gui::user_area_fill, area_, x1, y1, x2, y2);
}

void GeDrawArea::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (area_) HostCall(&Gui::user_area_draw_line, area_, x1, y1, x2, y2);
}

void GeDrawArea::SetTextColor(int32_t foregroundId, int32_t backgroundId) {
  if (area_) HostCall(&Gui::user_area_set_text_color, area_, foregroundId, backgroundId);
}

void GeDrawArea::DrawText(const String& text, int32_t x, int32_t y) {
  if (area_) HostCall(&Gui::user_area_draw_text, area_, text.Get(), x, y);
}

int32_t GeDrawArea::GetTextWidth(const String& text) const {
  return area_ ? HostCall(0, &Gui::user_area_text_width, area_, text.Get()) : 0;
}

int32_t GeDrawArea::GetFontHeight() const {
  return area_ ? HostCall(0, &Gui::user_area_font_height, area_) : 0;
}

// ---------------------------------------------------------------------------------------------------
// GadgetRef

bool GadgetRef::SetData(const BaseContainer& data) {
  return gadget_ && HostCall(false, &Gui::gadget_set_data, gadget_, data.Get());
}

bool GadgetRef::GetData(BaseContainer& data) {
  return gadget_ && HostCall(false, &Gui::gadget_get_data, gadget_, data.Get());
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
  dialog_ = HostCall(nullptr, &Gui::dialog_alloc, &GeDialogCallback, this);
}

GeDialog::~GeDialog() {
  if (dialog_) HostCall(&Gui::dialog_free, dialog_);
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
    case ZOR_MSG_HOST_NOTICE:
      HandleMessage10020(msg);
      return true;
    case ZOR_MSG_INTERACT:
      HostCall(&HostGeneralTable::interaction_done);
      return false;
    default:
      return false;
  }
}

bool GeDialog::Open(int32_t type, int32_t pluginId, int32_t x, int32_t y, int32_t defaultWidth,
                    int32_t defaultHeight, int32_t subId) {
  if (!dialog_) return false;
  HostCall(&Gui::dialog_set_plugin, dialog_, pluginId, subId);
  return HostCall(false, &Gui::dialog_open, dialog_, type, x, y, defaultWidth, defaultHeight);
}

bool GeDialog::CloseWindow() {
  return dialog_ && HostCall(false, &Gui::dialog_close, dialog_);
}

void GeDialog::SetTitle(const String& title) {
  if (dialog_) HostCall(&Gui::dialog_set_title, dialog_, title.Get());
}

bool GeDialog::RestoreDialog(int32_t pluginId, void* secret) {
  return dialog_ && HostCall(false, &Gui::dialog_restore, dialog_, pluginId, 0, secret);
}

bool GeDialog::GroupBegin(int32_t id, int32_t flags, int32_t columns, int32_t rows, const String& title,
                          int32_t groupFlags) {
  return dialog_ &&
         HostCall(false, &Gui::group_begin, dialog_, id, flags, columns, rows, title.Get(), groupFlags);
}

bool GeDialog::GroupEnd() {
  return dialog_ && HostCall(false, &Gui::group_end, dialog_);
}

bool GeDialog::TabGroupBegin(int32_t id, int32_t flags) {
  return dialog_ && HostCall(false, &Gui::tab_group_begin, dialog_, id, flags);
}

bool GeDialog::TabGroupBegin(int32_t id, int32_t flags, int32_t tabType) {
  return dialog_ && HostCall(false, &Gui::tab_group_begin_typed, dialog_, id, flags, tabType);
}

bool GeDialog::AddMultiLineEditText(int32_t id, int32_t flags, int32_t width, int32_t height, int32_t style) {
  return dialog_ && HostCall(false, &Gui::add_multi_line_edit_text, dialog_, id, flags, width, height, style);
}

bool GeDialog::AddStaticText(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text) {
  return dialog_ && HostCall(false, &Gui::add_static_text, dialog_, id, flags, width, height, text.Get());
}

bool GeDialog::AddCheckbox(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text) {
  return dialog_ && HostCall(false, &Gui::add_checkbox, dialog_, id, flags, width, height, text.Get());
}

bool GeDialog::AddButton(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text) {
  return dialog_ && HostCall(false, &Gui::add_button, dialog_, id, flags, width, height, text.Get());
}

bool GeDialog::AddEditText(int32_t id, int32_t flags, int32_t width, int32_t height) {
  return dialog_ && HostCall(false, &Gui::add_edit_text, dialog_, id, flags, width, height);
}

bool GeDialog::AddEditNumber(int32_t id, int32_t flags, int32_t width, int32_t height) {
  return dialog_ && HostCall(false, &Gui::add_edit_number, dialog_, id, flags, width, height);
}

bool GeDialog::AddComboBox(int32_t id, int32_t flags, int32_t width, int32_t height) {
  return dialog_ && HostCall(false, &Gui::add_combo_box, dialog_, id, flags, width, height);
}

bool GeDialog::AddChild(int32_t id, int32_t childId, const String& text) {
  return dialog_ && HostCall(false, &Gui::add_child, dialog_, id, childId, text.Get());
}

GadgetRef GeDialog::AddCustomGadget(int32_t id, int32_t type, int32_t flags, int32_t width, int32_t height,
                                    const BaseContainer& settings) {
  if (!dialog_) return GadgetRef();
  return GadgetRef(
      HostCall(nullptr, &Gui::add_custom_gadget, dialog_, id, type, flags, width, height, settings.Get()));
}

bool GeDialog::AddUserArea(int32_t id, int32_t flags, int32_t width, int32_t height) {
  return dialog_ && HostCall(false, &Gui::add_user_area, dialog_, id, flags, width, height);
}

bool GeDialog::AttachUserArea(GeUserArea& area, int32_t id) {
  return dialog_ && area.GetHandle() &&
         HostCall(false, &Gui::attach_user_area, dialog_, id, area.GetHandle());
}

bool GeDialog::AddDlgGroup(int32_t flags) {
  return dialog_ && HostCall(false, &Gui::add_dialog_buttons, dialog_, flags);
}

bool GeDialog::SetBool(int32_t id, bool value) {
  return dialog_ && HostCall(false, &Gui::set_bool, dialog_, id, value);
}

bool GeDialog::SetInt32(int32_t id, int32_t value) {
  return dialog_ && HostCall(false, &Gui::set_int32, dialog_, id, value);
}

bool GeDialog::SetFloat(int32_t id, double value) {
  return dialog_ && HostCall(false, &Gui::set_float, dialog_, id, value);
}

bool GeDialog::SetString(int32_t id, const String& value) {
  return dialog_ && HostCall(false, &Gui::set_string, dialog_, id, value.Get());
}

bool GeDialog::GetBool(int32_t id, bool& value) const {
  bool answer = value;
  if (!dialog_ || !HostCall(false, &Gui::get_bool, dialog_, id, &answer)) return false;
  value = answer;
  return true;
}

bool GeDialog::GetInt32(int32_t id, int32_t& value) const {
  int32_t answer = value;
  if (!dialog_ || !HostCall(false, &Gui::get_int32, dialog_, id, &answer)) return false;
  value = answer;
  return true;
}

bool GeDialog::GetFloat(int32_t id, double& value) const {
  double answer = value;
  if (!dialog_ || !HostCall(false, &Gui::get_float, dialog_, id, &answer)) return false;
  value = answer;
  return true;
}

bool GeDialog::GetString(int32_t id, String& value) const {
  String answer;
  if (!dialog_ || !HostCall(false, &Gui::get_string, dialog_, id, answer.Get())) return false;
  value = answer;
  return true;
}

bool GeDialog::Enable(int32_t id, bool enabled) {
  return dialog_ && HostCall(false, &Gui::enable, dialog_, id, enabled);
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
      if (!HostCall(false, &Gui::dialog_check_close, GetHandle())) return false;
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
  area_ = HostCall(nullptr, &Gui::user_area_alloc, &GeDialogCallback, this);
}

GeUserArea::~GeUserArea() {
  if (area_) HostCall(&Gui::user_area_free, area_);
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
  SetPen(ZOR_COLOR_BACKGROUND);
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
      if (QueryMinSize(width, height) && area_) HostCall(&Gui::user_area_set_min_size, area_, width, height);
      return true;
    }
    case ZOR_MSG_SIZE_CHANGED: {
      int32_t width = 0;
      int32_t height = 0;
      if (area_) HostCall(&Gui::user_area_get_size, area_, &width, &height);
      OnResized(width, height);
      return true;
    }
    case ZOR_MSG_DRAW:
      PaintMessage(msg.GetInt32(1), msg.GetInt32(2), msg.GetInt32(3), msg.GetInt32(4), msg);
      return true;
    case ZOR_MSG_INPUT:
      return OnInputEvent(msg);
    case ZOR_MSG_HOST_NOTICE:
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
  GetDrawArea().SetPen(colorId);
}

void GeUserArea::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  GetDrawArea().FillRect(x1, y1, x2, y2);
}

void GeUserArea::Redraw() {
  if (area_) HostCall(&Gui::user_area_redraw, area_);
}

// ---------------------------------------------------------------------------------------------------
// BitmapButtonCustomGui

bool BitmapButtonCustomGui::SetImage(const BaseBitmap& bitmap) {
  return gadget_.IsValid() && bitmap.IsValid() &&
         HostCall(false, &Gui::bitmap_button_set_image, gadget_.Get(), bitmap.Get());
}

bool BitmapButtonCustomGui::ClearImage() {
  return gadget_.IsValid() && HostCall(false, &Gui::bitmap_button_set_image, gadget_.Get(),
                                       static_cast<const HostBitmap*>(nullptr));
}

// ---------------------------------------------------------------------------------------------------
// The dialog callback

bool GeDialogCallback(HostDialog* dialog, HostUserArea* userArea, const HostContainer* msg) {
  try {
    if (!msg) return false;
    GeUserArea* area = nullptr;
    GeDialog* owner = nullptr;
    if (userArea) {
      area = static_cast<GeUserArea*>(HostCall(nullptr, &Gui::user_area_object, userArea));
      if (!area) return false;
    } else {
      if (dialog) owner = static_cast<GeDialog*>(HostCall(nullptr, &Gui::dialog_object, dialog));
      if (!owner) return false;
    }
    const BaseContainer message = BorrowMessage(msg);
    BaseContainer result(-1);
    const bool answer = area ? area->HandleMessage(message, result) : owner->HandleMessage(message, result);
    if (result.GetId() != -1 && dialog) HostCall(&Gui::dialog_send_result, dialog, result.Get());
    return answer;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------------------------------------------
// User interaction helpers

int32_t GeMessageBox(const String& text, int32_t type) {
  return HostCall(0, &Gui::message_box, text.Get(), type);
}

bool GeSelectFile(Filename& name, int32_t kind, const String& title) {
  Filename chosen = name;
  if (!HostCall(false, &Gui::select_file, chosen.Get(), kind, title.Get())) return false;
  name = chosen;
  return true;
}

bool GeSelectFolder(Filename& folder, const String& title) {
  return GeSelectFile(folder, ZOR_SELECT_FOLDER, title);
}

void GeStatusSetPercent(int32_t percent) {
  HostCall(&Gui::status_set_percent, percent);
}

void GeStatusSetText(const String& text) {
  HostCall(&Gui::status_set_text, text.Get());
}

void GeStatusClear() {
  HostCall(&Gui::status_clear);
}

void GeSetMousePointer(int32_t pointer) {
  HostCall(&Gui::set_mouse_pointer, pointer);
}

void GeSpecialEventAdd(int32_t id, int64_t p1, int64_t p2) {
  HostCall(&Gui::special_event, id, p1, p2);
}

BaseContainer GeSendCoreMessage(int32_t code, const BaseContainer& message) {
  return BaseContainer::Adopt(HostCall(nullptr, &Gui::send_core_message, code, message.Get()));
}

int32_t GeGetRunModeFlags() {
  return HostCall(0, &HostThreadTable::run_mode_flags);
}

bool GeRunsWithoutGui() {
  return (GeGetRunModeFlags() & ZOR_RUNMODE_NO_GUI) != 0;
}
