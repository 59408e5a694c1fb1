// The operations a host tree-view gadget calls to walk, draw and edit a module's list. The host passes
// back the root and user data the module handed to the gadget, and the module's own node pointers.
// The virtual operations keep the host's slot order; the number of each is given beside it.
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
// Drop positions a list accepts unless it says otherwise: before and after a node.
inline constexpr int32_t kTreeViewInsertBeforeOrAfter = 3;

// Every operation of the host's tree view, with its default; the host reaches a list only through the
// HostTreeViewCallbacks record, whose entries name the 17 operations it may call. zorhost calls
// GetFirst, GetDown, GetNext, GetName, IsSelected, GetColumnWidth, GetHeaderColumnWidth, GetLineHeight,
// DrawCell, DrawHeaderColumn, Select and DoubleClick; GetPred, IsOpened, GetId, GetDragType and
// GetDragObject are wired for hosts that walk backwards, open nodes or drag. The others keep their slot
// and default for hosts that call them.
class TreeViewFunctions {
 public:
  virtual ~TreeViewFunctions();  // 0

  // Walking the list.
  virtual void* GetFirst(void* root, void* userData) = 0;             // 1
  virtual void* GetDown(void* root, void* userData, void* node) = 0;  // 2: first child
  virtual void* GetNext(void* root, void* userData, void* node) = 0;  // 3
  virtual void* GetPred(void* root, void* userData, void* node);      // 4

  // Sizes and drawing.
  virtual int32_t GetColumnWidth(void* root, void* userData, void* node, int32_t column,
                                 GeDrawArea area);                                                    // 5
  virtual int32_t GetHeaderColumnWidth(void* root, void* userData, int32_t column, GeDrawArea area);  // 6
  virtual int32_t GetLineHeight(void* root, void* userData, void* node, int32_t column,
                                GeDrawArea area);                                            // 7
  virtual int32_t GetHeaderHeight(void* root, void* userData, GeDrawArea area);              // 8
  virtual void DrawCell(void* root, void* userData, void* node, const TreeViewCell& cell);   // 9
  virtual void DrawHeaderColumn(void* root, void* userData, const TreeViewCell& cell);       // 10
  virtual void DrawBackground(void* root, void* userData, const TreeViewCell& cell);         // 11
  virtual int32_t GetBackgroundColor(void* root, void* userData, void* node, int32_t line);  // 12

  // What every list must say about its nodes.
  virtual bool IsSelected(void* root, void* userData, void* node) = 0;      // 13
  virtual bool IsOpened(void* root, void* userData, void* node) = 0;        // 14
  virtual String GetName(void* root, void* userData, void* node) = 0;       // 15
  virtual int64_t GetId(void* root, void* userData, void* node) = 0;        // 16
  virtual int32_t GetDragType(void* root, void* userData, void* node) = 0;  // 17

  // Dropping onto the list.
  virtual int32_t AcceptDragObject(void* root, void* userData, void* node, int32_t dragType,
                                   void* dragObject);                                // 18
  virtual bool IsCheckable(void* root, void* userData, void* node, int32_t column);  // 19
  virtual bool IsChecked(void* root, void* userData, void* node, int32_t column);    // 20

  // Changes the user makes.
  virtual void Select(void* root, void* userData, void* node, int32_t mode);         // 21
  virtual void Open(void* root, void* userData, void* node, bool open);              // 22
  virtual void SetName(void* root, void* userData, void* node, const String& name);  // 23
  virtual void* GetDragObject(void* root, void* userData, void* node);               // 24
  virtual void FreeDragObject(void* root, void* userData, void* dragObject);         // 25
  virtual void InsertObject(void* root, void* userData, void* node, int32_t dragType, void* dragObject,
                            int32_t insertMode);                                                        // 26
  virtual void DeletePressed(void* root, void* userData);                                               // 27
  virtual void SetChecked(void* root, void* userData, void* node, int32_t column, bool checked);        // 28
  virtual void CreateContextMenu(void* root, void* userData, void* node, int32_t column);               // 29
  virtual void ContextMenuCall(void* root, void* userData, void* node, int32_t column, int32_t entry);  // 30
  virtual void SelectionChanged(void* root, void* userData);                                            // 31
  virtual bool DoubleClick(void* root, void* userData, void* node, int32_t column);                     // 32

  // Permissions; a list allows everything unless it says otherwise.
  virtual bool IsSelectable(void* root, void* userData, void* node);  // 33
  virtual bool IsReorderAllowed(void* root, void* userData);          // 34
  virtual bool IsVisible(void* root, void* userData, void* node);     // 35

  // Raw input; false lets the host handle it.
  virtual bool MouseDown(void* root, void* userData, void* node, int32_t column, int32_t x, int32_t y);  // 36
  virtual bool KeyDown(void* root, void* userData, int32_t key);                                         // 37

  // Notifications.
  virtual void ScrolledTo(void* root, void* userData, int32_t line);                         // 38
  virtual void HeaderClick(void* root, void* userData, int32_t column);                      // 39
  virtual void ColumnResized(void* root, void* userData, int32_t column, int32_t width);     // 40
  virtual bool IsEnabled(void* root, void* userData, void* node);                            // 41
  virtual void EditingFinished(void* root, void* userData, void* node, int32_t column);      // 42
  virtual int32_t GetIconId(void* root, void* userData, void* node);                         // 43
  virtual int32_t GetIndent(void* root, void* userData, void* node);                         // 44
  virtual void ColumnMoved(void* root, void* userData, int32_t column, int32_t position);    // 45
  virtual int32_t GetCellAlignment(void* root, void* userData, void* node, int32_t column);  // 46
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
