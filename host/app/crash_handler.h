// The host's crash handler: a fault anywhere in the process (most often in a module) is written to a
// crash report in <prefs>/crashes before the process dies of it, so that nothing about it is lost.
#pragma once
#include <filesystem>

namespace zorhost {

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT. Each writes
// <prefs>/crashes/<time>-<pid>.txt (signal, faulting address, the module that holds the faulting code,
// a backtrace), names it on stderr and re-raises the signal, so the parent sees the process killed by
// it. For the zorhost executable only: tests that run a host in-process keep their own handlers.
void install_crash_handler(const std::filesystem::path& prefs_dir);

}  // namespace zorhost
