// A Renderator run split into shards that any scheduler can run, and their results merged into one.
//
// A shard is an ordinary Renderator run over a view: a folder that mirrors the scene folder's tree
// with links to every N-th scene of the Renderator's own order, so that the scene files stay where
// they are and the paths in the shard's report map back to theirs. With a comparison base, the shard
// also gets a view of the base: links to the base images of its scenes and the base report's lines
// for them, renumbered from 1. The view holds a manifest, "_shard.txt", naming the shard, its scenes
// and a fingerprint of the whole split, from which merge knows where each result line belongs.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "result_file.h"

namespace relkit_report {

inline constexpr const char* kShardManifest = "_shard.txt";

// Every scene file below the folder, as the Renderator collects them (folders by identity, so a link
// loop ends; links to folders after the tree; "zor" suffix in any case), relative to the folder and
// in the Renderator's order (full paths by code point). Folders that cannot be listed are passed over.
std::vector<std::string> CollectScenes(const std::filesystem::path& sceneFolder);

// inner lies below outer (both absolute and normal), by their names
bool Inside(const std::filesystem::path& inner, const std::filesystem::path& outer);

struct ShardIndex {
  int index = 1;  // from 1
  int count = 1;
};
// "I/N" with 1 <= I <= N; nullopt for anything else
std::optional<ShardIndex> ParseShardIndex(const std::string& text);
// The shard from the scheduler's environment: RELKIT_SHARD=I/N, a Slurm array task, a Kubernetes
// indexed job (with RELKIT_SHARD_COUNT), a GitLab parallel job. Throws InputError naming what it
// looked for when none is set or a value is not a number in range.
ShardIndex ShardFromEnvironment();

struct ShardManifest {
  ShardIndex shard;
  std::filesystem::path scenes;  // the scene folder, absolute
  std::string named;           // the scene folder as split was given it: a run given relative paths names so
  std::string split;           // fingerprint of the whole split: scene list, count and base
  std::filesystem::path base;  // the comparison base, absolute; empty when building one
  std::string baseReport;      // fingerprint of the base's report at the split
  int total = 0;               // scenes in the whole split
  std::vector<int> numbers;    // this shard's scenes: their numbers in the whole run ...
  std::vector<std::string> names;  // ... and their paths relative to the scene folder
};

std::string ManifestText(const ShardManifest& manifest);
// Throws InputError naming `shownAs` and the line for anything that is not such a manifest.
ShardManifest ParseManifest(const std::string& text, const std::string& shownAs);
ShardManifest ReadManifest(const std::filesystem::path& file);

// fingerprints, as hexadecimal text
std::string FileFingerprint(const std::filesystem::path& file);
std::string SplitFingerprint(const std::vector<std::string>& scenes, int count,
                             const std::string& baseReport);

// The base report's results as its reader takes them: a PENDING line holds no result and is passed
// over, so the k-th line with a result belongs to the k-th scene.
ResultFile BaseResults(const std::filesystem::path& base);
// the line as written with another scene number
std::string Renumbered(const ResultLine& line, int number);

struct SplitOptions {
  std::filesystem::path scenes;
  ShardIndex shard;
  std::filesystem::path view;
  std::optional<std::filesystem::path> base;
  std::filesystem::path baseView;
};

// Writes the shard's view (and its base view) whole: each is made beside its place and put there in
// one step, replacing an earlier view of a split but nothing else. Answers the manifest. Throws
// InputError for bad input (a view inside the scene folder, a base whose report does not list the
// scenes, a scene name the report could not hold).
ShardManifest Split(const SplitOptions& options);

struct MergeOutcome {
  int scenes = 0;
  int shards = 0;
  std::vector<std::string> added, removed;  // scene list changes since the split, relative names
};

// Merges the shard result folders into `into`, numbered and worded as one Renderator run over the
// whole scene folder. Refuses (InputError, nothing written) a missing, unfinished or foreign shard;
// a scene list changed since the split is merged with the new scenes as PENDING lines and reported
// in the outcome.
MergeOutcome Merge(const std::vector<std::filesystem::path>& shardResults, const std::filesystem::path& into);

}  // namespace relkit_report
