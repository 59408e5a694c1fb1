#include "commandline.h"

#include <cstring>

#include "makedistri/makedistri.h"
#include "renderator/renderator_run.h"
#include "zor_filename.h"
#include "zor_general.h"
#include "zor_string.h"

namespace {

void PrintUsage(const CommandLineActions& actions) {
  actions.print(String("Renderator Options:"));
  actions.print(String("-renderator scenepath [refpath] ... specify the directory to render"));
  actions.print(String("-createdistribution ... create the distribution"));
  actions.print(String(""));
}

bool Is(const char* argument, const char* option) {
  return std::strcmp(argument, option) == 0;
}

}  // namespace

CommandLineActions DefaultCommandLineActions() {
  CommandLineActions actions;
  actions.renderator = [](const Filename& scenePath, const Filename& referencePath) {
    RunRenderator(scenePath, referencePath, 0);
  };
  actions.distribution = [] { RunDistributionAction(); };
  actions.print = [](const String& line) { GePrint(line); };
  return actions;
}

bool ScanCommandLine(HostArguments* arguments, const CommandLineActions& actions) {
  if (!arguments || !arguments->arguments) return false;
  char** argv = arguments->arguments;
  String scenePath;
  String referencePath;
  int32_t i = 0;
  while (i < arguments->count) {
    const char* argument = argv[i];
    if (!argument) {
      ++i;
      continue;
    }
    if (Is(argument, "--help") || Is(argument, "-help")) {
      PrintUsage(actions);
      ++i;
      continue;
    }
    if (Is(argument, "-renderator")) {
      argv[i] = nullptr;
      if (i + 1 >= arguments->count) {
        actions.print(String("missing parameter for -renderator"));
        break;
      }
      // An argument that another module already consumed is a null text: it gives an empty scene
      // path, also over one an earlier option set, and then no run starts.
      scenePath = String();
      if (argv[i + 1]) scenePath.SetCString(argv[i + 1]);
      argv[i + 1] = nullptr;
      const int32_t j = i + 2;
      if (j < arguments->count && argv[j] && argv[j][0] != '-') {
        referencePath.SetCString(argv[j]);
        argv[j] = nullptr;
        break;
      }
      // the argument at j, if any, is left for the host
      i = j + 1;
      continue;
    }
    if (Is(argument, "-createdistribution")) {
      argv[i] = nullptr;
      if (actions.distribution) actions.distribution();
      i += 2;
      continue;
    }
    ++i;
  }
  if (!scenePath.IsEmpty() && actions.renderator) {
    actions.renderator(Filename(scenePath), Filename(referencePath));
  }
  return false;
}

bool ScanCommandLine(HostArguments* arguments) {
  return ScanCommandLine(arguments, DefaultCommandLineActions());
}
