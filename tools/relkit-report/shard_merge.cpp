#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <unordered_set>

#include "files.h"
#include "scene_errors.h"
#include "shards.h"

namespace relkit_report {

namespace {

namespace fs = std::filesystem;

constexpr size_t kLineLimit = 255;  // the Renderator cuts its report lines there
constexpr size_t kNamesShown = 10;

struct Shard {
  fs::path result, view;
  ShardManifest manifest;
  ResultFile report;
  bool hasReport = false;
  std::string spelling;  // the view as its report names it (zorhost keeps paths as given)
};

// the line with the scene's real path in place of its path in the view, cut as the Renderator cuts
std::string MergedLine(const ResultLine& line, int number, const std::string& name) {
  std::string text = Renumbered(line, number);
  text.resize(text.size() - line.name.size());
  return CutUtf8(text + name, kLineLimit);
}

// The name as the shard's report must hold it: the view as zorhost was given it, then the scene's
// path in the view; a line cut at the limit cannot say more than that it was long.
bool NamesScene(const ResultLine& line, const std::string& relative) {
  const std::string& name = line.name;
  if (name.size() > relative.size() &&
      name.compare(name.size() - relative.size(), relative.size(), relative) == 0 &&
      name[name.size() - relative.size() - 1] == '/')
    return true;
  return line.text.size() + 4 > kLineLimit;
}

std::string NameList(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += (i ? ", " : "") + names[i];
  if (names.size() > kNamesShown) text += " and " + std::to_string(names.size() - kNamesShown) + " more";
  return text;
}

std::string Seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string ShardName(const ShardManifest& m) {
  return "shard " + std::to_string(m.shard.index) + " of " + std::to_string(m.shard.count);
}

// What makes a shard's split another than the first one's, or nothing.
std::string SplitDifference(const ShardManifest& first, const ShardManifest& other) {
  if (other.scenes != first.scenes) return "scene folder " + other.scenes.string();
  if (other.shard.count != first.shard.count) return std::to_string(other.shard.count) + " shards";
  if (other.base != first.base || other.baseReport != first.baseReport)
    return other.base.empty() ? "no comparison base" : "comparison base " + other.base.string();
  if (other.split != first.split || other.total != first.total) return "another scene list";
  return "";
}

void LinkOrCopy(const fs::path& from, const fs::path& to) {
  if (::link(from.c_str(), to.c_str()) == 0) return;
  std::error_code error;
  fs::copy_file(from, to, error);
  if (error) throw InputError(to.string() + ": cannot be written (" + error.message() + ")");
}

// The shard's scene errors with each scene's path in the view made its real path.
void AddSceneErrors(const Shard& shard, const std::string& root, std::string& out) {
  std::ifstream in(shard.result / kSceneErrorsFile, std::ios::binary);
  const std::string prefix = (shard.spelling.empty() ? shard.view.string() : shard.spelling) + "/";
  std::string line;
  size_t read = 0;
  while (read < kMaxSceneErrorBytes && std::getline(in, line)) {
    read += line.size() + 1;
    nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    if (!entry.is_object()) continue;
    const auto scene = entry.find("scene");
    if (scene != entry.end() && scene->is_string()) {
      const std::string path = scene->get<std::string>();
      if (path.rfind(prefix, 0) == 0) *scene = root + path.substr(prefix.size());
    }
    out += entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  }
}

// The result folder of the Renderator run in a view, or an empty path when there is none yet.
fs::path RunIn(const fs::path& view) {
  fs::path run;
  std::error_code error;
  for (fs::directory_iterator it(view, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().string().rfind("_renderator_", 0) != 0 || !it->is_directory(error)) continue;
    if (!run.empty())
      throw InputError(view.string() + ": holds several Renderator results (" + run.filename().string() +
                       ", " + it->path().filename().string() + "); name the one to merge");
    run = it->path();
  }
  return run;
}

std::vector<Shard> ReadShards(const std::vector<fs::path>& results) {
  std::vector<Shard> shards;
  std::map<int, fs::path> seen;
  for (const fs::path& given : results) {
    Shard shard;
    shard.result = fs::absolute(given).lexically_normal();
    if (!shard.result.has_filename()) shard.result = shard.result.parent_path();
    if (!fs::is_directory(shard.result)) throw InputError(given.string() + ": not a shard's result folder");
    shard.view = shard.result.parent_path();
    if (fs::exists(shard.result / kShardManifest)) {
      // a view: its run's result folder is the one below it
      shard.view = shard.result;
      shard.result = RunIn(shard.view);
    }
    if (!fs::exists(shard.view / kShardManifest))
      throw InputError(given.string() + ": not a shard's result (its folder " + shard.view.string() +
                       " holds no " + kShardManifest + ")");
    shard.manifest = ReadManifest(shard.view / kShardManifest);
    const ShardManifest& m = shard.manifest;
    if (!shards.empty()) {
      const std::string difference = SplitDifference(shards.front().manifest, m);
      if (!difference.empty())
        throw InputError(given.string() + ": " + ShardName(m) + " of another split (" + difference +
                         ") than " + shards.front().result.string());
    }
    if (const auto twice = seen.find(m.shard.index); twice != seen.end())
      throw InputError(ShardName(m) + " given twice: " + twice->second.string() + " and " + given.string());
    seen[m.shard.index] = given;
    if (!shard.result.empty() && fs::exists(shard.result / "_result.txt")) {
      shard.report = ReadResultFile(shard.result / "_result.txt");
      shard.hasReport = true;
    }
    shards.push_back(std::move(shard));
  }
  if (shards.empty()) throw InputError("merge needs the shards' result folders");
  return shards;
}

// Every scene of the split must have its result, in a report from the shard's own run: what is
// missing is named, shard by shard, and nothing is merged.
void CheckComplete(std::vector<Shard>& shards, const std::vector<std::string>& current, bool listSame) {
  const ShardManifest& first = shards.front().manifest;
  std::string missing;
  std::vector<bool> given(size_t(first.shard.count) + 1);
  for (const Shard& shard : shards) given[size_t(shard.manifest.shard.index)] = true;
  for (int index = 1; index <= first.shard.count; ++index) {
    if (given[size_t(index)]) continue;
    std::vector<std::string> names;
    for (size_t i = size_t(index - 1); listSame && i < current.size(); i += size_t(first.shard.count))
      names.push_back(current[i]);
    missing += "\n  shard " + std::to_string(index) + " of " + std::to_string(first.shard.count) +
               " has no result" +
               (listSame ? ": " + std::to_string(names.size()) + " scenes missing" +
                               (names.empty() ? "" : ": " + NameList(names))
                         : " (its scenes cannot be named: the scene list changed since the split)");
  }
  const Shard* versionShard = &shards.front();
  for (const Shard& shard : shards)
    if (shard.hasReport && !versionShard->hasReport) versionShard = &shard;
  for (Shard& shard : shards) {
    const ShardManifest& m = shard.manifest;
    const fs::path report = shard.result / "_result.txt";
    if (shard.hasReport && shard.report.lines.size() != m.names.size())
      throw InputError(report.string() + ": " + std::to_string(shard.report.lines.size()) +
                       " scenes, but its view " + shard.view.string() + " holds " +
                       std::to_string(m.names.size()) + ": not the run of this view");
    if (shard.hasReport && shard.report.versionText != versionShard->report.versionText)
      throw InputError(report.string() + ": made by host version " + shard.report.versionText + ", " +
                       (versionShard->result / "_result.txt").string() + " by " +
                       versionShard->report.versionText);
    if (!shard.hasReport) {
      missing += "\n  " + ShardName(m) + " (" + (shard.result.empty() ? shard.view : shard.result).string() +
                 ") has no report: it did not run, or was stopped before its first scene" +
                 (m.names.empty() ? "" : "; its scenes: " + NameList(m.names));
      continue;
    }
    std::vector<std::string> names;
    for (size_t k = 0; k < m.names.size(); ++k) {
      if (shard.report.lines[k].status == "PENDING") {
        names.push_back(m.names[k]);
        continue;
      }
      const std::string& name = shard.report.lines[k].name;
      if (!NamesScene(shard.report.lines[k], m.names[k]))
        throw InputError(report.string() + ", line " + std::to_string(k + 2) + ": names " + name +
                         " where its view has " + m.names[k] + ": not the run of this view");
      if (shard.spelling.empty() && name.size() > m.names[k].size())
        shard.spelling = name.substr(0, name.size() - m.names[k].size() - 1);
    }
    if (names.empty()) continue;
    missing += "\n  " + ShardName(m) + " (" + shard.result.string() +
               ") did not finish: " + std::to_string(names.size()) + " of its " +
               std::to_string(m.names.size()) + " scenes have no result: " + NameList(names);
  }
  if (!missing.empty()) throw InputError("the shards' results are incomplete; nothing merged:" + missing);
}

// A shard compared against another base than its split's would pass or fail for the wrong reasons.
void CheckBase(const std::vector<Shard>& shards) {
  const ShardManifest& first = shards.front().manifest;
  if (first.base.empty()) {
    for (const Shard& shard : shards)
      for (const ResultLine& line : shard.report.lines)
        if (line.status == "OK")
          throw InputError((shard.result / "_result.txt").string() +
                           ": holds comparisons, but its split made no view of a comparison base");
    return;
  }
  const fs::path baseReport = first.base / "_result.txt";
  if (!fs::exists(baseReport) || FileFingerprint(baseReport) != first.baseReport)
    throw InputError(baseReport.string() +
                     ": changed since the split (approved meanwhile?); split and run the shards again");
  const ResultFile base = BaseResults(first.base);
  for (const Shard& shard : shards) {
    for (size_t k = 0; k < shard.report.lines.size(); ++k) {
      const ResultLine& line = shard.report.lines[k];
      const size_t number = size_t(shard.manifest.numbers[k]);
      if (line.status == "CREATED" && number <= base.lines.size())
        throw InputError((shard.result / "_result.txt").string() + ", line " + std::to_string(k + 2) + ": " +
                         shard.manifest.names[k] + " was stored as a new base image, not compared: " +
                         "the shard ran without the view of its split's base");
      if (line.status != "OK") continue;
      if (number > base.lines.size() || std::fabs(base.lines[number - 1].tnew - line.told) > 0.005)
        throw InputError((shard.result / "_result.txt").string() + ", line " + std::to_string(k + 2) +
                         ": Told " + Seconds(line.told) + " is not the base's time for " +
                         shard.manifest.names[k] + ": the shard was not compared against its split's base " +
                         first.base.string());
    }
  }
}

}  // namespace

MergeOutcome Merge(const std::vector<fs::path>& shardResults, const fs::path& into) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(into, error)) && !(fs::is_directory(into) && fs::is_empty(into, error)))
    throw InputError(into.string() + ": exists; merge writes a new result folder");
  std::vector<Shard> shards = ReadShards(shardResults);
  const ShardManifest& first = shards.front().manifest;
  const std::vector<std::string> current = CollectScenes(first.scenes);
  const bool listSame = SplitFingerprint(current, first.shard.count, first.baseReport) == first.split;
  CheckComplete(shards, current, listSame);
  CheckBase(shards);

  // the split's scenes by name; the scenes found now, in the Renderator's order, are what is merged
  struct Source {
    const Shard* shard;
    size_t line;
  };
  std::unordered_map<std::string, Source> sources;
  for (const Shard& shard : shards)
    for (size_t k = 0; k < shard.manifest.names.size(); ++k) sources[shard.manifest.names[k]] = {&shard, k};
  MergeOutcome outcome;
  outcome.shards = int(shards.size());
  outcome.scenes = int(current.size());
  std::unordered_set<std::string> now(current.begin(), current.end());
  for (const Shard& shard : shards)
    for (const std::string& name : shard.manifest.names)
      if (!now.count(name)) outcome.removed.push_back(name);

  const fs::path target = fs::absolute(into).lexically_normal();
  fs::create_directories(target.parent_path(), error);
  const TemporaryFolder held(target);
  const fs::path& fresh = held.Path();
  try {
    // every shard has its report by now, all with the same header
    ResultFile merged;
    merged.header = shards.front().report.header;
    merged.lineEnd = shards.front().report.lineEnd;
    std::string errors;
    // The names a run over the scene folder would write: zorhost keeps a path as it was given, so a
    // shard run on a relative view names the scenes by the scene folder as split was given it.
    bool relativeNames = false;
    for (const Shard& shard : shards)
      if (!shard.spelling.empty()) {
        relativeNames = shard.spelling[0] != '/';
        break;
      }
    const std::string root = (relativeNames ? first.named : first.scenes.string()) + "/";
    for (const Shard& shard : shards) AddSceneErrors(shard, root, errors);
    for (size_t g = 0; g < current.size(); ++g) {
      const int number = int(g + 1);
      const std::string name = root + current[g];
      ResultLine line;
      const auto source = sources.find(current[g]);
      if (source == sources.end()) {
        outcome.added.push_back(current[g]);
        line.number = number;
        line.status = "PENDING";
        line.tnewText = "0.00";
        line.name = name;
        line.text = CutUtf8(StatusLineText(number, line.status, line.tnewText, name), kLineLimit);
        errors +=
            nlohmann::json{
                {"scene", name}, {"stage", "split"}, {"message", "added to the scene folder after the split"}}
                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
            "\n";
      } else {
        const Shard& shard = *source->second.shard;
        const size_t k = source->second.line;
        line = shard.report.lines[k];
        line.text = MergedLine(line, number, name);
        for (const char* suffix : {"", "d"}) {
          const fs::path image = shard.result / ImageName(int(k + 1), suffix);
          if (fs::exists(image)) LinkOrCopy(image, fresh / ImageName(number, suffix));
        }
      }
      merged.lines.push_back(std::move(line));
    }
    WriteFileAtomically(fresh / "_result.txt", ResultFileText(merged));
    if (!errors.empty()) WriteFileAtomically(fresh / kSceneErrorsFile, errors);
    SyncFolder(fresh);
    // rename puts the folder where nothing or an empty folder is, and fails over a merge made meanwhile
    if (::rename(fresh.c_str(), target.c_str()) != 0)
      throw InputError(into.string() + ": cannot be written (" + std::strerror(errno) + ")");
    SyncFolder(target.parent_path());
  } catch (...) {
    fs::remove_all(fresh, error);
    throw;
  }
  return outcome;
}

}  // namespace relkit_report
