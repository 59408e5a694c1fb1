#include "scene_errors.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

#include "result_file.h"

namespace relkit_report {

namespace {

// At most `limit` bytes of UTF-8, "..." marking a cut.
std::string Cut(const std::string& text, size_t limit) {
  return text.size() <= limit ? text : CutUtf8(text, limit) + "...";
}

std::string Reason(const std::string& stage, const std::string& message) {
  const std::string text = Cut(message, kMaxSceneErrorMessage);
  if (stage == "load") return "not loaded: " + text;
  if (stage == "render") return "render failed: " + text;
  if (stage == "split") return "not rendered: " + text;
  return "failed (" + Cut(stage, 40) + "): " + text;
}

}  // namespace

SceneErrors ParseSceneErrors(std::string_view text) {
  SceneErrors errors;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    if (!entry.is_object()) continue;
    const auto scene = entry.find("scene");
    const auto stage = entry.find("stage");
    const auto message = entry.find("message");
    if (scene == entry.end() || stage == entry.end() || message == entry.end() || !scene->is_string() ||
        !stage->is_string() || !message->is_string())
      continue;
    errors[scene->get<std::string>()] = Reason(stage->get<std::string>(), message->get<std::string>());
  }
  return errors;
}

SceneErrors ReadSceneErrors(const std::filesystem::path& resultFolder) {
  std::ifstream in(resultFolder / kSceneErrorsFile, std::ios::binary);
  if (!in) return {};
  std::vector<char> text(kMaxSceneErrorBytes);
  in.read(text.data(), std::streamsize(text.size()));
  return ParseSceneErrors(std::string_view(text.data(), size_t(in.gcount())));
}

}  // namespace relkit_report
