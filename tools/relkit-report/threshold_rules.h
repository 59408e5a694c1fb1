// Thresholds per scene: a JSON file of rules, each a name pattern and the thresholds that differ for
// the scenes it matches, read from the scene folder (or named with --thresholds). The file is outside
// input: anything wrong in it is an InputError naming the file, the rule and the key.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"

namespace relkit_report {

inline constexpr const char* kThresholdsFile = "relkit-thresholds.json";
inline constexpr size_t kMaxThresholdsBytes = 1 << 20;

// True when name matches pattern: "*" any run of characters within a folder name, "**" any run across
// folders ("**/" also none), "?" one character but "/"; everything else stands for itself. Time is
// the product of the two lengths, whatever the pattern.
bool NameMatches(std::string_view pattern, std::string_view name);

// text as the content of the file shownAs; each rule's thresholds start from defaults.
std::vector<ThresholdRule> ParseThresholdRules(std::string_view text, const std::string& shownAs,
                                               const Thresholds& defaults);

// The rules of the named file, or of kThresholdsFile in the folder the run's scenes were collected
// from when none is named (no rules when that one does not exist); file is set to the file read.
std::vector<ThresholdRule> ReadThresholdRules(const std::filesystem::path& resultFolder,
                                              std::optional<std::filesystem::path>& file,
                                              const Thresholds& defaults);

// The first rule that matches the scene's name, or null.
const ThresholdRule* RuleFor(const std::vector<ThresholdRule>& rules, std::string_view name);

}  // namespace relkit_report
