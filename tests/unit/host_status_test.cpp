// The status bar as the scripted driver shows it on stderr: redrawn in place on a terminal, nothing
// anywhere else (the console carries the progress), and in a headless run the last text stays.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/host_options.h"
#include "app/host_table.h"
#include "gui/status_line.h"
#include "gui/ui_driver.h"
#include "host_test_support.h"
#include "strings/string_impl.h"

namespace {

// What a StatusLine writes for a sequence of texts; "<console>" stands for a console line printed.
std::string shown(bool terminal, bool headless, std::initializer_list<std::string> texts) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  {
    zorhost::ui::StatusLine line(out, terminal);
    for (const std::string& text : texts)
      text == "<console>" ? line.erase_for_console() : line.show(text, headless);
  }
  std::fclose(out);
  std::string result(buffer, size);
  std::free(buffer);
  return result;
}

// A driver that shows the status somewhere of its own.
class StatusRecorder : public zorhost::ui::Driver {
 public:
  explicit StatusRecorder(std::string& log) : log_(log) {}
  bool can_open_modal() override { return false; }
  void run_modal(HostDialog*) override {}
  void dialog_shown(HostDialog*) override {}
  void idle() override {}
  std::optional<std::string> select_file(int32_t, const std::string&) override { return std::nullopt; }
  int32_t message_box(const std::string&, int32_t) override { return 0; }
  void show_progress(int32_t percent) override { log_ += std::to_string(percent) + "% "; }
  void show_status(const std::string& text) override { log_ += "'" + text + "' "; }

 private:
  std::string& log_;
};

}  // namespace

TEST(HostStatus, OnlyATerminalShowsTheStatusAndAConsoleLineStartsOnAFreshLine) {
  const std::initializer_list<std::string> run = {"[5%]", "Scene 1", "<console>", "", "Scene 2", "", ""};
  // a log or a pipe: nothing, whatever the console prints
  EXPECT_EQ(shown(false, true, run), "");
  EXPECT_EQ(shown(false, false, run), "");
  // a terminal: one line in place; a headless run leaves its last text standing when it is cleared
  EXPECT_EQ(shown(true, true, {"[5%]", "Scene 1", "", ""}), "\r\033[K[5%]\r\033[KScene 1\n\r\033[K");
  EXPECT_EQ(shown(true, false, {"Scene 1", ""}), "\r\033[KScene 1\r\033[K");
  // a console line first erases the status drawn in place; with none drawn it writes nothing
  EXPECT_EQ(shown(true, true, {"<console>", "Scene 1", "<console>", "", "Scene 2"}),
            "\r\033[KScene 1\r\033[K\r\033[K\r\033[KScene 2");
}

// Headless, a redirected stderr shows nothing of the status; another driver shows it instead.
TEST(HostStatus, ARedirectedStderrShowsNoStatusAndAnotherDriverShowsIt) {
  const HostGuiTable& gui = *zorhost::gui_table();
  const test_support::HostText text("[2/3 - 66%] Comparing file b.zor...");
  const auto show = [&] {
    gui.status_set_percent(66);
    gui.status_set_text(text);
    gui.status_clear();
  };
  zorhost::options().headless = true;
  gui.status_clear();  // whatever an earlier test left
  EXPECT_EQ(test_support::StderrOf(show), "");
  zorhost::options().headless = false;

  std::string log;
  zorhost::ui::set_driver(std::make_unique<StatusRecorder>(log));
  EXPECT_EQ(test_support::StderrOf(show), "");
  zorhost::ui::set_driver(nullptr);
  EXPECT_EQ(log, "66% '[2/3 - 66%] Comparing file b.zor...' '' ");
}
