// The module's own options in the host's command line (host message 1002).
#pragma once
#include <functional>

#include "zor_api.h"

class Filename;
class String;

// What the scan starts; the defaults run the real batch actions. Tests put recorders here.
struct CommandLineActions {
  std::function<void(const Filename& scenePath, const Filename& referencePath)> renderator;
  std::function<void()> distribution;
  std::function<void(const String& line)> print;
};

CommandLineActions DefaultCommandLineActions();

// Looks for "-renderator", "-createdistribution", "-help" and "--help", consumes what it uses by
// setting those arguments to null, and runs the batch actions. Always answers false, so that the
// host keeps offering the message to other modules.
bool ScanCommandLine(HostArguments* arguments, const CommandLineActions& actions);
bool ScanCommandLine(HostArguments* arguments);
