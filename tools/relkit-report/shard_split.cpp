#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#include "files.h"
#include "result_file.h"
#include "shards.h"

namespace relkit_report {

namespace {

namespace fs = std::filesystem;

// The Renderator's collection, step for step: the tree first with links to folders left out, then
// the links, each followed only to a folder not collected yet, so that a folder reached both ways is
// collected under its own path and the order in which paths are met is the host's.
class SceneCollection {
 public:
  explicit SceneCollection(const fs::path& root) : root_(root) {}

  std::vector<std::string> Run() {
    Enter(collected_, root_, false);
    Enter(searched_, root_, false);
    CollectTree(root_, "");
    FollowLinks(root_, "");
    std::sort(scenes_.begin(), scenes_.end());
    return std::move(scenes_);
  }

 private:
  using Identity = std::pair<dev_t, ino_t>;

  static bool Enter(std::set<Identity>& set, const fs::path& folder, bool isLink) {
    struct stat info {};
    // a folder that cannot be identified is listed (and said so if that fails), a link to one is not
    if (::stat(folder.c_str(), &info) != 0) return !isLink;
    return set.insert({info.st_dev, info.st_ino}).second;
  }

  static bool IsScene(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot != 4) return false;
    const char* suffix = "zor";
    for (size_t i = 0; i < 3; ++i) {
      char c = name[dot + 1 + i];
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
      if (c != suffix[i]) return false;
    }
    return true;
  }

  struct Entry {
    std::string name;
    bool folder, link;
  };
  static std::vector<Entry> List(const fs::path& folder) {
    std::vector<Entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      std::error_code ignored;
      entries.push_back({it->path().filename().string(), it->is_directory(ignored), it->is_symlink(ignored)});
    }
    return entries;
  }

  void CollectTree(const fs::path& folder, const std::string& relative) {
    for (const Entry& e : List(folder)) {
      if (e.folder) {
        if (!e.link && Enter(collected_, folder / e.name, false))
          CollectTree(folder / e.name, relative + e.name + "/");
      } else if (IsScene(e.name)) {
        scenes_.push_back(relative + e.name);
      }
    }
  }

  void FollowLinks(const fs::path& folder, const std::string& relative) {
    for (const Entry& e : List(folder)) {
      if (!e.folder) continue;
      const fs::path entry = folder / e.name;
      if (e.link) {
        if (!Enter(collected_, entry, true)) continue;
        CollectTree(entry, relative + e.name + "/");
        Enter(searched_, entry, true);
        FollowLinks(entry, relative + e.name + "/");
      } else if (Enter(searched_, entry, false)) {
        FollowLinks(entry, relative + e.name + "/");
      }
    }
  }

  fs::path root_;
  std::set<Identity> collected_, searched_;
  std::vector<std::string> scenes_;
};

// FNV-1a, 64 bits: a fingerprint against mix-ups, not against forgery
class Fingerprint {
 public:
  void Add(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
      hash_ = (hash_ ^ static_cast<unsigned char>(data[i])) * 0x100000001b3ULL;
  }
  void Add(const std::string& text) { Add(text.data(), text.size() + 1); }  // with its end
  std::string Text() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
    return text;
  }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ULL;
};

bool Number(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  return !text.empty() && std::from_chars(text.data(), end, value).ptr == end;
}

fs::path Absolute(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::weakly_canonical(fs::absolute(path), error);
  if (error) absolute = fs::absolute(path).lexically_normal();
  if (!absolute.has_filename()) absolute = absolute.parent_path();
  return absolute;
}

// A view is only ever put where nothing is, where an empty folder is, or over an earlier view.
void CheckViewPlace(const fs::path& view) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(view, error);
  if (!fs::exists(status)) return;
  if (!fs::is_directory(status))
    throw InputError(view.string() + ": exists and is not a folder; name a new folder for the view");
  if (fs::is_empty(view, error) || fs::exists(view / kShardManifest, error)) return;
  throw InputError(view.string() + ": a folder with other files in it; a view goes to a new folder (or " +
                   "over an earlier view, which holds " + kShardManifest + ")");
}

// Builds a view in a fresh folder beside its place, then puts it there.
template <class Fill>
void WriteView(const fs::path& view, Fill fill) {
  CheckViewPlace(view);
  std::error_code error;
  fs::create_directories(view.parent_path(), error);
  const TemporaryFolder held(view);
  const fs::path& fresh = held.Path();
  try {
    fill(fresh);
    SyncFolder(fresh);
    ReplaceFolder(fresh, view);
    SyncFolder(view.parent_path());
  } catch (...) {
    fs::remove_all(fresh, error);
    throw;
  }
}

void Link(const fs::path& target, const fs::path& link) {
  std::error_code error;
  fs::create_symlink(target, link, error);
  if (error) throw InputError(link.string() + ": cannot be made (" + error.message() + ")");
}

}  // namespace

ResultFile BaseResults(const fs::path& base) {
  std::vector<ResultLine> results;
  ResultFile report = ReadResultFile(base / "_result.txt", [&](ResultLine&& line) {
    if (line.status != "PENDING") results.push_back(std::move(line));
  });
  report.lines = std::move(results);
  return report;
}

std::string Renumbered(const ResultLine& line, int number) {
  const size_t rest = std::max<size_t>(std::to_string(line.number).size(), 10);
  std::string column = std::to_string(number);
  if (column.size() < 10) column.resize(10, ' ');
  return column + line.text.substr(std::min(rest, line.text.size()));
}

bool Inside(const fs::path& inner, const fs::path& outer) {
  const fs::path relative = inner.lexically_relative(outer);
  return !relative.empty() && *relative.begin() != "..";
}

std::vector<std::string> CollectScenes(const fs::path& sceneFolder) {
  return SceneCollection(sceneFolder).Run();
}

std::optional<ShardIndex> ParseShardIndex(const std::string& text) {
  const size_t slash = text.find('/');
  ShardIndex shard;
  if (slash == std::string::npos || !Number(text.substr(0, slash), shard.index) ||
      !Number(text.substr(slash + 1), shard.count) || shard.index < 1 || shard.index > shard.count)
    return std::nullopt;
  return shard;
}

ShardIndex ShardFromEnvironment() {
  const auto get = [](const char* name) -> std::optional<std::string> {
    // an empty variable is as good as none: a job template may set every variable it knows of
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
  };
  const auto number = [&](const char* name) {
    int value = 0;
    if (!Number(*get(name), value))
      throw InputError(std::string("--shard auto: ") + name + "=\"" + *get(name) + "\" is not a number");
    return value;
  };
  const auto checked = [](ShardIndex shard, const std::string& from) {
    if (shard.count < 1 || shard.index < 1 || shard.index > shard.count)
      throw InputError("--shard auto: " + from + " gives shard " + std::to_string(shard.index) + " of " +
                       std::to_string(shard.count));
    return shard;
  };
  if (const auto text = get("RELKIT_SHARD")) {
    if (const auto shard = ParseShardIndex(*text)) return *shard;
    throw InputError("--shard auto: RELKIT_SHARD=\"" + *text + "\" is not I/N with 1 <= I <= N");
  }
  if (get("SLURM_ARRAY_TASK_ID") && get("SLURM_ARRAY_TASK_COUNT")) {
    const int first = get("SLURM_ARRAY_TASK_MIN") ? number("SLURM_ARRAY_TASK_MIN") : 1;
    return checked({number("SLURM_ARRAY_TASK_ID") - first + 1, number("SLURM_ARRAY_TASK_COUNT")},
                   "the Slurm array task");
  }
  if (get("JOB_COMPLETION_INDEX")) {
    if (!get("RELKIT_SHARD_COUNT"))
      throw InputError(
          "--shard auto: a Kubernetes indexed job needs RELKIT_SHARD_COUNT set to its completions");
    return checked({number("JOB_COMPLETION_INDEX") + 1, number("RELKIT_SHARD_COUNT")},
                   "the Kubernetes job index");
  }
  if (get("CI_NODE_INDEX") && get("CI_NODE_TOTAL"))
    return checked({number("CI_NODE_INDEX"), number("CI_NODE_TOTAL")}, "the GitLab parallel job");
  throw InputError(
      "--shard auto: no shard in the environment (RELKIT_SHARD=I/N, SLURM_ARRAY_TASK_ID with "
      "SLURM_ARRAY_TASK_COUNT, JOB_COMPLETION_INDEX with RELKIT_SHARD_COUNT, or CI_NODE_INDEX with "
      "CI_NODE_TOTAL)");
}

std::string ManifestText(const ShardManifest& m) {
  std::string text = "relkit-report shard " + std::to_string(m.shard.index) + "/" +
                     std::to_string(m.shard.count) + "\nscenes " + m.scenes.string() + "\nnamed " + m.named +
                     "\nsplit " + m.split + "\n";
  if (!m.base.empty()) text += "base " + m.base.string() + "\nbase-report " + m.baseReport + "\n";
  text += "total " + std::to_string(m.total) + "\n";
  for (size_t i = 0; i < m.names.size(); ++i)
    text += "scene " + std::to_string(m.numbers[i]) + " " + m.names[i] + "\n";
  return text;
}

ShardManifest ParseManifest(const std::string& text, const std::string& shownAs) {
  ShardManifest m;
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0;
  const auto fail = [&](const std::string& what) {
    throw InputError(shownAs + ", line " + std::to_string(lineNumber) + ": " + what);
  };
  bool haveScenes = false, haveSplit = false, haveTotal = false;
  while (std::getline(in, line)) {
    ++lineNumber;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (lineNumber == 1) {
      const std::string start = "relkit-report shard ";
      const auto shard =
          line.rfind(start, 0) == 0 ? ParseShardIndex(line.substr(start.size())) : std::nullopt;
      if (!shard) fail("not a shard manifest (it begins \"relkit-report shard I/N\")");
      m.shard = *shard;
    } else if (key == "scenes" && !value.empty()) {
      m.scenes = value;
      haveScenes = true;
    } else if (key == "named" && !value.empty()) {
      m.named = value;
    } else if (key == "split" && !value.empty()) {
      m.split = value;
      haveSplit = true;
    } else if (key == "base" && !value.empty()) {
      m.base = value;
    } else if (key == "base-report" && !value.empty()) {
      m.baseReport = value;
    } else if (key == "total") {
      if (!Number(value, m.total) || m.total < 0) fail("the total \"" + value + "\" is not a number");
      haveTotal = true;
    } else if (key == "scene") {
      const size_t gap = value.find(' ');
      int number = 0;
      if (gap == std::string::npos || gap + 1 == value.size() || !Number(value.substr(0, gap), number) ||
          number < 1 || number > m.total || (!m.numbers.empty() && number <= m.numbers.back()))
        fail("expected \"scene NUMBER NAME\" with numbers rising up to the total");
      m.numbers.push_back(number);
      m.names.push_back(value.substr(gap + 1));
    } else {
      fail("unexpected \"" + key.substr(0, 40) + "\"");
    }
  }
  if (lineNumber == 0) fail("empty, not a shard manifest");
  if (m.named.empty()) m.named = m.scenes.string();
  if (!haveScenes || !haveSplit || !haveTotal) fail("the manifest ends before its scenes, split and total");
  if (m.base.empty() != m.baseReport.empty())
    fail("a base needs its base-report line and the other way round");
  return m;
}

ShardManifest ReadManifest(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw InputError(file.string() + ": cannot be read (no shard manifest there)");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseManifest(text.str(), file.string());
}

std::string FileFingerprint(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw InputError(file.string() + ": cannot be read");
  Fingerprint fingerprint;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) fingerprint.Add(block, size_t(in.gcount()));
  return fingerprint.Text();
}

std::string SplitFingerprint(const std::vector<std::string>& scenes, int count,
                             const std::string& baseReport) {
  Fingerprint fingerprint;
  fingerprint.Add(std::to_string(count));
  fingerprint.Add(baseReport);
  for (const std::string& scene : scenes) fingerprint.Add(scene);
  return fingerprint.Text();
}

ShardManifest Split(const SplitOptions& options) {
  ShardManifest m;
  m.shard = options.shard;
  m.scenes = Absolute(options.scenes);
  m.named = options.scenes.lexically_normal().string();
  while (m.named.size() > 1 && m.named.back() == '/') m.named.pop_back();
  if (m.named.find_first_of("\r\n") != std::string::npos)
    throw InputError(options.scenes.string() + ": a scene folder whose name holds a line break");
  if (!fs::is_directory(m.scenes)) throw InputError(options.scenes.string() + ": not a folder of scenes");
  const fs::path view = Absolute(options.view);
  // The Renderator collects every folder below its scene folder: a view in it would be run twice.
  for (const fs::path& place : {view, options.base ? Absolute(options.baseView) : view}) {
    if (place == m.scenes || Inside(place, m.scenes) || Inside(m.scenes, place))
      throw InputError(place.string() + ": a view may neither lie in the scene folder " + m.scenes.string() +
                       " nor hold it");
  }
  const std::vector<std::string> scenes = CollectScenes(m.scenes);
  m.total = int(scenes.size());
  for (const std::string& scene : scenes)
    if (scene.find_first_of("\r\n") != std::string::npos)
      throw InputError((m.scenes / scene).string() + ": its name holds a line break, which the " +
                       "Renderator's report cannot hold");

  ResultFile baseReport;
  if (options.base) {
    m.base = Absolute(*options.base);
    const fs::path baseView = Absolute(options.baseView);
    if (baseView == view || baseView == m.base || Inside(baseView, m.base) || Inside(m.base, baseView))
      throw InputError(baseView.string() +
                       ": the base's view must be a folder apart from the view and the base");
    baseReport = BaseResults(m.base);
    if (baseReport.lines.size() > scenes.size())
      throw InputError((m.base / "_result.txt").string() + ": lists " +
                       std::to_string(baseReport.lines.size()) + " scenes, the scene folder has " +
                       std::to_string(scenes.size()) + "; the Renderator refuses such an outdated reference");
    m.baseReport = FileFingerprint(m.base / "_result.txt");
  }
  m.split = SplitFingerprint(scenes, m.shard.count, m.baseReport);
  for (size_t i = size_t(m.shard.index - 1); i < scenes.size(); i += size_t(m.shard.count)) {
    m.numbers.push_back(int(i + 1));
    m.names.push_back(scenes[i]);
  }
  const std::string manifest = ManifestText(m);

  WriteView(view, [&](const fs::path& folder) {
    for (const std::string& name : m.names) {
      const fs::path link = folder / name;
      fs::create_directories(link.parent_path());
      Link(m.scenes / name, link);
    }
    WriteFileAtomically(folder / kShardManifest, manifest);
  });
  if (!options.base) return m;
  WriteView(Absolute(options.baseView), [&](const fs::path& folder) {
    ResultFile report = baseReport;
    report.lines.clear();
    for (size_t k = 0; k < m.numbers.size(); ++k) {
      const int number = m.numbers[k];
      const fs::path image = m.base / ImageName(number);
      // a base image that is missing stays missing: the shard's run fails on it as the whole run would
      if (fs::exists(image)) Link(image, folder / ImageName(int(k + 1)));
      if (size_t(number) <= baseReport.lines.size()) {
        ResultLine line = baseReport.lines[size_t(number - 1)];
        line.text = Renumbered(line, int(k + 1));
        line.number = int(k + 1);
        report.lines.push_back(std::move(line));
      }
    }
    WriteFileAtomically(folder / "_result.txt", ResultFileText(report));
    WriteFileAtomically(folder / kShardManifest, manifest);
  });
  return m;
}

}  // namespace relkit_report
