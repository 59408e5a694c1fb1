// relkit-crashcheck: runs zorhost's Attachment Scanner over a scene folder until every scene finished
// or crashed, and buckets the crashes by signature. Exit status: 0 every crash known, 1 a new crash
// bucket, 2 usage or unreadable input.
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "runner.h"
#include "tool_main.h"
#include "zor_api.h"

namespace {

constexpr const char* kVersion = "0.1";

constexpr const char* kUsage = R"(usage:
  relkit-crashcheck run SCENES [--reference DIR] [--timeout S] [--memory MB] [--known FILE]
                    [--zorhost FILE] [-- ZORHOST-OPTIONS]

run renders every scene below SCENES with zorhost's Attachment Scanner. When zorhost crashes (or a
scene takes longer than S seconds, a hang, or makes zorhost use more than MB MiB, out of memory), the
scene is set aside and the scanner starts again with the rest; the user's files are never moved or
changed. Crashes with the same signature (the kind and the innermost frames of zorhost or a module)
form one bucket. At the end each crashing scene runs once more on its own: a bucket whose scenes all
crash the same way again is reliable, else flaky. Results, in the result folder: _crashes.json,
_crashes_junit.xml and _crashes.html, beside the scanner's images and _result.txt.
  --reference DIR   the scanner's result folder [SCENES_crashcheck beside SCENES]
  --timeout S       seconds one scene may take before it counts as a hang [600]
  --memory MB       MiB of memory zorhost may use before the scene counts as out of memory [no limit]
  --known FILE      accepted signatures (e.g. an earlier run's _crashes.json)
  --zorhost FILE    the zorhost to run [beside relkit-crashcheck, else on PATH]
  -- ...            options passed to zorhost (e.g. --prefs DIR, --allow-faults)
  -h, --help        show this text
  --version         show the version
Exit status: 0 every crash is in a known bucket, 1 a new bucket, 2 usage or unreadable input (the
buckets found until then are written), 130 interrupted.
)";

using relkit_tools::UsageError;

crashcheck::RunOptions ParseRun(const std::vector<std::string>& args) {
  crashcheck::RunOptions options;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string a = args[i];
    if (a == "--") {
      options.host_arguments.assign(args.begin() + long(i) + 1, args.end());
      break;
    }
    std::string value;
    bool has_value = false;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      has_value = true;
    }
    auto take = [&]() -> std::string {
      if (has_value) return value;
      if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
      return args[++i];
    };
    if (a == "--reference") {
      options.reference = take();
    } else if (a == "--known") {
      options.known = take();
    } else if (a == "--zorhost") {
      options.zorhost = take();
    } else if (a == "--timeout") {
      const std::string text = take();
      char* end = nullptr;
      options.limits.timeout_seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end || !(options.limits.timeout_seconds > 0))
        throw UsageError{"--timeout: \"" + text + "\" is not a positive number of seconds"};
    } else if (a == "--memory") {
      const std::string text = take();
      char* end = nullptr;
      options.limits.memory_mb = std::strtod(text.c_str(), &end);
      if (text.empty() || *end || !(options.limits.memory_mb > 0))
        throw UsageError{"--memory: \"" + text + "\" is not a positive number of MiB"};
    } else if (a.rfind("-", 0) == 0 && a.size() > 1) {
      throw UsageError{"unknown option " + a};
    } else if (options.scenes.empty()) {
      options.scenes = a;
    } else {
      throw UsageError{"more than one scene folder (" + options.scenes.string() + ", " + a + ")"};
    }
  }
  if (options.scenes.empty()) throw UsageError{"run needs a scene folder"};
  return options;
}

int Command(const std::vector<std::string>& args) {
  if (args[0] != "run") throw UsageError{"unknown command " + args[0]};
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--") {
      break;
    }
  crashcheck::RunOptions options = ParseRun(args);
  crashcheck::StopOnInterrupt();
  try {
    return crashcheck::Run(std::move(options));
  } catch (const crashcheck::Interrupted& stopped) {
    std::cerr << "relkit-crashcheck: " << stopped.what() << "\n";
    return 130;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string version =
      std::string(kVersion) + "\nhost API version " + std::to_string(ZOR_HOST_API_VERSION) + "\n";
  return relkit_tools::RunToolMain("relkit-crashcheck", kUsage, version, argc, argv, Command);
}
