#include "slurm_submit.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
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

// Runs a program found on PATH; with `output`, its standard output is kept there instead of shown.
// Answers its exit status, or -1 when it cannot be started (the reason in `output`'s place on stderr).
int Run(const std::vector<std::string>& args, std::string* output) {
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
  }
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
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
  std::string jobText;
  if (Run(shards, &jobText) != 0) {
    std::cerr << "relkit-report: sbatch did not take the shards' array job\n";
    return 2;
  }
  const std::string job = jobText.substr(0, jobText.find_first_of(";\n"));
  std::cout << "relkit-report: " << options.shards << " shards submitted as Slurm array job " << job
            << " (logs: " << (work / "shard-N.out").string() << ")" << std::endl;

  std::vector<std::string> merge = {"sbatch",
                                    "--parsable",
                                    "--wait",
                                    "--job-name=relkit-merge",
                                    "--dependency=afterany:" + job,
                                    "--output=" + (work / "merge.out").string()};
  merge.insert(merge.end(), options.sbatchArgs.begin(), options.sbatchArgs.end());
  merge.push_back((work / "merge.sh").string());
  std::cout << "relkit-report: waiting for the merge and check job" << std::endl;
  std::string mergeJob;
  Run(merge, &mergeJob);

  std::ifstream log(work / "merge.out");
  std::cout << log.rdbuf();
  std::cout.flush();
  std::ifstream status(verdict);
  int code = -1;
  if (!(status >> code) || code < 0 || code > 2) {
    std::cerr << "relkit-report: the merge and check job (Slurm job "
              << mergeJob.substr(0, mergeJob.find_first_of(";\n")) << ") did not end with a verdict; see "
              << (work / "merge.out").string() << "\n";
    return 2;
  }
  return code;
}

}  // namespace relkit_report
