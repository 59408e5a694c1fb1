// The operations a host tree-view gadget calls to walk, draw and edit a module's list. The host passes
// back the root and user data the module handed to the gadget, and the module's own node pointers.
#pragma once
#include <cstdint>
#include <span>

#include "zor_api.h"
#include "zor_gui.h"
#include "zor_string.h"

// One cell (or header cell) the host asks the module to draw, in the gadget's drawing area.
struct TreeViewCell {
  int32_t column = 0;  // the column id the layout gave
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t backgroundColor = 0;  // host colour id of the row
  GeDrawArea area;              // where to draw, lent for the call
};

// One column of a tree view's layout: its id and its type (ZOR_TREEVIEW_COLUMN_TREE or _USER).
struct TreeViewColumn {
  int32_t id = 0;
  int32_t type = ZOR_TREEVIEW_COLUMN_USER;
};

// Sizes the host asks for where -1 means "use the host's own".
inline constexpr int32_t kTreeViewHostDefault = -1;

// What a list tells a tree view, one operation per entry of HostTreeViewCallbacks. zorhost calls
// GetFirst, GetDown, GetNext, GetName, IsSelected, GetColumnWidth, GetHeaderColumnWidth, GetLineHeight,
// DrawCell, DrawHeaderColumn, Select and DoubleClick; GetPred, IsOpened, GetId, GetDragType and
// GetDragObject are wired for hosts that walk backwards, open nodes or drag.
class TreeViewFunctions {
 public:
  virtual ~TreeViewFunctions();

  // Walking the list.
  virtual void* GetFirst(void* root, void* userData) = 0;
  virtual void* GetDown(void* root, void* userData, void* node) = 0;  // first child
  virtual void* GetNext(void* root, void* userData, void* node) = 0;
  virtual void* GetPred(void* root, void* userData, void* node);

  // Sizes and drawing.
  virtual int32_t GetColumnWidth(void* root, void* userData, void* node, int32_t column, GeDrawArea area);
  virtual int32_t GetHeaderColumnWidth(void* root, void* userData, int32_t column, GeDrawArea area);
  virtual int32_t GetLineHeight(void* root, void* userData, void* node, int32_t column, GeDrawArea area);
  virtual void DrawCell(void* root, void* userData, void* node, const TreeViewCell& cell);
  virtual void DrawHeaderColumn(void* root, void* userData, const TreeViewCell& cell);

  // What every list must say about its nodes.
  virtual bool IsSelected(void* root, void* userData, void* node) = 0;
  virtual bool IsOpened(void* root, void* userData, void* node) = 0;
  virtual String GetName(void* root, void* userData, void* node) = 0;
  virtual int64_t GetId(void* root, void* userData, void* node) = 0;
  virtual int32_t GetDragType(void* root, void* userData, void* node) = 0;

  // Changes the user makes.
  virtual void Select(void* root, void* userData, void* node, int32_t mode);
  virtual void* GetDragObject(void* root, void* userData, void* node);
  virtual bool DoubleClick(void* root, void* userData, void* node, int32_t column);
};

// The callbacks through which the host reaches a TreeViewFunctions object: each catches whatever the
// object throws and then answers the base behaviour's value.
const HostTreeViewCallbacks* TreeViewCallbacks();

// A tree-view gadget of a layout (ZOR_GADGET_TREEVIEW); the host dialog owns it.
class TreeViewCustomGui {
 public:
  TreeViewCustomGui() = default;
  explicit TreeViewCustomGui(GadgetRef gadget) : gadget_(gadget) {}
  bool IsValid() const { return gadget_.IsValid(); }

  // The host calls functions back with root and userData until another root is set; functions must
  // outlive the dialog's window or be replaced first.
  bool SetRoot(void* root, TreeViewFunctions* functions, void* userData);
  bool SetLayout(std::span<const TreeViewColumn> columns);
  // Shows the list again after the module changed it.
  void Refresh();

 private:
  GadgetRef gadget_;
};
