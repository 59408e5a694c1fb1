// The host's tree-view gadget: it shows a module's list by asking the module, through its callbacks,
// for the nodes (first, first child, next) and for what each cell shows. The texts of the user-drawn
// cells and of the header are what the module draws into the gadget's drawing area while it is asked to
// draw them. The model keeps the rows of the last walk in the order shown; the transcript's "tree" event
// is made from them.
#pragma once
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "zor_api.h"

struct HostGadget;
struct HostUserArea;

namespace zorhost::ui {

// What the gadget asks of the list. The gui table's adapter turns each into a call of the module's
// callback struct with the root and user data the module handed over; the drawing calls draw into area.
class TreeSource {
 public:
  virtual ~TreeSource() = default;
  virtual void* first() = 0;
  virtual void* down(void* node) = 0;
  virtual void* next(void* node) = 0;
  virtual std::string name(void* node) = 0;
  virtual bool is_selected(void* node) = 0;
  virtual int32_t column_width(void* node, int32_t column, HostUserArea* area) = 0;
  virtual int32_t header_width(int32_t column, HostUserArea* area) = 0;
  virtual int32_t line_height(void* node, int32_t column, HostUserArea* area) = 0;
  virtual void draw_cell(void* node, int32_t column, int32_t x, int32_t y, int32_t width, int32_t height,
                         HostUserArea* area) = 0;
  virtual void draw_header(int32_t column, int32_t x, int32_t width, int32_t height, HostUserArea* area) = 0;
  virtual void select(void* node) = 0;  // the user's click: this node becomes the selection
  virtual void double_click(void* node, int32_t column) = 0;
};

// A column of type ZOR_TREEVIEW_COLUMN_TREE shows the node's name; one of ZOR_TREEVIEW_COLUMN_USER shows
// what the module draws into it.
struct TreeColumn {
  int32_t id = 0;
  int32_t type = ZOR_TREEVIEW_COLUMN_TREE;
};

struct TreeRow {
  void* node = nullptr;
  int32_t depth = 0;
  std::vector<std::string> texts;  // one per column
  bool selected = false;
};

// A list that walks past this many rows is cut there (said on stderr): a module whose next or first
// child leads back to an earlier node would otherwise never let the host finish.
inline constexpr size_t kTreeRowLimit = 100000;

struct TreeView {
  TreeView();
  ~TreeView();
  TreeView(const TreeView&) = delete;
  TreeView& operator=(const TreeView&) = delete;

  std::unique_ptr<TreeSource> source;  // null until the module hands its list over
  std::vector<TreeColumn> columns;     // empty: one tree column
  std::vector<std::string> headers;    // of the last walk, one per column
  std::vector<int32_t> widths;         // widest cell or header of each column, of the last walk
  int32_t line_height = 0;             // tallest row of the last walk
  std::vector<TreeRow> rows;           // of the last walk, in the order shown
  bool cut = false;                    // the last walk stopped at the row limit
  uint64_t walks = 0;                  // how many walks were made
  std::unique_ptr<HostUserArea> area;  // the drawing area lent to the module; it records the texts drawn
  int32_t walking = 0;                 // a refresh asked for while walking is done right after
  bool walk_again = false;
  bool event_pending = false;  // walked before its dialog was shown: recorded with the dialog
};

// The module asked for a refresh: walk the list anew and record the "tree" event (at once when the
// dialog is shown, else right after its dialogOpen).
void refresh_tree(HostGadget* gadget);
// Records the "tree" event of a gadget refreshed before its dialog was shown.
void record_pending_tree(HostGadget* gadget);
nlohmann::json tree_event(const HostGadget& gadget);

// What a user does to a row (counted from 0 in the order shown). False with the reason when there is
// no such row. After the module's answer the rows' selection is read again; when it changed without a
// refresh, the event is recorded again.
bool tree_select(HostGadget* gadget, int32_t row, std::string* problem);
bool tree_double_click(HostGadget* gadget, int32_t row, std::string* problem);

// The drawing area's text metrics: a fixed-width font.
inline constexpr int32_t kFontWidth = 7;
inline constexpr int32_t kFontHeight = 14;
int32_t text_width(const std::string& utf8);

}  // namespace zorhost::ui
