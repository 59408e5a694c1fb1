#include "zor_treeview.h"

TreeViewFunctions::~TreeViewFunctions() = default;

void* TreeViewFunctions::GetPred(void*, void*, void*) {
  return nullptr;
}
int32_t TreeViewFunctions::GetColumnWidth(void*, void*, void*, int32_t, GeUserArea*) {
  return 0;
}
int32_t TreeViewFunctions::GetHeaderColumnWidth(void*, void*, int32_t, GeUserArea*) {
  return kTreeViewHostDefault;
}
int32_t TreeViewFunctions::GetLineHeight(void*, void*, void*, int32_t, GeUserArea*) {
  return kTreeViewHostDefault;
}
int32_t TreeViewFunctions::GetHeaderHeight(void*, void*, GeUserArea*) {
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
