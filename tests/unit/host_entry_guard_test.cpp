// Every operation of every family is filled (a null slot would crash a module that calls it), and no C++
// exception may cross into a module: each answers its fallback and says "internal error" once on stderr,
// under the label of its own table slot.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "app/entry_guard.h"
#include "app/host_table.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

std::string failure_line(const std::string& label, const std::string& what) {
  return "zorhost: internal error in " + label + ": " + what + "\n";
}

// Fallbacks other than zero, false or null.
const std::map<std::string, int64_t> kFallbacks = {
    {"strings.find", -1},
    {"containers.value_type", ZOR_VALUE_NONE},
    {"containers.id_at", -1},
    {"files.fn_is_empty", 1},
    {"files.file_length", -1},
    {"files.file_position", -1},
    {"bitmaps.init", ZOR_IMAGE_NO_MEMORY},
    {"bitmaps.load", ZOR_IMAGE_WRONG_FORMAT},
    {"bitmaps.save", ZOR_IMAGE_NOT_EXISTING},
    {"bitmaps.init_with", ZOR_IMAGE_WRONG_FORMAT},
    {"render.render_document", ZOR_RENDER_FAILED},
    {"threads.test_break", 1},
    {"threads.cpu_count", 1},
};

// Calls every slot it is shown with null, zero and false arguments while the guard is told to fail the
// body: a slot that answers without the guard, or under another label, shows on stderr.
template <class Table>
class FamilyCheck {
 public:
  FamilyCheck(std::string family, const Table* table) : family_(std::move(family)), table_(*table) {
    EXPECT_EQ(table_.size, static_cast<int32_t>(sizeof(Table))) << family_ << ": the size field must say it";
  }
  ~FamilyCheck() {
    // every family table is a 32-bit size (padded to a pointer when operations follow) and its operations
    EXPECT_EQ(checked_, (sizeof(Table) + sizeof(void*) - 1) / sizeof(void*) - 1)
        << family_ << ": an operation is not checked";
  }
  const Table& table() const { return table_; }

  template <class R, class... Args>
  void check(const char* operation, R (*slot)(Args...)) {
    ++checked_;
    const std::string label = family_ + "." + operation;
    ASSERT_NE(slot, nullptr) << label << " is not filled";
    CaptureStderr();
    zorhost::fail_next_guarded_body();
    if constexpr (std::is_void_v<R>) {
      slot(Args{}...);
    } else {
      const R answer = slot(Args{}...);
      if constexpr (std::is_pointer_v<R>) {
        EXPECT_EQ(answer, nullptr) << label;
      } else {
        const auto fallback = kFallbacks.find(label);
        EXPECT_EQ(static_cast<int64_t>(answer), fallback == kFallbacks.end() ? 0 : fallback->second) << label;
      }
    }
    const std::string said = GetCapturedStderr();
    const bool unguarded = zorhost::guard_detail::g_fail_next.exchange(false);
    EXPECT_FALSE(unguarded) << label << " answered without going through the guard";
    EXPECT_EQ(said, failure_line(label, "failure asked for by a test"));
  }

 private:
  std::string family_;
  const Table& table_;
  size_t checked_ = 0;
};

// CHECK_SLOTS(check, a, b, c) checks the slots a, b and c of check's table.
#define GUARD_PARENS ()
#define GUARD_EXPAND(...) GUARD_EXPAND3(GUARD_EXPAND3(GUARD_EXPAND3(GUARD_EXPAND3(__VA_ARGS__))))
#define GUARD_EXPAND3(...) GUARD_EXPAND2(GUARD_EXPAND2(GUARD_EXPAND2(GUARD_EXPAND2(__VA_ARGS__))))
#define GUARD_EXPAND2(...) GUARD_EXPAND1(GUARD_EXPAND1(GUARD_EXPAND1(GUARD_EXPAND1(__VA_ARGS__))))
#define GUARD_EXPAND1(...) __VA_ARGS__
#define CHECK_SLOTS(check, ...) __VA_OPT__(GUARD_EXPAND(CHECK_SLOTS_HELPER(check, __VA_ARGS__)))
#define CHECK_SLOTS_HELPER(check, slot, ...) \
  check.check(#slot, check.table().slot);    \
  __VA_OPT__(CHECK_SLOTS_AGAIN GUARD_PARENS(check, __VA_ARGS__))
#define CHECK_SLOTS_AGAIN() CHECK_SLOTS_HELPER
// CHECK_FAMILY(name, a, b) checks the operations a and b of table.name, which must be all it has.
#define CHECK_FAMILY(name, ...)           \
  {                                       \
    FamilyCheck check(#name, table.name); \
    CHECK_SLOTS(check, __VA_ARGS__);      \
  }

}  // namespace

TEST(EntryGuard, AnExceptionBecomesTheFallbackAndOneInternalErrorLine) {
  CaptureStderr();
  EXPECT_EQ(zorhost::guarded("strings.find", -1, []() -> int { throw std::runtime_error("broken"); }), -1);
  EXPECT_EQ(zorhost::guarded("gui.dialog_open", 5, []() -> int { throw 42; }), 5);
  bool ran = false;
  zorhost::guarded_void("gui.console_print", [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(GetCapturedStderr(),
            failure_line("strings.find", "broken") + failure_line("gui.dialog_open", "unknown exception"));

  // a real one, thrown by a module's thread body that the host runs at once
  const HostThreadTable& threads = *zorhost::threads_table();
  HostThread* thread =
      threads.alloc([](void*) { throw std::logic_error("module bug"); }, nullptr, nullptr, nullptr);
  ASSERT_NE(thread, nullptr);
  CaptureStderr();
  EXPECT_FALSE(threads.start(thread, ZOR_THREAD_SYNC, 0));
  EXPECT_EQ(GetCapturedStderr(), failure_line("threads.start", "module bug"));
  threads.free(thread);
}

TEST(EntryGuard, EveryOperationOfEveryFamilyIsFilledAndGuardedUnderItsOwnLabel) {
  const HostFunctionTable table = zorhost::make_host_table(16050);
  EXPECT_EQ(table.version, 16050);
  EXPECT_EQ(table.size, static_cast<int32_t>(sizeof(HostFunctionTable)));
  CHECK_FAMILY(strings, alloc, free, copy, assign, set_text, get_text, get_text_length, length, char_at,
               append, append_text, sub, find, compare, equal, from_int, from_float, to_int, to_float,
               line_end);
  CHECK_FAMILY(memory, alloc, free);
  CHECK_FAMILY(files, fn_alloc, fn_free, fn_copy, fn_assign, fn_set_string, fn_get_string, fn_join,
               fn_directory, fn_file, fn_check_suffix, fn_set_suffix, fn_equal, fn_is_empty, exists,
               create_folder, delete_file, startup_folder, folder_by_id, browse_open, browse_next,
               browse_name, browse_is_folder, browse_size, browse_time, browse_free, file_alloc, file_free,
               file_open, file_close, file_length, file_position, file_seek, file_read, file_write,
               browse_is_link, folder_identity, fn_compare, fn_set_memory_read, identify, identify_class,
               recognises, lock_take, lock_free);
  CHECK_FAMILY(containers, alloc, free, copy, assign, get_id, set_id, value_type, remove, count, id_at,
               get_bool, get_int32, get_int64, get_float, get_time, get_filename, get_string, get_container,
               set_bool, set_int32, set_int64, set_float, set_time, set_filename, set_string, set_container,
               get_plugin_settings, set_plugin_settings, copy_global_settings, restore_global_settings,
               memory_statistics);
  CHECK_FAMILY(documents, load, free, active_render_data, render_data_container, get_parameter_int,
               set_parameter_int, first_video_post, next_video_post, video_post_type, video_post_flags,
               set_video_post_flags, video_post_container, set_video_post_parameter_int, fps, min_time,
               set_min_time);
  CHECK_FAMILY(render, render_document);
  CHECK_FAMILY(bitmaps, alloc, free, init, width, height, depth, load, save, get_row, set_row, init_with);
  CHECK_FAMILY(gui, console_print, message_box, select_file, status_set_percent, status_set_text,
               status_clear, set_mouse_pointer, special_event, dialog_alloc, dialog_free, dialog_object,
               dialog_set_plugin, dialog_open, dialog_close, dialog_check_close, dialog_restore,
               dialog_set_title, dialog_send_result, group_begin, group_end, tab_group_begin, add_static_text,
               add_checkbox, add_button, add_edit_text, add_edit_number, add_combo_box, add_child,
               add_custom_gadget, add_user_area, attach_user_area, add_dialog_buttons, set_bool, set_int32,
               set_float, set_string, get_bool, get_int32, get_float, get_string, enable, gadget_set_data,
               gadget_get_data, user_area_alloc, user_area_free, user_area_object, user_area_set_min_size,
               user_area_get_size, user_area_set_pen, user_area_fill, user_area_redraw, send_core_message,
               tree_view_set_root, tree_view_set_layout, tree_view_refresh, bitmap_button_set_image,
               tab_group_begin_typed, add_multi_line_edit_text, user_area_set_text_color, user_area_draw_text,
               user_area_text_width, user_area_font_height, user_area_draw_line);
  CHECK_FAMILY(threads, alloc, free, start, end, is_running, test_break, lock, unlock, run_mode_flags,
               cpu_count);
  CHECK_FAMILY(plugins, register_plugin, resource_open, resource_free);
  CHECK_FAMILY(scripts, library_find, library_table, evaluator_alloc, evaluator_free, evaluate_int,
               evaluate_float, collection_first, collection_next, item_identifier, item_data, item_write);
  CHECK_FAMILY(general, debug_output, timer_ms, cleanup, interaction_done, check);
}
