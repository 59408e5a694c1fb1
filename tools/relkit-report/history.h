// The history of checks kept in a folder of the user's choice (--history DIR): one JSON line per run
// in DIR/relkit-history.jsonl, appended under an flock, so that the page can show how each scene fared
// in the last runs. The file is outside input: a torn last line (a check killed while appending) is
// ignored, lines that are not a run record are passed over, and only the end of the file is read.
#pragma once
#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check.h"

namespace relkit_report {

inline constexpr const char* kHistoryFile = "relkit-history.jsonl";
inline constexpr size_t kHistoryRuns = 10;                    // earlier runs shown beside this one
inline constexpr size_t kMaxHistoryBytes = size_t(64) << 20;  // read from the end, at most

// One scene in one run, as the page shows it.
struct HistoryMark {
  std::string status;  // a verdict word
  std::optional<double> diff, over, tnew;
};

struct HistoryRun {
  std::string label;  // result folder's name and the time, "NAME YYYY-MM-DDTHH:MM:SSZ"
  std::vector<std::pair<std::string, HistoryMark>> scenes;  // by scene name
};

// The last maxRuns run records in text, oldest first. A line without its line end at the end of
// text is torn and ignored; so is the first line unless atStart (text may begin mid-line). Never
// throws; every string answered is valid UTF-8.
std::vector<HistoryRun> ParseHistory(std::string_view text, size_t maxRuns, bool atStart = true);

// A scene's marks in the earlier runs and this one, oldest first, for the summary.
class SceneHistories {
 public:
  SceneHistories(std::vector<HistoryRun> earlier, HistoryRun current);
  // {"history": [...], "firstFailed": label or null} members for this scene
  void AddTo(const std::string& name, nlohmann::json& scene) const;

 private:
  std::vector<std::string> labels_;  // earlier runs, then this one
  // name -> (run index, mark)
  std::unordered_map<std::string, std::vector<std::pair<size_t, HistoryMark>>> marks_;
};

// This run's record: scene names, verdicts and figures, labelled by the result folder and the time.
HistoryRun RecordOf(const CheckOutcome& outcome, const std::filesystem::path& result);
// the record as one JSON line, without its line end
std::string HistoryLine(const HistoryRun& run);

// Reads the last kHistoryRuns runs of DIR's history and appends `run`, under an exclusive flock on
// the file for both; answers the runs read. The folder is made when missing. Throws InputError
// naming the file when it cannot be read or written; a failed append is cut back off.
std::vector<HistoryRun> ReadAndAppendHistory(const std::filesystem::path& folder, const HistoryRun& run);

}  // namespace relkit_report
