// The browser driver: shows the dialog model in the page that the UI server serves and acts for the
// person using it. The page's requests arrive on the server's threads; everything that touches the model
// is handed to the main thread as work and done there, between the module's own messages, while the
// main thread waits in a dialog, a choice or the session's idle loop. Message boxes, the console and the
// status come from any thread and are kept here under a lock.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "gui/ui_driver.h"
#include "gui/user_actions.h"

namespace zorhost::ui {

// A page's action on a dialog ({"do": "set", "id": 1000, "value": "..."}, see docs/ui-server.md) as the
// user action it stands for; nothing, with the reason, when it is not one.
std::optional<UserAction> page_user_action(const nlohmann::json& request, std::string* problem);

// What a request asks of the main thread and the answer it waits for.
struct MainThreadWork {
  std::function<nlohmann::json()> run;
  std::promise<nlohmann::json> answer;
  bool answered = false;
};

class BrowserDriver : public Driver {
 public:
  BrowserDriver();
  ~BrowserDriver() override;

  // Driver (main thread unless said otherwise)
  bool can_open_modal() override { return true; }
  void run_modal(HostDialog* dialog) override;
  void dialog_shown(HostDialog* dialog) override;
  void idle() override;
  std::optional<std::string> select_file(int32_t kind, const std::string& title) override;
  int32_t message_box(const std::string& text, int32_t type) override;  // any thread
  void show_progress(int32_t percent) override;                         // any thread
  void show_status(const std::string& text) override;                   // any thread
  void console(const std::string& line) override;                       // any thread

  // The session's idle loop: does the page's work until it or a signal asks zorhost to end.
  void serve_until_quit();

  // Any thread: the page's requests.
  // Runs on the main thread and answers what it answered; an error answer when the session ends first.
  nlohmann::json on_main_thread(std::function<nlohmann::json()> run);
  nlohmann::json act(const nlohmann::json& action);  // POST /action
  // The whole state as the page reads it, with its version.
  std::pair<uint64_t, std::string> state();
  // Waits up to timeout_ms for a state newer than `seen`; answers the version now.
  uint64_t wait_for_change(uint64_t seen, int32_t timeout_ms);
  uint64_t version();
  void quit();                 // also async-signal-safe through request_quit
  static void request_quit();  // from a signal handler
  // zorhost ends: the page is told, queued work is refused, every wait returns.
  void end();
  bool ended();

 private:
  void pump(int32_t timeout_ms);  // main thread: one round of work, events and a state refresh
  void answer_current_early();    // main thread: a nested wait begins; the request that led here is done
  void refresh_dialogs();         // main thread
  void changed();                 // bumps the version and wakes the waiting streams (lock held)
  bool quitting();
  nlohmann::json perform_on_main(const nlohmann::json& action);

  std::mutex mutex_;
  std::condition_variable work_ready_;     // the main thread waits here
  std::condition_variable state_changed_;  // the event streams wait here
  std::deque<std::shared_ptr<MainThreadWork>> work_;
  std::shared_ptr<MainThreadWork> current_;  // main thread only
  uint64_t version_ = 1;
  std::string dialogs_text_ = "[]";
  std::string running_;
  std::deque<std::string> console_;
  uint64_t console_total_ = 0;
  std::string status_text_;
  std::optional<int32_t> status_percent_;
  struct Message {
    uint64_t id = 0;
    std::string text;
    int32_t type = 0;
    bool acknowledged = false;
  };
  std::deque<Message> messages_;
  uint64_t next_message_ = 0;
  struct Choice {
    uint64_t id = 0;
    int32_t kind = 0;
    std::string title;
    bool answered = false;
    std::optional<std::string> path;
  };
  std::optional<Choice> chooser_;
  uint64_t next_choice_ = 0;
  std::condition_variable answered_;  // message boxes and choices wait here
  bool ended_ = false;
  std::thread::id main_thread_;
};

}  // namespace zorhost::ui
