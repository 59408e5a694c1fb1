#include "memory/memory_tracker.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace zorhost {
namespace {

constexpr int kObjectKinds = static_cast<int>(ObjectKind::Dictionary) + 1;

struct BlockInfo {
  int64_t size;
  int32_t line;
  std::string file;  // copied: the module's literal is gone once it is unloaded
};

struct Tracker {
  std::mutex mutex;
  std::unordered_map<void*, BlockInfo> blocks;
  std::unordered_set<const void*> objects[kObjectKinds];
  MemoryStatistics statistics;
  int64_t bad_frees_checked = 0;  // bad frees already reported by a check
};

Tracker& tracker() {
  // Never destroyed: modules and late static destructors may still free through it at exit.
  static Tracker* instance = new Tracker;
  return *instance;
}

}  // namespace

void* tracked_alloc(int64_t size, int32_t line, const char* file) {
  if (size < 0) return nullptr;
  void* block = std::calloc(static_cast<size_t>(std::max<int64_t>(size, 1)), 1);
  if (!block) return nullptr;
  Tracker& t = tracker();
  std::lock_guard lock(t.mutex);
  t.blocks.emplace(block, BlockInfo{size, line, file ? file : "?"});
  t.statistics.live_blocks++;
  t.statistics.live_bytes += size;
  t.statistics.total_allocations++;
  t.statistics.peak_bytes = std::max(t.statistics.peak_bytes, t.statistics.live_bytes);
  return block;
}

void tracked_free(void* block) {
  if (!block) return;
  Tracker& t = tracker();
  {
    std::lock_guard lock(t.mutex);
    auto found = t.blocks.find(block);
    if (found == t.blocks.end()) {
      t.statistics.bad_frees++;
      std::fprintf(stderr, "zorhost: memory: free of %p, which is not a live block (double free?)\n", block);
      return;
    }
    t.statistics.live_blocks--;
    t.statistics.live_bytes -= found->second.size;
    t.blocks.erase(found);
  }
  std::free(block);
}

const char* object_kind_name(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::String:
      return "strings";
    case ObjectKind::Filename:
      return "file names";
    case ObjectKind::Container:
      return "containers";
    case ObjectKind::File:
      return "files";
    case ObjectKind::Browse:
      return "folder listings";
    case ObjectKind::Bitmap:
      return "bitmaps";
    case ObjectKind::Document:
      return "documents";
    case ObjectKind::Dialog:
      return "dialogs";
    case ObjectKind::UserArea:
      return "user areas";
    case ObjectKind::Thread:
      return "threads";
    case ObjectKind::Resource:
      return "resources";
    case ObjectKind::Evaluator:
      return "expression evaluators";
    case ObjectKind::TextParser:
      return "text parsers";
    case ObjectKind::CoreError:
      return "core error objects";
    case ObjectKind::CoreText:
      return "core texts";
    case ObjectKind::IoIterator:
      return "browse iterators";
    case ObjectKind::InputStream:
      return "input streams";
    case ObjectKind::ExifReader:
      return "Exif readers";
    case ObjectKind::Dictionary:
      return "metadata dictionaries";
  }
  return "objects";
}

void track_object(ObjectKind kind, const void* object) {
  if (!object) return;
  Tracker& t = tracker();
  std::lock_guard lock(t.mutex);
  t.objects[static_cast<int>(kind)].insert(object);
}

bool untrack_object(ObjectKind kind, const void* object) {
  if (!object) return false;
  Tracker& t = tracker();
  std::lock_guard lock(t.mutex);
  return t.objects[static_cast<int>(kind)].erase(object) > 0;
}

MemoryStatistics memory_statistics() {
  Tracker& t = tracker();
  std::lock_guard lock(t.mutex);
  return t.statistics;
}

void count_low_memory_events(int64_t count) {
  if (count <= 0) return;
  Tracker& t = tracker();
  std::lock_guard lock(t.mutex);
  int64_t& events = t.statistics.low_memory_events;
  events = events > std::numeric_limits<int64_t>::max() - count ? std::numeric_limits<int64_t>::max()
                                                                : events + count;
}

std::vector<std::string> check_memory_tracker() {
  std::vector<std::string> problems;
  Tracker& t = tracker();
  std::lock_guard lock(t.mutex);
  const MemoryStatistics& s = t.statistics;
  if (s.live_blocks != static_cast<int64_t>(t.blocks.size())) {
    problems.push_back("the memory tracker counts " + std::to_string(s.live_blocks) +
                       " live blocks but holds " + std::to_string(t.blocks.size()));
  }
  if (s.live_bytes < 0 || s.live_bytes > s.peak_bytes || s.live_blocks > s.total_allocations) {
    problems.push_back("the memory tracker's counters disagree: " + std::to_string(s.live_bytes) +
                       " live bytes, peak " + std::to_string(s.peak_bytes) + ", " +
                       std::to_string(s.live_blocks) + " live blocks of " +
                       std::to_string(s.total_allocations) + " allocations");
  }
  if (s.bad_frees > t.bad_frees_checked) {
    const int64_t count = s.bad_frees - t.bad_frees_checked;
    problems.push_back(std::to_string(count) + (count == 1 ? " free" : " frees") +
                       " of memory that was not a live block since the previous check");
    t.bad_frees_checked = s.bad_frees;
  }
  return problems;
}

std::vector<LeakedBlock> leaked_blocks() {
  std::vector<LeakedBlock> leaks;
  {
    Tracker& t = tracker();
    std::lock_guard lock(t.mutex);
    for (const auto& [block, info] : t.blocks) leaks.push_back({info.size, info.file, info.line});
  }
  std::sort(leaks.begin(), leaks.end(), [](const LeakedBlock& a, const LeakedBlock& b) {
    return a.file != b.file ? a.file < b.file : a.line != b.line ? a.line < b.line : a.size < b.size;
  });
  return leaks;
}

std::map<ObjectKind, int64_t> live_objects() {
  std::map<ObjectKind, int64_t> counts;
  Tracker& t = tracker();
  std::lock_guard lock(t.mutex);
  for (int kind = 0; kind < kObjectKinds; ++kind) {
    if (!t.objects[kind].empty()) counts[static_cast<ObjectKind>(kind)] = t.objects[kind].size();
  }
  return counts;
}

bool report_leaks(std::FILE* out) {
  const auto blocks = leaked_blocks();
  const auto objects = live_objects();
  for (const auto& block : blocks) {
    std::fprintf(out, "zorhost: leak: %lld bytes allocated at %s:%d never freed\n",
                 static_cast<long long>(block.size), block.file.c_str(), block.line);
  }
  for (const auto& [kind, count] : objects) {
    std::fprintf(out, "zorhost: leak: %lld %s never freed\n", static_cast<long long>(count),
                 object_kind_name(kind));
  }
  return !blocks.empty() || !objects.empty();
}

}  // namespace zorhost
