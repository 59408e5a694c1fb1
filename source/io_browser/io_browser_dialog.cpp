#include "io_browser_dialog.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "zor_bitmap.h"
#include "zor_filename.h"
#include "zor_memory.h"

namespace io_browser {

namespace {

// A cell's text starts this far right of the header's left edge; widths add it
// as margin.
constexpr int32_t kTextMargin = 4;
// The first bytes of a file the host identifies it from when it is dragged.
constexpr int64_t kDragProbeBytes = 1024;

// The file name the last drag carried; each drag replaces it.
OwnedObj<Filename> g_dragName;

BrowserNode* Node(void* node) {
  return static_cast<BrowserNode*>(node);
}

IoBrowserDialog* Dialog(void* userData) {
  return static_cast<IoBrowserDialog*>(userData);
}

const char* HeaderTitle(int32_t column) {
  switch (column) {
    case kNameColumn:
      return "Scene";
    case kSizeColumn:
      return "Size";
    case kCreatedColumn:
      return "Created";
    case kModifiedColumn:
      return "Modified";
    default:
      return "";
  }
}

// The text of a user-drawn column; the name column's text is the host's to
// draw.
std::string CellText(const BrowserNode& node, int32_t column) {
  switch (column) {
    case kSizeColumn:
      return SizeText(node.size);
    case kModifiedColumn:
      return DateTimeText(node.modified);
    case kCreatedColumn:
      return DateTimeText(node.created);
    default:
      return std::string();
  }
}

// Entry names are the file system's bytes: one that holds "\u0041" is shown as it is.
String Text(const std::string& utf8) {
  String text;
  text.SetCString(utf8.c_str(), static_cast<int32_t>(utf8.size()), ZOR_STRING_UTF8_VERBATIM);
  return text;
}

// Reads the first bytes of the entry and asks the host what it is: a scene,
// another file the host recognises, or any file. -1 when the entry cannot be
// read.
int32_t ProbeDragType(const BrowserNode& node) {
  nexal::InputStream stream;
  if (node.url.OpenInput(&stream).Failed()) return kDragNone;
  const int64_t count = std::clamp<int64_t>(node.size, 0, kDragProbeBytes);
  std::vector<uint8_t> probe(static_cast<size_t>(count));
  if (count > 0 && stream.Read(probe.data(), count).Failed()) return kDragNone;
  stream.Close();
  const Filename name(Text(node.url.GetText()));
  if (IdentifyFileClass(name, probe.data(), static_cast<int32_t>(probe.size()), ZOR_IDENTIFY_SCENE))
    return kDragScene;
  if (HostRecognisesFile(name)) return kDragHostFile;
  return kDragFile;
}

}  // namespace

bool IsZipName(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot != 4) return false;
  std::string suffix = name.substr(dot + 1);
  for (char& c : suffix) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return suffix == "zip";
}

// ---------------------------------------------------------------------------------------------------
// Function2

void* Function2::GetFirst(void* root, void*) {
  return root ? static_cast<BrowserNodeList*>(root)->First() : nullptr;
}

void* Function2::GetDown(void*, void*, void* node) {
  return node ? Node(node)->children.First() : nullptr;
}

void* Function2::GetNext(void*, void*, void* node) {
  return node ? Node(node)->next : nullptr;
}

void* Function2::GetPred(void*, void*, void* node) {
  return node ? Node(node)->prev : nullptr;
}

int32_t Function2::GetColumnWidth(void*, void*, void* node, int32_t column, GeDrawArea area) {
  if (!node || column == kNameColumn) return 0;
  return area.GetTextWidth(Text(CellText(*Node(node), column))) + kTextMargin;
}

int32_t Function2::GetHeaderColumnWidth(void*, void*, int32_t, GeDrawArea area) {
  return area.GetTextWidth("8888") + kTextMargin;
}

int32_t Function2::GetLineHeight(void*, void*, void*, int32_t, GeDrawArea area) {
  return area.GetFontHeight();
}

void Function2::DrawCell(void*, void*, void* node, const TreeViewCell& cell) {
  if (!node || cell.column == kNameColumn) return;
  GeDrawArea area = cell.area;
  area.SetTextColor(ZOR_COLOR_LIST_TEXT, cell.backgroundColor);
  area.DrawText(Text(CellText(*Node(node), cell.column)), cell.x, cell.y);
}

void Function2::DrawHeaderColumn(void*, void*, const TreeViewCell& cell) {
  GeDrawArea area = cell.area;
  const int32_t x2 = cell.x + cell.width - 1;
  const int32_t y2 = cell.y + cell.height - 1;
  area.SetPen(ZOR_COLOR_BACKGROUND);
  area.FillRect(cell.x, cell.y, x2, y2);
  area.SetTextColor(ZOR_COLOR_TEXT, ZOR_COLOR_BACKGROUND);
  area.DrawText(HeaderTitle(cell.column), cell.x + kTextMargin, cell.y);
  area.SetPen(ZOR_COLOR_EDGE_LIGHT);
  area.DrawLine(cell.x, cell.y, x2, cell.y);
  area.DrawLine(cell.x, cell.y, cell.x, y2);
  area.SetPen(ZOR_COLOR_EDGE_DARK);
  area.DrawLine(x2, cell.y, x2, y2);
  area.DrawLine(cell.x, y2, x2, y2);
}

bool Function2::IsSelected(void*, void*, void* node) {
  return node && Node(node)->selected != 0;
}

bool Function2::IsOpened(void*, void*, void*) {
  return false;
}

String Function2::GetName(void*, void*, void* node) {
  return node ? Text(NameText(*Node(node))) : String();
}

int64_t Function2::GetId(void*, void*, void* node) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(node));
}

int32_t Function2::GetDragType(void*, void*, void* node) {
  if (!node) return kDragNone;
  if (Node(node)->isFolder) return kDragFile;
  return ProbeDragType(*Node(node));
}

void Function2::Select(void*, void* userData, void* node, int32_t) {
  if (node && userData) Dialog(userData)->SelectNode(*Node(node));
}

void* Function2::GetDragObject(void*, void*, void* node) {
  if (!node) return nullptr;
  if (!g_dragName) g_dragName = NewOwnedObj(Filename);
  if (!g_dragName) return nullptr;
  *g_dragName = Filename(Text(Node(node)->url.GetText()));
  return g_dragName.get();
}

bool Function2::DoubleClick(void*, void* userData, void* node, int32_t) {
  if (!node || !userData) return false;
  Dialog(userData)->OpenNode(*Node(node));
  return true;
}

// ---------------------------------------------------------------------------------------------------
// IoBrowserDialog

IoBrowserDialog::IoBrowserDialog() : location_(nexal::Url::Handlers()) {}

IoBrowserDialog::~IoBrowserDialog() = default;

bool IoBrowserDialog::BuildLayout() {
  SetTitle("IoHandler Test");
  GroupBegin(0, ZOR_LAYOUT_FILL, 0, 1, String(), ZOR_GROUP_PANES);

  GroupBegin(0, ZOR_LAYOUT_FILL, 1, 0, String(), 0);
  GroupBegin(0, ZOR_LAYOUT_FIT, 0, 1, String(), 0);
  AddButton(kParentButton, 0, 0, 0, "..");
  AddEditText(kLocationField, ZOR_LAYOUT_FIT);
  AddCheckbox(kHiddenCheckbox, 0, 0, 0, "Hidden");
  GroupEnd();
  BaseContainer treeSettings;
  treeSettings.SetBool(ZOR_GADGET_BORDER, true);
  treeSettings.SetBool(ZOR_TREEVIEW_HAS_HEADER, true);
  treeView_ = TreeViewCustomGui(
      AddCustomGadget(kTreeViewGadget, ZOR_GADGET_TREEVIEW, ZOR_LAYOUT_FILL, 0, 0, treeSettings));
  GroupEnd();

  GroupBegin(0, ZOR_LAYOUT_FILL, 1, 0, String(), 0);
  AddEditText(kPreviewUrlField, ZOR_LAYOUT_FIT);
  TabGroupBegin(kPreviewTabGroup, ZOR_LAYOUT_FILL, ZOR_TAB_GROUP_TABS);
  GroupBegin(kPreviewTextPage, ZOR_LAYOUT_FILL, 1, 0, "Text", 0);
  AddMultiLineEditText(kPreviewTextField, ZOR_LAYOUT_FILL, 0, 0, 0);
  GroupEnd();
  GroupBegin(kPreviewImagePage, ZOR_LAYOUT_FILL, 1, 0, "Image", 0);
  BaseContainer imageSettings;
  imageSettings.SetInt32(ZOR_BITMAPBUTTON_SIZE, -1);
  imageSettings.SetBool(ZOR_BITMAPBUTTON_BUTTON, false);
  imageSettings.SetBool(ZOR_GADGET_BORDER, false);
  imageButton_ = BitmapButtonCustomGui(
      AddCustomGadget(kPreviewImageButton, ZOR_GADGET_BITMAPBUTTON, ZOR_LAYOUT_FILL, 0, 0, imageSettings));
  GroupEnd();
  GroupEnd();  // the tab group
  GroupEnd();  // the right group
  GroupEnd();  // the outer group

  if (treeView_.IsValid()) {
    static constexpr TreeViewColumn kColumns[] = {{kNameColumn, ZOR_TREEVIEW_COLUMN_TREE},
                                                  {kSizeColumn, ZOR_TREEVIEW_COLUMN_USER},
                                                  {kModifiedColumn, ZOR_TREEVIEW_COLUMN_USER},
                                                  {kCreatedColumn, ZOR_TREEVIEW_COLUMN_USER}};
    treeView_.SetLayout(kColumns);
  }
  return true;
}

bool IoBrowserDialog::InitializeValues() {
  SetString(kLocationField, Text(location_.GetText()));
  SetString(kPreviewUrlField, Text(previewUrl_.GetText()));
  if (!treeView_.IsValid()) return true;
  root_.Clear();
  GeSetMousePointer(ZOR_POINTER_BUSY);
  nexal::IoBrowse iterator;
  if (!location_.Browse(&iterator).Failed()) {
    bool showHidden = false;
    GetBool(kHiddenCheckbox, showHidden);
    FillFromIterator(iterator, showHidden, root_);
  }
  GeSetMousePointer(ZOR_POINTER_NORMAL);
  treeView_.SetRoot(&root_, &functions_, this);
  treeView_.Refresh();
  return true;
}

bool IoBrowserDialog::OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) {
  const bool committed = !msg.GetBool(ZOR_MSG_VALUE_EDITING);
  switch (gadgetId) {
    case kParentButton:
      GoToParent();
      break;
    case kHiddenCheckbox:
      InitializeValues();
      break;
    case kLocationField:
      if (committed) SetLocation(nexal::Url::Parse(msg.GetString(ZOR_MSG_VALUE_TEXT).ToUtf8()));
      break;
    case kPreviewUrlField:
      if (committed) {
        previewUrl_ = nexal::Url::Parse(msg.GetString(ZOR_MSG_VALUE_TEXT).ToUtf8());
        Preview();
      }
      break;
    default:
      break;
  }
  return GeDialog::OnGadgetCommand(gadgetId, msg);
}

void IoBrowserDialog::OnWindowDestroyed() {
  treeView_ = TreeViewCustomGui();
  imageButton_ = BitmapButtonCustomGui();
}

void IoBrowserDialog::ShowImage(const BaseBitmap& bitmap) {
  imageButton_.SetImage(bitmap);
}

void IoBrowserDialog::ShowText(const String& text, int32_t activePage) {
  SetString(kPreviewTextField, text);
  SetActiveTab(kPreviewTabGroup, activePage);
}

void IoBrowserDialog::SetLocation(nexal::Url location) {
  location_ = std::move(location);
  InitializeValues();
}

void IoBrowserDialog::SelectNode(BrowserNode& node) {
  for (BrowserNode* other = node.list ? node.list->First() : nullptr; other; other = other->next) {
    other->selected = 0;
  }
  node.selected = 1;
  if (node.isFolder) return;
  previewUrl_ = node.url;
  SetString(kPreviewUrlField, Text(previewUrl_.GetText()));
  Preview();
}

void IoBrowserDialog::OpenNode(BrowserNode& node) {
  // The node goes with the old list: everything needed is copied first.
  if (node.isFolder || (node.attributes & (nexal::kIoBundle | nexal::kIoRevision))) {
    SetLocation(node.url);
  } else if (IsZipName(node.name)) {
    SetLocation(nexal::Url::InZip(node.url));
  }
}

void IoBrowserDialog::GoToParent() {
  nexal::Url parent;
  SetLocation(location_.GetParent(&parent) ? std::move(parent) : nexal::Url::Handlers());
}

void IoBrowserDialog::Preview() {
  RunFilePreview(previewUrl_, previewText_, *this);
}

// ---------------------------------------------------------------------------------------------------
// IoBrowserDialogCommand

bool IoBrowserDialogCommand::Execute(HostDocument*) {
  return dialog_.Open(ZOR_DIALOG_ASYNC, kIoBrowserPluginId, -1, -1, 500, 300, 0);
}

bool IoBrowserDialogCommand::RestoreDialog(void* secret) {
  return dialog_.RestoreDialog(kIoBrowserPluginId, secret);
}

bool RegisterIoBrowser() {
  return RegisterCommandPlugin(kIoBrowserPluginId, "ioBrowserManager", 0, nullptr, "ioBrowserManager",
                               NewObj(IoBrowserDialogCommand));
}

void ReleaseIoBrowserDragObject() {
  g_dragName.reset();
}

}  // namespace io_browser
