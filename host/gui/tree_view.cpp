#include "gui/tree_view.h"

#include <algorithm>
#include <cstdio>

#include "gui/dialog_model.h"
#include "gui/transcript.h"

namespace zorhost::ui {
namespace {

// What the module drew into the area while one cell was asked for; several texts are shown side by side.
class DrawnText {
 public:
  explicit DrawnText(HostUserArea* area) : area_(area) {
    area_->texts.clear();
    area_->record_texts = true;
  }
  // Nothing drawn is kept: the area is drawn into for every cell of every walk.
  ~DrawnText() {
    area_->record_texts = false;
    area_->texts.clear();
    area_->fills.clear();
  }
  std::string text() const {
    std::string joined;
    for (const std::string& piece : area_->texts) joined += (joined.empty() ? "" : " ") + piece;
    return joined;
  }

 private:
  HostUserArea* area_;
};

std::vector<TreeColumn> shown_columns(const TreeView& tree) {
  if (tree.columns.empty()) return {TreeColumn{}};
  return tree.columns;
}

std::string dialog_title(const HostGadget& gadget) {
  return gadget.dialog ? gadget.dialog->title : std::string();
}

// One walk: depth first, a node's children right after it. Sizes are asked as a gadget that lays the
// rows out would ask them; the module's answers only size the model.
void walk(HostGadget* gadget) {
  TreeView& tree = *gadget->tree;
  tree.rows.clear();
  tree.headers.clear();
  tree.cut = false;
  tree.line_height = 0;
  const std::vector<TreeColumn> columns = shown_columns(tree);
  tree.widths.assign(columns.size(), 0);
  if (!tree.source) {
    tree.headers.assign(columns.size(), std::string());
    return;
  }
  TreeSource& source = *tree.source;
  HostUserArea* area = tree.area.get();

  int32_t x = 0;
  for (size_t c = 0; c < columns.size(); ++c) {
    const int32_t width = std::max(source.header_width(columns[c].id, area), 0);
    DrawnText drawn(area);
    source.draw_header(columns[c].id, x, width, kFontHeight, area);
    tree.headers.push_back(drawn.text());
    tree.widths[c] = width;
    x += width;
  }

  struct Pending {
    void* node;
    int32_t depth;
  };
  std::vector<Pending> stack;
  if (void* first = source.first()) stack.push_back({first, 0});
  int32_t y = kFontHeight;
  while (!stack.empty()) {
    if (tree.rows.size() >= kTreeRowLimit) {
      tree.cut = true;
      break;
    }
    const Pending at = stack.back();
    stack.pop_back();
    TreeRow row;
    row.node = at.node;
    row.depth = at.depth;
    row.selected = source.is_selected(at.node);
    int32_t height = 0;
    int32_t cell_x = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
      const TreeColumn& column = columns[c];
      height = std::max(height, source.line_height(at.node, column.id, area));
      const int32_t width = source.column_width(at.node, column.id, area);
      if (column.type == ZOR_TREEVIEW_COLUMN_USER) {
        DrawnText drawn(area);
        source.draw_cell(at.node, column.id, cell_x, y, std::max(width, 0), kFontHeight, area);
        row.texts.push_back(drawn.text());
      } else {
        row.texts.push_back(source.name(at.node));
      }
      tree.widths[c] = std::max(tree.widths[c], width);
      cell_x += std::max(tree.widths[c], 0);
    }
    tree.line_height = std::max(tree.line_height, height);
    y += std::max(height, 1);
    tree.rows.push_back(std::move(row));
    // The sibling waits under the children, which come first.
    if (void* sibling = source.next(at.node)) stack.push_back({sibling, at.depth});
    if (void* child = source.down(at.node)) stack.push_back({child, at.depth + 1});
  }
  if (tree.cut) {
    std::fprintf(stderr,
                 "zorhost: tree view %d of dialog \"%s\": the list goes on past %zu rows (a loop in the "
                 "module's list?); only the first %zu are shown\n",
                 gadget->id, dialog_title(*gadget).c_str(), kTreeRowLimit, kTreeRowLimit);
  }
}

bool shown(const HostGadget& gadget) {
  return gadget.dialog && gadget.dialog->shown;
}

void record(HostGadget* gadget) {
  if (!shown(*gadget)) {
    gadget->tree->event_pending = true;
    return;
  }
  gadget->tree->event_pending = false;
  transcript::record(tree_event(*gadget));
}

const TreeRow* find_row(HostGadget* gadget, int32_t row, std::string* problem) {
  TreeView* tree = gadget ? gadget->tree.get() : nullptr;
  if (!tree) {
    if (problem) *problem = "it is not a tree view";
    return nullptr;
  }
  if (row < 0 || static_cast<size_t>(row) >= tree->rows.size()) {
    if (problem)
      *problem = "tree view " + std::to_string(gadget->id) + " shows " + std::to_string(tree->rows.size()) +
                 " row(s); there is no row " + std::to_string(row);
    return nullptr;
  }
  if (!tree->source) {
    if (problem) *problem = "tree view " + std::to_string(gadget->id) + " has no list";
    return nullptr;
  }
  return &tree->rows[static_cast<size_t>(row)];
}

// After a user's action: a refresh the module made replaced the rows (and said so); otherwise the rows
// are the same nodes and only their selection may have changed.
template <class Act>
bool act_on_row(HostGadget* gadget, int32_t row, std::string* problem, Act&& act) {
  const TreeRow* found = find_row(gadget, row, problem);
  if (!found) return false;
  HostDialog* dialog = gadget->dialog;
  TreeView* tree = gadget->tree.get();
  void* node = found->node;
  const size_t rows_before = tree->rows.size();
  const auto walks_before = tree->walks;
  act(*tree, node);
  // The module may have closed the dialog, and with it the gadget, meanwhile.
  if (!is_live(dialog) || !is_live_gadget(gadget) || !gadget->tree) return true;
  if (gadget->tree->walks != walks_before || !gadget->tree->source || tree->rows.size() != rows_before)
    return true;
  bool changed = false;
  for (TreeRow& each : tree->rows) {
    const bool selected = tree->source->is_selected(each.node);
    changed = changed || selected != each.selected;
    each.selected = selected;
  }
  if (changed) record(gadget);
  return true;
}

}  // namespace

TreeView::TreeView() : area(std::make_unique<HostUserArea>()) {}
TreeView::~TreeView() = default;

int32_t text_width(const std::string& utf8) {
  int32_t characters = 0;
  for (unsigned char byte : utf8) characters += (byte & 0xC0) != 0x80;  // count code points
  return characters * kFontWidth;
}

void refresh_tree(HostGadget* gadget) {
  if (!gadget || !gadget->tree) return;
  TreeView& tree = *gadget->tree;
  if (tree.walking > 0) {  // asked from inside a callback of the walk
    tree.walk_again = true;
    return;
  }
  // A module that asks again during every walk would keep the host here: a few rounds, then it stops.
  constexpr int kRounds = 4;
  for (int round = 0; round < kRounds; ++round) {
    tree.walk_again = false;
    ++tree.walking;
    walk(gadget);
    --tree.walking;
    ++tree.walks;
    if (!tree.walk_again) break;
  }
  record(gadget);
}

void record_pending_tree(HostGadget* gadget) {
  if (gadget && gadget->tree && gadget->tree->event_pending) record(gadget);
}

nlohmann::json tree_event(const HostGadget& gadget) {
  const TreeView& tree = *gadget.tree;
  nlohmann::json rows = nlohmann::json::array();
  nlohmann::json selected = nlohmann::json::array();
  for (size_t i = 0; i < tree.rows.size(); ++i) {
    rows.push_back(tree.rows[i].texts);
    if (tree.rows[i].selected) selected.push_back(i);
  }
  nlohmann::json event = {{"event", "tree"}, {"title", dialog_title(gadget)},
                          {"id", gadget.id}, {"columns", tree.headers},
                          {"rows", rows},    {"selected", selected}};
  if (tree.cut) event["cut"] = true;
  return event;
}

bool tree_select(HostGadget* gadget, int32_t row, std::string* problem) {
  return act_on_row(gadget, row, problem, [](TreeView& tree, void* node) { tree.source->select(node); });
}

bool tree_double_click(HostGadget* gadget, int32_t row, std::string* problem) {
  return act_on_row(gadget, row, problem, [](TreeView& tree, void* node) {
    const int32_t column = tree.columns.empty() ? 0 : tree.columns.front().id;
    tree.source->double_click(node, column);
  });
}

}  // namespace zorhost::ui
