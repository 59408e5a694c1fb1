#include "app/crash_handler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <system_error>

namespace zorhost {
namespace {

// Everything the handler needs is prepared before a fault: after one only async-signal-safe calls
// are made, into fixed buffers, and shared state is only read.
char g_crash_folder[4096];
volatile sig_atomic_t g_handling = 0;
alignas(16) char g_alternate_stack[64 * 1024];
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// Copies at most size - 1 bytes and always ends the copy.
void copy_text(char* to, size_t size, const char* from) {
  size_t i = 0;
  for (; from && from[i] && i + 1 < size; ++i) to[i] = from[i];
  to[i] = 0;
}

// --- the loaded objects' address ranges -------------------------------------------------------------
// Two tables: a refresh fills the one not shown and then shows it, so the handler never reads a table
// being filled.

struct ModuleRange {
  uintptr_t start = 0;
  uintptr_t end = 0;  // one past the last byte of the object's last loaded segment
  uintptr_t base = 0;
  char name[512] = {};
};
constexpr int kMaxModules = 256;
struct ModuleTable {
  int count = 0;
  ModuleRange ranges[kMaxModules];
};
ModuleTable g_module_tables[2];
std::atomic<int> g_module_table_shown{0};
std::mutex g_module_table_writer;
char g_executable[512];

int collect_module(dl_phdr_info* info, size_t, void* data) {
  auto* table = static_cast<ModuleTable*>(data);
  if (table->count >= kMaxModules) return 1;
  uintptr_t low = UINTPTR_MAX, high = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (start < low) low = start;
    if (start + segment.p_memsz > high) high = start + segment.p_memsz;
  }
  if (low >= high) return 0;
  ModuleRange& range = table->ranges[table->count++];
  range.start = low;
  range.end = high;
  range.base = info->dlpi_addr;
  // the executable comes without a name
  const char* name = info->dlpi_name && info->dlpi_name[0] ? info->dlpi_name : g_executable;
  copy_text(range.name, sizeof(range.name), name[0] ? name : "(the executable)");
  return 0;
}

const ModuleRange* find_module(uintptr_t address) {
  const ModuleTable& table = g_module_tables[g_module_table_shown.load(std::memory_order_acquire)];
  for (int i = 0; i < table.count; ++i) {
    if (address >= table.ranges[i].start && address < table.ranges[i].end) return &table.ranges[i];
  }
  return nullptr;
}

// --- notes on what the host is doing -----------------------------------------------------------------

std::atomic<bool> g_crash_check{false};

struct ActivityText {
  char doing[32] = {};
  char scene[4096] = {};
};
ActivityText g_activities[2];
std::atomic<int> g_activity_shown{-1};  // -1: nothing noted
std::atomic<unsigned long> g_activity_generation{0};
std::mutex g_activity_writer;

thread_local const char* t_thread_role = nullptr;
std::atomic<const char*> g_injected_fault{nullptr};

}  // namespace

void refresh_crash_module_table() {
  std::lock_guard lock(g_module_table_writer);
  if (!g_executable[0]) {
    char path[sizeof(g_executable)] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length > 0) copy_text(g_executable, sizeof(g_executable), path);
  }
  const int next = 1 - g_module_table_shown.load();
  g_module_tables[next].count = 0;
  ::dl_iterate_phdr(collect_module, &g_module_tables[next]);
  g_module_table_shown.store(next, std::memory_order_release);
}

std::string crash_module_of(const void* address) {
  const ModuleRange* range = find_module(reinterpret_cast<uintptr_t>(address));
  if (!range) return "unknown";
  char offset[32];
  std::snprintf(offset, sizeof(offset), " + 0x%lx",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address) - range->base));
  return std::string(range->name) + offset;
}

void crash_note_crash_check(bool running) {
  g_crash_check.store(running);
}

bool crash_check_in_progress() {
  return g_crash_check.load();
}

CrashActivity::CrashActivity(const char* doing, const std::string& scene) {
  std::lock_guard lock(g_activity_writer);
  const int next = g_activity_shown.load() == 0 ? 1 : 0;
  copy_text(g_activities[next].doing, sizeof(g_activities[next].doing), doing);
  copy_text(g_activities[next].scene, sizeof(g_activities[next].scene), scene.c_str());
  generation_ = ++g_activity_generation;
  g_activity_shown.store(next, std::memory_order_release);
}

CrashActivity::~CrashActivity() {
  std::lock_guard lock(g_activity_writer);
  if (g_activity_generation.load() == generation_) g_activity_shown.store(-1);
}

void crash_note_thread_role(const char* role) {
  t_thread_role = role;
}

void crash_note_injected_fault(const char* where) {
  g_injected_fault.store(where);
}

namespace {
class Text {
 public:
  void add(const char* text) {
    while (text && *text && length_ + 1 < sizeof(buffer_)) buffer_[length_++] = *text++;
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
  void add_address(uintptr_t address) {
    add("0x");
    add_number(address, 16);
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

uintptr_t faulting_code(void* context) {
#if defined(__x86_64__)
  return static_cast<uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  return static_cast<uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.pc);
#else
  (void)context;
  return 0;
#endif
}

// The module holding the code, with the offset that a disassembly of it shows.
void add_module(Text& text, uintptr_t code) {
  const ModuleRange* range = code ? find_module(code) : nullptr;
  if (!range) {
    text.add("unknown");
    return;
  }
  text.add(range->name);
  text.add(" + ");
  text.add_address(code - range->base);
}

const char* thread_role() {
  if (t_thread_role) return t_thread_role;
  return ::syscall(SYS_gettid) == ::getpid() ? "main thread" : "other thread";
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

  const uintptr_t code = faulting_code(context);
  const uintptr_t address = info ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
  const int activity = g_activity_shown.load(std::memory_order_acquire);
  const char* injected = g_injected_fault.load();
  const bool crash_check = g_crash_check.load();

  Text report;
  report.add("zorhost crash report\nsignal: ");
  report.add_number(static_cast<unsigned long long>(signal_number), 10);
  report.add(" (");
  report.add(signal_name(signal_number));
  report.add(")\naddress: ");
  report.add_address(address);
  report.add("\ncode address: ");
  report.add_address(code);
  report.add("\nmodule: ");
  add_module(report, code);
  report.add("\nthread: ");
  report.add(thread_role());
  if (activity >= 0) {
    report.add("\nactivity: ");
    report.add(g_activities[activity].doing);
    report.add(" ");
    report.add(g_activities[activity].scene);
  }
  if (injected) {
    report.add("\ncause: the scene asked for this fault (faults.crash \"");
    report.add(injected);
    report.add("\", obeyed because of --allow-faults)");
  }
  if (crash_check) report.add("\ncrash check: a crash-checking run was in progress");
  report.add("\nbacktrace:\n");

  // a new file only: a link or a file planted under the (predictable) name is never written through
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd >= 0) {
    write_all(fd, report.c_str(), report.size());
    // backtrace() was called once at installation, so its unwinder is loaded and it does not allocate;
    // backtrace_symbols_fd writes without allocating.
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
  add_module(message, code);
  message.add(" at address ");
  message.add_address(address);
  message.add(" (");
  message.add(thread_role());
  if (activity >= 0) {
    message.add(", ");
    message.add(g_activities[activity].doing);
    message.add(" ");
    message.add(g_activities[activity].scene);
  }
  if (injected) message.add(", a fault the scene asked for");
  if (crash_check) message.add(", during a crash-checking run");
  message.add("); crash report: ");
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
  refresh_crash_module_table();

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
