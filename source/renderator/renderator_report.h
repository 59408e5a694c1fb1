// The Renderator's result records and their plain-text report "_result.txt": the writer that the run
// calls after every scene, and the reader that takes the reference times back from an earlier run.
#pragma once
#include <cstdint>

#include "zor_filename.h"
#include "zor_string.h"

enum SceneStatus : int32_t {
  SCENE_STATUS_PENDING = 0,
  SCENE_STATUS_OK = 1,
  SCENE_STATUS_ERROR = 2,
  SCENE_STATUS_CREATED = 3,
  SCENE_STATUS_SKIPPED = 4
};

struct SceneResult {
  Filename file;   // full path of the scene file
  double told;     // reference render time in seconds
  double tnew;     // render time of this run in seconds
  double diff;     // image difference ratio, 0 (identical) to 1
  int32_t status;  // a SceneStatus
};

inline constexpr int32_t kResultListCapacity = 100000;

// What the report writer asks of a list: its lines, and for each line the values it is made from, so
// that a line is formatted again only when one of them changed.
struct ReportLineKey {
  const void* identity;  // the scene's file object: set once per record and moved along by sorting
  double values[3];
  int32_t flags;
};

class ReportLineSource {
 public:
  virtual int32_t LineCount() = 0;
  // the key first, then the line: a key may bring its record up to date with what its line shows
  virtual ReportLineKey LineKey(int32_t index) = 0;
  virtual String Line(int32_t index) = 0;

 protected:
  ~ReportLineSource() = default;
};

// The report's bytes as last written and what each line was made from, so that rewriting the report
// after a scene formats only the lines whose record changed since. Formatting every line again after
// every scene made a run's time per scene grow with its number of scenes.
class ReportCache {
 public:
  ReportCache() = default;
  ~ReportCache() { Release(); }
  ReportCache(const ReportCache&) = delete;
  ReportCache& operator=(const ReportCache&) = delete;

  void Release();
  // Brings the bytes up to date with the lines (header and line ends included); false when host memory
  // ran out, and the cache is then empty.
  bool Update(ReportLineSource& lines, int32_t hostVersion);
  const char* Data() const { return bytes_; }
  int64_t Size() const { return size_; }

 private:
  struct LineSource;
  bool GrowSources(int32_t count);
  bool Splice(int64_t offset, int64_t oldLength, const char* line, int64_t length);

  LineSource* sources_ = nullptr;  // one per line formatted so far, by position
  int32_t sourceCount_ = 0;
  int32_t sourceCapacity_ = 0;
  char* bytes_ = nullptr;
  int64_t size_ = 0;
  int64_t capacity_ = 0;
  int32_t headerVersion_ = 0;
  int64_t headerLength_ = 0;  // 0: no header yet
};

// Replaces the report file's contents with the header and the lines; a file that cannot be opened is
// told to the user in a message box and nothing is written.
void WriteReportLines(ReportLineSource& lines, ReportCache& cache, const Filename& reportFile);

// A fixed block of records taken from host memory in one allocation per run and never grown. Only
// the records below the fill count are constructed; the rest of the block stays zeroed, which is what
// a pending record with no file holds anyway.
class ResultList {
 public:
  ResultList() = default;
  ~ResultList() { Release(); }
  ResultList(const ResultList&) = delete;
  ResultList& operator=(const ResultList&) = delete;

  bool Allocate();
  void Release();
  bool IsAllocated() const { return records_ != nullptr; }
  // false when the list is full or was never allocated
  bool Append(const Filename& file);
  int32_t GetCount() const { return count_; }
  SceneResult& operator[](int32_t index) { return records_[index]; }
  const SceneResult& operator[](int32_t index) const { return records_[index]; }
  SceneResult* Records() { return records_; }
  // what the report writer keeps between two writes of this list
  ReportCache& Report() { return report_; }

 private:
  SceneResult* records_ = nullptr;
  int32_t count_ = 0;
  ReportCache report_;
};

const char* SceneStatusWord(int32_t status);

// the text followed by blanks up to at least ten characters
String ColumnText(const String& text);
// seconds with two fraction digits, e.g. 12.34
String TimeText(double seconds);
// "+5.00%" / "-10.00%" / "0.00%", as a column
String PercentText(double value);
// the host API version as 16.050
String HostVersionText(int32_t version);

// One report line (without the line end) for the record at position index. A skipped record shows
// its reference time as its time, so its tnew is set to told first.
String ReportLine(int32_t index, SceneResult& record);
String ReportHeader(int32_t hostVersion);

// Replaces the report file's contents with the whole list; a file that cannot be opened is told to
// the user in a message box and nothing is written.
void WriteReport(ResultList& list, const Filename& reportFile);

// Reads the reference times of an earlier report into told, matching result lines to records by
// position. False when the file cannot be opened, a time after a status word is not a number, or it
// has more result lines than the list has records.
bool ReadReferenceReport(ResultList& list, const Filename& reportFile);
