#include "ui_server/browser_driver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/system_interface.h"
#include "gui/dialog_model.h"
#include "gui/transcript.h"
#include "gui/ui_script.h"
#include "gui/user_actions.h"
#include "plugins/plugin_registry.h"
#include "threads/thread_impl.h"
#include "ui_server/dialog_view.h"

namespace zorhost::ui {
namespace {

using nlohmann::json;

// Set by a signal handler: only a lock-free flag may be touched there; every wait looks at it often.
std::atomic<bool> g_quit_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr size_t kConsoleKept = 500;
constexpr int32_t kIdleWaitMs = 50;

std::string json_text(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json refused(int status, const std::string& error) {
  return {{"ok", false}, {"status", status}, {"error", error}};
}

const char* choice_kind(int32_t kind) {
  switch (kind) {
    case ZOR_SELECT_SAVE:
      return "save";
    case ZOR_SELECT_FOLDER:
      return "folder";
    default:
      return "load";
  }
}

// A dialog behind a modal one cannot be reached, as on a screen.
const HostDialog* modal_in_front_of(const HostDialog* dialog) {
  const std::vector<HostDialog*> open = open_dialogs();
  auto at = std::find(open.begin(), open.end(), dialog);
  for (auto it = at == open.end() ? open.begin() : at + 1; it != open.end(); ++it)
    if ((*it)->modal) return *it;
  return nullptr;
}

}  // namespace

std::optional<UserAction> page_user_action(const json& request, std::string* problem) {
  const std::string verb = request.value("do", "");
  UserAction action;
  if (verb == "set") {
    action.kind = UserAction::Kind::Set;
    if (!request.contains("value") || !to_gadget_value(request["value"], &action.value)) {
      *problem = "\"value\" must be a text, true/false or a number";
      return std::nullopt;
    }
  } else if (verb == "click") {
    action.kind = UserAction::Kind::Click;
  } else if (verb == "press") {
    action.kind = UserAction::Kind::Press;
    const std::string button = request.value("button", "");
    if (button != "ok" && button != "cancel") {
      *problem = "\"button\" must be \"ok\" or \"cancel\"";
      return std::nullopt;
    }
    action.button = button == "ok" ? CloseReason::Ok : CloseReason::Cancel;
  } else if (verb == "close") {
    action.kind = UserAction::Kind::Close;
  } else if (verb == "treeSelect" || verb == "treeDoubleClick") {
    action.kind = verb == "treeSelect" ? UserAction::Kind::TreeSelect : UserAction::Kind::TreeDoubleClick;
    if (!to_int32(request.value("row", json()), &action.row) || action.row < 0) {
      *problem = "\"row\" must be a row number from 0";
      return std::nullopt;
    }
  } else {
    *problem = "unknown action \"" + verb + "\"";
    return std::nullopt;
  }
  if (action.kind == UserAction::Kind::Set || action.kind == UserAction::Kind::Click) {
    if (!to_int32(request.value("id", json()), &action.id)) {
      *problem = "\"id\" must be a gadget id";
      return std::nullopt;
    }
  }
  return action;
}

BrowserDriver::BrowserDriver() : main_thread_(std::this_thread::get_id()) {
  g_quit_requested = false;
}

BrowserDriver::~BrowserDriver() {
  end();
}

void BrowserDriver::end() {
  std::deque<std::shared_ptr<MainThreadWork>> left;
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    ended_ = true;
    left.swap(work_);
    changed();
  }
  for (const auto& work : left) {
    if (!work->answered) work->answer.set_value(refused(409, "zorhost has ended"));
    work->answered = true;
  }
  answered_.notify_all();
  work_ready_.notify_all();
}

void BrowserDriver::request_quit() {
  g_quit_requested = true;
}

bool BrowserDriver::quitting() {
  return g_quit_requested.load();
}

void BrowserDriver::quit() {
  g_quit_requested = true;
  work_ready_.notify_all();
  answered_.notify_all();
}

void BrowserDriver::changed() {
  ++version_;
  state_changed_.notify_all();
}

bool BrowserDriver::ended() {
  std::lock_guard lock(mutex_);
  return ended_;
}

uint64_t BrowserDriver::version() {
  std::lock_guard lock(mutex_);
  return version_;
}

void BrowserDriver::refresh_dialogs() {
  std::string dialogs = json_text(dialogs_view());
  const std::string& running = running_command();
  std::lock_guard lock(mutex_);
  if (dialogs == dialogs_text_ && running == running_) return;
  dialogs_text_ = std::move(dialogs);
  running_ = running;
  changed();
}

void BrowserDriver::answer_current_early() {
  if (!current_ || current_->answered) return;
  refresh_dialogs();
  current_->answer.set_value({{"ok", true}, {"version", version()}});
  current_->answered = true;
}

void BrowserDriver::pump(int32_t timeout_ms) {
  std::shared_ptr<MainThreadWork> work;
  {
    std::unique_lock lock(mutex_);
    // Workers post their progress to the model's own queue: while one runs, look at it often.
    if (work_.empty() && running_module_threads() > 0) timeout_ms = std::min(timeout_ms, 10);
    if (work_.empty() && !quitting() && !wait_for_event(0))
      work_ready_.wait_for(lock, std::chrono::milliseconds(timeout_ms));
    if (!work_.empty()) {
      work = work_.front();
      work_.pop_front();
    }
  }
  if (work) {
    std::shared_ptr<MainThreadWork> outer = current_;
    current_ = work;
    json answer;
    try {
      answer = work->run();
    } catch (const std::exception& e) {  // the page's request fails, not the module's run around it
      answer = refused(500, std::string("zorhost: internal error: ") + e.what());
    }
    if (!work->answered) {
      refresh_dialogs();
      answer["version"] = version();
      work->answer.set_value(std::move(answer));
      work->answered = true;
    }
    current_ = outer;
  }
  deliver_pending_events();
  refresh_dialogs();
}

void BrowserDriver::run_modal(HostDialog* dialog) {
  answer_current_early();
  while (is_live(dialog) && dialog->open) {
    if (quitting()) {
      force_close(dialog, CloseReason::Shutdown);
      break;
    }
    pump(kIdleWaitMs);
  }
  refresh_dialogs();
}

void BrowserDriver::dialog_shown(HostDialog*) {
  refresh_dialogs();
}

void BrowserDriver::idle() {
  refresh_dialogs();
}

void BrowserDriver::serve_until_quit() {
  while (!quitting()) pump(kIdleWaitMs);
}

std::optional<std::string> BrowserDriver::select_file(int32_t kind, const std::string& title) {
  answer_current_early();
  uint64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    id = ++next_choice_;
    chooser_ = Choice{id, kind, title, false, std::nullopt};
    changed();
  }
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (chooser_->answered) break;
    }
    if (quitting()) break;
    pump(kIdleWaitMs);
  }
  std::lock_guard lock(mutex_);
  // The choice is modal: no action reaches the model while it waits (perform_on_main), so no other
  // choice can have taken its place.
  std::optional<std::string> path = chooser_->answered ? chooser_->path : std::nullopt;
  chooser_.reset();
  changed();
  return path;
}

int32_t BrowserDriver::message_box(const std::string& text, int32_t type) {
  std::fprintf(stderr, "MessageBox: %s\n", text.c_str());
  std::fflush(stderr);
  if (std::this_thread::get_id() == main_thread_) answer_current_early();
  std::unique_lock lock(mutex_);
  const uint64_t id = ++next_message_;
  messages_.push_back({id, text, type, false});
  changed();
  const auto gone = [&] {
    return std::none_of(messages_.begin(), messages_.end(), [&](const Message& m) { return m.id == id; });
  };
  // The box is modal: nothing else happens on this thread until it is read.
  while (!gone() && !ended_ && !quitting()) answered_.wait_for(lock, std::chrono::milliseconds(100));
  const bool read = gone();
  if (!read) {
    std::erase_if(messages_, [&](const Message& m) { return m.id == id; });
    changed();
  }
  lock.unlock();
  json event{{"event", "message"}, {"text", text}};
  if (read) event["acknowledged"] = true;
  transcript::record(event);
  return 1;  // acknowledged: OK, or Yes
}

void BrowserDriver::show_progress(int32_t percent) {
  Driver::show_progress(percent);
  std::lock_guard lock(mutex_);
  status_percent_ = percent;
  changed();
}

void BrowserDriver::show_status(const std::string& text) {
  Driver::show_status(text);
  std::lock_guard lock(mutex_);
  status_text_ = text;
  if (text.empty()) status_percent_.reset();
  changed();
}

void BrowserDriver::console(const std::string& line) {
  std::lock_guard lock(mutex_);
  console_.push_back(line);
  if (console_.size() > kConsoleKept) console_.pop_front();
  ++console_total_;
  changed();
}

std::pair<uint64_t, std::string> BrowserDriver::state() {
  json commands = json::array();
  for (const RegisteredCommand& command : registered_commands())
    commands.push_back({{"id", command.id}, {"name", command.name}});
  // A module's tools behind a switch that is off are missing from the menu: the page says which --set.
  const std::vector<std::string> switched_off = module_switches_off();
  std::lock_guard lock(mutex_);
  json messages = json::array();
  for (const Message& message : messages_)
    messages.push_back({{"id", message.id}, {"text", message.text}, {"type", message.type}});
  json chooser = nullptr;
  if (chooser_ && !chooser_->answered)
    chooser = {{"id", chooser_->id}, {"kind", choice_kind(chooser_->kind)}, {"title", chooser_->title}};
  json state{
      {"version", version_},
      {"ended", ended_},
      {"commands", std::move(commands)},
      {"switchedOff", switched_off},
      {"running", running_},
      {"console", {{"total", console_total_}, {"lines", console_}}},
      {"status",
       {{"text", status_text_}, {"percent", status_percent_ ? json(*status_percent_) : json(nullptr)}}},
      {"messages", std::move(messages)},
      {"chooser", std::move(chooser)}};
  std::string text = json_text(state);
  text.pop_back();  // the dialogs are kept as text already: spliced in, not parsed again
  text += ",\"dialogs\":" + dialogs_text_ + "}";
  return {version_, std::move(text)};
}

uint64_t BrowserDriver::wait_for_change(uint64_t seen, int32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  state_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                          [&] { return version_ != seen || ended_; });
  return version_;
}

json BrowserDriver::on_main_thread(std::function<json()> run) {
  auto work = std::make_shared<MainThreadWork>();
  work->run = std::move(run);
  std::future<json> answer = work->answer.get_future();
  {
    std::lock_guard lock(mutex_);
    if (ended_) return refused(409, "zorhost has ended");
    work_.push_back(work);
  }
  work_ready_.notify_all();
  return answer.get();
}

json BrowserDriver::act(const json& request) {
  if (!request.is_object() || !request.contains("do") || !request["do"].is_string())
    return refused(400, "an action is a JSON object with \"do\"");
  const std::string verb = request["do"].get<std::string>();
  if (verb == "quit") {
    quit();
    return {{"ok", true}, {"version", version()}};
  }
  if (verb == "message" || verb == "choose") {
    const json& id = request.value("id", json());
    if (!id.is_number_unsigned()) return refused(400, "\"id\" must be the number the state gives");
    const uint64_t wanted = id.get<uint64_t>();
    std::lock_guard lock(mutex_);
    if (verb == "message") {
      if (!std::erase_if(messages_, [&](const Message& m) { return m.id == wanted; }))
        return refused(409, "no message box " + std::to_string(wanted) + " is waiting");
    } else {
      if (!chooser_ || chooser_->id != wanted || chooser_->answered)
        return refused(409, "no choice " + std::to_string(wanted) + " is waiting");
      const json& path = request.value("path", json());
      if (!path.is_null() && !path.is_string()) return refused(400, "\"path\" must be a path or null");
      chooser_->answered = true;
      if (path.is_string()) chooser_->path = path.get<std::string>();
    }
    changed();
    answered_.notify_all();
    work_ready_.notify_all();
    return {{"ok", true}, {"version", version_}};
  }
  return on_main_thread([this, request] { return perform_on_main(request); });
}

json BrowserDriver::perform_on_main(const json& request) {
  const std::string verb = request["do"].get<std::string>();
  {
    std::lock_guard lock(mutex_);
    if (chooser_) return refused(409, "a file choice is waiting: answer it first");
  }
  if (verb == "command") {
    for (HostDialog* dialog : open_dialogs())
      if (dialog->modal) return refused(409, dialog_name(*dialog) + " is open: close it first");
    for (const RegisteredCommand& command : registered_commands()) {
      const bool named = request.value("name", json()) == command.name;
      const bool numbered = request.value("id", json()) == command.id;
      if (!named && !numbered) continue;
      execute_commands({std::to_string(command.id)});
      return {{"ok", true}};
    }
    return refused(409, "no command " + json_text(request.value("name", request.value("id", json()))) +
                            " is registered");
  }
  std::string problem;
  const std::optional<UserAction> action = page_user_action(request, &problem);
  if (!action) return refused(400, problem);
  const json& serial = request.value("dialog", json());
  HostDialog* dialog = serial.is_number_unsigned() ? find_open_dialog(serial.get<uint64_t>()) : nullptr;
  if (!dialog) return refused(409, "no dialog " + json_text(serial) + " is open");
  if (const HostDialog* front = modal_in_front_of(dialog))
    return refused(409, dialog_name(*dialog) + " is behind " + dialog_name(*front));
  problem = perform(dialog, *action);
  if (!problem.empty()) return refused(409, dialog_name(*dialog) + ": " + problem);
  return {{"ok", true}};
}

}  // namespace zorhost::ui
