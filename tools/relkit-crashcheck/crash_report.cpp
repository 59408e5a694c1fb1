#include "crash_report.h"

#include <cxxabi.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace crashcheck {
namespace {

constexpr size_t kSignatureFrames = 3;

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Demangle(const std::string& name) {
  int status = 0;
  char* plain = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
  if (status != 0 || !plain) return name;
  std::string result(plain);
  std::free(plain);
  return result;
}

// One backtrace_symbols line: "OBJECT(FUNCTION+0xOFF)[0xADDRESS]" or "OBJECT(+0xOFF)[0xADDRESS]".
struct Frame {
  std::string object;
  std::string function;  // mangled, may be empty
  std::string offset;    // from the function, or from the object when there is no function
  std::string address;
};

std::optional<Frame> ParseFrame(const std::string& line) {
  const size_t open = line.find('(');
  const size_t close = line.find(')', open == std::string::npos ? 0 : open);
  const size_t bracket = line.rfind('[');
  if (open == std::string::npos || close == std::string::npos || bracket == std::string::npos)
    return std::nullopt;
  Frame frame;
  frame.object = line.substr(0, open);
  const std::string inside = line.substr(open + 1, close - open - 1);
  const size_t plus = inside.rfind('+');
  frame.function = inside.substr(0, plus == std::string::npos ? inside.size() : plus);
  if (plus != std::string::npos) frame.offset = inside.substr(plus + 1);
  const size_t end = line.find(']', bracket);
  frame.address = line.substr(bracket + 1, end == std::string::npos ? std::string::npos : end - bracket - 1);
  return frame;
}

// Only the code the crash checker can blame: zorhost itself and the modules it loads.
bool IsOurs(const Frame& frame, const std::string& host_name) {
  const std::string name = BaseName(frame.object);
  return name == host_name || (name.size() > 6 && name.compare(name.size() - 6, 6, ".zdl64") == 0);
}

// A caller's frame holds the return address, which may already belong to the next line or inlined
// function: the byte before it is inside the call.
std::string FrameName(const Frame& frame, bool is_caller, Symbolizer symbolize) {
  if (!frame.function.empty()) return Demangle(frame.function);
  if (symbolize && !frame.offset.empty()) {
    std::string offset = frame.offset;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(offset.c_str(), &end, 16);
    if (is_caller && *end == 0 && value > 0) {
      char text[32];
      std::snprintf(text, sizeof(text), "0x%llx", value - 1);
      offset = text;
    }
    std::string name = symbolize(frame.object, offset);
    if (!name.empty()) return name;
  }
  return BaseName(frame.object) + "+" + frame.offset;
}

std::string ValueAfter(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (StartsWith(line, key)) return line.substr(key.size());
  return "";
}

}  // namespace

std::string SymbolizeWithAddr2line(const std::string& object, const std::string& offset) {
  // the arguments go to the program as they are, without a shell in between
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return "";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_ends[1], 1);
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) ::dup2(devnull, 2);
    ::execlp("addr2line", "addr2line", "-f", "-C", "-i", "-e", object.c_str(), offset.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  std::string output;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof(buffer))) > 0;) output.append(buffer, size_t(n));
  ::close(pipe_ends[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "";
  // With inlining the lines go from the innermost function out; the last function named is the one
  // that was compiled, which stays the same when the inlining changes.
  std::vector<std::string> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  const std::string name = lines.size() >= 2 ? lines[lines.size() - 2] : "";
  return name.empty() || name == "??" ? "" : name;
}

std::optional<CrashReport> ParseCrashReport(const std::string& text, const std::string& host_name,
                                            Symbolizer symbolize, std::string& error) {
  if (!StartsWith(text, "zorhost crash report\n")) {
    error = "not a zorhost crash report (its first line is not \"zorhost crash report\")";
    return std::nullopt;
  }
  CrashReport report;
  const std::string signal = ValueAfter(text, "signal: ");
  const size_t open = signal.find('(');
  const size_t close = signal.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) {
    error = "no signal line";
    return std::nullopt;
  }
  report.signal = signal.substr(open + 1, close - open - 1);
  report.thread = ValueAfter(text, "thread: ");
  const std::string activity = ValueAfter(text, "activity: ");
  const size_t space = activity.find(' ');
  if (space != std::string::npos) {
    report.activity = activity.substr(0, space);
    report.scene = activity.substr(space + 1);
  }

  const size_t start = text.find("\nbacktrace:\n");
  if (start == std::string::npos) {
    error = "no backtrace";
    return std::nullopt;
  }
  std::vector<Frame> frames;
  std::istringstream lines(text.substr(start + 12));
  for (std::string line; std::getline(lines, line);)
    if (auto frame = ParseFrame(line)) frames.push_back(*frame);
  // The handler's own frames come first, then the kernel's return trampoline in the C library; the
  // frame of the faulting code is the first one at the code address, else the one after the trampoline.
  const std::string code = ValueAfter(text, "code address: ");
  size_t first = frames.size();
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i].address == code) first = std::min(first, i);
  if (first == frames.size()) {
    size_t i = 0;
    while (i < frames.size() && IsOurs(frames[i], host_name)) ++i;
    first = i + 1;
  }
  for (size_t i = first; i < frames.size() && report.frames.size() < kSignatureFrames; ++i)
    if (IsOurs(frames[i], host_name)) report.frames.push_back(FrameName(frames[i], i != first, symbolize));
  return report;
}

std::string Signature(const std::string& kind, const std::vector<std::string>& frames) {
  std::string signature = kind;
  for (size_t i = 0; i < frames.size(); ++i) signature += (i == 0 ? " at " : " < ") + frames[i];
  return signature;
}

std::string CrashReportPath(const std::string& host_stderr) {
  const std::string key = "crash report: ";
  const size_t at = host_stderr.rfind(key);
  if (at == std::string::npos) return "";
  std::string path = host_stderr.substr(at + key.size());
  path = path.substr(0, path.find('\n'));
  return path == "(could not be written)" ? "" : path;
}

}  // namespace crashcheck
