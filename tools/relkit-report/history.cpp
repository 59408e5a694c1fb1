#include "history.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "tool_text.h"

namespace relkit_report {

namespace {

constexpr size_t kMaxLabel = 1000;      // a longer run name or time marks a line that is no record
constexpr size_t kMaxSceneName = 4096;  // as the longest report line

bool IsVerdictWord(const std::string& word) {
  for (int v = 0; v < kVerdictCount; ++v)
    if (word == VerdictWord(Verdict(v))) return true;
  return false;
}

bool IsFailureWord(const std::string& word) {
  return word == "FAIL" || word == "ERROR" || word == "MISSING";
}

std::optional<double> Figure(const nlohmann::json& value, bool& ok) {
  if (value.is_null()) return std::nullopt;
  if (!value.is_number() || !std::isfinite(value.get<double>())) ok = false;
  return ok ? std::optional<double>(value.get<double>()) : std::nullopt;
}

nlohmann::json FigureJson(const std::optional<double>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json();
}

// a line of the file as a run record, or nothing when it is not one
std::optional<HistoryRun> ParseRun(std::string_view line) {
  const nlohmann::json record = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
  if (!record.is_object()) return std::nullopt;
  const auto run = record.find("run"), time = record.find("time"), scenes = record.find("scenes");
  if (run == record.end() || time == record.end() || scenes == record.end() || !run->is_string() ||
      !time->is_string() || !scenes->is_array())
    return std::nullopt;
  HistoryRun out;
  out.label = run->get<std::string>() + " " + time->get<std::string>();
  if (out.label.size() > kMaxLabel) return std::nullopt;
  for (const nlohmann::json& s : *scenes) {
    if (!s.is_array() || s.size() != 5 || !s[0].is_string() || !s[1].is_string()) continue;
    HistoryMark mark;
    mark.status = s[1].get<std::string>();
    bool ok = IsVerdictWord(mark.status) && s[0].get_ref<const std::string&>().size() <= kMaxSceneName;
    mark.diff = Figure(s[2], ok);
    mark.over = Figure(s[3], ok);
    mark.tnew = Figure(s[4], ok);
    if (ok) out.scenes.emplace_back(s[0].get<std::string>(), std::move(mark));
  }
  return out;
}

// six significant digits keep a record of many scenes short; the page shows two decimals of a percent
double Compact(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return std::strtod(text, nullptr);
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);  // releases the flock too
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

[[noreturn]] void Fail(const std::filesystem::path& file, const std::string& what, int error) {
  throw InputError(file.string() + ": " + what + " (" + std::strerror(error) + ")");
}

bool ReadAt(int fd, char* data, size_t size, off_t at) {
  while (size > 0) {
    const ssize_t n = ::pread(fd, data, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n, size -= size_t(n), at += n;
  }
  return true;
}

// The last runs from a window at the file's end, widened fourfold until it holds enough runs, reaches
// the start or the byte limit: a file of any size costs at most kMaxHistoryBytes of reading.
std::vector<HistoryRun> ReadTail(int fd, off_t size, const std::filesystem::path& file) {
  size_t window = size_t(1) << 20;
  for (;;) {
    const off_t start = size > off_t(window) ? size - off_t(window) : 0;
    std::string text(size_t(size - start), '\0');
    if (!ReadAt(fd, text.data(), text.size(), start)) Fail(file, "cannot be read", errno ? errno : EIO);
    std::vector<HistoryRun> runs = ParseHistory(text, kHistoryRuns, start == 0);
    if (runs.size() >= kHistoryRuns || start == 0 || window >= kMaxHistoryBytes) return runs;
    window = std::min(window * 4, kMaxHistoryBytes);
  }
}

}  // namespace

std::vector<HistoryRun> ParseHistory(std::string_view text, size_t maxRuns, bool atStart) {
  std::vector<HistoryRun> runs;
  size_t end = text.rfind('\n');  // what follows the last line end is torn
  while (end != std::string_view::npos && runs.size() < maxRuns) {
    const size_t before = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
    const size_t begin = before == std::string_view::npos ? 0 : before + 1;
    if (before != std::string_view::npos || atStart)
      if (std::optional<HistoryRun> run = ParseRun(text.substr(begin, end - begin)))
        runs.push_back(std::move(*run));
    end = before;
  }
  std::reverse(runs.begin(), runs.end());
  return runs;
}

SceneHistories::SceneHistories(std::vector<HistoryRun> earlier, HistoryRun current) {
  earlier.push_back(std::move(current));
  for (HistoryRun& run : earlier) {
    for (auto& [name, mark] : run.scenes) marks_[name].emplace_back(labels_.size(), std::move(mark));
    labels_.push_back(std::move(run.label));
  }
}

void SceneHistories::AddTo(const std::string& name, nlohmann::json& scene) const {
  nlohmann::json history = nlohmann::json::array(), firstFailed;
  const auto found = marks_.find(relkit_tools::Printable(name));
  if (found != marks_.end()) {
    for (const auto& [run, mark] : found->second) {
      history.push_back({{"run", labels_[run]},
                         {"status", mark.status},
                         {"diff", FigureJson(mark.diff)},
                         {"over", FigureJson(mark.over)},
                         {"tnew", FigureJson(mark.tnew)}});
      if (firstFailed.is_null() && IsFailureWord(mark.status)) firstFailed = labels_[run];
    }
  }
  scene["history"] = std::move(history);
  scene["firstFailed"] = std::move(firstFailed);
}

HistoryRun RecordOf(const CheckOutcome& outcome, const std::filesystem::path& result) {
  HistoryRun run;
  run.label = relkit_tools::Printable(
      std::filesystem::absolute(result).lexically_normal().filename().string() + " " + UtcNow());
  run.scenes.reserve(outcome.scenes.size());
  for (const SceneVerdict& s : outcome.scenes) {
    const ResultLine& line = s.Line();
    HistoryMark mark{VerdictWord(s.verdict), std::nullopt, std::nullopt, std::nullopt};
    if (line.hasTold) mark.diff = Compact(line.diff);
    if (s.compared && s.stats.pixels)
      mark.over = Compact(double(s.stats.pixelsOver) / double(s.stats.pixels));
    if (s.report) mark.tnew = Compact(line.tnew);
    run.scenes.emplace_back(relkit_tools::Printable(s.name), std::move(mark));
  }
  return run;
}

std::string HistoryLine(const HistoryRun& run) {
  // the label's last word is the time; the record keeps the two apart
  const size_t space = run.label.rfind(' ');
  nlohmann::json scenes = nlohmann::json::array();
  for (const auto& [name, mark] : run.scenes)
    scenes.push_back(
        {name, mark.status, FigureJson(mark.diff), FigureJson(mark.over), FigureJson(mark.tnew)});
  const nlohmann::json record = {{"run", run.label.substr(0, space)},
                                 {"time", space == std::string::npos ? "" : run.label.substr(space + 1)},
                                 {"scenes", std::move(scenes)}};
  return record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<HistoryRun> ReadAndAppendHistory(const std::filesystem::path& folder, const HistoryRun& run) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw InputError(folder.string() + ": cannot be made (" + error.message() + ")");
  const std::filesystem::path file = folder / kHistoryFile;
  // O_NONBLOCK: something planted there that is no regular file must not block the open
  Descriptor fd(::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  if (fd.Get() < 0) Fail(file, "cannot be opened", errno);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) Fail(file, "cannot be read", errno);
  if (!S_ISREG(info.st_mode)) throw InputError(file.string() + ": not a regular file");
  int locked;
  do locked = ::flock(fd.Get(), LOCK_EX);
  while (locked != 0 && errno == EINTR);
  if (locked != 0) Fail(file, "cannot be locked", errno);
  // the size once no other check can be appending
  if (::fstat(fd.Get(), &info) != 0) Fail(file, "cannot be read", errno);

  std::vector<HistoryRun> earlier = ReadTail(fd.Get(), info.st_size, file);
  // A line torn by a check that died while appending is ended first, so that it stays one bad line
  // and this record starts a line of its own.
  char last = '\n';
  if (info.st_size > 0 && !ReadAt(fd.Get(), &last, 1, info.st_size - 1)) Fail(file, "cannot be read", EIO);
  const std::string text = (last == '\n' ? "" : "\n") + HistoryLine(run) + "\n";
  const char* data = text.data();
  size_t left = text.size();
  int failure = 0;
  while (left > 0 && !failure) {
    const ssize_t n = ::write(fd.Get(), data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      failure = errno;
    else
      data += n, left -= size_t(n);
  }
  if (!failure && ::fsync(fd.Get()) != 0) failure = errno;
  if (failure) {
    // no half record for the next reader; should the cut fail too, the torn line is ignored
    [[maybe_unused]] const int cut = ::ftruncate(fd.Get(), info.st_size);
    Fail(file, "cannot be written", failure);
  }
  return earlier;
}

}  // namespace relkit_report
