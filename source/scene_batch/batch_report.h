// The plain-text report "_result.txt" that the batch tools rewrite after every scene: its columns,
// its header, and a writer that formats again only the lines whose values changed.
#pragma once
#include <cstdint>

#include "zor_filename.h"
#include "zor_string.h"

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

// Replaces the report file's contents with the header and the lines; a file that cannot be opened is
// told to the user in a message box and nothing is written.
void WriteReportLines(ReportLineSource& lines, ReportCache& cache, const Filename& reportFile);

// the text followed by blanks up to at least ten characters
String ColumnText(const String& text);
// seconds with two fraction digits, e.g. 12.34
String TimeText(double seconds);
// "+5.00%" / "-10.00%" / "0.00%", as a column
String PercentText(double value);
// the host API version as 16.050
String HostVersionText(int32_t version);

// count empty columns
String BlankColumns(int32_t count);
// Trel: the percentage text of tnew / told - 1 when both are non-zero, else an empty column
String RelativeTimeColumn(double tnew, double told);
// Diff: "None" for identical images, else the percentage text of diff
String DiffColumn(double diff);
String ReportHeader(int32_t hostVersion);
// the report of the run whose result folder is folder
Filename ReportFileIn(const Filename& folder);
