#include "app/command_line.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "app/host_build.h"
#include "ui_server/ui_server.h"

namespace fs = std::filesystem;

namespace zorhost {

HostOptions& options() {
  static HostOptions instance;
  return instance;
}

namespace {

enum class Takes { Nothing, Value };

struct OptionSpec {
  const char* name;
  Takes takes;
};

const OptionSpec kOptions[] = {
    {"--startup", Takes::Value},
    {"--prefs", Takes::Value},
    {"--module", Takes::Value},
    {"--headless", Takes::Nothing},
    {"--ui", Takes::Value},
    {"--command", Takes::Value},
    {"--ui-server", Takes::Value},
    {"--set", Takes::Value},
    {"--drive", Takes::Value},
    {"--transcript", Takes::Value},
    {"--allow-faults", Takes::Nothing},
    {"--host-version", Takes::Value},
    {"--check-leaks", Takes::Nothing},
    {"--help", Takes::Nothing},
    {"--version", Takes::Nothing},
};

const OptionSpec* find_option(const std::string& name) {
  for (const OptionSpec& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

ParsedCommandLine usage_error(std::string message) {
  return {ParsedCommandLine::Status::UsageError, "zorhost: " + std::move(message)};
}

// Applies one option with its value; an error text when the value is not usable.
std::optional<std::string> apply(const std::string& name, const std::string& value, HostOptions& out) {
  if (name == "--startup") {
    out.startup_dir = value;
  } else if (name == "--prefs") {
    out.prefs_dir = value;
  } else if (name == "--module") {
    out.modules.emplace_back(value);
  } else if (name == "--headless") {
    out.headless = true;
  } else if (name == "--ui") {
    out.ui_script = value;
  } else if (name == "--ui-server") {
    ServerAddress address;
    std::string problem;
    if (!parse_server_address(value, &address, &problem)) return "option --ui-server " + problem;
    out.ui_server = value;
  } else if (name == "--command") {
    out.commands.push_back(value);
  } else if (name == "--set") {
    const size_t equals = value.find('=');
    if (equals == std::string::npos || equals == 0)
      return "option --set needs NAME=VALUE, got '" + value + "'";
    out.settings.emplace_back(value.substr(0, equals), value.substr(equals + 1));
  } else if (name == "--drive") {
    const char letter = value.empty() ? 0 : value[0];
    const bool is_letter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    if (!is_letter || value.size() < 3 || value[1] != '=') {
      return "option --drive needs LETTER=FOLDER, got '" + value + "'";
    }
    out.drives[static_cast<char>(letter & ~0x20)] = value.substr(2);
  } else if (name == "--transcript") {
    out.transcript = value;
  } else if (name == "--allow-faults") {
    out.allow_faults = true;
  } else if (name == "--host-version") {
    // The version is shown as version/1000 in a field of 10 characters (the Renderator's report
    // header); a larger number would run into the next column.
    int64_t version = 0;
    const auto result = std::from_chars(value.data(), value.data() + value.size(), version);
    if (value.empty() || result.ec != std::errc() || result.ptr != value.data() + value.size() ||
        version < 0 || version > kMaxHostVersion) {
      return "option --host-version needs a number from 0 to " + std::to_string(kMaxHostVersion) + ", got '" +
             value + "'";
    }
    out.host_version = static_cast<int32_t>(version);
  } else if (name == "--check-leaks") {
    out.check_leaks = true;
  }
  return std::nullopt;
}

}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments, HostOptions& out) {
  bool options_ended = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    // "-h" is the usual short help; no module takes it, so it never reaches them.
    if (!options_ended && argument == "-h") return {ParsedCommandLine::Status::Help, {}};
    if (options_ended || argument.rfind("--", 0) != 0) {
      out.module_arguments.push_back(argument);
      continue;
    }
    if (argument == "--") {  // everything after it belongs to the modules
      options_ended = true;
      continue;
    }
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const OptionSpec* option = find_option(name);
    if (!option) return usage_error("unknown option " + name);
    std::string value;
    if (option->takes == Takes::Nothing) {
      if (equals != std::string::npos) return usage_error("option " + name + " takes no value");
      if (name == "--help") return {ParsedCommandLine::Status::Help, {}};
      if (name == "--version") return {ParsedCommandLine::Status::Version, {}};
    } else if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0) {
      value = arguments[++i];
    } else {
      return usage_error("option " + name + " needs a value");
    }
    if (auto error = apply(name, value, out)) return usage_error(*error);
  }
  if (!out.ui_server.empty() && (!out.ui_script.empty() || out.headless))
    return usage_error(
        std::string("option --ui-server cannot be combined with ") +
        (out.headless ? "--headless: the browser is a user interface" : "--ui: one driver answers dialogs"));
  return {};
}

std::optional<std::string> choose_driver(HostOptions& out, bool person_present) {
  // Arguments for the modules make a command-line job, which opens no settings dialog.
  if (out.headless || !out.ui_script.empty() || !out.ui_server.empty() || !out.module_arguments.empty())
    return std::nullopt;
  if (person_present) {
    out.ui_server = "127.0.0.1:0";
    return std::nullopt;
  }
  return "zorhost: no driver answers dialogs: standard input is not a terminal, so nobody is there to use "
         "the page. Pass --ui FILE (a UI script answers them), --headless (no dialogs) or --ui-server "
         "[HOST:]PORT (serve the page anyway)";
}

// An installed zorhost lives in <prefix>/bin and its start-up folder in <prefix>/lib/zorhost; in a build
// folder the start-up content lies beside the executable.
static fs::path default_startup_folder(const fs::path& executable_folder) {
  const fs::path installed = executable_folder.parent_path() / "lib" / "zorhost";
  std::error_code error;
  return fs::is_directory(installed, error) ? installed : executable_folder;
}

void apply_option_defaults(HostOptions& out, const fs::path& executable_folder) {
  std::error_code error;
  if (out.startup_dir.empty()) out.startup_dir = default_startup_folder(executable_folder);
  if (out.prefs_dir.empty()) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config && *config) {
      out.prefs_dir = fs::path(config) / "zorhost";
    } else if (home && *home) {
      out.prefs_dir = fs::path(home) / ".config" / "zorhost";
    } else {
      out.prefs_dir = fs::current_path(error) / ".zorhost";
    }
  }
  // absolute, so that a module changing the working folder does not move the host's folders
  out.startup_dir = fs::absolute(out.startup_dir, error);
  out.prefs_dir = fs::absolute(out.prefs_dir, error);
  for (auto& [letter, folder] : out.drives) folder = fs::absolute(folder, error);
  if (!out.drives.count('C')) out.drives['C'] = out.prefs_dir / "drive_c";
}

std::vector<fs::path> find_modules(const fs::path& folder) {
  std::vector<fs::path> modules;
  std::error_code error;
  fs::recursive_directory_iterator it(folder, fs::directory_options::follow_directory_symlink, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->path().extension() == ".zdl64" && !it->is_directory(error)) modules.push_back(it->path());
  }
  std::sort(modules.begin(), modules.end());
  return modules;
}

std::string usage_text() {
  return "usage: zorhost [host options] [arguments for the modules]\n"
         "  --startup DIR         the start-up folder (default: ../lib/zorhost from zorhost's folder if\n"
         "                        there, else zorhost's folder)\n"
         "  --prefs DIR           stored settings and configuration (default: $XDG_CONFIG_HOME/zorhost)\n"
         "  --module FILE         load this module; repeatable (default: every *.zdl64 below "
         "<startup>/plugins)\n"
         "  --headless            run without a user interface\n"
         "  --ui FILE             answer dialogs from a UI script\n"
         "  --ui-server [HOST:]PORT  show dialogs in the browser: serve the page on PORT (0: a free\n"
         "                        one) of 127.0.0.1 or HOST, its address on the first line of stdout\n"
         "  --command NAME|ID     execute a registered command after start-up; repeatable\n"
         "  --set NAME=VALUE      set a configuration variable, e.g. g_nexalRelkitTools=true\n"
         "  --drive C=DIR         where the drive path C: points (default: <prefs>/drive_c)\n"
         "  --transcript FILE     record what a user would have seen, as JSON lines\n"
         "  --allow-faults        obey the faults section of scene files\n"
         "  --host-version N      answer N as the host API version, 0 to 99999999 (default 16050)\n"
         "  --check-leaks         list host allocations never freed at exit, and exit 4\n"
         "  -h, --help            show this text (a module's own options: zorhost -help)\n"
         "  --version             show the version of zorhost and of its host API\n"
         "Options take their value as '--opt value' or '--opt=value'; '--' ends the host options.\n"
         "Arguments for the relkit module (one dash): -renderator SCENES [BASE] renders every scene below\n"
         "SCENES and compares with the base BASE or builds one; -createdistribution compiles gui.tpn and\n"
         "writes tarponsymbols.h; -help prints the module's own usage.\n"
         "Without --ui, --headless and module arguments zorhost serves the page when standard input is a\n"
         "terminal, and exits 2 when it is not (nobody would answer its dialogs).\n"
         "Exit status: 0 clean end; 1 internal error; 2 usage error (headless: also an argument no module\n"
         "took; no terminal and no driver) or a UI script step wrong for what it met; 3 a module cannot be "
         "loaded or bound; 4 leaks\n"
         "(--check-leaks); 5 a headless run showed a message box no UI script step acknowledged, or a\n"
         "dialog no UI script was there to answer; 6 a file write, image save, script compile or the\n"
         "transcript failed, or a listing left out a name with a control byte. Several: 2/3, then 6, 5,\n"
         "4; for 5 and 6 the last stderr line names the cause.\n";
}

std::string version_text() {
  return "zorhost " ZORHOST_RELEASE
         "\n"
         "host API version " +
         std::to_string(ZOR_HOST_API_VERSION) + "\nbuild " + kHostBuildName + "\n";
}

}  // namespace zorhost
