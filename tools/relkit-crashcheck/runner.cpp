#include "runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>
#include <utility>

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

// Every scene below the folder, as paths relative to it, sorted. Like the scanner's own collection,
// folders are known by identity: the tree is walked without its links first, then each link to a
// folder not yet walked is followed, so a link loop ends and a folder reached twice counts once.
std::vector<std::string> CollectScenes(const fs::path& folder) {
  std::vector<std::string> scenes;
  std::set<std::pair<dev_t, ino_t>> walked;
  std::vector<fs::path> links = {folder};
  for (size_t next = 0; next < links.size(); ++next) {
    struct stat info {};
    if (::stat(links[next].c_str(), &info) != 0 || !walked.insert({info.st_dev, info.st_ino}).second)
      continue;
    std::vector<fs::path> folders = {links[next]};
    while (!folders.empty()) {
      const fs::path current = folders.back();
      folders.pop_back();
      std::error_code failed;
      for (fs::directory_iterator it(current, failed), end; !failed && it != end; it.increment(failed)) {
        std::error_code ignored;
        if (it->is_symlink(ignored) && it->is_directory(ignored)) {
          links.push_back(it->path());
        } else if (it->is_directory(ignored)) {
          if (::stat(it->path().c_str(), &info) == 0 && walked.insert({info.st_dev, info.st_ino}).second)
            folders.push_back(it->path());
        } else if (it->path().extension() == ".zor" && it->is_regular_file(ignored)) {
          scenes.push_back(it->path().lexically_relative(folder).string());
        }
      }
      if (failed && current == folder)
        throw InputError(current.string() + ": cannot be listed (" + failed.message() + ")");
      if (failed)
        std::cerr << "relkit-crashcheck: skipped folder " << current.string() << ": " << failed.message()
                  << "\n";
    }
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
  bool crashed = false;        // died of a signal
  int status = 0;              // exit status or signal number
  bool hung = false;           // killed after the timeout
  bool out_of_memory = false;  // killed for using more than the memory limit
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

// The resident memory of a running process in MiB; 0 when it cannot be read.
double ResidentMegabytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024;  // in kB
  return 0;
}

// Set by SIGINT and SIGTERM: the running zorhost is stopped and the run ends, its temporaries removed.
volatile std::sig_atomic_t g_interrupted = 0;

HostRun RunHost(const std::vector<std::string>& arguments, const fs::path& out, const fs::path& err,
                const Limits& limits) {
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
  // Only what the host added since the last look is read, so a long run costs no more per scene;
  // its whole lines go on to our console as they come, so the run's progress shows while it works.
  std::ifstream console(out, std::ios::binary);
  std::string partial;
  const auto follow_console = [&] {
    char buffer[4096];
    console.clear();
    while (console.read(buffer, sizeof(buffer)) || console.gcount() > 0) {
      partial.append(buffer, size_t(console.gcount()));
      const size_t end = partial.rfind('\n');
      if (end == std::string::npos) continue;
      size_t count = 0;
      LastProcessed(partial.substr(0, end + 1), count);
      if (count > 0) scene_start = Clock::now();
      std::cout << std::string_view(partial).substr(0, end + 1) << std::flush;
      partial.erase(0, end + 1);
    }
  };
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    follow_console();
    run.hung = std::chrono::duration<double>(Clock::now() - scene_start).count() > limits.timeout_seconds;
    run.out_of_memory = limits.memory_mb > 0 && ResidentMegabytes(pid) > limits.memory_mb;
    if (run.hung || run.out_of_memory || g_interrupted) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      if (g_interrupted) throw Interrupted();
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  follow_console();
  if (!partial.empty()) std::cout << partial << "\n" << std::flush;
  run.crashed = !run.hung && !run.out_of_memory && WIFSIGNALED(status);
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

// Now, as an ISO 8601 time in UTC.
std::string NowText() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// The scanner names its images after the scene's folder and file: the mirror keeps both.
std::string SceneTag(const fs::path& scenes, const std::string& relative) {
  const fs::path path(relative);
  const std::string folder =
      path.has_parent_path() ? path.parent_path().filename().string() : scenes.filename().string();
  return folder + "." + path.filename().string();
}

// How one start of the scanner ended: it finished, or a scene stopped it (crash, hang, out of memory).
struct Stop {
  bool finished = false;
  std::string kind;  // the signal name, "hang" or "out of memory"
  std::vector<std::string> frames;
  std::string named;  // the scene as zorhost named it
  std::string Signature() const { return crashcheck::Signature(kind, frames); }
};

// One run's fixed parts: the host, its arguments and where the temporaries go.
class Supervisor {
 public:
  Supervisor(const RunOptions& options, fs::path zorhost, const fs::path& temp)
      : options_(options), zorhost_(std::move(zorhost)), temp_(temp) {}

  // A mirror of the scene folder under folder, holding links to the given scenes only; it has the
  // scene folder's name, so that the scanner names the images of scenes directly in it the same way.
  fs::path Mirror(const fs::path& folder, const std::vector<std::string>& scenes) const {
    const fs::path mirror = folder / options_.scenes.filename();
    fs::remove_all(mirror);
    fs::create_directories(mirror);
    for (const std::string& scene : scenes) {
      fs::create_directories((mirror / scene).parent_path());
      fs::create_symlink(options_.scenes / scene, mirror / scene);
    }
    return mirror;
  }

  // Starts the scanner over mirror with its images in results, until zorhost ends.
  Stop Scan(const fs::path& mirror, const fs::path& results) {
    const std::string tag = std::to_string(++starts_);
    const fs::path ui = temp_ / ("ui" + tag + ".json");
    std::ofstream(ui) << nlohmann::json::array(
                             {{{"dialog",
                                {{"set", {{1000, mirror.string()}, {1001, results.string()}}},
                                 {"press", "ok"}}}}})
                             .dump();
    std::vector<std::string> arguments = {zorhost_.string(), "--set", "g_nexalRelkitTools=true"};
    arguments.insert(arguments.end(), options_.host_arguments.begin(), options_.host_arguments.end());
    arguments.insert(arguments.end(), {"--headless", "--ui", ui.string(), "--command", "Attachment Scanner"});
    const HostRun run =
        RunHost(arguments, temp_ / ("out" + tag + ".txt"), temp_ / ("err" + tag + ".txt"), options_.limits);
    Stop stop;
    stop.named = run.last_scene;
    if (!run.crashed && !run.hung && !run.out_of_memory) {
      if (run.status != 0)
        throw InputError("zorhost ended with status " + std::to_string(run.status) + ": " +
                         LastLine(run.err));
      stop.finished = true;
      return stop;
    }
    stop.kind = run.hung ? "hang" : "out of memory";
    if (run.crashed) ReadCrash(run, stop);
    return stop;
  }

 private:
  void ReadCrash(const HostRun& run, Stop& stop) const {
    const std::string report_path = CrashReportPath(run.err);
    if (report_path.empty())
      throw InputError("zorhost died of signal " + std::to_string(run.status) +
                       " without naming a crash report: " + LastLine(run.err));
    std::ifstream in(report_path);
    if (!in) throw InputError(report_path + ": the crash report cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    const auto report =
        ParseCrashReport(text.str(), zorhost_.filename().string(), SymbolizeWithAddr2line, error);
    if (!report) throw InputError(report_path + ": " + error);
    stop.kind = report->signal;
    stop.frames = report->frames;
    if (!report->scene.empty()) stop.named = report->scene;
  }

  const RunOptions& options_;
  const fs::path zorhost_;
  const fs::path temp_;
  int starts_ = 0;
};

void InterruptHandler(int) {
  g_interrupted = 1;
}

}  // namespace

void StopOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = InterruptHandler;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

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
  if (!(options.limits.timeout_seconds > 0))
    throw InputError("--timeout must be a positive number of seconds");
  std::map<std::string, std::string> known;
  std::string error;
  if (!options.known.empty() && !ReadKnownBuckets(options.known, known, error)) throw InputError(error);
  const fs::path zorhost = FindZorhost(options.zorhost);
  if (options.reference.empty()) options.reference = options.scenes.string() + "_crashcheck";
  options.reference = fs::absolute(options.reference);
  fs::create_directories(options.reference, failed);
  if (!fs::is_directory(options.reference))
    throw InputError(options.reference.string() + ": the result folder cannot be made");

  TempFolder temp;
  Supervisor supervisor(options, zorhost, temp.Path());
  Findings findings;
  findings.started = NowText();
  std::set<std::string> set_aside;
  const fs::path mirror = temp.Path() / "scan" / options.scenes.filename();
  // a scene the host named, through the mirror or directly
  auto relative_scene = [&](const std::string& named) -> std::optional<std::string> {
    for (const fs::path& root : {mirror, options.scenes}) {
      const std::string prefix = root.string() + "/";
      if (named.compare(0, prefix.size(), prefix) == 0) return named.substr(prefix.size());
    }
    return std::nullopt;
  };
  // what was found so far is written also when zorhost fails in another way, then the failure is told
  auto finish = [&] {
    for (auto& [signature, bucket] : findings.buckets) {
      const auto earlier = known.find(signature);
      bucket.first_seen =
          earlier != known.end() && !earlier->second.empty() ? earlier->second : findings.started;
    }
    for (const std::string& scene : scenes) {
      if (set_aside.count(scene)) continue;
      const std::string tag = SceneTag(options.scenes, scene);
      const bool done = fs::exists(options.reference / (tag + ".soft.tif")) &&
                        fs::exists(options.reference / (tag + ".tif"));
      (done ? findings.finished : findings.unfinished).push_back(scene);
    }
    if (!WriteOutputs(options.reference, findings, error)) throw InputError(error);
  };

  try {
    // built once: a scene set aside leaves it as one link less, so a restart costs no work per scene
    supervisor.Mirror(temp.Path() / "scan", scenes);
    for (;;) {
      const Stop stop = supervisor.Scan(mirror, options.reference);
      if (stop.finished) break;
      if (stop.named.empty()) {
        // a crash outside any scene (at start-up, in a command before the scanner) would come again
        // with every start: it is a bucket of its own, and no scene can be checked
        findings.Add(stop.kind, stop.frames, {});
        throw InputError("zorhost stopped before it reached a scene (" + stop.Signature() +
                         "); every start would do the same, so no scene can be checked");
      }
      const std::optional<std::string> scene = relative_scene(stop.named);
      if (!scene || set_aside.count(*scene) || !std::binary_search(scenes.begin(), scenes.end(), *scene))
        throw InputError("zorhost stopped (" + stop.kind + ") but the scene it worked on is not known: \"" +
                         stop.named + "\"");
      set_aside.insert(*scene);
      fs::remove(mirror / *scene);
      findings.Add(stop.kind, stop.frames, {*scene});
      std::cerr << "relkit-crashcheck: " << *scene << ": " << stop.Signature() << "; set aside\n";
    }
    // Each crashing scene once more, alone and with its images out of the result folder: a bucket is
    // reliable when every one of its scenes stops the same way again.
    for (auto& [signature, bucket] : findings.buckets) {
      for (const std::string& scene : bucket.scenes) {
        const fs::path alone = temp.Path() / "again";
        const fs::path images = temp.Path() / "again-images";
        fs::remove_all(images);
        fs::create_directories(images);
        const Stop again = supervisor.Scan(supervisor.Mirror(alone, {scene}), images);
        const bool same = !again.finished && again.Signature() == signature;
        bucket.reproduced += same ? 1 : 0;
        std::cerr << "relkit-crashcheck: " << scene << ": run again alone, "
                  << (same             ? "it stopped the same way"
                      : again.finished ? "it finished"
                                       : "stopped otherwise: " + again.Signature())
                  << "\n";
      }
    }
  } catch (const InputError&) {
    finish();
    throw;
  }
  finish();

  size_t new_buckets = 0;
  for (const auto& [signature, bucket] : findings.buckets) new_buckets += known.count(signature) ? 0 : 1;
  std::cout << "relkit-crashcheck: " << findings.finished.size() << " scene(s) finished, "
            << findings.buckets.size() << " crash bucket(s), " << new_buckets << " new; results in "
            << options.reference.string() << "\n";
  return new_buckets > 0 ? 1 : 0;
}

}  // namespace crashcheck
