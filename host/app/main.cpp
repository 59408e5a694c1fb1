// zorhost: loads the modules, drives their life and offers every service they call.
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/command_line.h"
#include "app/crash_handler.h"
#include "app/host_app.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = zorhost::parse_command_line(arguments, zorhost::options());
    if (parsed.status == zorhost::ParsedCommandLine::Status::Help) {
      std::fputs(zorhost::usage_text().c_str(), stdout);
      return zorhost::kExitOk;
    }
    if (parsed.status == zorhost::ParsedCommandLine::Status::Version) {
      std::fputs(zorhost::version_text().c_str(), stdout);
      return zorhost::kExitOk;
    }
    if (parsed.status == zorhost::ParsedCommandLine::Status::UsageError) {
      std::fprintf(stderr, "%s\n", parsed.error.c_str());
      return zorhost::kExitUsage;
    }
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    zorhost::apply_option_defaults(zorhost::options(),
                                   error ? std::filesystem::current_path() : executable.parent_path());
    zorhost::install_crash_handler(zorhost::options().prefs_dir);
    // Past a file-size limit a write should fail and be named, not kill the run without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    zorhost::Host host;
    return host.run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zorhost: internal error: %s\n", e.what());
    return 1;
  }
}
