#include "gui/ui_session.h"

#include <cstdio>

#include "app/host_options.h"
#include "gui/dialog_model.h"
#include "gui/transcript.h"
#include "gui/ui_script.h"
#include "ui_server/ui_server.h"

namespace zorhost {
namespace {
ui::ScriptedDriver* g_scripted = nullptr;  // owned by the driver slot
}

bool start_ui_session(const HostOptions& options, std::string* error) {
  std::vector<ui::ScriptStep> steps;
  const bool have_script = !options.ui_script.empty();
  if (have_script && !ui::load_ui_script(options.ui_script, &steps, error)) return false;
  if (!options.transcript.empty() && !transcript::open(options.transcript, error)) return false;
  if (!options.ui_server.empty()) {
    ServerAddress address;
    std::string url;
    if (!parse_server_address(options.ui_server, &address, error) || !start_ui_server(address, &url, error)) {
      transcript::close();
      return false;
    }
    // The first line of stdout, for a script that starts zorhost and opens the page.
    std::printf("%s\n", url.c_str());
    std::fflush(stdout);
    std::fprintf(stderr,
                 "zorhost: the dialogs are in the browser at %s (the page's Quit or Ctrl-C ends zorhost)\n",
                 url.c_str());
    return true;
  }
  auto driver =
      std::make_unique<ui::ScriptedDriver>(std::move(steps), have_script, options.ui_script.string());
  g_scripted = driver.get();
  ui::set_driver(std::move(driver));
  return true;
}

bool ui_script_failed() {
  return g_scripted && g_scripted->failed();
}

void end_ui_session() {
  ui::close_all_dialogs();
  ui::discard_pending_events();
  stop_ui_server();
  if (g_scripted && !g_scripted->failed() && g_scripted->unused_steps() > 0)
    std::fprintf(stderr, "zorhost: UI script %s: %zu step(s) were not used\n",
                 g_scripted->file_name().c_str(), g_scripted->unused_steps());
  g_scripted = nullptr;
  ui::set_driver(nullptr);
  transcript::close();
}

}  // namespace zorhost
