#include "result_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace relkit_report {

namespace {

constexpr size_t kColumn = 10;
constexpr const char* kHeaderColumns = "Status    Tnew      Told      Trel      Diff      Name";

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
  // 12.34: digits, a point, two digits
  std::string Time(const char* what) {
    const size_t start = pos_;
    SkipDigits();
    if (pos_ == start || !Take('.') || !TwoDigits()) Fail(std::string("expected the time ") + what);
    return Pad(start);
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
    value = std::strtod(line_.substr(start, pos_ - start - 1).c_str(), nullptr) / 100.0;
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
  const std::string file = path.string();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw InputError(file + ": cannot be read (" +
                     (std::filesystem::exists(path) ? "no permission?" : "no such file") + ")");
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  if (text.empty()) throw InputError(file + ": empty, not a Renderator report");
  // The Renderator ends every line it writes; a last line without its end was cut short.
  if (text.back() != '\n') throw InputError(file + ": truncated (the last line has no line end)");

  ResultFile result;
  result.path = path;
  size_t start = 0;
  int lineNumber = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
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
      result.versionText = line.substr(0, line.find(' '));
      continue;
    }
    LineCursor cursor(line, where);
    ResultLine entry;
    entry.number = std::atoi(cursor.Digits("the scene number").c_str());
    if (entry.number != static_cast<int>(result.lines.size()) + 1)
      throw InputError(where + ": scene number " + std::to_string(entry.number) + " where " +
                       std::to_string(result.lines.size() + 1) + " belongs");
    entry.status = cursor.Word();
    if (!IsStatusWord(entry.status)) cursor.Fail("unknown status word \"" + entry.status + "\"");
    entry.tnewText = cursor.Time("Tnew");
    entry.tnew = std::strtod(entry.tnewText.c_str(), nullptr);
    if (entry.status == "OK") {
      entry.hasTold = true;
      entry.told = std::strtod(cursor.Time("Told").c_str(), nullptr);
      entry.hasTrel = cursor.Percent("Trel", true, false, entry.trel);
      cursor.Percent("Diff", false, true, entry.diff);
    } else {
      cursor.Blanks(3 * kColumn);
    }
    entry.name = cursor.Rest();
    entry.text = line;
    if (entry.name.empty()) cursor.Fail("no scene file name");
    result.lines.push_back(std::move(entry));
  }
  return result;
}

std::string CreatedLineText(int number, const std::string& tnewText, const std::string& name) {
  return PaddedColumn(std::to_string(number)) + PaddedColumn("CREATED") + PaddedColumn(tnewText) +
         std::string(3 * kColumn, ' ') + name;
}

std::string ResultFileText(const ResultFile& file) {
  std::string text = PaddedColumn(file.versionText) + kHeaderColumns + file.lineEnd;
  for (const ResultLine& line : file.lines) {
    text += (line.text.empty() ? CreatedLineText(line.number, line.tnewText, line.name) : line.text) +
            file.lineEnd;
  }
  return text;
}

std::string SceneName(const std::string& fullName, const std::filesystem::path& resultFolder) {
  std::filesystem::path folder = std::filesystem::absolute(resultFolder).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  std::string base = folder.parent_path().string();
  if (!base.empty() && base.back() != '/') base += '/';
  if (!base.empty() && fullName.compare(0, base.size(), base) == 0) return fullName.substr(base.size());
  return fullName;
}

std::string ImageName(int number, const char* suffix) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d%s.tif", number, suffix);
  return name;
}

}  // namespace relkit_report
