// The frame of the tools' main functions: no arguments show the usage (status 2), --help or -h first
// show it (0), --version shows the version; whatever the command throws is one line "NAME: what" on
// stderr and status 2, with the usage after a usage error.
#pragma once
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace relkit_tools {

struct UsageError {
  std::string message;
};

// run(args) answers the exit status of the command args name (args[0] is the command).
template <class Run>
int RunToolMain(const char* name, const char* usage, const std::string& version, int argc, char** argv,
                Run run) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
      std::cout << usage;
      return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
      std::cout << name << " " << version;
      return 0;
    }
    return run(args);
  } catch (const UsageError& e) {
    std::cerr << name << ": " << e.message << "\n" << usage;
  } catch (const std::exception& e) {
    std::cerr << name << ": " << e.what() << "\n";
  }
  return 2;
}

}  // namespace relkit_tools
