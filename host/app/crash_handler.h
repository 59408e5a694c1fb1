// The host's crash handler: a fault anywhere in the process (most often in a module) is written to a
// crash report in <prefs>/crashes before the process dies of it, so that nothing about it is lost.
//
// After a fault the handler only reads what was prepared before it: the crash folder's name, a table of
// the loaded objects' address ranges, and the notes below, which the host writes into fixed storage as
// it works. Writing a note is cheap and works whether or not a handler is installed.
#pragma once
#include <filesystem>
#include <string>

namespace zorhost {

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT. Each writes
// <prefs>/crashes/<time>-<pid>.txt (signal, faulting address, the module that holds the faulting code,
// the thread, what the host was doing, a backtrace), names it on stderr and re-raises the signal, so the
// parent sees the process killed by it. For the zorhost executable only: tests that run a host
// in-process keep their own handlers.
void install_crash_handler(const std::filesystem::path& prefs_dir);

// Takes a new picture of the address ranges of the executable, its libraries and the modules, from
// which the handler names the module of a faulting address without asking the loader. Called at
// installation and whenever modules were loaded or unloaded.
void refresh_crash_module_table();

// The module (file name and offset) that holds an address, from the last picture; "unknown" when no
// loaded object holds it. For tests of the table; the handler uses the same lookup.
std::string crash_module_of(const void* address);

// A crash-checking run is in progress (a module said so with a core message) or has ended.
void crash_note_crash_check(bool running);
bool crash_check_in_progress();

// What the host is doing with which scene ("loading", "rendering"), for the scope of the object. When
// two threads work at once the newer note is shown; the older one's end does not clear it.
class CrashActivity {
 public:
  CrashActivity(const char* doing, const std::string& scene);
  ~CrashActivity();
  CrashActivity(const CrashActivity&) = delete;
  CrashActivity& operator=(const CrashActivity&) = delete;

 private:
  unsigned long generation_;
};

// The calling thread's role in the report ("render worker", "module thread"); a string that lives for
// the whole process (a literal). Threads without a role are named "main thread" or "other thread".
void crash_note_thread_role(const char* role);

// Said just before the host faults on purpose, with where the scene asked for it ("load", "render").
void crash_note_injected_fault(const char* where);

}  // namespace zorhost
