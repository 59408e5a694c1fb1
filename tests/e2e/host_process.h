// Runs zorhost with the real module as a child process in a test's folders and collects what it left:
// its exit status (or the signal that ended it), standard output, standard error and transcript.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/text_files.h"

namespace e2e {

// Starts args[0] with the arguments after it, its standard output and error going to the two files.
inline pid_t SpawnProcess(std::vector<std::string> args, const std::filesystem::path& out,
                          const std::filesystem::path& err) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// the exit status, or 128 + the signal that ended the process
inline int WaitForProcess(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct HostOutcome {
  int status = -1;  // the exit status, or 128 + the signal that ended the process
  std::string out;
  std::string err;
  std::vector<nlohmann::json> transcript;

  bool Said(const std::string& text) const { return out.find(text) != std::string::npos; }
  bool Complained(const std::string& text) const { return err.find(text) != std::string::npos; }
  // the texts of every transcript event of this kind that has one
  std::vector<std::string> Texts(const std::string& event) const {
    std::vector<std::string> texts;
    for (const nlohmann::json& e : transcript)
      if (e.value("event", "") == event && e.contains("text")) texts.push_back(e["text"].get<std::string>());
    return texts;
  }
};

// zorhost with the real module and the tools switched on, start-up folder root/startup and prefs
// root/prefs; the caller appends the rest.
inline std::vector<std::string> HostCommandLine(const std::filesystem::path& root) {
  return {ZORHOST_PATH,
          "--startup",
          (root / "startup").string(),
          "--prefs",
          (root / "prefs").string(),
          "--module",
          RELKIT_MODULE_PATH,
          "--set",
          "g_nexalRelkitTools=true"};
}

// One zorhost invocation below root: start-up folder root/startup, prefs root/prefs, tools switched on.
// ui, when not null, is written to a UI script; every run gets its own numbered output files.
inline HostOutcome RunHost(const std::filesystem::path& root, const std::vector<std::string>& arguments,
                           const nlohmann::json& ui = nlohmann::json()) {
  static int counter = 0;
  const std::string tag = std::to_string(++counter);
  const std::filesystem::path out = root / ("out" + tag + ".txt");
  const std::filesystem::path err = root / ("err" + tag + ".txt");
  const std::filesystem::path transcript = root / ("transcript" + tag + ".jsonl");
  std::vector<std::string> args = HostCommandLine(root);
  args.insert(args.end(), {"--transcript", transcript.string()});
  if (!ui.is_null()) {
    const std::filesystem::path script = root / ("ui" + tag + ".json");
    std::ofstream(script) << ui.dump();
    args.insert(args.end(), {"--ui", script.string()});
  }
  args.insert(args.end(), arguments.begin(), arguments.end());

  const int status = WaitForProcess(SpawnProcess(args, out, err));
  HostOutcome outcome;
  outcome.status = status;
  outcome.out = ReadFile(out);
  outcome.err = ReadFile(err);
  for (const std::string& line : Lines(ReadFile(transcript)))
    if (!line.empty()) outcome.transcript.push_back(nlohmann::json::parse(line, nullptr, false));
  return outcome;
}

}  // namespace e2e
