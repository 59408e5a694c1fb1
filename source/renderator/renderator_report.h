// The Renderator's result records and their plain-text report "_result.txt": the writer that the run
// calls after every scene, and the reader that takes the reference times back from an earlier run.
#pragma once
#include <cstdint>

#include "scene_batch/batch_report.h"
#include "zor_array.h"
#include "zor_filename.h"
#include "zor_string.h"

enum SceneStatus : int32_t {
  kSceneStatusPending = 0,
  kSceneStatusOk = 1,
  kSceneStatusError = 2,
  kSceneStatusCreated = 3,
  kSceneStatusSkipped = 4
};

struct SceneResult {
  Filename file;   // full path of the scene file
  double told;     // reference render time in seconds
  double tnew;     // render time of this run in seconds
  double diff;     // image difference ratio, 0 (identical) to 1
  int32_t status;  // a SceneStatus
};

inline constexpr int32_t kResultListCapacity = 100000;

// A fixed block of records taken from host memory in one allocation per run and never grown.
class ResultList {
 public:
  ResultList() = default;
  ~ResultList() { Release(); }
  ResultList(const ResultList&) = delete;
  ResultList& operator=(const ResultList&) = delete;

  bool Allocate();
  void Release();
  bool IsAllocated() const { return records_.Capacity() > 0; }
  // false when the list is full or was never allocated
  bool Append(const Filename& file);
  int32_t GetCount() const { return int32_t(records_.Count()); }
  SceneResult& operator[](int32_t index) { return records_[index]; }
  const SceneResult& operator[](int32_t index) const { return records_[index]; }
  SceneResult* Records() { return records_.Data(); }
  // what the report writer keeps between two writes of this list
  ReportCache& Report() { return report_; }

 private:
  HostArray<SceneResult> records_;
  ReportCache report_;
};

const char* SceneStatusWord(int32_t status);

// One report line (without the line end) for the record at position index. A skipped record shows
// its reference time as its time, so its tnew is set to told first.
String ReportLine(int32_t index, SceneResult& record);

// Replaces the report file's contents with the whole list; a file that cannot be opened is told to
// the user in a message box and nothing is written.
void WriteReport(ResultList& list, const Filename& reportFile);

// Reads the reference times of an earlier report into told, matching result lines to records by
// position. False when the file cannot be opened, a time after a status word is not a number, or it
// has more result lines than the list has records.
bool ReadReferenceReport(ResultList& list, const Filename& reportFile);
