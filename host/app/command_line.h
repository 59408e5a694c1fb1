// zorhost's command line: host options start with "--" and take their value as "--opt value" or
// "--opt=value"; every other argument is kept, in order, for the modules.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/host_options.h"

namespace zorhost {

// --host-version: version/1000 with three decimals must fit in a 10-character column with a space.
constexpr int64_t kMaxHostVersion = 99'999'999;

struct ParsedCommandLine {
  enum class Status { Run, Help, Version, UsageError };
  Status status = Status::Run;
  std::string error;  // one line naming the option, for UsageError
};

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments, HostOptions& out);

// Fills what the command line left open: the start-up folder (the executable's), the prefs folder
// ($XDG_CONFIG_HOME/zorhost, else ~/.config/zorhost) and drive C: (<prefs>/drive_c).
void apply_option_defaults(HostOptions& out, const std::filesystem::path& executable_folder);

// Who answers the dialogs when the command line names no one (no --ui, --ui-server or --headless) and
// gives the modules nothing to do from it: with a person at the terminal the browser page (on a free
// loopback port); without one nobody could, and the answer is the message to show before exiting 2.
std::optional<std::string> choose_driver(HostOptions& out, bool person_present);

// Every *.zdl64 below the folder, searched recursively, sorted by path.
std::vector<std::filesystem::path> find_modules(const std::filesystem::path& folder);

std::string usage_text();
// --version: the first line is "zorhost X.Y", as packaging tools expect.
std::string version_text();

}  // namespace zorhost
