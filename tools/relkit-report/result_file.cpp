#include "result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace relkit_report {

namespace {

constexpr size_t kColumn = 10;
constexpr const char* kHeaderColumns = "Status    Tnew      Told      Trel      Diff      Name";

// Render times beyond a few decades, or percentages beyond 1e15 % (a share of 1e13), are no
// measurement but a damaged report; refusing them keeps every figure finite in what a check writes.
constexpr double kMaxSeconds = 1e9;
constexpr double kMaxShare = 1e13;
// The Renderator cuts its lines at 255 bytes; anything much longer is not its report.
constexpr size_t kMaxLine = 4096;

// a text to quote in a message, shortened when it is long
std::string Shortened(const std::string& text) {
  return text.size() <= 24 ? text : text.substr(0, 12) + "..." + text.substr(text.size() - 8);
}

// The report read line by line from a regular file: a FIFO, a device or a link to one is refused
// before anything is read, and no line is allowed to grow without bound.
class ReportFile {
 public:
  explicit ReportFile(const std::filesystem::path& path) : path_(path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
      const int error = errno;
      throw InputError(path.string() + ": cannot be read (" +
                       (error == ENOENT ? std::string("no such file") : std::strerror(error)) + ")");
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd_);
      throw InputError(path.string() + ": not a regular file, not a Renderator report");
    }
  }
  ~ReportFile() { ::close(fd_); }
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // The next line without its "\n"; ended tells whether it had one. False at the end of the file.
  bool NextLine(std::string& line, bool& ended) {
    line.clear();
    for (;;) {
      const size_t end = buffer_.find('\n', pos_);
      if (end != std::string::npos) {
        line.append(buffer_, pos_, end - pos_);
        pos_ = end + 1;
        ended = true;
        return true;
      }
      line.append(buffer_, pos_, std::string::npos);
      pos_ = 0;
      buffer_.resize(kBlock);
      ssize_t got;
      do got = ::read(fd_, buffer_.data(), kBlock);
      while (got < 0 && errno == EINTR);
      if (got < 0) throw InputError(path_.string() + ": cannot be read (" + std::strerror(errno) + ")");
      buffer_.resize(size_t(got));
      if (got == 0) {
        if (line.empty()) return false;
        ended = false;
        return true;
      }
      if (line.size() > kMaxLine)
        throw InputError(path_.string() + ": a line longer than " + std::to_string(kMaxLine) +
                         " bytes, not a Renderator report");
    }
  }

 private:
  static constexpr size_t kBlock = 1 << 16;
  std::filesystem::path path_;
  int fd_ = -1;
  std::string buffer_;
  size_t pos_ = 0;
};

std::string PaddedColumn(const std::string& text) {
  return text.size() >= kColumn ? text : text + std::string(kColumn - text.size(), ' ');
}

// Reads one line's columns left to right. A column is its text followed by blanks up to ten
// characters; a longer text is written whole and the next column follows at once, so each column is
// recognised by what its text may hold, not by blanks.
class LineCursor {
 public:
  LineCursor(const std::string& line, const std::string& where) : line_(line), where_(where) {}

  std::string Digits(const char* what) {
    const size_t start = pos_;
    while (pos_ < line_.size() && std::isdigit(static_cast<unsigned char>(line_[pos_]))) ++pos_;
    if (pos_ == start) Fail(std::string("expected ") + what);
    return Pad(start);
  }
  std::string Word() {
    const size_t start = pos_;
    while (pos_ < line_.size() && std::isupper(static_cast<unsigned char>(line_[pos_]))) ++pos_;
    if (pos_ == start) Fail("expected a status word");
    return Pad(start);
  }
  // 12.34: digits, a point, two digits; no more than kMaxSeconds
  std::string Time(const char* what, double& value) {
    const size_t start = pos_;
    SkipDigits();
    if (pos_ == start || !Take('.') || !TwoDigits()) Fail(std::string("expected the time ") + what);
    const std::string text = Pad(start);
    value = std::strtod(text.c_str(), nullptr);
    if (!(value <= kMaxSeconds))
      Fail(std::string("the time ") + what + " " + Shortened(text) + " is not a plausible render time");
    return text;
  }
  // +5.00%, -10.00%, 0.00%, or None where allowed; false for a blank column where allowed
  bool Percent(const char* what, bool blankAllowed, bool noneAllowed, double& value) {
    const size_t start = pos_;
    if (blankAllowed && line_.compare(pos_, kColumn, std::string(kColumn, ' ')) == 0) {
      pos_ += kColumn;
      return false;
    }
    if (noneAllowed && line_.compare(pos_, 4, "None") == 0) {
      pos_ += 4;
      Pad(start);
      value = 0;
      return true;
    }
    if (pos_ < line_.size() && (line_[pos_] == '+' || line_[pos_] == '-')) ++pos_;
    const size_t digits = pos_;
    SkipDigits();
    if (pos_ == digits || !Take('.') || !TwoDigits() || !Take('%'))
      Fail(std::string("expected the percentage ") + what);
    const std::string text = line_.substr(start, pos_ - start - 1);
    value = std::strtod(text.c_str(), nullptr) / 100.0;
    if (!(std::fabs(value) <= kMaxShare))
      Fail(std::string("the percentage ") + what + " " + Shortened(text) + "% is out of range");
    Pad(start);
    return true;
  }
  void Blanks(size_t count) {
    if (line_.compare(pos_, count, std::string(count, ' ')) != 0)
      Fail("expected blank Told, Trel and Diff columns");
    pos_ += count;
  }
  std::string Rest() const { return line_.substr(pos_); }
  [[noreturn]] void Fail(const std::string& what) const {
    throw InputError(where_ + ": " + what + " at column " + std::to_string(pos_ + 1));
  }

 private:
  void SkipDigits() {
    while (pos_ < line_.size() && std::isdigit(static_cast<unsigned char>(line_[pos_]))) ++pos_;
  }
  bool Take(char c) {
    if (pos_ >= line_.size() || line_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool TwoDigits() {
    for (int i = 0; i < 2; ++i)
      if (pos_ >= line_.size() || !std::isdigit(static_cast<unsigned char>(line_[pos_++]))) return false;
    return true;
  }
  // Consumes the blanks that fill the column begun at start; answers the column's text.
  std::string Pad(size_t start) {
    const std::string text = line_.substr(start, pos_ - start);
    while (pos_ < start + kColumn) {
      if (pos_ >= line_.size() || line_[pos_] != ' ') Fail("a column is not filled with blanks");
      ++pos_;
    }
    return text;
  }

  const std::string& line_;
  const std::string& where_;
  size_t pos_ = 0;
};

bool IsStatusWord(const std::string& word) {
  return word == "OK" || word == "ERROR" || word == "CREATED" || word == "SKIPPED" || word == "PENDING";
}

}  // namespace

ResultFile ReadResultFile(const std::filesystem::path& path) {
  std::vector<ResultLine> lines;
  ResultFile result = ReadResultFile(path, [&](ResultLine&& line) { lines.push_back(std::move(line)); });
  result.lines = std::move(lines);
  return result;
}

ResultFile ReadResultFile(const std::filesystem::path& path, const std::function<void(ResultLine&&)>& keep) {
  const std::string file = path.string();
  ReportFile in(path);
  ResultFile result;
  result.path = path;
  std::string line;
  int lineNumber = 0;
  int scenes = 0;
  bool ended = false;
  while (in.NextLine(line, ended)) {
    ++lineNumber;
    // The Renderator ends every line it writes; a last line without its end was cut short.
    if (!ended) throw InputError(file + ": truncated (the last line has no line end)");
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      if (lineNumber == 1) result.lineEnd = "\r\n";
    }
    const std::string where = file + ", line " + std::to_string(lineNumber);
    if (line.find('\0') != std::string::npos) throw InputError(where + ": holds a zero byte, not text");
    if (lineNumber == 1) {
      const size_t columns = line.find(kHeaderColumns);
      if (columns == std::string::npos || columns < kColumn)
        throw InputError(where + ": not a Renderator report header (no \"Status    Tnew ...\" columns)");
      // A version text of ten characters or more runs into "Status" without a blank.
      result.header = line;
      result.versionText = line.substr(0, line.find_last_not_of(' ', columns - 1) + 1);
      continue;
    }
    LineCursor cursor(line, where);
    ResultLine entry;
    const std::string number = cursor.Digits("the scene number");
    if (std::from_chars(number.data(), number.data() + number.size(), entry.number).ec != std::errc())
      throw InputError(where + ": scene number " + Shortened(number) + " is too large");
    if (entry.number != scenes + 1)
      throw InputError(where + ": scene number " + std::to_string(entry.number) + " where " +
                       std::to_string(scenes + 1) + " belongs");
    entry.status = cursor.Word();
    if (!IsStatusWord(entry.status)) cursor.Fail("unknown status word \"" + entry.status + "\"");
    entry.tnewText = cursor.Time("Tnew", entry.tnew);
    if (entry.status == "OK") {
      entry.hasTold = true;
      cursor.Time("Told", entry.told);
      entry.hasTrel = cursor.Percent("Trel", true, false, entry.trel);
      cursor.Percent("Diff", false, true, entry.diff);
    } else {
      cursor.Blanks(3 * kColumn);
    }
    entry.name = cursor.Rest();
    entry.text = line;
    if (entry.name.empty()) cursor.Fail("no scene file name");
    ++scenes;
    keep(std::move(entry));
  }
  if (lineNumber == 0) throw InputError(file + ": empty, not a Renderator report");
  return result;
}

std::string StatusLineText(int number, const std::string& status, const std::string& tnewText,
                           const std::string& name) {
  return PaddedColumn(std::to_string(number)) + PaddedColumn(status) + PaddedColumn(tnewText) +
         std::string(3 * kColumn, ' ') + name;
}

std::string ResultFileText(const ResultFile& file) {
  std::string text =
      (file.header.empty() ? PaddedColumn(file.versionText) + kHeaderColumns : file.header) + file.lineEnd;
  for (const ResultLine& line : file.lines) {
    text +=
        (line.text.empty() ? StatusLineText(line.number, "CREATED", line.tnewText, line.name) : line.text) +
        file.lineEnd;
  }
  return text;
}

std::string SceneFolderPrefix(const std::filesystem::path& resultFolder) {
  std::filesystem::path folder = std::filesystem::absolute(resultFolder).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  std::string base = folder.parent_path().string();
  if (!base.empty() && base.back() != '/') base += '/';
  return base;
}

std::string SceneName(const std::string& fullName, const std::string& prefix) {
  if (!prefix.empty() && fullName.compare(0, prefix.size(), prefix) == 0)
    return fullName.substr(prefix.size());
  return fullName;
}

std::string SceneName(const std::string& fullName, const std::filesystem::path& resultFolder) {
  return SceneName(fullName, SceneFolderPrefix(resultFolder));
}

std::string CutUtf8(std::string text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

std::string ImageName(int number, const char* suffix) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d%s.tif", number, suffix);
  return name;
}

}  // namespace relkit_report
