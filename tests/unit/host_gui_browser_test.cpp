// The host side of a non-modal browser dialog: committed text edits, tab pages, the stored layout and its
// restore, and (below) the tree view driven through a list's callbacks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gui/dialog_layouts.h"
#include "gui/dialog_model.h"
#include "host_gui_fake_module.h"
#include "plugins/plugin_registry.h"

namespace {

using fake::Dialog;
using fake::gui;
using fake::Session;
using fake::Text;

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
  auto plain = d.on_message;
  d.on_message = [&](Dialog& self, const fake::Message& m) {
    if (m.code == ZOR_MSG_COMMAND && m.gadget == 11) gui()->set_int32(self.handle, 20, 21);
    return plain(self, m);
  };
  testing::internal::CaptureStderr();
  ASSERT_TRUE(gui()->dialog_open(d.handle, ZOR_DIALOG_ASYNC, -1, -1, 500, 300));
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_TRUE(d.handle->open) << "a non-modal dialog stays open after its steps";
  EXPECT_EQ(d.commands(), (std::vector<int32_t>{10, 20, 11}));
  const fake::Message& edit = d.received[2];
  ASSERT_EQ(edit.gadget, 10);
  EXPECT_FALSE(edit.editing) << "the user's text is committed";
  EXPECT_EQ(edit.text, "zip:///a.zip");
  EXPECT_TRUE(d.received[3].editing) << "a tab is no text edit";

  EXPECT_NE(err.find("step 2: dialog \"Browser\": tab group 20 has no page 24 (its pages: 21, 23)"),
            std::string::npos)
      << err;
  EXPECT_TRUE(zorhost::ui_script_failed());

  const auto events = session.events();
  ASSERT_GE(events.size(), 2u);
  const auto& gadgets = events[0]["gadgets"];
  ASSERT_EQ(gadgets.size(), 3u);
  EXPECT_EQ(
      gadgets[2],
      (nlohmann::json{{"id", 20}, {"kind", "tabGroup"}, {"text", ""}, {"value", 21}, {"enabled", true}}))
      << "the first page is active until one is chosen";
  EXPECT_EQ(events[1], (nlohmann::json{{"event", "gadget"}, {"title", "Browser"}, {"id", 20}, {"value", 21}}))
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
  const auto saved_prefs = zorhost::options().prefs_dir;
  zorhost::options().prefs_dir = prefs;
  const auto stored = prefs / "layouts" / "200000286_0.json";
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
  std::ofstream(stored) << "{\"plugin\": 200000286}";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(zorhost::ui::load_layout(200000286, 0).has_value());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("200000286_0.json: needs the integers"),
            std::string::npos);

  zorhost::destroy_plugins();
  zorhost::options().prefs_dir = saved_prefs;
}

}  // namespace
