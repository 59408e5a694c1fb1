// Dialogs, modal dialogs and user areas bound to host dialogs, the one callback through which the host
// delivers their messages, and the module's small user-interaction helpers.
#pragma once
#include <cstdint>

#include "zor_api.h"
#include "zor_container.h"
#include "zor_filename.h"
#include "zor_string.h"

class BaseBitmap;
class GeUserArea;

// Drawing into a user area or a tree view's drawing area. Not owning: the host lends the area for the
// drawing call (tree views) or the user area owns it. Colours are host colour ids.
class GeDrawArea {
 public:
  GeDrawArea() = default;
  explicit GeDrawArea(HostUserArea* area) : area_(area) {}
  bool IsValid() const { return area_ != nullptr; }
  HostUserArea* Get() const { return area_; }

  void SetPen(int32_t colorId);  // for fills and lines
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void SetTextColor(int32_t foregroundId, int32_t backgroundId);
  void DrawText(const String& text, int32_t x, int32_t y);  // x, y: the text's top left
  int32_t GetTextWidth(const String& text) const;           // 0 when the host cannot tell
  int32_t GetFontHeight() const;

 private:
  HostUserArea* area_ = nullptr;
};

// A custom gadget the host created in a layout. The host dialog owns it; this is only a reference,
// null until the layout made it.
class GadgetRef {
 public:
  GadgetRef() = default;
  explicit GadgetRef(HostGadget* gadget) : gadget_(gadget) {}
  bool IsValid() const { return gadget_ != nullptr; }
  HostGadget* Get() const { return gadget_; }

  bool SetData(const BaseContainer& data);
  bool GetData(BaseContainer& data);
  // The file-name gadget keeps its value under its own type id.
  bool SetFilename(const Filename& name);
  bool GetFilename(Filename& name);

 private:
  HostGadget* gadget_ = nullptr;
};

// A host dialog bound to this object. The virtual operations keep the host's slot order.
class GeDialog {
 public:
  GeDialog();
  GeDialog(const GeDialog&) = delete;
  GeDialog& operator=(const GeDialog&) = delete;
  virtual ~GeDialog();
  virtual bool BuildLayout();
  virtual bool InitializeValues();
  virtual bool OnCoreEvent(int32_t eventId, const BaseContainer& msg);
  virtual bool OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg);
  virtual bool QueryClose();
  virtual void HandleMessage10020(const BaseContainer& msg);
  virtual void OnWindowDestroyed();
  // Overrides pass every message they do not consume on to the base class.
  virtual bool HandleMessage(const BaseContainer& msg, BaseContainer& result);

  HostDialog* GetHandle() const { return dialog_; }
  bool IsLayoutBuilt() const { return layoutBuilt_; }

  bool Open(int32_t type, int32_t pluginId, int32_t x, int32_t y, int32_t defaultWidth, int32_t defaultHeight,
            int32_t subId = 0);
  bool CloseWindow();
  void SetTitle(const String& title);
  bool RestoreDialog(int32_t pluginId, void* secret);

  // Layout, in the order the dialog shows it.
  bool GroupBegin(int32_t id, int32_t flags, int32_t columns, int32_t rows, const String& title,
                  int32_t groupFlags);
  bool GroupEnd();
  bool TabGroupBegin(int32_t id, int32_t flags);
  bool TabGroupBegin(int32_t id, int32_t flags, int32_t tabType);  // ZOR_TAB_GROUP_ types
  bool AddStaticText(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text);
  bool AddCheckbox(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text);
  bool AddButton(int32_t id, int32_t flags, int32_t width, int32_t height, const String& text);
  bool AddEditText(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0);
  bool AddMultiLineEditText(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0,
                            int32_t style = 0);
  bool AddEditNumber(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0);
  bool AddComboBox(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0);
  bool AddChild(int32_t id, int32_t childId, const String& text);
  GadgetRef AddCustomGadget(int32_t id, int32_t type, int32_t flags, int32_t width, int32_t height,
                            const BaseContainer& settings);
  bool AddUserArea(int32_t id, int32_t flags, int32_t width = 0, int32_t height = 0);
  bool AttachUserArea(GeUserArea& area, int32_t id);
  // The host's standard button row (ZOR_BUTTONS_OK | ZOR_BUTTONS_CANCEL).
  bool AddDlgGroup(int32_t flags);

  // Gadget values. The getters leave the value untouched when the host has none.
  bool SetBool(int32_t id, bool value);
  bool SetInt32(int32_t id, int32_t value);
  bool SetFloat(int32_t id, double value);
  bool SetString(int32_t id, const String& value);
  bool GetBool(int32_t id, bool& value) const;
  bool GetInt32(int32_t id, int32_t& value) const;
  bool GetFloat(int32_t id, double& value) const;
  bool GetString(int32_t id, String& value) const;
  bool Enable(int32_t id, bool enabled);
  // The page (its group id) a tab group shows.
  bool SetActiveTab(int32_t tabGroupId, int32_t pageId) { return SetInt32(tabGroupId, pageId); }

 private:
  HostDialog* dialog_ = nullptr;
  bool layoutBuilt_ = false;
};

// A dialog opened modally: Open returns when it has closed, answering whether it closed with OK.
class GeModalDialog : public GeDialog {
 public:
  GeModalDialog();
  ~GeModalDialog() override;
  bool HandleMessage(const BaseContainer& msg, BaseContainer& result) override;

  bool Open(int32_t x = -1, int32_t y = -1, int32_t width = 0, int32_t height = 0, bool resizable = false);
  bool Close(bool result);
  bool GetResult() const { return result_; }

 protected:
  // A gadget command that must not let OK close the dialog clears this while it runs.
  void SetCloseOnButton(bool close) { closeOnButton_ = close; }
  bool GetCloseOnButton() const { return closeOnButton_; }

 private:
  bool result_ = false;
  bool closeOnButton_ = false;
};

// A user-drawn area inside a dialog. The virtual operations keep the host's slot order.
class GeUserArea {
 public:
  GeUserArea();
  GeUserArea(const GeUserArea&) = delete;
  GeUserArea& operator=(const GeUserArea&) = delete;
  virtual ~GeUserArea();
  virtual bool OnInit();
  virtual bool InitializeValues();
  virtual bool QueryMinSize(int32_t& width, int32_t& height);
  virtual void OnResized(int32_t width, int32_t height);
  virtual void Paint(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  virtual void PaintMessage(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const BaseContainer& msg);
  virtual bool OnInputEvent(const BaseContainer& msg);
  virtual bool OnCoreEvent(int32_t eventId, const BaseContainer& msg);
  virtual void HandleMessage10020(const BaseContainer& msg);
  virtual bool HandleMessage(const BaseContainer& msg, BaseContainer& result);

  HostUserArea* GetHandle() const { return area_; }
  GeDrawArea GetDrawArea() const { return GeDrawArea(area_); }
  void SetPen(int32_t colorId);
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void Redraw();

 private:
  HostUserArea* area_ = nullptr;
};

// A bitmap button of a layout (ZOR_GADGET_BITMAPBUTTON); the host dialog owns it.
class BitmapButtonCustomGui {
 public:
  BitmapButtonCustomGui() = default;
  explicit BitmapButtonCustomGui(GadgetRef gadget) : gadget_(gadget) {}
  bool IsValid() const { return gadget_.IsValid(); }
  // The button keeps its own copy: the bitmap may be freed at once.
  bool SetImage(const BaseBitmap& bitmap);
  bool ClearImage();

 private:
  GadgetRef gadget_;
};

// The one callback every dialog and user area of the module is bound to.
bool GeDialogCallback(HostDialog* dialog, HostUserArea* userArea, const HostContainer* msg);

// User interaction outside dialogs (console lines: GePrint in zor_general.h).
int32_t GeMessageBox(const String& text, int32_t type = ZOR_MESSAGE_OK);
// False when the user cancels; the chosen path is written into name.
bool GeSelectFile(Filename& name, int32_t kind, const String& title);
bool GeSelectFolder(Filename& folder, const String& title);
void GeStatusSetPercent(int32_t percent);
void GeStatusSetText(const String& text);
void GeStatusClear();
void GeSetMousePointer(int32_t pointer);
// Posted from any thread; open dialogs receive it as a core event on the main thread.
void GeSpecialEventAdd(int32_t id, int64_t p1 = 0, int64_t p2 = 0);
// A core message (code ZOR_CORE_MESSAGE) to the host and its plug-ins; the answer, which is an empty
// container when nobody answered.
BaseContainer GeSendCoreMessage(int32_t code, const BaseContainer& message);
int32_t GeGetRunModeFlags();
// True when the host runs without a user interface: long work then runs on the caller's thread.
bool GeRunsWithoutGui();
