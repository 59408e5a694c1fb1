// Why scenes failed, as zorhost keeps it beside a run's report in _errors.jsonl: a JSON object per
// line, {"scene": full path, "stage": "load" or "render", "message": text}. The file is outside input:
// a missing one means no causes, a line that is not such an object is passed over, and only its
// first kMaxSceneErrorBytes are read, so a huge or hostile file cannot flood the outputs.
#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace relkit_report {

inline constexpr const char* kSceneErrorsFile = "_errors.jsonl";
inline constexpr size_t kMaxSceneErrorBytes = 4 << 20;
inline constexpr size_t kMaxSceneErrorMessage = 1000;  // longer messages are cut, marked with "..."

// scene path as the report names it -> one reason for the page and JUnit ("not loaded: ..."); for a
// scene named more than once, the last line counts (the latest attempt).
using SceneErrors = std::unordered_map<std::string, std::string>;

SceneErrors ParseSceneErrors(std::string_view text);
SceneErrors ReadSceneErrors(const std::filesystem::path& resultFolder);

}  // namespace relkit_report
