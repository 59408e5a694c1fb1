// The host side of a non-modal browser dialog, its stored layout, and the tree view.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "gui/dialog_layouts.h"
#include "gui/dialog_model.h"
#include "gui/tree_view.h"
#include "host_gui_fake_module.h"
#include "plugins/plugin_registry.h"

namespace {

using namespace fake;

void build_browser_frame(Dialog& d) {
  Text title("Browser"), go("..");
  gui()->dialog_set_title(d.handle, title);
  gui()->add_button(d.handle, 11, 0, 0, 0, go);
  gui()->add_edit_text(d.handle, 10, 56, 0, 0);
  gui()->tab_group_begin(d.handle, 20, 63);
  gui()->group_begin(d.handle, 21, 63, 1, 0, nullptr, 0);
  gui()->group_begin(d.handle, 22, 63, 1, 0, nullptr, 0);  // inside a page: not a page itself
  gui()->group_end(d.handle);
  gui()->group_end(d.handle);
  gui()->group_begin(d.handle, 23, 63, 1, 0, nullptr, 0);
  gui()->group_end(d.handle);
  gui()->group_end(d.handle);
  gui()->group_begin(d.handle, 24, 63, 1, 0, nullptr, 0);  // after the tab group: not a page
  gui()->group_end(d.handle);
}

TEST(HostGuiNonModal, ActStepsCommitTextsAndChooseTabPages) {
  Session session(R"([{"act": {"title": "Browser", "set": [[10, "zip:///a.zip"], [20, 23]], "click": [11]}},
                      {"act": {"title": "Browser", "set": [[20, 24]]}}])");
  ASSERT_TRUE(session.started);
  Dialog d;
  d.build = build_browser_frame;
  d.watch = [](Dialog& self, const fake::Message& m) {
    if (m.code == ZOR_MSG_COMMAND && m.gadget == 11) gui()->set_int32(self.handle, 20, 21);
  };
  const std::string err = d.open(ZOR_DIALOG_ASYNC, 500, 300);

  EXPECT_EQ(d.commands(), (std::vector<int32_t>{10, 20, 11}));
  const fake::Message& edit = d.received[2];
  ASSERT_EQ(edit.gadget, 10);
  EXPECT_FALSE(edit.editing) << "the user's text is committed";
  EXPECT_EQ(edit.text, "zip:///a.zip");
  EXPECT_TRUE(d.received[3].editing) << "a tab is no text edit";

  EXPECT_TRUE(Contains(err, "step 2: dialog \"Browser\": tab group 20 has no page 24 (its pages: 21, 23)"));
  EXPECT_TRUE(zorhost::ui_script_failed());

  const auto events = session.events();
  const auto& gadgets = events.at(0)["gadgets"];
  ASSERT_EQ(gadgets.size(), 3u);
  EXPECT_EQ(
      gadgets[2],
      (nlohmann::json{{"id", 20}, {"kind", "tabGroup"}, {"text", ""}, {"value", 21}, {"enabled", true}}))
      << "the first page is active until one is chosen";
  EXPECT_EQ(events.at(1),
            (nlohmann::json{{"event", "gadget"}, {"title", "Browser"}, {"id", 20}, {"value", 21}}))
      << "the module's choice of page is an event; the user's own choice is not";
}

struct Restorer {
  Dialog dialog;
  int32_t calls = 0;
  static bool restore(void* object, void* secret) {
    auto* self = static_cast<Restorer*>(object);
    ++self->calls;
    return gui()->dialog_restore(self->dialog.handle, 200000286, 0, secret);
  }
};

TEST(HostGuiLayouts, NonModalDialogComesBackWhereItWasLeftOpen) {
  const auto prefs = fake::temp_file("prefs");
  std::filesystem::remove_all(prefs);
  test_support::Scoped<std::filesystem::path> prefs_here(zorhost::options().prefs_dir, prefs);
  {
    Dialog d, modal;  // outlive the session: the host ends while the dialog is open
    Session session;
    d.build = build_browser_frame;
    gui()->dialog_set_plugin(d.handle, 200000286, 0);
    ASSERT_TRUE(gui()->dialog_open(d.handle, ZOR_DIALOG_ASYNC, 30, 40, 500, 300));
    gui()->dialog_set_plugin(modal.handle, 1001198, 0);
    gui()->dialog_open(modal.handle, ZOR_DIALOG_MODAL, -1, -1, 0, 0);
    EXPECT_FALSE(std::filesystem::exists(prefs / "layouts" / "1001198_0.json")) << "modal ones are not kept";
  }  // the host ends with the dialog open
  auto layout = zorhost::ui::load_layout(200000286, 0);
  ASSERT_TRUE(layout.has_value());
  EXPECT_TRUE(layout->open);
  EXPECT_EQ(layout->x, 30);
  EXPECT_EQ(layout->width, 500);

  Restorer restorer;
  restorer.dialog.build = build_browser_frame;
  HostCommandRecord record{};
  record.object = &restorer;
  record.restore_dialog = &Restorer::restore;
  ASSERT_TRUE(zorhost::register_command(16000, ZOR_PLUGIN_TYPE_COMMAND, 200000286, "ioBrowserManager",
                                        &record, sizeof(record)));
  {
    Session session;
    zorhost::restore_dialogs();
    EXPECT_EQ(restorer.calls, 1);
    EXPECT_TRUE(restorer.dialog.handle->open);
    EXPECT_EQ(restorer.dialog.handle->y, 40);
    EXPECT_EQ(restorer.dialog.handle->height, 300);
    EXPECT_EQ(session.events().at(0)["event"], "dialogOpen");
    gui()->dialog_close(restorer.dialog.handle);  // closed by the user's command: not brought back
  }
  EXPECT_FALSE(zorhost::ui::load_layout(200000286, 0)->open);
  zorhost::restore_dialogs();
  EXPECT_EQ(restorer.calls, 1);

  // A module restoring on its own gets the stored place; nothing stored, nothing restored.
  Dialog other;
  EXPECT_TRUE(gui()->dialog_restore(other.handle, 200000286, 0, nullptr));
  EXPECT_EQ(other.handle->x, 30);
  gui()->dialog_close(other.handle);
  EXPECT_FALSE(gui()->dialog_restore(other.handle, 4711, 0, nullptr));
  // A damaged file is said and ignored.
  std::ofstream(prefs / "layouts" / "200000286_0.json") << "{\"plugin\": 200000286}";
  EXPECT_TRUE(Contains(test_support::StderrOf([] { EXPECT_FALSE(zorhost::ui::load_layout(200000286, 0)); }),
                       "200000286_0.json: needs the integers"));

  zorhost::destroy_plugins();
}

// A module's list behind a tree view: nodes with a name and two drawn cells, walked and changed through
// the callback record the module hands over.
struct FakeList {
  struct Node {
    std::string name, size, date;
    bool selected = false;
    Node* next = nullptr;
    Node* child = nullptr;
  };
  std::vector<std::unique_ptr<Node>> nodes;
  Node* first = nullptr;
  HostGadget* tree = nullptr;
  std::vector<std::string> calls;
  std::function<void(FakeList&)> on_double_click = [](FakeList&) {};

  static constexpr int32_t kName = ZOR_FOUR_BYTE('t', 'r', 'e', 'e');
  static constexpr int32_t kSize = ZOR_FOUR_BYTE('s', 'i', 'z', 'e');
  static constexpr int32_t kDate = ZOR_FOUR_BYTE('m', 'o', 'd', 'i');

  // Siblings in order; the last may lead back to an earlier one.
  void fill(std::initializer_list<std::array<const char*, 3>> rows, int loop_to = -1) {
    nodes.clear();
    Node* last = nullptr;
    for (const auto& [name, size, date] : rows) {
      nodes.push_back(std::make_unique<Node>(Node{name, size, date}));
      (last ? last->next : first) = nodes.back().get();
      last = nodes.back().get();
    }
    if (loop_to >= 0) last->next = nodes[static_cast<size_t>(loop_to)].get();
  }
  Node* add_child(Node* parent, const char* name) {
    nodes.push_back(std::make_unique<Node>(Node{name, "", ""}));
    parent->child = nodes.back().get();
    return parent->child;
  }
  void hand_over() {
    static const HostTreeViewCallbacks callbacks = make_callbacks();
    ASSERT_TRUE(gui()->tree_view_set_root(tree, &nodes, &callbacks, this, nullptr));
    gui()->tree_view_refresh(tree);
  }

  static FakeList& of(void* functions) { return *static_cast<FakeList*>(functions); }
  static Node* node(void* n) { return static_cast<Node*>(n); }
  static void draw(const HostTreeViewCell* cell, const std::string& text) {
    Text shown(text);
    gui()->user_area_draw_text(cell->area, shown, cell->x, cell->y);
  }
  static HostTreeViewCallbacks make_callbacks() {
    HostTreeViewCallbacks c{};
    c.size = sizeof(c);
    c.get_first = [](void* f, void*, void*) -> void* { return of(f).first; };
    c.get_down = [](void*, void*, void*, void* n) -> void* { return node(n)->child; };
    c.get_next = [](void*, void*, void*, void* n) -> void* { return node(n)->next; };
    c.get_column_width = [](void*, void*, void*, void* n, int32_t column, HostUserArea* area) {
      Text text(column == kSize ? node(n)->size : node(n)->date);
      return gui()->user_area_text_width(area, text) + 4;
    };
    c.get_header_column_width = [](void*, void*, void*, int32_t, HostUserArea*) { return 40; };
    c.get_line_height = [](void*, void*, void*, void*, int32_t, HostUserArea* area) {
      return gui()->user_area_font_height(area);
    };
    c.draw_cell = [](void*, void*, void*, void* n, const HostTreeViewCell* cell) {
      if (cell->column == kSize) draw(cell, node(n)->size);
      if (cell->column == kDate && !node(n)->date.empty()) {  // day and time drawn one after the other
        draw(cell, node(n)->date.substr(0, 10));
        draw(cell, node(n)->date.substr(11));
      }
    };
    c.draw_header_column = [](void*, void*, void*, const HostTreeViewCell* cell) {
      draw(cell, cell->column == kName ? "Scene" : cell->column == kSize ? "Size" : "Modified");
    };
    c.is_selected = [](void*, void*, void*, void* n) { return node(n)->selected; };
    c.get_name = [](void*, void*, void*, void* n, HostString* name) {
      zorhost::strings_table()->set_text(name, node(n)->name.c_str(), -1, 0);
    };
    c.select = [](void* f, void*, void*, void* n, int32_t mode) {
      for (auto& each : of(f).nodes) each->selected = false;
      node(n)->selected = true;
      of(f).calls.push_back("select " + node(n)->name + " " + std::to_string(mode));
    };
    c.double_click = [](void* f, void*, void*, void* n, int32_t column) {
      of(f).calls.push_back("double " + node(n)->name + " " + std::to_string(column == kName));
      of(f).on_double_click(of(f));
      return true;
    };
    return c;
  }
};

void build_tree_dialog(Dialog& d, FakeList& list) {
  Text title("Browser");
  gui()->dialog_set_title(d.handle, title);
  list.tree = gui()->add_custom_gadget(d.handle, 10001, ZOR_GADGET_TREEVIEW, 63, 0, 0, nullptr);
  const int32_t ids[] = {FakeList::kName, FakeList::kSize, FakeList::kDate};
  const int32_t types[] = {ZOR_TREEVIEW_COLUMN_TREE, ZOR_TREEVIEW_COLUMN_USER, ZOR_TREEVIEW_COLUMN_USER};
  ASSERT_TRUE(gui()->tree_view_set_layout(list.tree, 3, ids, types));
}

TEST(HostGuiTreeView, RowsCellsSelectionAndDoubleClickGoThroughTheModulesCallbacks) {
  Session session(R"([{"act": {"title": "Browser", "treeSelect": 1}},
                      {"act": {"title": "Browser", "treeDoubleClick": 0}},
                      {"act": {"title": "Browser", "treeSelect": 2}}])");
  ASSERT_TRUE(session.started);
  FakeList list;
  list.fill({{{"a", "1024", "12.01.2024 10:00:00"}}, {{"b", "", ""}}, {{"c", "7", ""}}});
  list.add_child(list.first, "a1");
  // Double-clicking lists another folder from inside the callback, as a module does.
  list.on_double_click = [](FakeList& self) {
    self.fill({{{"x", "1", "01.02.2025 11:12:13"}}, {{"y", "2", ""}}});
    self.hand_over();
  };
  Dialog d;
  d.build = [&](Dialog& self) { build_tree_dialog(self, list); };
  d.init_values = [&](Dialog&) { list.hand_over(); };
  const std::string err = d.open(ZOR_DIALOG_ASYNC, 500, 300);

  EXPECT_EQ(list.calls, (std::vector<std::string>{"select a1 0", "double a 1"}));
  EXPECT_TRUE(
      Contains(err,
               "step 3: \"treeSelect\": dialog \"Browser\": tree view 10001 shows 2 row(s); there is no "
               "row 2; the script stops here"));
  EXPECT_TRUE(zorhost::ui_script_failed());
  EXPECT_TRUE(d.handle->open);

  EXPECT_EQ(session.events().at(0)["event"], "dialogOpen")
      << "a list walked while building is shown with its dialog";
  const auto trees = session.events("tree");
  ASSERT_EQ(trees.size(), 3u);
  EXPECT_EQ(trees[0]["columns"], (nlohmann::json{"Scene", "Size", "Modified"}));
  EXPECT_EQ(
      trees[0]["rows"],
      (nlohmann::json{{"a", "1024", "12.01.2024 10:00:00"}, {"a1", "", ""}, {"b", "", ""}, {"c", "7", ""}}))
      << "children follow their parent; cells are what the module drew";
  EXPECT_EQ(trees[0]["selected"], nlohmann::json::array());
  EXPECT_EQ(trees[1]["selected"], (nlohmann::json{1})) << "the selection read back after the click";

  EXPECT_EQ(list.tree->tree->widths[1], 40) << "the header is wider than every size";
  EXPECT_EQ(list.tree->tree->widths[2], 19 * zorhost::ui::kFontWidth + 4)
      << "a date is wider than its header";
  EXPECT_EQ(list.tree->tree->line_height, zorhost::ui::kFontHeight);
}

TEST(HostGuiTreeView, LoopingListIsCutAndTheImageCopyOutlivesTheModulesBitmap) {
  Session session;
  FakeList list;
  list.fill({{{"a", "", ""}}, {{"b", "", ""}}, {{"c", "", ""}}}, /*loop_to=*/0);
  HostGadget* button = nullptr;
  Dialog d;
  d.build = [&](Dialog& self) {
    build_tree_dialog(self, list);
    gui()->tab_group_begin_typed(self.handle, 10002, 63, ZOR_TAB_GROUP_TABS);
    gui()->group_begin(self.handle, 10003, 63, 1, 0, nullptr, 0);
    gui()->add_multi_line_edit_text(self.handle, 10004, 63, 0, 0, 0);
    gui()->group_end(self.handle);
    gui()->group_begin(self.handle, 10005, 63, 1, 0, nullptr, 0);
    button = gui()->add_custom_gadget(self.handle, 10006, ZOR_GADGET_BITMAPBUTTON, 63, 0, 0, nullptr);
    gui()->group_end(self.handle);
    gui()->group_end(self.handle);
  };
  d.open(ZOR_DIALOG_ASYNC, 500, 300);

  EXPECT_TRUE(Contains(test_support::StderrOf([&] { list.hand_over(); }),
                       "tree view 10001 of dialog \"Browser\": the list goes on past 100000 rows"));
  EXPECT_EQ(list.tree->tree->rows.size(), zorhost::ui::kTreeRowLimit);
  EXPECT_EQ(list.tree->tree->rows[3].texts[0], "a") << "round and round until the cut";

  HostBitmap* bitmap = zorhost::bitmaps_table()->alloc();
  zorhost::bitmaps_table()->init(bitmap, 32, 16, 24, 0);
  const uint8_t red[3] = {255, 0, 0};
  ASSERT_TRUE(zorhost::bitmaps_table()->set_row(bitmap, 5, 7, 1, red, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_TRUE(gui()->bitmap_button_set_image(button, bitmap));
  EXPECT_FALSE(gui()->bitmap_button_set_image(list.tree, bitmap)) << "not a bitmap button";
  zorhost::bitmaps_table()->free(bitmap);
  ASSERT_NE(button->image, nullptr);
  EXPECT_EQ(button->image->row(7)[5 * 3], 255) << "the button's copy is whole after the module freed its own";

  const auto events = session.events();
  const auto& gadgets = events.at(0)["gadgets"];
  EXPECT_EQ(gadgets[1]["kind"], "tabGroup");
  EXPECT_EQ(gadgets[1]["value"], 10003);
  EXPECT_EQ(gadgets[2]["kind"], "multiLineText");
  EXPECT_EQ(gadgets[3]["kind"], "bitmapButton");
  EXPECT_EQ(session.events("gadget").at(0)["value"], "32x16");
  EXPECT_EQ(session.events("tree").at(0)["cut"], true);
}

}  // namespace
