#include "slurm_submit.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "files.h"
#include "result_file.h"

extern char** environ;

namespace relkit_report {

namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) {
  return ShellQuoted(path.string());
}

std::string QuotedAll(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& a : args) text += " " + ShellQuoted(a);
  return text;
}

// The signal that asked relkit-report to stop while its jobs were queued; 0 while none did.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void NoteStop(int signal) {
  stopSignal = signal;
}

// While relkit-report waits for its jobs, Ctrl-C, a hang-up or a TERM (a CI job's timeout) is noted
// instead of ending it at once, so that it cancels the jobs it submitted before it ends: nobody is left
// with shards that render on for hours with no one waiting for their verdict.
class StopNoted {
 public:
  StopNoted() {
    struct sigaction noted {};
    noted.sa_handler = NoteStop;  // without SA_RESTART: a sleep ends at once
    sigemptyset(&noted.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &noted, &before_[i]);
  }
  ~StopNoted() {
    for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &before_[i], nullptr);
  }
  StopNoted(const StopNoted&) = delete;
  StopNoted& operator=(const StopNoted&) = delete;

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction before_[std::size(kSignals)]{};
};

// Runs a program found on PATH; with `output`, its standard output (and its error output too with
// `errorsToo`) is kept there instead of shown. It runs in a process group of its own, so that the Ctrl-C
// meant for relkit-report does not cut a submission or a cancellation short. Answers its exit status, or -1
// when it cannot be started (the reason on stderr).
int Run(const std::vector<std::string>& args, std::string* output, bool errorsToo = false) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output) {
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
      throw InputError(std::string("cannot make a pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    if (errorsToo) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (output) {
    ::close(pipeFds[1]);
    char block[4096];
    ssize_t got;
    while (spawned == 0 &&
           ((got = ::read(pipeFds[0], block, sizeof block)) > 0 || (got < 0 && errno == EINTR)))
      if (got > 0) output->append(block, size_t(got));
    ::close(pipeFds[0]);
  }
  if (spawned != 0) {
    std::cerr << "relkit-report: cannot run " << args[0] << " (" << std::strerror(spawned) << ")\n";
    return -1;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ShardScript(const SlurmOptions& o, const fs::path& work) {
  std::string split = Quoted(o.relkitReport) + " split " + Quoted(o.scenes) + " --shard auto --into " +
                      Quoted(work / "view-") + "\"$i\"";
  std::string run = "exec " + Quoted(o.zorhost) + " --headless --prefs " + Quoted(work / "prefs-") +
                    "\"$i\"" + QuotedAll(o.zorhostArgs) + " -renderator " + Quoted(work / "view-") + "\"$i\"";
  if (o.reference) {
    split += " --reference " + Quoted(*o.reference) + " --base-into " + Quoted(work / "base-") + "\"$i\"";
    run += " " + Quoted(work / "base-") + "\"$i\"";
  }
  return "#!/bin/sh\n"
         "# one shard: its view of the scenes (and of the base), then an ordinary Renderator run over it\n"
         "set -e\n"
         "i=\"$SLURM_ARRAY_TASK_ID\"\n"
         "mkdir -p " +
         Quoted(work / "prefs-") + "\"$i\"\n" + split + "\n" + run + "\n";
}

std::string MergeScript(const SlurmOptions& o, const fs::path& work, const fs::path& verdict) {
  std::string check = Quoted(o.relkitReport) + " check " + Quoted(o.result);
  if (o.reference) check += " --reference " + Quoted(*o.reference);
  check += QuotedAll(o.checkArgs);
  return "#!/bin/sh\n"
         "# after every shard, whether it succeeded or not: merge what they left, then judge it\n"
         "set --\n"
         "i=1\n"
         "while [ \"$i\" -le " +
         std::to_string(o.shards) +
         " ]; do\n"
         "  [ -d " +
         Quoted(work / "view-") + "\"$i\" ] && set -- \"$@\" " + Quoted(work / "view-") +
         "\"$i\"\n"
         "  i=$((i + 1))\n"
         "done\n"
         "if [ $# -eq 0 ]; then echo 'relkit-report: no shard ran' >&2; echo 2 > " +
         Quoted(verdict) +
         "; exit 2; fi\n"
         "status=0\n" +
         Quoted(o.relkitReport) + " merge \"$@\" --into " + Quoted(o.result) +
         " || status=$?\n"
         "if [ \"$status\" -ne 2 ]; then\n"
         "  status=0\n  " +
         check +
         " || status=$?\n"
         "fi\n"
         "echo \"$status\" > " +
         Quoted(verdict) +
         "\n"
         "exit \"$status\"\n";
}

void WriteScript(const fs::path& file, const std::string& text) {
  WriteFileAtomically(file, text);
  fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec, fs::perm_options::add);
}

// The job id sbatch --parsable printed ("ID" or "ID;CLUSTER"); empty when it printed none.
std::string JobId(const std::string& printed) {
  const std::string id = printed.substr(0, printed.find_first_of(";\n"));
  return !id.empty() && std::ranges::all_of(id, [](char c) { return c >= '0' && c <= '9'; }) ? id : "";
}

// Sleeps, or less when a stop is noted meanwhile.
void Pause(std::chrono::milliseconds time) {
  timespec left{time.count() / 1000, (time.count() % 1000) * 1000000};
  while (!stopSignal && ::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// A job's states are what squeue lists for it: one line for a job, one for each task or range of tasks
// of an array job. A job Slurm no longer lists has ended (it forgets ended jobs after a while).
struct QueueSight {
  bool merging = false;  // the merge job is queued or runs
  int shardsRunning = 0;
  int shardsWaiting = 0;
  std::string State(int shards) const {
    return std::to_string(shards - shardsRunning - shardsWaiting) + " of " + std::to_string(shards) +
           " shards ended, " + std::to_string(shardsRunning) + " running, " + std::to_string(shardsWaiting) +
           " waiting";
  }
};

// Whether squeue could be asked; the user's jobs are listed rather than these two by id, as squeue
// refuses an id it has forgotten.
bool LookAtQueue(const std::string& shards, const std::string& merge, QueueSight& sight,
                 std::string& failure) {
  std::string listed;
  const int status = Run({"squeue", "--noheader", "--me", "--array", "--format=%i %T"}, &listed, true);
  if (status != 0) {
    failure = listed.empty() ? "status " + std::to_string(status) : listed.substr(0, listed.find('\n'));
    return false;
  }
  // states of a job that is over; any other keeps it in the queue
  static const std::set<std::string> kEnded = {"BOOT_FAIL",     "CANCELLED", "COMPLETED",
                                               "DEADLINE",      "FAILED",    "NODE_FAIL",
                                               "OUT_OF_MEMORY", "PREEMPTED", "TIMEOUT"};
  sight = {};
  std::istringstream lines(listed);
  for (std::string id, state; lines >> id >> state;) {
    if (kEnded.contains(state)) continue;
    if (id == merge) sight.merging = true;
    if (id.starts_with(shards + "_")) ++(state == "PENDING" ? sight.shardsWaiting : sight.shardsRunning);
  }
  return true;
}

// Waits until the merge job has left the queue, saying how far the shards are as that changes. Answers
// false when squeue could not be asked for ten minutes on end (the reason on stderr); returns early
// when a stop is noted.
bool WaitForMerge(const std::string& shards, int count, const std::string& merge) {
  using namespace std::chrono;
  constexpr auto kGiveUp = minutes(10);
  std::string said;
  auto failingSince = steady_clock::time_point::max();
  auto pause = milliseconds(500);
  while (!stopSignal) {
    QueueSight sight;
    std::string failure;
    if (LookAtQueue(shards, merge, sight, failure)) {
      if (!sight.merging) return true;
      failingSince = steady_clock::time_point::max();
      if (sight.State(count) != said)
        std::cout << "relkit-report: " << (said = sight.State(count)) << std::endl;
    } else if (failingSince == steady_clock::time_point::max()) {
      failingSince = steady_clock::now();
      std::cerr << "relkit-report: squeue cannot say whether Slurm job " << merge << " has ended (" << failure
                << "); asking again" << std::endl;
    } else if (steady_clock::now() - failingSince > kGiveUp) {
      std::cerr << "relkit-report: gave up waiting: squeue has failed for ten minutes (" << failure
                << "); Slurm jobs " << shards << " and " << merge << " may still run\n";
      return false;
    }
    Pause(pause);
    pause = std::min(pause * 2, milliseconds(5000));
  }
  return true;
}

// Cancels the jobs submitted so far and ends relkit-report by the signal that stopped it, as a program
// stopped by it would have ended.
[[noreturn]] void CancelAndStop(const std::vector<std::string>& jobs) {
  const int signal = stopSignal;
  std::string list;
  for (const std::string& job : jobs) list += (list.empty() ? "" : " and ") + job;
  std::cout.flush();
  std::cerr << "relkit-report: stopped; cancelling Slurm job" << (jobs.size() > 1 ? "s " : " ") << list
            << std::endl;
  std::vector<std::string> scancel = {"scancel"};
  scancel.insert(scancel.end(), jobs.begin(), jobs.end());
  if (Run(scancel, nullptr) != 0)
    std::cerr << "relkit-report: scancel failed; cancel Slurm job" << (jobs.size() > 1 ? "s " : " ") << list
              << " yourself" << std::endl;
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  std::_Exit(128 + signal);
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int RunOnSlurm(const SlurmOptions& options) {
  const fs::path work = fs::absolute(options.work).lexically_normal();
  std::error_code error;
  fs::create_directories(work, error);
  if (!fs::is_directory(work)) throw InputError(work.string() + ": cannot be made (" + error.message() + ")");
  const fs::path verdict = work / "verdict";
  fs::remove(verdict, error);
  WriteScript(work / "shard.sh", ShardScript(options, work));
  WriteScript(work / "merge.sh", MergeScript(options, work, verdict));

  std::vector<std::string> shards = {"sbatch", "--parsable", "--job-name=relkit-shard",
                                     "--array=1-" + std::to_string(options.shards),
                                     "--output=" + (work / "shard-%a.out").string()};
  shards.insert(shards.end(), options.sbatchArgs.begin(), options.sbatchArgs.end());
  shards.push_back((work / "shard.sh").string());
  StopNoted stops;
  std::string jobText;
  const int taken = Run(shards, &jobText);
  const std::string job = JobId(jobText);
  if (taken != 0 || job.empty()) {
    std::cerr << "relkit-report: sbatch did not take the shards' array job\n";
    return 2;
  }
  if (stopSignal) CancelAndStop({job});
  std::cout << "relkit-report: " << options.shards << " shards submitted as Slurm array job " << job
            << " (logs: " << (work / "shard-N.out").string() << ")" << std::endl;

  std::vector<std::string> merge = {"sbatch", "--parsable", "--job-name=relkit-merge",
                                    "--dependency=afterany:" + job,
                                    "--output=" + (work / "merge.out").string()};
  merge.insert(merge.end(), options.sbatchArgs.begin(), options.sbatchArgs.end());
  merge.push_back((work / "merge.sh").string());
  std::string mergeText;
  const int mergeTaken = Run(merge, &mergeText);
  const std::string mergeJob = JobId(mergeText);
  if (mergeTaken != 0 || mergeJob.empty()) {
    std::cerr << "relkit-report: sbatch did not take the merge and check job; cancelling the shards\n";
    Run({"scancel", job}, nullptr);
    return 2;
  }
  if (stopSignal) CancelAndStop({job, mergeJob});
  std::cout << "relkit-report: waiting for the merge and check job (Slurm job " << mergeJob << ")"
            << std::endl;
  const bool ended = WaitForMerge(job, options.shards, mergeJob);
  if (stopSignal) CancelAndStop({job, mergeJob});
  if (!ended) return 2;

  std::ifstream log(work / "merge.out");
  std::cout << log.rdbuf();
  std::cout.flush();
  std::ifstream status(verdict);
  int code = -1;
  if (!(status >> code) || code < 0 || code > 2) {
    std::cerr << "relkit-report: the merge and check job (Slurm job " << mergeJob
              << ") did not end with a verdict; see " << (work / "merge.out").string() << "\n";
    return 2;
  }
  return code;
}

}  // namespace relkit_report
