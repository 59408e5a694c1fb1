#include "app/crash_handler.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <ctime>
#include <system_error>

namespace zorhost {
namespace {

// Everything the handler needs is prepared at installation: after a fault only async-signal-safe
// calls are made, into fixed buffers.
char g_crash_folder[4096];
volatile sig_atomic_t g_handling = 0;
alignas(16) char g_alternate_stack[64 * 1024];
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

class Text {
 public:
  void add(const char* text) {
    while (*text && length_ + 1 < sizeof(buffer_)) buffer_[length_++] = *text++;
    buffer_[length_] = 0;
  }
  void add_number(unsigned long long value, unsigned base, int min_digits = 1) {
    char digits[32];
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0 && count < 32);
    while (count < min_digits && count < 32) digits[count++] = '0';
    char reversed[33];
    for (int i = 0; i < count; ++i) reversed[i] = digits[count - 1 - i];
    reversed[count] = 0;
    add(reversed);
  }
  void add_address(const void* address) {
    add("0x");
    add_number(reinterpret_cast<uintptr_t>(address), 16);
  }
  const char* c_str() const { return buffer_; }
  size_t size() const { return length_; }

 private:
  char buffer_[8192] = {};
  size_t length_ = 0;
};

const char* signal_name(int signal_number) {
  switch (signal_number) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGILL:
      return "SIGILL";
    case SIGFPE:
      return "SIGFPE";
    case SIGABRT:
      return "SIGABRT";
    default:
      return "signal";
  }
}

void write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written <= 0) return;
    data += written;
    size -= static_cast<size_t>(written);
  }
}

// UTC as YYYYMMDD-HHMMSS, computed by hand: the time functions of the C library may take locks.
void add_time(Text& text, time_t now) {
  long long days = now / 86400;
  long long seconds = now % 86400;
  // civil date from days since 1970-01-01
  days += 719468;
  const long long era = days / 146097;
  const long long day_of_era = days - era * 146097;
  const long long year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  long long year = year_of_era + era * 400;
  const long long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const long long month_index = (5 * day_of_year + 2) / 153;
  const long long day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const long long month = month_index < 10 ? month_index + 3 : month_index - 9;
  if (month <= 2) ++year;
  text.add_number(static_cast<unsigned long long>(year), 10, 4);
  text.add_number(static_cast<unsigned long long>(month), 10, 2);
  text.add_number(static_cast<unsigned long long>(day), 10, 2);
  text.add("-");
  text.add_number(static_cast<unsigned long long>(seconds / 3600), 10, 2);
  text.add_number(static_cast<unsigned long long>(seconds / 60 % 60), 10, 2);
  text.add_number(static_cast<unsigned long long>(seconds % 60), 10, 2);
}

const void* faulting_code(void* context) {
#if defined(__x86_64__)
  return reinterpret_cast<const void*>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  return reinterpret_cast<const void*>(static_cast<ucontext_t*>(context)->uc_mcontext.pc);
#else
  (void)context;
  return nullptr;
#endif
}

void on_fault(int signal_number, siginfo_t* info, void* context) {
  if (g_handling) {
    ::raise(signal_number);
    return;
  }
  g_handling = 1;

  Text path;
  path.add(g_crash_folder);
  ::mkdir(g_crash_folder, 0755);
  path.add("/");
  add_time(path, ::time(nullptr));
  path.add("-");
  path.add_number(static_cast<unsigned long long>(::getpid()), 10);
  path.add(".txt");

  const void* code = faulting_code(context);
  Dl_info where{};
  // dladdr only reads the loader's tables; it is the one not strictly async-signal-safe call, and
  // naming the module is what the report is for.
  const bool known = code && ::dladdr(code, &where) != 0 && where.dli_fname;

  Text report;
  report.add("zorhost crash report\nsignal: ");
  report.add_number(static_cast<unsigned long long>(signal_number), 10);
  report.add(" (");
  report.add(signal_name(signal_number));
  report.add(")\naddress: ");
  report.add_address(info ? info->si_addr : nullptr);
  report.add("\ncode address: ");
  report.add_address(code);
  report.add("\nmodule: ");
  report.add(known ? where.dli_fname : "unknown");
  if (known) {
    report.add(" + ");
    report.add_address(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(code) -
                                                     reinterpret_cast<uintptr_t>(where.dli_fbase)));
  }
  report.add("\nbacktrace:\n");

  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) {
    write_all(fd, report.c_str(), report.size());
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, count, fd);
    ::fsync(fd);
    ::close(fd);
  }

  Text message;
  message.add("zorhost: crashed with ");
  message.add(signal_name(signal_number));
  message.add(" in ");
  message.add(known ? where.dli_fname : "unknown code");
  message.add("; crash report: ");
  message.add(fd >= 0 ? path.c_str() : "(could not be written)");
  message.add("\n");
  write_all(STDERR_FILENO, message.c_str(), message.size());

  // SA_RESETHAND put the default action back: the signal now ends the process.
  ::raise(signal_number);
}

}  // namespace

void install_crash_handler(const std::filesystem::path& prefs_dir) {
  const std::string folder = (prefs_dir / "crashes").string();
  if (folder.size() >= sizeof(g_crash_folder)) return;
  std::memcpy(g_crash_folder, folder.c_str(), folder.size() + 1);
  std::error_code ignored;
  std::filesystem::create_directories(prefs_dir, ignored);

  // The first backtrace loads the unwinder, which must not happen inside the handler.
  void* frame[1];
  ::backtrace(frame, 1);

  stack_t alternate{};
  alternate.ss_sp = g_alternate_stack;
  alternate.ss_size = sizeof(g_alternate_stack);
  ::sigaltstack(&alternate, nullptr);

  struct sigaction action {};
  action.sa_sigaction = on_fault;
  action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kFaultSignals) ::sigaction(signal_number, &action, nullptr);
}

}  // namespace zorhost
