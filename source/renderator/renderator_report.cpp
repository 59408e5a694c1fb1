#include "renderator_report.h"

#include <cstring>
#include <new>

#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_memory.h"

namespace {

constexpr int64_t kReadBlockSize = 4096;
constexpr int32_t kTokenLimit = 255;

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
  return records_.Reserve(kResultListCapacity);
}

void ResultList::Release() {
  records_.Release();
  report_.Release();
}

bool ResultList::Append(const Filename& file) {
  if (!IsAllocated() || records_.Count() >= kResultListCapacity) return false;
  return records_.Push(SceneResult{file, 0.0, 0.0, 0.0, kSceneStatusPending});
}

const char* SceneStatusWord(int32_t status) {
  switch (status) {
    case kSceneStatusOk:
      return "OK";
    case kSceneStatusError:
      return "ERROR";
    case kSceneStatusCreated:
      return "CREATED";
    case kSceneStatusSkipped:
      return "SKIPPED";
    default:
      return "PENDING";
  }
}

String ReportLine(int32_t index, SceneResult& record) {
  String line = ColumnText(String::FromInt(int64_t(index) + 1));
  line += ColumnText(String(SceneStatusWord(record.status)));
  if (record.status == kSceneStatusSkipped) record.tnew = record.told;
  line += ColumnText(TimeText(record.tnew));
  if (record.status == kSceneStatusOk) {
    line += ColumnText(TimeText(record.told));
    line += RelativeTimeColumn(record.tnew, record.told);
    line += DiffColumn(record.diff);
  } else {
    line += BlankColumns(3);
  }
  line += record.file.GetString();
  return line;
}

namespace {
class ResultListLines final : public ReportLineSource {
 public:
  explicit ResultListLines(ResultList& list) : list_(list) {}
  int32_t LineCount() override { return list_.GetCount(); }
  ReportLineKey LineKey(int32_t index) override {
    SceneResult& record = list_[index];
    // the line shows a skipped scene's reference time as its time
    if (record.status == kSceneStatusSkipped) record.tnew = record.told;
    return ReportLineKey{record.file.Get(), {record.told, record.tnew, record.diff}, record.status};
  }
  String Line(int32_t index) override { return ReportLine(index, list_[index]); }

 private:
  ResultList& list_;
};
}  // namespace

void WriteReport(ResultList& list, const Filename& reportFile) {
  ResultListLines lines(list);
  WriteReportLines(lines, list.Report(), reportFile);
}

bool ReadReferenceReport(ResultList& list, const Filename& reportFile) {
  BaseFile file;
  if (!file.Open(reportFile, ZOR_FILE_READ, 0, ZOR_BYTEORDER_INTEL, FourCC("ZORC"), FourCC("ZOR1"))) {
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
