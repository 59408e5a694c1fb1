#include "documents/scene_errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "app/run_status.h"

namespace zorhost {
namespace {

struct SceneErrors {
  std::mutex mutex;
  std::vector<nlohmann::json> kept;
  std::set<std::filesystem::path> folders_written;  // by this process: appended to from then on
};

SceneErrors& errors() {
  static SceneErrors instance;
  return instance;
}

}  // namespace

void note_scene_error(const std::filesystem::path& scene, const char* stage, const std::string& message) {
  std::lock_guard lock(errors().mutex);
  errors().kept.push_back({{"scene", scene.string()}, {"stage", stage}, {"message", message}});
}

void write_scene_errors(const std::filesystem::path& report) {
  std::lock_guard lock(errors().mutex);
  std::vector<nlohmann::json> kept = std::move(errors().kept);
  errors().kept.clear();
  const std::filesystem::path folder = report.parent_path();
  const bool first = errors().folders_written.insert(folder).second;
  // A folder without errors gets no file, except that an earlier process's file there goes: it
  // would name causes of another run.
  const std::filesystem::path file = folder / kSceneErrorsFile;
  if (kept.empty()) {
    std::error_code ignored;
    if (first) std::filesystem::remove(file, ignored);
    return;
  }
  std::string text;
  for (const nlohmann::json& line : kept)
    text += line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::FILE* out = std::fopen(file.c_str(), first ? "w" : "a");
  bool ok = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
  int error = ok ? 0 : errno;
  if (out && std::fclose(out) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    const std::string cause = "cannot write " + file.string() + ": " + std::strerror(error ? error : EIO);
    std::fprintf(stderr, "zorhost: %s\n", cause.c_str());
    note_service_failure(cause);
  }
}

}  // namespace zorhost
