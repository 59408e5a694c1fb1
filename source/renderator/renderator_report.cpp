#include "renderator_report.h"

#include <cstring>
#include <new>

#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_host.h"
#include "zor_memory.h"

namespace {

constexpr int32_t kColumnWidth = 10;
constexpr int32_t kLineLimit = 255;  // bytes of one report line in 8-bit text
constexpr int64_t kReadBlockSize = 4096;
constexpr int32_t kTokenLimit = 255;

String Blanks(int32_t count) {
  String blanks;
  for (int32_t i = 0; i < count; ++i) blanks += " ";
  return blanks;
}

bool IsResultWord(const char* token) {
  return std::strcmp(token, "OK") == 0 || std::strcmp(token, "ERROR") == 0 ||
         std::strcmp(token, "CREATED") == 0 || std::strcmp(token, "SKIPPED") == 0;
}

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits a file into blank-separated tokens, reading it block by block. A run of more than 255
// characters is split: the rest begins the next token. The stream ends at the end of the file or at
// the first block that cannot be read completely.
class ReportTokenizer {
 public:
  explicit ReportTokenizer(BaseFile& file) : file_(file), remaining_(file.GetLength()) {}

  // token receives at most 255 characters and a terminating zero; false when no token is left
  bool Next(char (&token)[kTokenLimit + 1]) {
    int32_t length = 0;
    for (;;) {
      if (position_ == filled_ && !Refill()) break;
      const char c = block_[position_];
      if (IsSeparator(c)) {
        ++position_;
        if (length > 0) break;
        continue;
      }
      if (length == kTokenLimit) break;
      token[length++] = c;
      ++position_;
    }
    token[length] = 0;
    return length > 0;
  }

 private:
  bool Refill() {
    if (ended_ || remaining_ <= 0) return false;
    const int64_t size = remaining_ < kReadBlockSize ? remaining_ : kReadBlockSize;
    if (!file_.Read(block_, size)) {
      ended_ = true;
      return false;
    }
    remaining_ -= size;
    filled_ = static_cast<int32_t>(size);
    position_ = 0;
    return true;
  }

  BaseFile& file_;
  int64_t remaining_;
  char block_[kReadBlockSize];
  int32_t filled_ = 0;
  int32_t position_ = 0;
  bool ended_ = false;
};

}  // namespace

bool ResultList::Allocate() {
  Release();
  records_ = static_cast<SceneResult*>(ZOR_ALLOC(int64_t(sizeof(SceneResult)) * kResultListCapacity));
  return records_ != nullptr;
}

void ResultList::Release() {
  for (int32_t i = 0; i < count_; ++i) records_[i].~SceneResult();
  count_ = 0;
  Free(records_);
}

bool ResultList::Append(const Filename& file) {
  if (!records_ || count_ >= kResultListCapacity) return false;
  new (&records_[count_]) SceneResult{file, 0.0, 0.0, 0.0, SCENE_STATUS_PENDING};
  ++count_;
  return true;
}

const char* SceneStatusWord(int32_t status) {
  switch (status) {
    case SCENE_STATUS_OK:
      return "OK";
    case SCENE_STATUS_ERROR:
      return "ERROR";
    case SCENE_STATUS_CREATED:
      return "CREATED";
    case SCENE_STATUS_SKIPPED:
      return "SKIPPED";
    default:
      return "PENDING";
  }
}

String ColumnText(const String& text) {
  String column = text;
  const int32_t length = text.GetLength();
  if (length < kColumnWidth) column += Blanks(kColumnWidth - length);
  return column;
}

String TimeText(double seconds) {
  return String::FromFloat(seconds, -5, 2, false, '0');
}

String PercentText(double value) {
  const double percent = value * 100.0;
  String text;
  if (percent > 0.0) text += "+";
  text += TimeText(percent);
  text += "%";
  return ColumnText(text);
}

String HostVersionText(int32_t version) {
  return String::FromFloat(version * 0.001, -4, 3, false, '0');
}

String ReportHeader(int32_t hostVersion) {
  return ColumnText(HostVersionText(hostVersion)) +
         String("Status    Tnew      Told      Trel      Diff      Name");
}

String ReportLine(int32_t index, SceneResult& record) {
  String line = ColumnText(String::FromInt(int64_t(index) + 1));
  line += ColumnText(String(SceneStatusWord(record.status)));
  if (record.status == SCENE_STATUS_SKIPPED) record.tnew = record.told;
  line += ColumnText(TimeText(record.tnew));
  if (record.status == SCENE_STATUS_OK) {
    line += ColumnText(TimeText(record.told));
    if (record.tnew != 0.0 && record.told != 0.0) {
      line += PercentText(record.tnew / record.told - 1.0);
    } else {
      line += Blanks(kColumnWidth);
    }
    line += record.diff == 0.0 ? ColumnText(String("None")) : PercentText(record.diff);
  } else {
    line += Blanks(3 * kColumnWidth);
  }
  line += record.file.GetString();
  return line;
}

void WriteReport(ResultList& list, const Filename& reportFile) {
  BaseFile file;
  if (!file.Allocate()) return;  // no file object from the host: nothing to say, the next write tries again
  if (!file.Open(reportFile, ZOR_FILE_WRITE, 1, 1, FourCC("TEXT"), FourCC("ttxt"))) {
    GeMessageBox(String("Couldn't write file 'Result.txt'"));
    return;
  }
  const String lineEnd = String::LineEnd();
  char buffer[kLineLimit + 1];
  // A line longer than the limit is cut, but its line end is written on its own so that the next
  // record still starts a line of its own and the report stays readable by position.
  auto writeLine = [&](const String& line) {
    const int32_t bytes = line.GetCString(buffer, kLineLimit + 1, ZOR_STRING_UTF8);
    file.Write(buffer, bytes);
    const int32_t endBytes = lineEnd.GetCString(buffer, kLineLimit + 1, ZOR_STRING_UTF8);
    file.Write(buffer, endBytes);
  };
  writeLine(ReportHeader(GetHostApiVersion()));
  for (int32_t k = 0; k < list.GetCount(); ++k) writeLine(ReportLine(k, list[k]));
  file.Close();
}

bool ReadReferenceReport(ResultList& list, const Filename& reportFile) {
  BaseFile file;
  if (!file.Open(reportFile, ZOR_FILE_READ, 0, 2, FourCC("ZORC"), FourCC("ZOR1"))) {
    return false;
  }
  ReportTokenizer tokens(file);
  char token[kTokenLimit + 1];
  int32_t k = 0;
  while (tokens.Next(token)) {
    if (!IsResultWord(token)) continue;
    if (k >= list.GetCount()) return false;
    // A status word at the very end of the file leaves an empty time, which is not a number: the
    // report was cut short and is treated like any other unusable one.
    tokens.Next(token);
    String timeText;
    timeText.SetCString(token);
    bool error = false;
    const double told = timeText.ToFloat(&error);
    if (error) return false;
    list[k].told = told;
    ++k;
  }
  return true;
}
