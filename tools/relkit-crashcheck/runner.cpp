#include "runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "crash_report.h"
#include "outputs.h"

namespace crashcheck {
namespace {

namespace fs = std::filesystem;

const std::string kProcessing = "] Processing file ";

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsExecutable(const fs::path& file) {
  return fs::is_regular_file(file) && ::access(file.c_str(), X_OK) == 0;
}

fs::path FindZorhost(const fs::path& given) {
  if (!given.empty()) {
    if (!IsExecutable(given)) throw InputError(given.string() + ": no zorhost program there");
    return given;
  }
  std::error_code ignored;
  const fs::path beside = fs::read_symlink("/proc/self/exe", ignored).parent_path() / "zorhost";
  if (IsExecutable(beside)) return beside;
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (!folder.empty() && IsExecutable(fs::path(folder) / "zorhost")) return fs::path(folder) / "zorhost";
  throw InputError("zorhost not found (neither beside relkit-crashcheck nor on PATH; give --zorhost FILE)");
}

// Every scene below the folder, as paths relative to it, sorted.
std::vector<std::string> CollectScenes(const fs::path& folder) {
  std::vector<std::string> scenes;
  std::error_code failed;
  fs::recursive_directory_iterator it(folder, fs::directory_options::follow_directory_symlink, failed);
  if (failed) throw InputError(folder.string() + ": cannot be listed (" + failed.message() + ")");
  for (; it != fs::recursive_directory_iterator(); it.increment(failed)) {
    if (failed) throw InputError(folder.string() + ": cannot be listed (" + failed.message() + ")");
    if (it->path().extension() == ".zor" && it->is_regular_file(failed))
      scenes.push_back(it->path().lexically_relative(folder).string());
  }
  std::sort(scenes.begin(), scenes.end());
  return scenes;
}

// A temporary folder of our own, removed with everything in it when the run ends.
class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/relkit-crashcheck-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw InputError(pattern + ": cannot make a temporary folder");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

struct HostRun {
  bool crashed = false;  // died of a signal
  int status = 0;        // exit status or signal number
  bool hung = false;     // killed after the timeout
  std::string out;
  std::string err;
  std::string last_scene;  // of the last "Processing file" line, as the host named it
};

std::string LastProcessed(const std::string& out, size_t& count) {
  std::string last;
  count = 0;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find(kProcessing);
    if (at == std::string::npos || line.size() < at + kProcessing.size() + 3) continue;
    ++count;
    last = line.substr(at + kProcessing.size(), line.size() - at - kProcessing.size() - 3);
  }
  return last;
}

HostRun RunHost(const std::vector<std::string>& arguments, const fs::path& out, const fs::path& err,
                double timeout_seconds) {
  // made before the start, so that the console can be watched from the first moment
  const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out_fd < 0 || err_fd < 0) {
    if (out_fd >= 0) ::close(out_fd);
    if (err_fd >= 0) ::close(err_fd);
    throw std::runtime_error(out.parent_path().string() + ": cannot be written");
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("cannot start zorhost");
  if (pid == 0) {
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out_fd);
  ::close(err_fd);
  // The timeout runs per scene: it starts again with every "Processing file" line.
  using Clock = std::chrono::steady_clock;
  HostRun run;
  Clock::time_point scene_start = Clock::now();
  int status = 0;
  // only what the host added since the last look is read, so a long run costs no more per scene
  std::ifstream console(out, std::ios::binary);
  std::string partial;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    char buffer[4096];
    console.clear();
    while (console.read(buffer, sizeof(buffer)) || console.gcount() > 0) {
      partial.append(buffer, size_t(console.gcount()));
      const size_t end = partial.rfind('\n');
      if (end == std::string::npos) continue;
      size_t count = 0;
      LastProcessed(partial.substr(0, end + 1), count);
      if (count > 0) scene_start = Clock::now();
      partial.erase(0, end + 1);
    }
    if (std::chrono::duration<double>(Clock::now() - scene_start).count() > timeout_seconds) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      run.hung = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.crashed = !run.hung && WIFSIGNALED(status);
  run.status = WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status);
  run.out = ReadText(out);
  run.err = ReadText(err);
  size_t ignored = 0;
  run.last_scene = LastProcessed(run.out, ignored);
  return run;
}

std::string LastLine(const std::string& text) {
  std::string last;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) last = line;
  return last;
}

// The scanner names its images after the scene's folder and file: the mirror keeps both.
std::string SceneTag(const fs::path& scenes, const std::string& relative) {
  const fs::path path(relative);
  const std::string folder =
      path.has_parent_path() ? path.parent_path().filename().string() : scenes.filename().string();
  return folder + "." + path.filename().string();
}

}  // namespace

int Run(RunOptions options) {
  if (options.scenes.empty()) throw InputError("no scene folder given");
  std::error_code failed;
  if (!fs::exists(options.scenes, failed))
    throw InputError(options.scenes.string() + ": no such scene folder");
  if (!fs::is_directory(options.scenes, failed)) throw InputError(options.scenes.string() + ": not a folder");
  options.scenes = fs::weakly_canonical(fs::absolute(options.scenes));
  // canonical: "scenes/" and "scenes/." name the folder "scenes", as the mirror's root must
  const std::vector<std::string> scenes = CollectScenes(options.scenes);
  if (scenes.empty()) throw InputError(options.scenes.string() + ": no scenes (.zor files) below it");
  if (!(options.timeout_seconds > 0)) throw InputError("--timeout must be a positive number of seconds");
  std::set<std::string> known;
  std::string error;
  if (!options.known.empty() && !ReadKnownSignatures(options.known, known, error)) throw InputError(error);
  const fs::path zorhost = FindZorhost(options.zorhost);
  if (options.reference.empty()) options.reference = options.scenes.string() + "_crashcheck";
  options.reference = fs::absolute(options.reference);
  fs::create_directories(options.reference, failed);
  if (!fs::is_directory(options.reference))
    throw InputError(options.reference.string() + ": the result folder cannot be made");

  TempFolder temp;
  // The mirror has the scene folder's name, so that scenes directly in it get the same image names.
  const fs::path mirror = temp.Path() / options.scenes.filename();
  const fs::path ui = temp.Path() / "ui.json";
  std::ofstream(ui) << nlohmann::json::array(
                           {{{"dialog",
                              {{"set", {{1000, mirror.string()}, {1001, options.reference.string()}}},
                               {"press", "ok"}}}}})
                           .dump();

  Findings findings;
  std::set<std::string> set_aside;
  // a scene the host named, through the mirror or directly
  auto relative_scene = [&](const std::string& named) -> std::optional<std::string> {
    for (const fs::path& root : {mirror, options.scenes}) {
      const std::string prefix = root.string() + "/";
      if (named.compare(0, prefix.size(), prefix) == 0) return named.substr(prefix.size());
    }
    return std::nullopt;
  };

  for (int attempt = 1;; ++attempt) {
    fs::remove_all(mirror);
    for (const std::string& scene : scenes) {
      if (set_aside.count(scene)) continue;
      fs::create_directories((mirror / scene).parent_path());
      fs::create_symlink(options.scenes / scene, mirror / scene);
    }
    fs::create_directories(mirror);
    std::vector<std::string> arguments = {zorhost.string(), "--set", "g_nexalRelkitTools=true"};
    arguments.insert(arguments.end(), options.host_arguments.begin(), options.host_arguments.end());
    arguments.insert(arguments.end(), {"--headless", "--ui", ui.string(), "--command", "Attachment Scanner"});
    const std::string tag = std::to_string(attempt);
    const HostRun run = RunHost(arguments, temp.Path() / ("out" + tag + ".txt"),
                                temp.Path() / ("err" + tag + ".txt"), options.timeout_seconds);
    std::cout << run.out << std::flush;
    if (!run.crashed && !run.hung) {
      if (run.status == 0) break;
      throw InputError("zorhost ended with status " + std::to_string(run.status) + ": " + LastLine(run.err));
    }

    std::string kind = "hang";
    std::vector<std::string> frames;
    std::string named = run.last_scene;
    if (run.crashed) {
      const std::string report_path = CrashReportPath(run.err);
      if (report_path.empty())
        throw InputError("zorhost died of signal " + std::to_string(run.status) +
                         " without naming a crash report: " + LastLine(run.err));
      std::ifstream in(report_path);
      if (!in) throw InputError(report_path + ": the crash report cannot be read");
      std::ostringstream text;
      text << in.rdbuf();
      const auto report =
          ParseCrashReport(text.str(), zorhost.filename().string(), SymbolizeWithAddr2line, error);
      if (!report) throw InputError(report_path + ": " + error);
      kind = report->signal;
      frames = report->frames;
      if (!report->scene.empty()) named = report->scene;
    }
    const std::optional<std::string> scene = relative_scene(named);
    if (!scene || set_aside.count(*scene) || !std::binary_search(scenes.begin(), scenes.end(), *scene))
      throw InputError("zorhost " + std::string(run.hung ? "hung" : "crashed") +
                       " but the scene it worked on is not known: \"" + named + "\"");
    set_aside.insert(*scene);
    findings.Add(kind, frames, *scene);
    std::cerr << "relkit-crashcheck: " << *scene << ": " << Signature(kind, frames) << "; set aside\n";
  }

  for (const std::string& scene : scenes) {
    if (set_aside.count(scene)) continue;
    const std::string tag = SceneTag(options.scenes, scene);
    const bool done =
        fs::exists(options.reference / (tag + ".soft.tif")) && fs::exists(options.reference / (tag + ".tif"));
    (done ? findings.finished : findings.unfinished).push_back(scene);
  }
  if (!WriteOutputs(options.reference, findings, error)) throw InputError(error);

  size_t new_buckets = 0;
  for (const auto& [signature, bucket] : findings.buckets) new_buckets += known.count(signature) ? 0 : 1;
  std::cout << "relkit-crashcheck: " << findings.finished.size() << " scene(s) finished, "
            << findings.buckets.size() << " crash bucket(s), " << new_buckets << " new; results in "
            << options.reference.string() << "\n";
  return new_buckets > 0 ? 1 : 0;
}

}  // namespace crashcheck
