#include "zor_treeview.h"

#include <vector>

#include "zor_host.h"

TreeViewFunctions::~TreeViewFunctions() = default;

void* TreeViewFunctions::GetPred(void*, void*, void*) {
  return nullptr;
}
int32_t TreeViewFunctions::GetColumnWidth(void*, void*, void*, int32_t, GeDrawArea) {
  return 0;
}
int32_t TreeViewFunctions::GetHeaderColumnWidth(void*, void*, int32_t, GeDrawArea) {
  return kTreeViewHostDefault;
}
int32_t TreeViewFunctions::GetLineHeight(void*, void*, void*, int32_t, GeDrawArea) {
  return kTreeViewHostDefault;
}
int32_t TreeViewFunctions::GetHeaderHeight(void*, void*, GeDrawArea) {
  return 0;
}
void TreeViewFunctions::DrawCell(void*, void*, void*, const TreeViewCell&) {}
void TreeViewFunctions::DrawHeaderColumn(void*, void*, const TreeViewCell&) {}
void TreeViewFunctions::DrawBackground(void*, void*, const TreeViewCell&) {}
int32_t TreeViewFunctions::GetBackgroundColor(void*, void*, void*, int32_t) {
  return 0;
}
int32_t TreeViewFunctions::AcceptDragObject(void*, void*, void*, int32_t, void*) {
  return kTreeViewInsertBeforeOrAfter;
}
bool TreeViewFunctions::IsCheckable(void*, void*, void*, int32_t) {
  return false;
}
bool TreeViewFunctions::IsChecked(void*, void*, void*, int32_t) {
  return false;
}
void TreeViewFunctions::Select(void*, void*, void*, int32_t) {}
void TreeViewFunctions::Open(void*, void*, void*, bool) {}
void TreeViewFunctions::SetName(void*, void*, void*, const String&) {}
void* TreeViewFunctions::GetDragObject(void*, void*, void*) {
  return nullptr;
}
void TreeViewFunctions::FreeDragObject(void*, void*, void*) {}
void TreeViewFunctions::InsertObject(void*, void*, void*, int32_t, void*, int32_t) {}
void TreeViewFunctions::DeletePressed(void*, void*) {}
void TreeViewFunctions::SetChecked(void*, void*, void*, int32_t, bool) {}
void TreeViewFunctions::CreateContextMenu(void*, void*, void*, int32_t) {}
void TreeViewFunctions::ContextMenuCall(void*, void*, void*, int32_t, int32_t) {}
void TreeViewFunctions::SelectionChanged(void*, void*) {}
bool TreeViewFunctions::DoubleClick(void*, void*, void*, int32_t) {
  return false;
}
bool TreeViewFunctions::IsSelectable(void*, void*, void*) {
  return true;
}
bool TreeViewFunctions::IsReorderAllowed(void*, void*) {
  return true;
}
bool TreeViewFunctions::IsVisible(void*, void*, void*) {
  return true;
}
bool TreeViewFunctions::MouseDown(void*, void*, void*, int32_t, int32_t, int32_t) {
  return false;
}
bool TreeViewFunctions::KeyDown(void*, void*, int32_t) {
  return false;
}
void TreeViewFunctions::ScrolledTo(void*, void*, int32_t) {}
void TreeViewFunctions::HeaderClick(void*, void*, int32_t) {}
void TreeViewFunctions::ColumnResized(void*, void*, int32_t, int32_t) {}
bool TreeViewFunctions::IsEnabled(void*, void*, void*) {
  return true;
}
void TreeViewFunctions::EditingFinished(void*, void*, void*, int32_t) {}
int32_t TreeViewFunctions::GetIconId(void*, void*, void*) {
  return 0;
}
int32_t TreeViewFunctions::GetIndent(void*, void*, void*) {
  return 0;
}
void TreeViewFunctions::ColumnMoved(void*, void*, int32_t, int32_t) {}
int32_t TreeViewFunctions::GetCellAlignment(void*, void*, void*, int32_t) {
  return 0;
}

// ---------------------------------------------------------------------------------------------------
// The host's callbacks

namespace {

TreeViewFunctions* Object(void* functions) {
  return static_cast<TreeViewFunctions*>(functions);
}

TreeViewCell CellFrom(const HostTreeViewCell& cell) {
  TreeViewCell out;
  out.column = cell.column;
  out.x = cell.x;
  out.y = cell.y;
  out.width = cell.width;
  out.height = cell.height;
  out.backgroundColor = cell.background_color;
  out.area = GeDrawArea(cell.area);
  return out;
}

// Runs the operation on the object, or answers fallback when there is none or it throws: no exception
// may reach the host.
template <class Result, class Operation>
Result Guarded(void* functions, Result fallback, Operation&& operation) {
  if (!functions) return fallback;
  try {
    return operation(*Object(functions));
  } catch (...) {
    return fallback;
  }
}

template <class Operation>
void GuardedVoid(void* functions, Operation&& operation) {
  if (!functions) return;
  try {
    operation(*Object(functions));
  } catch (...) {
  }
}

void* TvGetFirst(void* functions, void* root, void* userData) {
  return Guarded<void*>(functions, nullptr, [&](TreeViewFunctions& f) { return f.GetFirst(root, userData); });
}

void* TvGetDown(void* functions, void* root, void* userData, void* node) {
  return Guarded<void*>(functions, nullptr,
                        [&](TreeViewFunctions& f) { return f.GetDown(root, userData, node); });
}

void* TvGetNext(void* functions, void* root, void* userData, void* node) {
  return Guarded<void*>(functions, nullptr,
                        [&](TreeViewFunctions& f) { return f.GetNext(root, userData, node); });
}

void* TvGetPred(void* functions, void* root, void* userData, void* node) {
  return Guarded<void*>(functions, nullptr,
                        [&](TreeViewFunctions& f) { return f.GetPred(root, userData, node); });
}

int32_t TvGetColumnWidth(void* functions, void* root, void* userData, void* node, int32_t column,
                         HostUserArea* area) {
  return Guarded<int32_t>(functions, 0, [&](TreeViewFunctions& f) {
    return f.GetColumnWidth(root, userData, node, column, GeDrawArea(area));
  });
}

int32_t TvGetHeaderColumnWidth(void* functions, void* root, void* userData, int32_t column,
                               HostUserArea* area) {
  return Guarded<int32_t>(functions, kTreeViewHostDefault, [&](TreeViewFunctions& f) {
    return f.GetHeaderColumnWidth(root, userData, column, GeDrawArea(area));
  });
}

int32_t TvGetLineHeight(void* functions, void* root, void* userData, void* node, int32_t column,
                        HostUserArea* area) {
  return Guarded<int32_t>(functions, kTreeViewHostDefault, [&](TreeViewFunctions& f) {
    return f.GetLineHeight(root, userData, node, column, GeDrawArea(area));
  });
}

void TvDrawCell(void* functions, void* root, void* userData, void* node, const HostTreeViewCell* cell) {
  if (!cell) return;
  GuardedVoid(functions, [&](TreeViewFunctions& f) { f.DrawCell(root, userData, node, CellFrom(*cell)); });
}

void TvDrawHeaderColumn(void* functions, void* root, void* userData, const HostTreeViewCell* cell) {
  if (!cell) return;
  GuardedVoid(functions, [&](TreeViewFunctions& f) { f.DrawHeaderColumn(root, userData, CellFrom(*cell)); });
}

bool TvIsSelected(void* functions, void* root, void* userData, void* node) {
  return Guarded<bool>(functions, false,
                       [&](TreeViewFunctions& f) { return f.IsSelected(root, userData, node); });
}

bool TvIsOpened(void* functions, void* root, void* userData, void* node) {
  return Guarded<bool>(functions, false,
                       [&](TreeViewFunctions& f) { return f.IsOpened(root, userData, node); });
}

void TvGetName(void* functions, void* root, void* userData, void* node, HostString* name) {
  if (!name) return;
  GuardedVoid(functions, [&](TreeViewFunctions& f) {
    // The host lends the string; the name is written into it.
    const String text = f.GetName(root, userData, node);
    HostCall(&HostStringTable::assign, name, text.Get());
  });
}

int64_t TvGetId(void* functions, void* root, void* userData, void* node) {
  return Guarded<int64_t>(functions, 0, [&](TreeViewFunctions& f) { return f.GetId(root, userData, node); });
}

int32_t TvGetDragType(void* functions, void* root, void* userData, void* node) {
  return Guarded<int32_t>(functions, -1,
                          [&](TreeViewFunctions& f) { return f.GetDragType(root, userData, node); });
}

void TvSelect(void* functions, void* root, void* userData, void* node, int32_t mode) {
  GuardedVoid(functions, [&](TreeViewFunctions& f) { f.Select(root, userData, node, mode); });
}

void* TvGetDragObject(void* functions, void* root, void* userData, void* node) {
  return Guarded<void*>(functions, nullptr,
                        [&](TreeViewFunctions& f) { return f.GetDragObject(root, userData, node); });
}

bool TvDoubleClick(void* functions, void* root, void* userData, void* node, int32_t column) {
  return Guarded<bool>(functions, false,
                       [&](TreeViewFunctions& f) { return f.DoubleClick(root, userData, node, column); });
}

}  // namespace

const HostTreeViewCallbacks* TreeViewCallbacks() {
  static const HostTreeViewCallbacks kCallbacks{
      .size = sizeof(HostTreeViewCallbacks),
      .get_first = TvGetFirst,
      .get_down = TvGetDown,
      .get_next = TvGetNext,
      .get_pred = TvGetPred,
      .get_column_width = TvGetColumnWidth,
      .get_header_column_width = TvGetHeaderColumnWidth,
      .get_line_height = TvGetLineHeight,
      .draw_cell = TvDrawCell,
      .draw_header_column = TvDrawHeaderColumn,
      .is_selected = TvIsSelected,
      .is_opened = TvIsOpened,
      .get_name = TvGetName,
      .get_id = TvGetId,
      .get_drag_type = TvGetDragType,
      .select = TvSelect,
      .get_drag_object = TvGetDragObject,
      .double_click = TvDoubleClick,
  };
  return &kCallbacks;
}

// ---------------------------------------------------------------------------------------------------
// TreeViewCustomGui

bool TreeViewCustomGui::SetRoot(void* root, TreeViewFunctions* functions, void* userData) {
  return gadget_.IsValid() &&
         HostCall(false, &HostGuiTable::tree_view_set_root, gadget_.Get(), root,
                  functions ? TreeViewCallbacks() : nullptr, static_cast<void*>(functions), userData);
}

bool TreeViewCustomGui::SetLayout(std::span<const TreeViewColumn> columns) {
  if (!gadget_.IsValid()) return false;
  std::vector<int32_t> ids;
  std::vector<int32_t> types;
  for (const TreeViewColumn& column : columns) {
    ids.push_back(column.id);
    types.push_back(column.type);
  }
  return HostCall(false, &HostGuiTable::tree_view_set_layout, gadget_.Get(), static_cast<int32_t>(ids.size()),
                  ids.data(), types.data());
}

void TreeViewCustomGui::Refresh() {
  if (gadget_.IsValid()) HostCall(&HostGuiTable::tree_view_refresh, gadget_.Get());
}
