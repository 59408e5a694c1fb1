// Programs the end-to-end tests start: zorhost with the real module, relkit-report, relkit-crashcheck
// and the outside checkers. An argument vector, never a shell line, so no path needs quoting.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/text_files.h"

extern char** environ;

// every end-to-end test speaks of paths and JSON
namespace fs = std::filesystem;
using json = nlohmann::json;

namespace e2e {

struct Command {
  std::vector<std::string> args = {};  // the program (a path, or a name looked up on PATH) and its arguments
  std::vector<std::string> env = {};   // NAME=value entries that replace or join the test's environment
  rlim_t file_limit = 0;               // the largest file the program may write, in bytes; 0: no limit
  bool ignore_file_limit_signal = false;  // as a shell's `trap '' XFSZ` would
  int timeout_seconds = 300;              // then the program is killed
};

struct Outcome {
  int status = -1;  // the exit status, or 128 + the signal that ended the program
  int signal = 0;   // that signal; 0 when the program exited
  std::string out;
  std::string err;
  long peak_kilobytes = 0;  // the largest resident size of the program and what it waited for

  bool Said(const std::string& text) const { return Contains(out, text); }
  bool Complained(const std::string& text) const { return Contains(err, text); }
};

namespace detail {

// the test's environment with these NAME=value entries in place of the same names
inline std::vector<std::string> Environment(const std::vector<std::string>& changes) {
  std::vector<std::string> entries = changes;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(changes.begin(), changes.end(),
                     [&](const std::string& c) { return c.starts_with(name); }))
      entries.push_back(entry);
  }
  return entries;
}

inline std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Forks and runs the command with its standard output and error on the two descriptors. Everything the
// child needs is made before the fork: a test may have threads running.
inline pid_t Fork(Command command, int out, int err) {
  std::vector<std::string> env = Environment(command.env);
  std::vector<char*> argv = Pointers(command.args), envp = Pointers(env);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ::dup2(input, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  if (command.file_limit > 0) {
    const rlimit limit{command.file_limit, command.file_limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (command.ignore_file_limit_signal) ::signal(SIGXFSZ, SIG_IGN);
  ::execvpe(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

}  // namespace detail

// Runs the command to its end and collects what it said through pipes, so that a file-size limit on the
// program does not cut that.
inline Outcome Run(const Command& command) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return {};
  const pid_t pid = detail::Fork(command, out[1], err[1]);
  ::close(out[1]);
  ::close(err[1]);
  Outcome outcome;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(command.timeout_seconds);
  bool killed = false;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&outcome.out, &outcome.err};
  for (int open = 2; open > 0;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!killed && (left.count() <= 0 || ::poll(fds, 2, int(left.count())) == 0)) {
      ::kill(pid, SIGKILL);  // a hang: what it said so far is still read
      killed = true;
    }
    if (killed) ::poll(fds, 2, -1);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, size_t(n));
        continue;
      }
      ::close(fds[i].fd);
      fds[i].fd = -1;
      --open;
    }
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + outcome.signal;
  outcome.peak_kilobytes = usage.ru_maxrss;
  return outcome;
}

// Starts the command in the background, its standard output and error going to the two files, which a
// test can read while it runs.
inline pid_t Start(const Command& command, const fs::path& out, const fs::path& err) {
  const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t pid = detail::Fork(command, out_fd, err_fd);
  ::close(out_fd);
  ::close(err_fd);
  return pid;
}

// The exit status of a started program, or 128 + its signal; one still running after `seconds` is
// killed first.
inline int Wait(pid_t pid, int seconds = 600) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Whether a program of this name is on PATH (the outside checkers are optional).
inline bool OnPath(const std::string& name) {
  std::stringstream folders(std::getenv("PATH") ? std::getenv("PATH") : "");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  return false;
}

struct HostOutcome : Outcome {
  std::vector<json> transcript;

  // the transcript events of this kind, only those whose field `key` holds `value` when a key is given
  std::vector<json> Events(const std::string& event, const std::string& key = "",
                           const json& value = nullptr) const {
    std::vector<json> found;
    for (const json& e : transcript)
      if (e.value("event", "") == event && (key.empty() || e.value(key, json()) == value)) found.push_back(e);
    return found;
  }
  // the texts of every transcript event of this kind that has one
  std::vector<std::string> Texts(const std::string& event) const {
    std::vector<std::string> texts;
    for (const json& e : Events(event))
      if (e.contains("text")) texts.push_back(e["text"].get<std::string>());
    return texts;
  }
};

// an argument vector of texts and paths
template <class... Text>
std::vector<std::string> Args(const Text&... texts) {
  return {std::string(texts)...};
}

// zorhost with the real module and the tools switched on, start-up folder root/startup and prefs
// root/prefs; the caller appends the rest.
inline std::vector<std::string> HostCommandLine(const fs::path& root) {
  return Args(ZORHOST_PATH, "--startup", root / "startup", "--prefs", root / "prefs", "--module",
              RELKIT_MODULE_PATH, "--set", "g_nexalRelkitTools=true");
}

// One zorhost run below root (see HostCommandLine) with a transcript of its own; ui, when not null, is
// written to a UI script of its own (a string as it is). A later --transcript among the arguments takes
// the place of that transcript.
inline HostOutcome RunHost(const fs::path& root, const std::vector<std::string>& arguments,
                           const json& ui = nullptr, rlim_t file_limit = 0) {
  static int counter = 0;
  const std::string tag = std::to_string(++counter);
  const fs::path transcript = root / ("transcript" + tag + ".jsonl");
  Command command{HostCommandLine(root)};
  command.args.insert(command.args.end(), {"--transcript", transcript.string()});
  if (!ui.is_null()) {
    const fs::path script = root / ("ui" + tag + ".json");
    std::ofstream(script) << (ui.is_string() ? ui.get<std::string>() : ui.dump());
    command.args.insert(command.args.end(), {"--ui", script.string()});
  }
  command.args.insert(command.args.end(), arguments.begin(), arguments.end());
  command.file_limit = file_limit;
  HostOutcome outcome;
  static_cast<Outcome&>(outcome) = Run(command);
  for (const std::string& line : Lines(ReadFile(transcript)))
    if (!line.empty()) outcome.transcript.push_back(json::parse(line, nullptr, false));
  return outcome;
}

}  // namespace e2e
