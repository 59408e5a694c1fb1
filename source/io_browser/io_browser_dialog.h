// The I/O handler browser: the non-modal dialog "IoHandler Test" that lists the
// entries below a URL of the core framework's I/O layer, starting at
// "handler://", and previews the selected file; its tree-view functions and its
// command.
#pragma once
#include <cstdint>

#include "browser_node.h"
#include "file_preview.h"
#include "nexal/url.h"
#include "zor_command.h"
#include "zor_gui.h"
#include "zor_treeview.h"

namespace io_browser {

inline constexpr int32_t kIoBrowserPluginId = 200000286;

// Gadget ids of the dialog; the preview's own (10002 to 10006) are in
// file_preview.h.
enum : int32_t {
  kLocationField = 1001,
  kHiddenCheckbox = 1002,
  kPreviewUrlField = 1003,
  kParentButton = 1004,
  kTreeViewGadget = 10001,
};

// Column ids of the tree view.
enum : int32_t {
  kNameColumn = ZOR_FOUR_BYTE('t', 'r', 'e', 'e'),
  kSizeColumn = ZOR_FOUR_BYTE('s', 'i', 'z', 'e'),
  kModifiedColumn = ZOR_FOUR_BYTE('m', 'o', 'd', 'i'),
  kCreatedColumn = ZOR_FOUR_BYTE('c', 'r', 'e', 'a'),
};

// Drag types of the nodes.
enum : int32_t { kDragNone = -1, kDragHostFile = 202, kDragScene = 204, kDragFile = 205 };

class IoBrowserDialog;

// The tree view's view of the dialog's list: root is the dialog's
// BrowserNodeList, user data the dialog.
class Function2 : public TreeViewFunctions {
 public:
  void* GetFirst(void* root, void* userData) override;
  void* GetDown(void* root, void* userData, void* node) override;
  void* GetNext(void* root, void* userData, void* node) override;
  void* GetPred(void* root, void* userData, void* node) override;
  int32_t GetColumnWidth(void* root, void* userData, void* node, int32_t column, GeDrawArea area) override;
  int32_t GetHeaderColumnWidth(void* root, void* userData, int32_t column, GeDrawArea area) override;
  int32_t GetLineHeight(void* root, void* userData, void* node, int32_t column, GeDrawArea area) override;
  void DrawCell(void* root, void* userData, void* node, const TreeViewCell& cell) override;
  void DrawHeaderColumn(void* root, void* userData, const TreeViewCell& cell) override;
  bool IsSelected(void* root, void* userData, void* node) override;
  bool IsOpened(void* root, void* userData, void* node) override;
  String GetName(void* root, void* userData, void* node) override;
  int64_t GetId(void* root, void* userData, void* node) override;
  int32_t GetDragType(void* root, void* userData, void* node) override;
  void Select(void* root, void* userData, void* node, int32_t mode) override;
  void* GetDragObject(void* root, void* userData, void* node) override;
  bool DoubleClick(void* root, void* userData, void* node, int32_t column) override;
};

class IoBrowserDialog : public GeDialog, public PreviewView {
 public:
  IoBrowserDialog();
  ~IoBrowserDialog() override;

  bool BuildLayout() override;
  // Also the refresh after every navigation: lists the current location again.
  bool InitializeValues() override;
  bool OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) override;
  void OnWindowDestroyed() override;

  void ShowImage(const BaseBitmap& bitmap) override;
  void ShowText(const String& text, int32_t activePage) override;

  // Navigation and preview, as the list and the gadgets ask for them.
  void SetLocation(nexal::Url location);
  void SelectNode(BrowserNode& node);
  void OpenNode(BrowserNode& node);
  void GoToParent();
  void Preview();

  const nexal::Url& GetLocation() const { return location_; }
  BrowserNodeList& GetRoot() { return root_; }

 private:
  nexal::Url location_;
  nexal::Url previewUrl_;
  String previewText_;
  BrowserNodeList root_;
  Function2 functions_;
  TreeViewCustomGui treeView_;
  BitmapButtonCustomGui imageButton_;
};

class IoBrowserDialogCommand : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
  bool RestoreDialog(void* secret) override;

 private:
  IoBrowserDialog dialog_;
};

// Registers the command "ioBrowserManager"; answers the host's answer.
bool RegisterIoBrowser();
// Gives back the file name the last drag carried; at the module's end.
void ReleaseIoBrowserDragObject();

// Whether the file name has the suffix "zip" (letters compared without case):
// it is opened as an archive.
bool IsZipName(const std::string& name);

}  // namespace io_browser
